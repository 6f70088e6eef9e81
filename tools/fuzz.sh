#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a bounded time.
#   tools/fuzz.sh [seconds per target, default 20]
# Seeds come from fuzz/corpus/<name>/ when present (links are followed), a dictionary from
# fuzz/<name>.dict; findings are written to build-fuzz/findings/. An input that runs longer than
# 10 s is a finding; the targets' own output (standard output) is discarded.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
secs=${1:-20}
build=$root/build-fuzz
"$root/tools/setup.sh" "$build"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQM_FUZZ=ON -DQM_TESTS=OFF -DQM_BENCH=OFF -DQM_OUTPUT_TO_BIN=OFF >/dev/null
fi
ninja -C "$build"
mkdir -p "$build/findings"
status=0
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=${exe##*/fuzz_}
  work=$(mktemp -d)
  [ -d "$root/fuzz/corpus/$name" ] && cp -rL "$root/fuzz/corpus/$name/." "$work/"
  dict=()
  [ -f "$root/fuzz/$name.dict" ] && dict=(-dict="$root/fuzz/$name.dict")
  echo "fuzz: $name for ${secs}s"
  if ! "$exe" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 -close_fd_mask=1 "${dict[@]}" \
       -artifact_prefix="$build/findings/$name-" "$work" >"$build/findings/$name.log" 2>&1; then
    echo "fuzz: $name found a failure:"; tail -40 "$build/findings/$name.log"; status=1
  else
    tail -1 "$build/findings/$name.log"
  fi
  rm -rf "$work"
done
exit $status
