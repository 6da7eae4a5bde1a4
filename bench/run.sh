#!/usr/bin/env bash
# Measures a full run of the tool against what it cannot avoid, on worlds
# of about 50 MB, 250 MB and 1 GB of table files with the game's 160 KiB
# blocks, and 250 MB with 4 KiB blocks ("250-4k"):
#   read             every file of db/ read once (cat);
#   floor-zlib       every block of every table inflated by zlib, on one
#                    core, nothing else;
#   floor-libdeflate the same with libdeflate;
#   tool-zlib        a confirmed run with limit 1000 on a fresh copy of the
#                    world, decoding with zlib, on every core;
#   tool-1t          the same decoding with libdeflate, on one core
#                    (taskset -c 0);
#   tool-2t          the same on two cores (taskset -c 0,1);
#   backup           the backup that such a run makes first, alone.
# Each is run QUORVALES_BENCH_RUNS times (5) and the median reported.  The
# files are in the page cache for every measure alike.  It also reports
# how evenly 2, 4, 8 and 16 threads would share each world's ranges.
# QUORVALES_BENCH_SIZES picks other worlds ("50 250 1000 250-4k").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${QUORVALES_BENCH_RUNS:-5}
sizes=${QUORVALES_BENCH_SIZES:-50 250 1000 250-4k}
jobs=$(nproc)
work="$root/build-bench/work"

