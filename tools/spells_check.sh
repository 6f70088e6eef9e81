#!/usr/bin/env bash
# Plays the start of a game under a virtual X server as a player would: Enter on the main menu, a
# look down at the land ahead, then a hill, a castle, a meteor and a water source thrown at the
# crosshair with the number keys and the left button, on the mana a new player has. Captures the
# window after each and puts the six pictures side by side.
#   tools/spells_check.sh [display-number [output PNG, default docs/spells_play.png]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-93}
out=${2:-$root/docs/spells_play.png}
source "$root/tools/xvfb_session.sh" "$num"
fail() { echo "spells check: $*" >&2; cat "$work/game.log" >&2; exit 1; }

"$root/bin/quenmoor" -360 --seed 7 >"$work/game.log" 2>&1 &
game=$!
for _ in $(seq 300); do grep -q "total start-up time" "$work/game.log" && break; sleep 0.1; done
grep -q "total start-up time" "$work/game.log" || fail "no start-up in 30 seconds"
win=$(xdotool search --name "Quenmoor" | head -1)
[ -n "$win" ] || fail "no window"
xdotool windowfocus "$win" 2>/dev/null || true
sleep 1
key() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; }
shot() { import -window "$win" "$work/$1.png"; }
key Return
for _ in $(seq 300); do [ "$(grep -c "generated world" "$work/game.log")" -ge 2 ] && break; sleep 0.1; done
sleep 2
# The mouse looks: each move below the window's middle tips the view down.
xdotool mousemove --window "$win" 170 275; sleep 0.15
sleep 0.3
shot 1_aim
key 1; xdotool click 1; sleep 0.6; shot 2_hill_thrown
sleep 2.5; shot 3_hill_risen
key 7; xdotool click 1; sleep 3; shot 4_castle
key 8; xdotool click 1; sleep 0.7; shot 5_meteor
sleep 2; key 4; xdotool click 1; sleep 3; shot 6_water_source
montage "$work"/[1-6]_*.png -tile 3x -geometry 640x360+2+2 "$out"
echo "spells check: six pictures in $out"
