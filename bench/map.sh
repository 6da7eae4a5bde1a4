#!/usr/bin/env bash
# Measures the map page: for pages of 100,000 and 1,000,000 records, the
# median of QUORVALES_BENCH_RUNS (5) loads in Debian's Chromium, from the
# start of loading to the page's drawn signal, and the page's size against
# its budget of 40 bytes a record plus 300 KB.  Goal: 100,000 records drawn
# within 2 s.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${QUORVALES_BENCH_RUNS:-5}
jobs=$(nproc)
bash "$root/scripts/setup.sh" chromium
build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVALES_TESTS=OFF \
  -DQUORVALES_LEVELDB_TESTS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target make_map_page >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pages=()
for records in 100000 1000000; do
  page="$work/map-$records.html"
  "$build/make_map_page" "$page" "$records"
  pages+=("$page")
done
results=$(node "$root/bench/map_load.mjs" "$root/.deps/npm/node_modules" \
  "$runs" "${pages[@]}")
printf '%-10s %12s %12s %12s %14s\n' records bytes budget bytes/record \
  "median ms"
for records in 100000 1000000; do
  page="$work/map-$records.html"
  bytes=$(stat -c %s "$page")
  budget=$((40 * records + 300000))
  median=$(grep -F "$page " <<<"$results" | sed 's/.*median_ms=\([0-9]*\).*/\1/')
  printf '%-10s %12s %12s %12s %14s\n' "$records" "$bytes" "$budget" \
    "$(awk -v b="$bytes" -v n="$records" 'BEGIN { printf "%.1f", b / n }')" \
    "$median"
done
echo "each load (ms):"
sed "s|$work/||" <<<"$results"
