# Sourced by the scripts that drive the game under a virtual X server (window_check.sh,
# overlay_check.sh, scene_check.sh, spells_check.sh, fight_check.sh, combat_check.sh,
# menus_check.sh): starts Xvfb on display :$1 at 1024x768 (or
# the screen QM_XVFB_SCREEN gives, such as 1280x800x24), waits until it answers, and at exit
# stops the game (`game`, a pid the caller sets) and the server and removes the scratch folder
# `work`.
export DISPLAY=:$1
work=$(mktemp -d)
Xvfb "$DISPLAY" -screen 0 "${QM_XVFB_SCREEN:-1024x768x24}" -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
game=
cleanup() {
  # A stopped game (the overlay check pauses it) is woken so that it can be killed.
  [ -n "$game" ] && kill -CONT "$game" 2>/dev/null && kill "$game" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# start_game EXE ARGS...: runs the game with its log in $work/game.log, waits for its start-up
# (30 seconds at most), finds and focuses its window (`win`); the caller's `fail` reports a miss.
start_game() {
  "$@" >"$work/game.log" 2>&1 &
  game=$!
  for _ in $(seq 300); do grep -qs "total start-up time" "$work/game.log" && break; sleep 0.1; done
  grep -q "total start-up time" "$work/game.log" || fail "no start-up in 30 seconds"
  win=$(xdotool search --onlyvisible --name "Quenmoor" | head -1)
  [ -n "$win" ] || fail "no window"
  xdotool windowfocus "$win" 2>/dev/null || true
}
