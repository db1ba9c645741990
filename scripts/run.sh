#!/usr/bin/env bash
# Sets up a Debian machine, builds Tandex and starts it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build" --target tandex
exec "$top/build/app/tandex" "$@"
