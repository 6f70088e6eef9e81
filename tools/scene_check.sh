#!/usr/bin/env bash
# Starts the game under a virtual X server as the README says, at high and at low graphics
# quality, and captures the window a few seconds after start-up: the attract flight over the
# "main_menu" world must fill the picture (sky above, land below, nothing left black).
#   tools/scene_check.sh [display-number [folder to keep scene_high.png and scene_low.png in]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-95}
keep=${2:-}
source "$root/tools/xvfb_session.sh" "$num"

fail() { echo "scene check: $*" >&2; cat "$work/game.log" >&2; exit 1; }
# Share of pixels (0..1) darker than 4% in every channel inside the region WxH+X+Y.
black() { convert "$1" -crop "$2" +repage -colorspace gray -threshold 4% -negate -format "%[fx:mean]" info:; }
# Mean brightness (0..1) of the region.
mean() { convert "$1" -crop "$2" +repage -colorspace gray -format "%[fx:mean]" info:; }

report=
for quality in high low; do
  "$root/bin/quenmoor" -360 -gfx-$quality >"$work/game.log" 2>&1 &
  game=$!
  for _ in $(seq 300); do grep -q "total start-up time" "$work/game.log" && break; sleep 0.1; done
  grep -q "total start-up time" "$work/game.log" || fail "$quality: no start-up in 30 seconds"
  win=$(xdotool search --name "Quenmoor 0.13 DEMO" | head -1)
  [ -n "$win" ] || fail "$quality: no window"
  sleep 3
  shot=$work/scene_$quality.png
  import -window "$win" "$shot"
  # Everything but the hint line's corner: the world and the sky leave no black.
  dark=$(black "$shot" 640x300+0+60)
  sky=$(mean "$shot" 640x40+0+0)
  awk -v d="$dark" 'BEGIN { exit !(d < 0.02) }' || fail "$quality: $dark of the picture is black"
  awk -v s="$sky" 'BEGIN { exit !(s > 0.2) }' || fail "$quality: the top of the picture is dark ($sky)"
  xdotool keydown alt; sleep 0.1; xdotool keydown F4; sleep 0.2; xdotool keyup F4; xdotool keyup alt
  for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
  wait "$game" || fail "$quality: exit code $?"
  game=
  report="$report $quality (black $dark, sky brightness $sky)"
done
[ -n "$keep" ] && mkdir -p "$keep" && cp "$work"/scene_*.png "$keep/"
echo "scene check: the world fills the window at both qualities:$report"
