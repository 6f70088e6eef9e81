#!/usr/bin/env bash
# Drives the game window under a virtual X server and checks the screen as a player sees it: the
# splash with its progress bar while the world generates, then, after F1, the statistics overlay
# (its panel text at the top right, its bar graphs along the bottom). Pictures come from
# ImageMagick's import.   tools/overlay_check.sh [display-number [folder to keep the pictures in]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
num=${1:-96}
keep=${2:-}
source "$root/tools/xvfb_session.sh" "$num"

fail() { echo "overlay check: $*" >&2; cat "$work/game.log" >&2; [ -n "$keep" ] && mkdir -p "$keep" && cp "$work"/*.png "$keep/"; exit 1; }
# Pixels of the colour #RRGGBB in a picture (exact match).
count() { convert "$1" -fill black +opaque "#$2" -fill white -opaque "#$2" -format "%[fx:round(mean*w*h)]" info:; }
# Pixels at least this bright in every channel inside the region WxH+X+Y.
bright() { convert "$1" -crop "$2" +repage -colorspace gray -threshold "$3%" -format "%[fx:round(mean*w*h)]" info:; }

# Flying high and looking down at the land, which is darker than the panel's text (the sky behind
# it would not be).
"$root/bin/quenmoor" -360 --seed 1 --camera 128,90,128,0,-70 >"$work/game.log" 2>&1 &
game=$!
# The erosion of the main-menu world reports its progress on the splash; the game is held still
# right after it, so the picture cannot miss the splash.
for _ in $(seq 300); do grep -q "erosion droplets" "$work/game.log" && break; sleep 0.02; done
kill -STOP "$game"
grep -q "erosion droplets" "$work/game.log" || fail "no world generation in the log"
win=$(xdotool search --name "Quenmoor 0.13 DEMO" | head -1)
[ -n "$win" ] || fail "no window"
import -window "$win" "$work/splash.png"
kill -CONT "$game"
bg=$(count "$work/splash.png" 000A28)
bar=$(count "$work/splash.png" 32960A)
[ "$bg" -gt 150000 ] || fail "no splash background (#000A28) during world generation: $bg pixels"
[ "$bar" -gt 500 ] || fail "no progress bar (#32960A) on the splash: $bar pixels"

for _ in $(seq 200); do grep -q "total start-up time" "$work/game.log" && break; sleep 0.1; done
xdotool windowfocus --sync "$win" || true
sleep 0.5
import -window "$win" "$work/before.png"
xdotool keydown F1; sleep 0.3; xdotool keyup F1; sleep 0.5
import -window "$win" "$work/overlay.png"
# Before F1 only the hint line (top left); after it the panel's text at the top right and the
# graphs' bars along the bottom. The panel's text is counted as near-white pixels (lit snow stays
# below that) against the same region before F1.
panel_before=$(bright "$work/before.png" 150x220+490+0 97)
panel=$(bright "$work/overlay.png" 150x220+490+0 97)
bars=$(convert "$work/overlay.png" -crop 640x90+0+270 +repage -fx "g>r+0.1&&g>b+0.1" -format "%[fx:round(mean*w*h)]" info:)
[ "$panel" -gt $((panel_before + 300)) ] || fail "no overlay panel after F1 ($panel bright pixels, $panel_before before)"
[ "$bars" -gt 100 ] || fail "no green bars along the bottom after F1 ($bars pixels)"

xdotool keydown alt; sleep 0.1; xdotool keydown F4; sleep 0.2; xdotool keyup F4; xdotool keyup alt
for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
wait "$game" || fail "exit code $?"
game=
[ -n "$keep" ] && mkdir -p "$keep" && cp "$work"/*.png "$keep/"
echo "overlay check: splash with its bar during world generation ($bg background, $bar bar pixels)," \
  "overlay after F1 ($panel panel pixels, $bars bar pixels)"
