#!/usr/bin/env bash
# Checks that the layers of src/ include only downwards, sets up the machine, builds, and runs
# every test.
#   tools/test.sh              the normal build (tests, benchmarks built but not run)
#   tools/test.sh --sanitize   the AddressSanitizer + UndefinedBehaviorSanitizer build
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=()
build=$root/build
if [ "${1:-}" = "--sanitize" ]; then
  mode=(--sanitize)
  build=$root/build-asan
fi
"$root/tools/check_layers.sh"
"$root/tools/build.sh" "${mode[@]}"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if [ ${#mode[@]} -ne 0 ]; then
  # The leak checker stops every thread at exit; Mesa's rasteriser and shader-cache threads winding
  # down at that moment have crashed it ("Tracer caught signal 11") on a loaded machine. Under the
  # sanitizers the software rasteriser draws on the calling thread and keeps no cache thread.
  export LP_NUM_THREADS=${LP_NUM_THREADS:-0}
  export MESA_SHADER_CACHE_DISABLE=${MESA_SHADER_CACHE_DISABLE:-true}
fi
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
# The whole program, start to orderly stop, without a display; its last frame must come out as a
# PNG of the back buffer's size.
if [ ${#mode[@]} -eq 0 ]; then
  shot=$build/headless_last_frame.png
  rm -f "$shot"
  "$root/bin/quenmoor" --headless --fast --steps 400 --screenshot "$shot" >/dev/null
  size=$(identify -format %wx%h "$shot")
  [ "$size" = 1280x720 ] || { echo "headless run: the last frame is $size, not 1280x720" >&2; exit 1; }
  echo "headless run: 400 steps (--fast), exit 0, last frame saved as a 1280x720 PNG"
fi
