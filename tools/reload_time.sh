#!/usr/bin/env bash
# Measures how soon a one-line change to a game object module source runs in the game.
#   tools/reload_time.sh [--runs N] [--work DIR]
# Runs a copy of the built game (bin/ of the normal build tree, with the module's kept objects)
# headless beside a copy of gameobj/, under a world script that prints, every simulation step, the
# land height the module answers and the state of the player object made at start-up. Then N
# times (default 5): saves gameobj/land.cpp with a new offset on the one line that returns the land
# height, and times from that save to the first step that prints the new height: the rebuild
# starting, compiling one source and linking, the swap, and one step. Prints each time and the
# median. Fails (exit 1) when a change has not arrived after a minute, when the player object made
# before the swaps is lost or has moved, or when the game started again.
# The copy lives in a temporary directory (or DIR, kept), so nothing of the tree is written.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bin=$root/bin
runs=5
work=
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=${2:?--runs needs a number}; shift 2 ;;
    --work) work=${2:?--work needs a directory}; keep=1; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "reload_time: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done
if [ ! -x "$bin/quenmoor" ] || [ ! -f "$bin/gameobj.so" ] || [ ! -d "$bin/.gameobj_build" ]; then
  echo "reload_time: no built game in $bin (run tools/build.sh first)" >&2
  exit 2
fi

if [ -z "$work" ]; then work=$(mktemp -d); fi
rm -rf "${work:?}/bin" "$work/gameobj" "$work/config"
mkdir -p "$work/bin"
game=
cleanup() {
  if [ -n "$game" ] && kill -0 "$game" 2>/dev/null; then
    kill -TERM "$game" 2>/dev/null || true
    wait "$game" 2>/dev/null || true
  fi
  if [ $keep -eq 0 ]; then rm -rf "$work"; fi
}
trap cleanup EXIT

# The game's data is shared; what the run writes or changes is copied (file times kept, so the
# module's objects stay newer than their sources and only the changed source compiles).
for f in "$bin"/*; do
  case $(basename "$f") in
    quenmoor|gameobj*.so|cache|shots|gen) ;;
    *) ln -s "$f" "$work/bin/" ;;
  esac
done
cp -a "$bin/quenmoor" "$bin/gameobj.so" "$bin/.gameobj_build" "$bin/gen" "$work/bin/"
cp -a "$root/gameobj" "$work/"
cat >>"$work/bin/gen/main.nut" <<'EOF'

// reload_time.sh: the module's answers, every step.
probe_player <- null
function process_event(event) { print("probe event " + event + "\n") }
function update_script(dt)
{
  if (probe_player == null)
    probe_player = get_local_player()
  if (probe_player == null)
    return
  local alive = probe_player.isAlive()
  local pos = alive ? probe_player.getPos() : vec4f(0, 0, 0, 0)
  print(format("probe h=%.1f alive=%s class=%s pos=%.2f,%.2f,%.2f\n", get_average_circle_height(128.5, 128.5, 0.0),
               alive ? "yes" : "no", alive ? probe_player.getClassName() : "-", pos[0], pos[1], pos[2]))
}
EOF

src=$work/gameobj/land.cpp
line='  return bilinear(x, z, [](int i) { return HD::hmap[i]; });'
if [ "$(grep -cxF "$line" "$src")" != 1 ]; then
  echo "reload_time: gameobj/land.cpp no longer has the line this script changes:" >&2
  echo "$line" >&2
  exit 1
fi
original=$(<"$src")

# Settings of its own; software rendering (no GPU here) on the game's own thread, leaving the
# other cores to the compiler as a GPU would.
log=$work/game.log
QUENMOOR_CONFIG_DIR=$work/config LP_NUM_THREADS=${LP_NUM_THREADS:-0} \
  "$work/bin/quenmoor" --headless -360 -gfx-low >"$log" 2>&1 &
game=$!

last_probe() { grep -a '^probe h=' "$log" | tail -n 1 || true; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# wait_for AWK_CONDITION: waits (a minute at most) for a last probe line that meets it.
wait_for() {
  local end=$(($(now_ms) + 60000))
  while [ "$(now_ms)" -lt $end ]; do
    if ! kill -0 "$game" 2>/dev/null; then
      echo "reload_time: the game ended; its log:" >&2
      tail -n 30 "$log" >&2
      exit 1
    fi
    if last_probe | awk -F'[ =]' "{ h = \$3 } $1 { found = 1 } END { exit !found }"; then return 0; fi
    sleep 0.01
  done
  echo "reload_time: timed out; the game's log ends:" >&2
  tail -n 30 "$log" >&2
  exit 1
}
field() { last_probe | sed -n "s/.* $1=\([^ ]*\).*/\1/p"; }

wait_for 1
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
first_pos=$(field pos)
height=$(field h)
times=()
for i in $(seq 1 "$runs"); do
  printf '%s\n' "${original/"$line"/"${line%;}" + ${i}000.f;}" >"$src"
  start=$(now_ms)
  wait_for "h > $height + 100"
  ms=$(($(now_ms) - start))
  times+=("$ms")
  height=$(field h)
  echo "run $i: ${ms} ms"
done

problems=
if [ "$(field alive)" != yes ] || [ "$(field class)" != Player ]; then problems+=" the player object made at start-up is gone;"; fi
if [ "$(field pos)" != "$first_pos" ]; then problems+=" the player moved from $first_pos to $(field pos);"; fi
if [ "$(grep -c 'total start-up time' "$log")" != 1 ]; then problems+=" the game started again;"; fi
if [ "$(grep -c '^gameobj reload ok' "$log")" != "$runs" ]; then problems+=" not every change was one reload;"; fi
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "save to running: median ${median} ms of $runs runs ($(printf '%s ' "${times[@]}")ms)"
grep -a '=== gameobj module rebuild done' "$log" | sed 's/^/  /'
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$problems" ]; then
  echo "reload_time:$problems" >&2
  exit 1
fi
