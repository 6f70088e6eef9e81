#!/usr/bin/env bash
# Sets up the machine, builds, and starts the game. Arguments go to the game (see --help).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/build.sh" quenmoor >/dev/null
exec "$root/bin/quenmoor" "$@"
