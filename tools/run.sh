#!/usr/bin/env bash
# Sets up the machine, builds the game, and starts it. Arguments go to the game (see --help).
# The build shows its progress on standard error: ninja's one moving status line on a terminal,
# a line per step elsewhere. The first build takes a few minutes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ -f "$root/build/build.ninja" ] || echo "run: first build of the game into build/, this takes a few minutes" >&2
NINJA_STATUS="building the game [%f/%t] " "$root/tools/build.sh" quenmoor >&2
exec "$root/bin/quenmoor" "$@"
