#!/usr/bin/env bash
# Sets up what is missing, builds the game (Release) and starts it with the given
# arguments, e.g. ./run.sh --selftest
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" --target orvane
exec "$root/build/bin/orvane" "$@"
