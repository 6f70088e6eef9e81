#!/usr/bin/env bash
# Plays the start of a game under a virtual X server as a player would, at 1280x720: Enter on the
# main menu, a look down at the land ahead, then every world-shaping spell thrown at the crosshair
# with its cell's key and the left button (Ctrl-L gives every spell, Ctrl-N unlimited mana),
# turning a little between throws; last, Tab opens the spell grid and the pointer rests on the
# meteor's cell for its tooltip. Keeps the start and the eight spells' effects side by side in
# docs/spells_play.png and the open grid in docs/spells_ui.png.
#   tools/spells_check.sh [display-number [output folder, default docs/]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-93}
out=${2:-$root/docs}
QM_XVFB_SCREEN=1280x800x24 source "$root/tools/xvfb_session.sh" "$num"
fail() { echo "spells check: $*" >&2; cat "$work/game.log" >&2; exit 1; }

start_game "$root/bin/quenmoor" -720 --seed 7
sleep 1
# Keys are held long enough for a frame to see them (software rendering at 720p is slow).
key() { xdotool keydown "$1"; sleep 0.4; xdotool keyup "$1"; }
shot() { import -window "$win" "$work/$1.png"; }
# The mouse looks: a move away from the window's middle turns the view by that much.
look() { xdotool mousemove --window "$win" $((640 + $1)) $((360 + $2)); sleep 0.3; }
# A short press: a long one starts the game and then generates another world.
xdotool keydown Return; sleep 0.15; xdotool keyup Return
for _ in $(seq 300); do [ "$(grep -c "generated world" "$work/game.log")" -ge 2 ] && break; sleep 0.1; done
sleep 2
look -150 60
shot 0_start
xdotool keydown ctrl; sleep 0.4; key l; key n; sleep 0.4; xdotool keyup ctrl
names=(hill pit fault water_source water_sink house castle meteor)
# Turns and tips between throws (pixels of mouse motion): the hill and pit nearer, the rest further.
turns=(0 300 300 300 300 300 300 300)
tips=(0 0 -30 0 0 0 0 0)
for i in "${!names[@]}"; do
  look "${turns[$i]}" "${tips[$i]}"
  key $((i + 1)); xdotool click 1; sleep 7
  shot "$((i + 1))_${names[$i]}"
done
key Tab; sleep 2
# The meteor's cell: eighth of the first row (cells of 54 pixels, 4 apart, the grid centred).
xdotool mousemove --window "$win" 814 619; sleep 3
shot ui_open
montage "$work"/[0-8]_*.png -tile 3x -geometry 512x288+2+2 -depth 8 "$out/spells_play.png"
cp "$work/ui_open.png" "$out/spells_ui.png"
echo "spells check: $out/spells_play.png (the start and eight spells), $out/spells_ui.png (the open grid)"
