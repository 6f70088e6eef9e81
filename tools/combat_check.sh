#!/usr/bin/env bash
# Plays the combat spells under a virtual X server: a copy of the game whose world script, once
# the player stands in the world, casts a fireball, a waterball onto its fire, a thunderstorm and
# healing in front of the player (as scripts do, through cast_spell(name, x, z)) while the window
# is captured; the pictures go side by side into one PNG. The game's own files are not changed.
#   tools/combat_check.sh [display-number [output PNG, default docs/combat_play.png]]
# QM_COMBAT_LOG=DIR also keeps the game's log and the single pictures there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-94}
out=${2:-$root/docs/combat_play.png}
source "$root/tools/xvfb_session.sh" "$num"
fail() { echo "combat check: $*" >&2; cat "$work/game.log" >&2; exit 1; }

# The game beside links to its data, with the world script extended by the casts.
mkdir "$work/game" "$work/game/gen"
for f in "$root"/bin/*; do [ "$(basename "$f")" = gen ] || ln -s "$f" "$work/game/"; done
for f in "$root"/bin/gen/*; do ln -s "$f" "$work/game/gen/"; done
rm "$work/game/quenmoor" "$work/game/gen/main.nut"
cp "$root/bin/quenmoor" "$work/game/"
cat "$root/bin/gen/main.nut" - >"$work/game/gen/main.nut" <<'NUT'

// --- the combat check's casts, after the world's own step, ahead along the player's last walk ---
local world_step = update_script
demo_time <- -1.0
demo_next <- 0
demo_last <- null
demo_dir <- [0.0, 1.0]
demo_casts <- [[5.0, "fireball", 10.0], [8.5, "waterball", 10.0], [11.5, "thunderstorm", 22.0], [20.5, "healing", 0.0]]
function update_script(dt)
{
  world_step(dt)
  local p = get_local_player()
  if (p == null || demo_time < 0 || demo_next >= demo_casts.len())
    return
  local at = p.getPos()
  if (demo_last != null) {
    local dx = at[0] - demo_last[0], dz = at[2] - demo_last[2], len = sqrt(dx * dx + dz * dz)
    if (len > 0.01 && len < 5)
      demo_dir = [dx / len, dz / len]
  }
  demo_last = at
  demo_time += dt
  local c = demo_casts[demo_next]
  if (demo_time < c[0])
    return
  local ok = cast_spell(c[1], at[0] + demo_dir[0] * c[2], at[2] + demo_dir[1] * c[2])
  print("combat check: " + c[1] + " " + ok + "\n")
  demo_next++
}
function process_event(event)
{
  if (event == "world_ready" && get_local_player() != null)
    demo_time = 0.0
}
NUT

start_game "$work/game/quenmoor" -360 --seed 7
sleep 1
key() { xdotool keydown "$1"; sleep 0.15; xdotool keyup "$1"; }
shot() { import -window "$win" "$work/$1.png"; }
# waits for the cast's line in the log
cast() { for _ in $(seq 1200); do grep -q "combat check: $1" "$work/game.log" && return; sleep 0.05; done; fail "no $1 cast"; }
key Return
for _ in $(seq 300); do [ "$(grep -c "generated world" "$work/game.log")" -ge 2 ] && break; sleep 0.1; done
# A few steps forward (the casts go that way), looking a little down at the land ahead.
sleep 2
xdotool keydown w; sleep 0.6; xdotool keyup w
xdotool mousemove --window "$win" 170 275; sleep 0.15
cast fireball; shot 1_fireball
shot 2_fireball
shot 3_burst
sleep 1.5; shot 4_fire
cast waterball; shot 5_waterball
sleep 0.2; shot 6_splash
cast thunderstorm; sleep 5; shot 7_storm
sleep 2; shot 8_rain
cast healing; sleep 0.3; shot 9_healing
grep "combat check:" "$work/game.log"
grep -q "Error in" "$work/game.log" && fail "a script error"
montage "$work"/[1-9]_*.png -tile 3x -geometry 640x360+2+2 "$out"
echo "combat check: nine pictures in $out"
[ -z "${QM_COMBAT_LOG:-}" ] || cp "$work/game.log" "$work"/[1-9]_*.png "$QM_COMBAT_LOG"/
