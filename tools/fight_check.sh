#!/usr/bin/env bash
# Plays a fight under a virtual X server as a player would: Enter on the main menu, G for a mana
# gatherer in front, then waits for the first wyverns of the world to come hunting and captures the
# window four times a second while the view sweeps round, ready to pick a picture from.
#   tools/fight_check.sh [display-number [output folder, default a new temporary one]]
# Writes shot_NN.png, all.png (every shot side by side) and the game's log into the folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-94}
out=${2:-$(mktemp -d)}
mkdir -p "$out"
source "$root/tools/xvfb_session.sh" "$num"
fail() { echo "fight check: $*" >&2; cat "$work/game.log" >&2; exit 1; }

start_game "$root/bin/quenmoor" -360 -gfx-high --seed 7
sleep 1
key() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; }
# Enter until the game's world is made (a busy machine can lose the first key).
for _ in 1 2 3; do
  key Return
  for _ in $(seq 200); do [ "$(grep -c "generated world" "$work/game.log")" -ge 2 ] && break; sleep 0.1; done
  [ "$(grep -c "generated world" "$work/game.log")" -ge 2 ] && break
done
[ "$(grep -c "generated world" "$work/game.log")" -ge 2 ] || fail "Enter started no game"
sleep 2
key g
# The first wave comes 40 seconds into the world, from 80 units away.
for _ in $(seq 2400); do grep -q "wyvern.* at difficulty" "$work/game.log" && break; sleep 0.1; done
grep -q "wyvern.* at difficulty" "$work/game.log" || fail "no wyverns in four minutes"
sleep 6
# A slow look round (each move turns the view a little) while the wyvern circles and swoops.
for n in $(seq -w 1 40); do
  import -window "$win" "$out/shot_$n.png"
  xdotool mousemove_relative -- 12 0
  sleep 0.25
done
montage "$out"/shot_*.png -tile 8x -geometry 320x180+2+2 "$out/all.png"
cp "$work/game.log" "$out/game.log"
kill -0 "$game" 2>/dev/null || fail "the game ended during the fight"
grep -E "wyvern|fallen" "$work/game.log" || true
echo "fight check: pictures in $out"
