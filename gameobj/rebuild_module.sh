#!/usr/bin/env bash
# Builds the game object module.
#   gameobj/rebuild_module.sh OUT_DIR [NAME]
# Compiles every .cpp of the module's directory into OUT_DIR/NAME (default "gameobj_new.so",
# the name a running game swaps in; the normal build writes "gameobj.so"). The library is
# written to a temporary file and renamed, so a loaded module file is never written into.
# Refused (exit 1, "error:" lines): a module that exports anything but its two entry points (and
# type information), has unique symbols, defines a class tag (those live in the executable) or has
# thread-local data.
#
# Incremental: objects and their header dependencies live in OUT_DIR/.gameobj_build/<settings>/
# and ninja recompiles only the sources that changed (or whose headers or compile command did).
# Source paths in that directory are relative to it, so a copy of OUT_DIR and the sources that
# keeps their relative places and file times keeps its objects. Builds of one object directory
# take turns (a lock).
#
# Environment: CXX (default g++), QM_MODULE_SRC (sources, default this directory),
# QM_SQUIRREL_INC (Squirrel headers, default the build tree's copy), QM_ENGINE_INC (the engine's
# headers, default ../src), QM_MODULE_FLAGS (extra compiler flags). A setting missing from the
# environment is taken from the last build into OUT_DIR (OUT_DIR/.gameobj_build/settings), so a
# running game's rebuild compiles as the build that made its module did.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
out_dir=${1:?usage: rebuild_module.sh OUT_DIR [NAME]}
name=${2:-gameobj_new.so}
export LC_ALL=C
mkdir -p "$out_dir/.gameobj_build"
out_dir=$(cd "$out_dir" && pwd)
build_root=$out_dir/.gameobj_build

saved=()
if [ -f "$build_root/settings" ]; then mapfile -t saved <"$build_root/settings"; fi
# setting NAME DEFAULT: the environment's value, else the saved one, else DEFAULT.
setting() {
  if [ -n "${!1+set}" ]; then printf '%s' "${!1}"; return; fi
  local line
  for line in "${saved[@]}"; do
    if [ "${line%%=*}" = "$1" ]; then printf '%s' "${line#*=}"; return; fi
  done
  printf '%s' "$2"
}
cxx=$(setting CXX g++)
sq_inc=$(setting QM_SQUIRREL_INC "$root/build/_deps/squirrel3/include")
engine_inc=$(setting QM_ENGINE_INC "$root/src")
extra_flags=$(setting QM_MODULE_FLAGS "")
src=$(cd "${QM_MODULE_SRC:-$here}" && pwd)

shopt -s nullglob
sources=("$src"/*.cpp)
if [ ${#sources[@]} -eq 0 ]; then
  echo "error: no module sources in $src"
  exit 1
fi

# GCC marks some template statics and inline-function statics as unique symbols, which would keep
# an old module's copy alive across a reload; clang never makes them and has no such switch.
no_unique=
if "$cxx" -fno-gnu-unique -x c++ -fsyntax-only /dev/null >/dev/null 2>&1; then no_unique=-fno-gnu-unique; fi
flags="-std=c++20 -O2 -g -fPIC -fvisibility=hidden -fvisibility-inlines-hidden $no_unique -ffp-contract=off"
flags+=" -fno-fast-math -Wall -Wextra -Wno-unused-parameter -Werror -D_SQ64"

# One object directory per compiler, flags, include directories and place of the sources
# (relative to OUT_DIR, so that a copy of both keeps it).
src_place=$(realpath --relative-to="$build_root" "$src")
tag=$(printf '%s\n' "$cxx" "$flags" "$extra_flags" "$sq_inc" "$engine_inc" "$src_place" | cksum | cut -d' ' -f1)
obj_dir=$build_root/$tag
mkdir -p "$obj_dir"
exec 9>"$obj_dir/lock"
flock 9
rel_src=$(realpath --relative-to="$obj_dir" "$src")

# ccache fills a fresh object directory quickly; a source that changed under an existing object
# is compiled directly (a cache miss would only add a preprocessing pass to the reload's wait).
cached=$cxx
if command -v ccache >/dev/null 2>&1; then cached="ccache $cxx"; fi
# The module's common header (module.h, with the engine and standard headers under it) is
# precompiled once and read by every source: most of a source's compile time is those headers.
# GCC only; a source that cannot use it reads the header itself.
pch=
if [ -f "$src/module.h" ] && ! "$cxx" --version 2>/dev/null | grep -qi clang; then
  pch=pch.h
  if [ "$(cat "$obj_dir/$pch" 2>/dev/null)" != '#include "module.h"' ]; then
    echo '#include "module.h"' >"$obj_dir/$pch"
  fi
fi
{
  echo "# Written by rebuild_module.sh for each build."
  echo "ninja_required_version = 1.8"
  echo "flags = $flags -I$engine_inc -I$rel_src -isystem $sq_inc $extra_flags"
  echo "rule cxx"
  echo "  command = if [ -e \$out ]; then $cxx \$flags \$pch -MD -MF \$out.d -c \$in -o \$out;" \
    "else $cached \$flags \$pch -MD -MF \$out.d -c \$in -o \$out; fi"
  echo "  depfile = \$out.d"
  echo "  deps = gcc"
  echo "  description = compiling \$in"
  echo "rule pch"
  echo "  command = $cxx \$flags -x c++-header -MD -MF \$out.d \$in -o \$out"
  echo "  depfile = \$out.d"
  echo "  deps = gcc"
  echo "  description = precompiling \$in"
  echo "rule link"
  echo "  command = $cxx \$flags -shared \$in -o \$out"
  echo "  description = linking $name"
  objs=()
  if [ -n "$pch" ]; then echo "build $pch.gch: pch $pch"; fi
  for s in "${sources[@]}"; do
    o=$(basename "${s%.cpp}").o
    objs+=("$o")
    echo "build $o: cxx $rel_src/$(basename "$s")${pch:+ | $pch.gch}"
    if [ -n "$pch" ]; then echo "  pch = -include $pch"; fi
  done
  echo "build module.so: link ${objs[*]}"
} >"$obj_dir/build.ninja.new"
mv -f "$obj_dir/build.ninja.new" "$obj_dir/build.ninja"

echo "building $name from ${#sources[@]} sources"
ninja -C "$obj_dir" --quiet 2>&1 || ninja_status=$?
if [ "${ninja_status:-0}" -ne 0 ]; then
  echo "error: the module did not compile (ninja exit code $ninja_status)"
  exit 1
fi
lib=$obj_dir/module.so

fail=0
exports=$(nm -D --defined-only "$lib" | awk '{print $2, $3}')
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
if readelf -lW "$lib" | grep -q '^ *TLS '; then
  echo "error: the module has thread-local data"
  fail=1
fi
if [ $fail -ne 0 ]; then
  exit 1
fi

tmp=$(mktemp "$out_dir/.$name.XXXXXX")
trap 'rm -f "$tmp"' EXIT
cp "$lib" "$tmp"
mv -f "$tmp" "$out_dir/$name"
trap - EXIT
settings_tmp=$(mktemp "$build_root/.settings.XXXXXX")
printf '%s\n' "CXX=$cxx" "QM_SQUIRREL_INC=$sq_inc" "QM_ENGINE_INC=$engine_inc" "QM_MODULE_FLAGS=$extra_flags" \
  >"$settings_tmp"
mv -f "$settings_tmp" "$build_root/settings"
echo "built $out_dir/$name"
