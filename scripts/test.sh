#!/usr/bin/env bash
# Sets up, builds, and runs every test: the project's own and LevelDB's.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)"
cd "$root/build"
ctest -j"$(nproc)" --output-on-failure --timeout 900
