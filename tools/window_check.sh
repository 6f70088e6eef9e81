#!/usr/bin/env bash
# Drives the game window under a virtual X server as a player would: the window opens at the
# requested size, Alt-Enter switches to full screen and back to the earlier size, and closing
# the window ends the program cleanly.   tools/window_check.sh [display-number]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-97}
source "$root/tools/xvfb_session.sh" "$num"

"$root/bin/quenmoor" -360 >"$work/game.log" 2>&1 &
game=$!
fail() { echo "window check: $*" >&2; cat "$work/game.log" >&2; exit 1; }
wait_log() {  # text, seconds
  for _ in $(seq $(( $2 * 10 ))); do grep -q "$1" "$work/game.log" && return 0; sleep 0.1; done
  fail "no '$1' in the log"
}
wait_log "init d3d ok (640x360)" 20
win=$(xdotool search --sync --name "Quenmoor 0.13 DEMO" | head -1)
xdotool windowfocus --sync "$win" || true
size() { xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w"x"h}'; }
[ "$(size)" = "640x360" ] || fail "window is $(size), not 640x360"

alt_enter() {
  xdotool keydown alt; sleep 0.1; xdotool keydown Return; sleep 0.3
  xdotool keyup Return; sleep 0.1; xdotool keyup alt
}
alt_enter
wait_log "resized d3d to 1024x768 fullscreen" 10
sleep 0.5
[ "$(size)" = "1024x768" ] || fail "full-screen window is $(size)"
alt_enter
wait_log "resized d3d to 640x360 windowed" 10
sleep 0.5
[ "$(size)" = "640x360" ] || fail "restored window is $(size)"

# Alt-F4 closes the window; the loop ends and the orderly shutdown runs.
xdotool keydown alt; sleep 0.1; xdotool keydown F4; sleep 0.2; xdotool keyup F4; xdotool keyup alt
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
kill -0 "$game" 2>/dev/null && fail "still running after Alt-F4"
wait "$game" || fail "exit code $?"
game=
grep -q "closed all systems" "$work/game.log" || fail "no orderly shutdown"
echo "window check: opened 640x360, full screen 1024x768 and back, closed cleanly"
