#!/usr/bin/env bash
# Sets up, builds, and runs every test: the project's own and LevelDB's
# suite, then the project's tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows build's tests under Wine,
# then each fuzzer for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${QUORVALES_FUZZ_SECONDS:-60}
bash "$root/scripts/setup.sh"

echo "== build and test"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$jobs"
(cd "$root/build" && ctest -j"$jobs" --output-on-failure --timeout 900)

echo "== build and test under ASan and UBSan"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVALES_SANITIZE=ON -DQUORVALES_LEVELDB_TESTS=OFF >/dev/null
cmake --build "$root/build-asan" -j"$jobs"
(cd "$root/build-asan" && ctest -j"$jobs" --output-on-failure --timeout 900)

echo "== build quorvales.exe and test it under Wine"
bash "$root/scripts/test-windows.sh"

echo "== fuzz, ${fuzz_seconds} s each"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVALES_FUZZ=ON -DQUORVALES_TESTS=OFF \
  -DQUORVALES_LEVELDB_TESTS=OFF >/dev/null
cmake --build "$root/build-fuzz" -j"$jobs" --target block_decode_fuzzer \
  chunk_key_fuzzer
for fuzzer in block_decode chunk_key; do
  # New inputs and any crash go to a scratch folder; the committed corpus
  # stays as it is.  The end of the log is shown when the fuzzer fails.
  scratch=$(mktemp -d)
  mkdir "$scratch/corpus"
  rc=0
  "$root/build-fuzz/${fuzzer}_fuzzer" -max_total_time="$fuzz_seconds" \
    -print_final_stats=1 -artifact_prefix="$scratch/" "$scratch/corpus" \
    "$root/fuzz/corpus/$fuzzer" >"$scratch/log" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$scratch/log"
    echo "fuzzer $fuzzer failed"
    exit 1
  fi
  tail -n 3 "$scratch/log"
  rm -rf "$scratch"
done
echo "suites: 5 passed, 0 failed"
