#!/usr/bin/env bash
# Configures and builds one build tree.
#   tools/build.sh [--sanitize] [ninja targets...]
# The normal tree is build/ (the game goes to bin/quenmoor); the sanitizer tree is build-asan/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build=$root/build-asan
  cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_BENCH=OFF -DQM_OUTPUT_TO_BIN=OFF)
fi
"$root/tools/setup.sh" "$build"
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja "${cmake_args[@]}" >/dev/null
fi
ninja -C "$build" "$@"
