#!/usr/bin/env bash
# Builds the game object module.
#   gameobj/rebuild_module.sh OUT_DIR [NAME]
# Compiles every .cpp of the module's directory into OUT_DIR/NAME (default "gameobj_new.so",
# the name a running game swaps in; the normal build writes "gameobj.so"). The library is
# written to a temporary file and renamed, so a loaded module file is never written into.
# Refused (exit 1, "error:" lines): a module that exports anything but its two entry points (and
# type information), has unique symbols, defines a class tag (those live in the executable) or has
# thread-local data.
# Environment: CXX (default g++), QM_MODULE_SRC (sources, default this directory),
# QM_SQUIRREL_INC (Squirrel headers, default the build tree's copy), QM_MODULE_FLAGS (extra
# compiler flags).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
out_dir=${1:?usage: rebuild_module.sh OUT_DIR [NAME]}
name=${2:-gameobj_new.so}
src=${QM_MODULE_SRC:-$here}
sq_inc=${QM_SQUIRREL_INC:-$root/build/_deps/squirrel3/include}
cxx=${CXX:-g++}
export LC_ALL=C
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(ccache); fi

shopt -s nullglob
sources=("$src"/*.cpp)
if [ ${#sources[@]} -eq 0 ]; then
  echo "error: no module sources in $src"
  exit 1
fi
mkdir -p "$out_dir"
tmp=$(mktemp "$out_dir/.$name.XXXXXX")
trap 'rm -f "$tmp"' EXIT

# GCC marks some template statics and inline-function statics as unique symbols, which would keep
# an old module's copy alive across a reload; clang never makes them and has no such switch.
no_unique=()
if "$cxx" -fno-gnu-unique -x c++ -fsyntax-only /dev/null >/dev/null 2>&1; then no_unique=(-fno-gnu-unique); fi

echo "building $name from ${#sources[@]} sources"
# shellcheck disable=SC2086
"${launcher[@]}" "$cxx" -std=c++20 -O2 -g -fPIC -shared -fvisibility=hidden -fvisibility-inlines-hidden \
  "${no_unique[@]}" -ffp-contract=off -fno-fast-math -Wall -Wextra -Wno-unused-parameter -Werror \
  -D_SQ64 -I"$root/src" -I"$src" -isystem "$sq_inc" ${QM_MODULE_FLAGS:-} "${sources[@]}" -o "$tmp"

fail=0
exports=$(nm -D --defined-only "$tmp" | awk '{print $2, $3}')
unique=$(echo "$exports" | awk '$1 == "u" {print $2}')
if [ -n "$unique" ]; then
  echo "error: the module has unique symbols (build with -fno-gnu-unique, no thread_local):"
  echo "$unique" | sed 's/^/  /'
  fail=1
fi
tags=$(echo "$exports" | awk '{print $2}' | c++filt | grep 'ClassTag' || true)
if [ -n "$tags" ]; then
  echo "error: the module defines class tags (they belong to the executable):"
  echo "$tags" | sed 's/^/  /'
  fail=1
fi
# Type information of the executable's classes that have no key function may be emitted here too
# (the sanitizers' type checks ask for it); it is the same data under the same name, so it is
# allowed.
extra=$(echo "$exports" | awk '{print $2}' |
  grep -v -x -e get_gameobj_func_by_name -e get_gameobj_vtables -e _init -e _fini -e _edata -e _end -e __bss_start |
  grep -v -e '^_ZTI' -e '^_ZTS' || true)
if [ -n "$extra" ] && [ -z "$unique$tags" ]; then
  echo "error: the module exports more than its two entry points:"
  echo "$extra" | c++filt | sed 's/^/  /'
  fail=1
fi
if readelf -lW "$tmp" | grep -q '^ *TLS '; then
  echo "error: the module has thread-local data"
  fail=1
fi
if [ $fail -ne 0 ]; then
  exit 1
fi
mv -f "$tmp" "$out_dir/$name"
trap - EXIT
echo "built $out_dir/$name"