bash "$root/scripts/setup.sh"
if ! [ -x /usr/bin/time ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    --no-install-recommends time </dev/null
fi

build() {  # folder, extra CMake options
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQUORVALES_TESTS=OFF \
    -DQUORVALES_LEVELDB_TESTS=OFF "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" --target quorvales make_bench_world \
    inflate_floor make_backup range_balance >/dev/null
}
echo "== building"
build "$root/build-bench" -DQUORVALES_LIBDEFLATE=ON
build "$root/build-bench-zlib" -DQUORVALES_LIBDEFLATE=OFF
bin="$root/build-bench"

# Worlds are made once and kept while the generator stays the same.
stamp=$(sha256sum "$root/bench/make_bench_world.cc" | cut -d' ' -f1)
for size in $sizes; do
  world="$root/build-bench/worlds/$size"
  if [ "$(cat "$world.stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "== making the $size MB world"
    rm -rf "$world" "$world.stamp"
    mkdir -p "$(dirname "$world")"
    # "250-4k": 250 MB in 4 KiB blocks.
    block_size=163840
    [ "${size%-4k}" != "$size" ] && block_size=4096
    "$bin/make_bench_world" "$world" "${size%-4k}" 1 "$block_size"
    echo "$stamp" >"$world.stamp"
  fi
done

# Runs a command under /usr/bin/time -v and prints "wall user sys rss_kb".
measure() {
  local report
  report=$(mktemp)
  /usr/bin/time -v -o "$report" "$@"
  awk -F': ' '
    /Elapsed \(wall clock\)/ {
      n = split($2, p, ":"); wall = 0
      for (i = 1; i <= n; i++) wall = wall * 60 + p[i]
    }
    /User time/ { user = $2 }
    /System time/ { sys = $2 }
    /Maximum resident set size/ { rss = $2 }
    END { printf "%.2f %.2f %.2f %d\n", wall, user, sys, rss }' "$report"
  rm -f "$report"
}

run_tool() {  # CPUs for taskset, binary, world
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "$3" "$work/w"
  # The copy's writeback would otherwise run during the measure.
  sync
  (cd "$work" &&
    printf '1000\ny\n' | measure taskset -c "$1" sh -c '"$0" w >out.txt' "$2")
  grep -q '^Chunks Deleted: [1-9]' "$work/out.txt" ||
    { echo "bench: the tool did not purge $3" >&2; exit 1; }
}

run_backup() {  # world
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "$1" "$work/w"
  sync
  measure "$bin/make_backup" "$work/w"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

all_cpus="0-$(($(nproc) - 1))"
results=$(mktemp)
balance=$(mktemp)
for size in $sizes; do
  world="$root/build-bench/worlds/$size"
  read -r _ tables _ blocks _ stored _ decoded \
    < <("$bin/inflate_floor" "$world/db")
  echo "== $size MB world: $tables tables, $blocks blocks, $stored bytes" \
    "stored, $decoded decoded"
  cat "$world"/db/* >/dev/null
  rm -rf "$work" && mkdir -p "$work" && cp -r "$world" "$work/w"
  "$bin/range_balance" "$work/w/db" | sed "s/^/$size MB: /" >>"$balance"
  for run in $(seq "$runs"); do
    echo "read $(measure sh -c "cat '$world'/db/* >/dev/null")" >>"$results.$size"
    echo "floor-zlib $(measure taskset -c 0 "$bin/inflate_floor" "$world/db" \
      zlib | tail -n 1)" >>"$results.$size"
    echo "floor-libdeflate $(measure taskset -c 0 "$bin/inflate_floor" \
      "$world/db" libdeflate | tail -n 1)" >>"$results.$size"
    echo "tool-zlib $(run_tool "$all_cpus" "$root/build-bench-zlib/quorvales" \
      "$world" | tail -n 1)" >>"$results.$size"
    echo "tool-1t $(run_tool 0 "$bin/quorvales" "$world" | tail -n 1)" \
      >>"$results.$size"
    echo "tool-2t $(run_tool 0,1 "$bin/quorvales" "$world" | tail -n 1)" \
      >>"$results.$size"
    echo "backup $(run_backup "$world" | tail -n 1)" >>"$results.$size"
  done
  for what in read floor-zlib floor-libdeflate tool-zlib tool-1t tool-2t \
    backup; do
    row=$(grep "^$what " "$results.$size")
    echo "$size $stored $decoded $what" \
      "$(cut -d' ' -f2 <<<"$row" | median)" \
      "$(cut -d' ' -f3 <<<"$row" | median)" \
      "$(cut -d' ' -f4 <<<"$row" | median)" \
      "$(cut -d' ' -f5 <<<"$row" | median)" >>"$results"
  done
  rm -f "$results.$size"
done
rm -rf "$work"

echo
echo "Medians of $runs runs on $(nproc) cores:" \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
awk '
  $4 == "floor-zlib" { zfloor[$1] = $5 }
  $4 == "floor-libdeflate" { dfloor[$1] = $5 }
  { rows[NR] = $0 }
  END {
    printf "%-10s %-16s %8s %7s %7s %9s %9s %8s %8s\n", "world", "measure",
      "wall s", "user s", "sys s", "peak MiB", "MB/s", "x zlib", "x ldfl"
    for (i = 1; i <= NR; i++) {
      split(rows[i], f, " ")
      mbs = f[5] > 0 ? f[3] / 1e6 / f[5] : 0
      zr = zfloor[f[1]] > 0 ? f[5] / zfloor[f[1]] : 0
      dr = dfloor[f[1]] > 0 ? f[5] / dfloor[f[1]] : 0
      printf "%-10s %-16s %8.2f %7.2f %7.2f %9.1f %9.0f %8.2f %8.2f\n",
        f[1] " MB", f[4], f[5], f[6], f[7], f[8] / 1024, mbs, zr, dr
      # Time per MB across the game-block worlds.
      if (f[4] ~ /^tool/ && f[1] !~ /-4k$/) {
        per_mb[f[4], f[1]] = f[5] / (f[3] / 1e6)
        order[f[4]] = order[f[4]] " " f[1]
      }
      if (f[4] == "tool-2t") tool[f[1]] = f[5]
      if (f[4] == "backup") backup[f[1]] = f[5]
    }
    print ""
    for (w in backup) {
      if (tool[w] > 0) {
        printf "The backup, alone, on the %s MB world: %.3f s, %.1f%% of the run on two cores\n",
          w, backup[w], backup[w] / tool[w] * 100
      }
    }
    print ""
    print "MB/s counts uncompressed block bytes. Tool time per MB, smallest game-block world to largest:"
    for (what in order) {
      n = split(order[what], s, " ")
      line = sprintf("  %-16s", what); lo = hi = per_mb[what, s[1]]
      for (j = 1; j <= n; j++) {
        v = per_mb[what, s[j]]
        line = line sprintf(" %s MB: %.2f ms", s[j], v * 1000)
        if (v < lo) lo = v
        if (v > hi) hi = v
      }
      printf "%s; spread %.0f%%\n", line, (hi - lo) / lo * 100
    }
  }' "$results"
echo
echo "How evenly threads would share the ranges (busiest thread over the mean):"
cat "$balance"
rm -f "$results" "$balance"
