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
# intercept_tls_get_addr=0: the sanitizer runtime of GCC 12 takes a dynamic TLS block (Mesa's
# libraries have them) that happens to start 16 bytes into a page for a pre-2.25 glibc block and
# reads the words before it, and the leak checker's thread then dies at exit ("Tracer caught
# signal 11"), now and then, after a test has passed. Thread-local data is still scanned.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
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
