#!/usr/bin/env bash
# Sets up and builds the tool, then runs it interactively on the world
# folder given, or on a fresh copy of the sample world.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target quorvales make_sample_world
if [ $# -gt 0 ]; then
  exec "$root/build/quorvales" "$1"
fi
world="$root/build/sample-world"
rm -rf "$world"
"$root/build/make_sample_world" "$world"
cd "$root/build"
exec ./quorvales sample-world
