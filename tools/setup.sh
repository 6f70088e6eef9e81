#!/usr/bin/env bash
# Installs every Debian package the project needs, fetches the Squirrel source into the build
# tree and applies the project's patches to it (cmake/squirrel-patches/*.patch, in name order).
# Safe to run again: installed packages and a verified download are kept; the source is unpacked
# and patched again whenever the set of patches changes.
#   tools/setup.sh [build-dir]     (default: build)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}

packages=(
  build-essential patch cmake ninja-build ccache pkg-config dpkg-dev clang libclang-rt-14-dev
  libsdl2-dev libepoxy-dev libegl-dev libgl-dev libgl1-mesa-dri libegl-mesa0 libgbm1
  libfreetype-dev fonts-dejavu-core
  libstb-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- Squirrel 3.1: the pristine upstream tarball from Debian's source package -------------
sq_sha=51942b8638a97b673e34ecf3ca50304996fa99bbdbfa7fe93d9744e6769b2f95
deps=$build/_deps
tarball=$deps/squirrel3_3.1.orig.tar.gz
src=$deps/squirrel3
patches=("$root"/cmake/squirrel-patches/*.patch)
# The stamp names the tarball and the exact patch texts the source was made from.
stamp=$( { echo "$sq_sha"; cat "${patches[@]}"; } | sha256sum | cut -d' ' -f1)
if [ "$(cat "$src/.patched" 2>/dev/null)" != "$stamp" ]; then
  mkdir -p "$deps"
  if ! echo "$sq_sha  $tarball" | sha256sum -c - >/dev/null 2>&1; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # Reuse the mirror this machine already uses; only the suite and kind differ.
    uri=$( { cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '/^URIs:/{print $2}';
             cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
               sed -E 's/\[[^]]*\]//' | awk '/^deb /{print $2}'; } | grep -v security | head -1 || true)
    if [ -z "$uri" ]; then echo "setup: no apt mirror configured; cannot fetch Squirrel" >&2; exit 1; fi
    mkdir -p "$work/lists/partial"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri sid main" > "$work/sources.list"
    o=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
       -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User=root)
    echo "setup: fetching Squirrel 3.1 source"
    apt-get "${o[@]}" update -qq
    (cd "$work" && apt-get "${o[@]}" source --download-only --tar-only -qq squirrel3)
    mv "$work/squirrel3_3.1.orig.tar.gz" "$tarball"
    if ! echo "$sq_sha  $tarball" | sha256sum -c - >/dev/null; then
      echo "setup: $tarball: checksum mismatch" >&2; rm -f "$tarball"; exit 1
    fi
  fi
  rm -rf "$src" && mkdir -p "$src"
  # Fresh modification times: a file that a dropped patch restores must still be rebuilt.
  tar -xzf "$tarball" -C "$src" --strip-components=1 --touch
  for p in "${patches[@]}"; do
    if ! patch -d "$src" -p1 --batch --silent --no-backup-if-mismatch <"$p"; then
      echo "setup: $p does not apply to Squirrel 3.1" >&2; rm -rf "$src"; exit 1
    fi
  done
  echo "$stamp" >"$src/.patched"
  echo "setup: Squirrel 3.1 unpacked with ${#patches[@]} patches"
fi
echo "setup: ready (Squirrel in $src)"
