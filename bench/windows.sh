#!/usr/bin/env bash
# The Windows exe against the Linux binary, in one paired run, on two
# benchmark worlds: "250-4k" (250 MB of tables in 4 KiB blocks, dense in
# record lines, as bench/run.sh makes it) and "250-few" (250 MB in the
# game's 160 KiB blocks with a hundredth of the tick records).  Each run is
# a confirmed run with limit 2147483647 on a fresh copy; QUORVALES_BENCH_RUNS
# (5) of each, medians, net of the median of a run on a missing world
# (start-up and, for the exe, Wine's start and the pause).  It reports:
#   redirected   output to a file: the exe's time over the Linux binary's;
#   console      the exe in Wine's console (a tmux pane) on the 4 KiB world,
#                against its redirected time;
#   calls        WriteConsoleW calls per line, from a +relay trace of a
#                made world in a real console (tests/windows/console_check.sh).
# Goals: one console call per line at most; the console run within 20
# times the redirected one; redirected on "250-few" at most 1.3 times the
# Linux binary.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${QUORVALES_BENCH_RUNS:-5}
jobs=$(nproc)

QUORVALES_WINDOWS_BUILD_ONLY=1 bash "$root/scripts/test-windows.sh" >/dev/null
exe="$root/build-windows/quorvales.exe"
bin="$root/build-bench"
cmake -S "$root" -B "$bin" -DCMAKE_BUILD_TYPE=Release -DQUORVALES_TESTS=OFF \
  -DQUORVALES_LEVELDB_TESTS=OFF >/dev/null
cmake --build "$bin" -j"$jobs" --target quorvales make_bench_world \
  make_sample_world >/dev/null

stamp=$(sha256sum "$root/bench/make_bench_world.cc" | cut -d' ' -f1)
make_world() {  # name, block size, tick records per 1000 chunks
  local world="$bin/worlds/$1"
  if [ "$(cat "$world.stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "== making the $1 world"
    rm -rf "$world" "$world.stamp"
    mkdir -p "$bin/worlds"
    "$bin/make_bench_world" "$world" 250 1 "$2" "$3" >/dev/null
    echo "$stamp" >"$world.stamp"
  fi
}
make_world 250-4k 4096 500
make_world 250-few 163840 5

WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
work=$(mktemp -d)
socket="$work/tmux"
finish() {
  tmux -S "$socket" kill-server 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap finish EXIT
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
"$wineserver" -p
printf '2147483647\ny\n' >"$work/input"

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Seconds of one run of "linux" or "exe" on a fresh copy of the world
# (empty: a missing world), output to a file.
timed_run() {  # which, world
  rm -rf "$work/run"
  mkdir -p "$work/run"
  [ -n "$2" ] && cp -r "$2" "$work/run/w"
  sync
  local start end
  start=$(now)
  if [ "$1" = linux ]; then
    (cd "$work/run" && "$bin/quorvales" w <"$work/input" >out.txt) || true
  else
    (cd "$work/run" && "$wine" "$exe" w <"$work/input" >out.txt) || true
  fi
  end=$(now)
  calc "$end - $start"
}

# The same in Wine's console: a tmux pane, whose command writes its time.
console_run() {  # world
  rm -rf "$work/run"
  mkdir -p "$work/run"
  cp -r "$1" "$work/run/w"
  sync
  rm -f "$work/console-time"
  tmux -S "$socket" -f /dev/null new-session -d -x 200 -y 50 \
    "cd '$work/run' && s=\$(date +%s.%N) && '$wine' '$exe' w <'$work/input'; \
     e=\$(date +%s.%N); awk \"BEGIN { print \$e - \$s }\" >'$work/console-time'"
  while [ ! -s "$work/console-time" ]; do sleep 0.2; done
  tmux -S "$socket" kill-server 2>/dev/null || true
  cat "$work/console-time"
}

"$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1
declare -A median_of
for which in linux exe; do
  for _ in $(seq "$runs"); do timed_run "$which" ""; done |
    median >"$work/missing-$which"
  median_of[missing-$which]=$(cat "$work/missing-$which")
done
for world in 250-4k 250-few; do
  for which in linux exe; do
    rm -f "$work/times"
    for _ in $(seq "$runs"); do
      timed_run "$which" "$bin/worlds/$world" >>"$work/times"
    done
    median_of[$world-$which]=$(median <"$work/times")
  done
done
for _ in $(seq "$runs"); do console_run "$bin/worlds/250-4k"; done |
  median >"$work/console"
console_net=$(calc "$(cat "$work/console") - ${median_of[missing-exe]}")

net() { calc "${median_of[$1-$2]} - ${median_of[missing-$2]}"; }
lines() {
  rm -rf "$work/run" && mkdir -p "$work/run" && cp -r "$bin/worlds/$1" "$work/run/w"
  (cd "$work/run" && "$bin/quorvales" w <"$work/input" | wc -l)
}
echo
printf '%-8s %7s %10s %10s %8s\n' world lines "linux s" "exe s" "exe/linux"
for world in 250-4k 250-few; do
  l=$(net "$world" linux) e=$(net "$world" exe)
  printf '%-8s %7s %10.2f %10.2f %8.2f\n' "$world" "$(lines "$world")" \
    "$l" "$e" "$(calc "$e / $l")"
done
printf 'missing world: linux %.3f s, exe %.3f s (subtracted above)\n' \
  "${median_of[missing-linux]}" "${median_of[missing-exe]}"
printf 'console (250-4k): %.2f s net, %.1f times the redirected run\n' \
  "$console_net" "$(calc "$console_net / $(net 250-4k exe)")"
bash "$root/tests/windows/console_check.sh" "$exe" "$bin" "$wine" |
  sed 's/^console check: /calls (made world in a console): /'
