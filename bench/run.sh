#!/usr/bin/env bash
# Measures a full run of the tool against what it cannot avoid, on worlds
# of about 50 MB, 250 MB and 1 GB of table files:
#   read     every file of db/ read once (cat);
#   floor    every block of every table inflated by zlib, nothing else;
#   tool     a confirmed run with limit 1000 on a fresh copy of the world,
#            once decoding with zlib and once with libdeflate;
#   backup   the backup that such a run makes first, alone, on a fresh copy.
# Each is run QUORVALES_BENCH_RUNS times (5) and the median reported.  The
# files are in the page cache for every measure alike.
# QUORVALES_BENCH_SIZES picks other sizes, in MB ("50 250 1000").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${QUORVALES_BENCH_RUNS:-5}
sizes=${QUORVALES_BENCH_SIZES:-50 250 1000}
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
    inflate_floor make_backup >/dev/null
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
    "$bin/make_bench_world" "$world" "$size"
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

run_tool() {  # binary, world
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "$2" "$work/w"
  # The copy's writeback would otherwise run during the measure.
  sync
  (cd "$work" &&
    printf '1000\ny\n' | measure sh -c '"$0" w >out.txt' "$1")
  grep -q '^Chunks Deleted: [1-9]' "$work/out.txt" ||
    { echo "bench: the tool did not purge $2" >&2; exit 1; }
}

run_backup() {  # world
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "$1" "$work/w"
  sync
  measure "$bin/make_backup" "$work/w"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

results=$(mktemp)
for size in $sizes; do
  world="$root/build-bench/worlds/$size"
  read -r _ tables _ blocks _ stored _ decoded \
    < <("$bin/inflate_floor" "$world/db")
  echo "== $size MB world: $tables tables, $blocks blocks, $stored bytes" \
    "stored, $decoded decoded"
  cat "$world"/db/* >/dev/null
  for run in $(seq "$runs"); do
    echo "read $(measure sh -c "cat '$world'/db/* >/dev/null")" >>"$results.$size"
    echo "floor $(measure "$bin/inflate_floor" "$world/db" | tail -n 1)" \
      >>"$results.$size"
    echo "tool-zlib $(run_tool "$root/build-bench-zlib/quorvales" "$world" |
      tail -n 1)" >>"$results.$size"
    echo "tool-libdeflate $(run_tool "$bin/quorvales" "$world" | tail -n 1)" \
      >>"$results.$size"
    echo "backup $(run_backup "$world" | tail -n 1)" >>"$results.$size"
  done
  for what in read floor tool-zlib tool-libdeflate backup; do
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
  $4 == "floor" { floor[$1] = $5 }
  { rows[NR] = $0 }
  END {
    printf "%-6s %-16s %8s %7s %7s %9s %9s %9s\n", "world", "measure",
      "wall s", "user s", "sys s", "peak MiB", "MB/s", "x floor"
    for (i = 1; i <= NR; i++) {
      split(rows[i], f, " ")
      mbs = f[5] > 0 ? f[3] / 1e6 / f[5] : 0
      ratio = floor[f[1]] > 0 ? f[5] / floor[f[1]] : 0
      printf "%-6s %-16s %8.2f %7.2f %7.2f %9.1f %9.0f %9.2f\n", f[1] " MB",
        f[4], f[5], f[6], f[7], f[8] / 1024, mbs, ratio
      if (f[4] ~ /^tool/) {
        per_mb[f[4], f[1]] = f[5] / (f[3] / 1e6)
        order[f[4]] = order[f[4]] " " f[1]
      }
    }
    print ""
    for (i = 1; i <= NR; i++) {
      split(rows[i], f, " ")
      if (f[4] == "tool-libdeflate") tool[f[1]] = f[5]
      if (f[4] == "backup") backup[f[1]] = f[5]
    }
    for (w in backup) {
      if (tool[w] > 0) {
        printf "The backup, alone, on the %s MB world: %.3f s, %.1f%% of the run with libdeflate\n",
          w, backup[w], backup[w] / tool[w] * 100
      }
    }
    print ""
    print "MB/s counts uncompressed block bytes. Tool time per MB, smallest world to largest:"
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
rm -f "$results"
