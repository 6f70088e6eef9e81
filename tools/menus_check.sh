#!/usr/bin/env bash
# Goes through the menus under a virtual X server as a player would, with the keyboard and the
# mouse: the main menu, the options (a setting changed with the keys), a new game, the in-game
# menu with Esc, the cheats by a click, and Quit by a click, which must end the program cleanly.
# Captures each menu and puts the four pictures together. The settings are kept in a scratch
# folder, never the user's.
#   tools/menus_check.sh [display-number [output PNG, default docs/menus.png]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-57}
out=${2:-$root/docs/menus.png}
source "$root/tools/xvfb_session.sh" "$num"
fail() { echo "menus check: $*" >&2; cat "$work/game.log" >&2; exit 1; }

export QUENMOOR_CONFIG_DIR=$work/config
mkdir -p "$QUENMOOR_CONFIG_DIR"
start_game "$root/bin/quenmoor" --seed 7
read -r w h < <(xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
key() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; sleep 0.4; }
shot() { sleep 3; kill -0 "$game" 2>/dev/null || fail "the game ended before the picture $1"; import -window "$win" "$work/$1.png"; }
# Clicks a point of a centred panel given in design pixels (a 720-line screen) from its middle.
click_at() {
  xdotool mousemove --window "$win" $(awk -v w="$w" -v h="$h" -v x="$1" -v y="$2" \
    'BEGIN { s = h / 720; if (s < 0.4) s = 0.4; printf "%d %d", w / 2 + x * s, h / 2 + y * s }')
  sleep 0.3; xdotool click 1; sleep 0.5
}
xdotool mousemove --window "$win" 20 20
sleep 2
shot 1_main_menu
key Home; key Down; key Return  # Options (the pointer may have moved the focus)
key Down; key Down; key Down; key space  # Low, High, Object shadows, Anti-aliasing: on
key Up; key Up; key Up; key space        # the low quality, which waits for the next start
sleep 0.5
shot 2_options
flags=$(sed -n 's/^flags=dword:\([0-9a-f]*\)$/\1/p' "$QUENMOOR_CONFIG_DIR/settings.ini" 2>/dev/null)
[ -n "$flags" ] && (( 0x$flags & 2 )) || fail "the options did not store anti-aliasing on"
grep -q 'gfx_quality="low"' "$QUENMOOR_CONFIG_DIR/settings.ini" || fail "the options wrote no quality"
key Escape; key Return     # back on the main menu, then New game
for _ in $(seq 300); do [ "$(grep -c "generated world" "$work/game.log")" -ge 2 ] && break; sleep 0.1; done
sleep 2
key Escape
sleep 1
shot 3_game_menu
click_at 0 177                 # Cheats
shot 4_cheats
click_at -150 -155             # Spells cost no mana
key Escape                     # back to the in-game menu
click_at 0 104                 # Quit
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game" 2>/dev/null && { import -window "$win" /tmp/menus_out/after_quit.png; fail "still running after Quit"; }
wait "$game" || fail "exit code $?"
game=
grep -q "closed all systems" "$work/game.log" || fail "no orderly shutdown"
montage "$work"/[1-4]_*.png -tile 2x -geometry "$((w / 2))x$((h / 2))+2+2" -background '#101418' "$out"
echo "menus check: four menus in $out, quit cleanly"
