#!/usr/bin/env bash
# console_check.sh EXE LINUX_BUILD WINE: runs the exe under Wine
# in a real console (a tmux pane gives Wine one; a pipe would hide it) on a
# made world of about 2,000 Quorvale records named in Cyrillic, CJK and
# emoji, with a trace of its console calls.  Checks that the screen holds
# the lines that the Linux binary writes for the same run, that the name
# shows whole, and that the exe makes at most one WriteConsoleW call a line.
# Runs in the Wine prefix of the caller's WINEPREFIX.
set -euo pipefail
exe=$1 linux=$2 wine=$3
work=$(mktemp -d)
socket="$work/tmux"
finish() {
  tmux -S "$socket" kill-server 2>/dev/null || true
  [ -n "${QUORVALES_KEEP:-}" ] || rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "console check: $*"
  exit 1
}
mask() {  # the numbers that change from run to run
  sed -E '/^(Outputting Log to: quorvaleLog |Time taken: |Map of Quorvale data: quorvaleMap |Backup of the database before the deletes: )/ s/[0-9]+/#/g'
}

name='Мир 世界 🌍'
"$linux/make_sample_world" "$work/made" 6000 11 >/dev/null
printf '%s\n' "$name" >"$work/made/levelname.txt"
printf '1000\ny\n' >"$work/input"
cp -r "$work/made" "$work/linux-w"
mkdir "$work/linux"
(cd "$work/linux" && "$linux/quorvales" ../linux-w <../input >console.txt) ||
  fail "the Linux binary failed"
sed 's|\.\./linux-w|w|g' "$work/linux/console.txt" | mask >"$work/expected"
records=$(grep -c '^   |- Chunk \[' "$work/expected")
[ "$records" -ge 1500 ] || fail "only $records records in the made world"

# Only the console calls are traced.
"$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
  /d 'KERNEL32.WriteConsoleW;KERNELBASE.WriteConsoleW' /f >/dev/null 2>&1
cp -r "$work/made" "$work/w"
# Room for every line in the pane's history.
echo 'set-option -g history-limit 100000' >"$work/tmux.conf"
tmux -S "$socket" -f "$work/tmux.conf" new-session -d -x 300 -y 50 \
  "cd '$work' && \
   WINEDEBUG=+pid,+relay '$wine' '$exe' w <input 2>relay.txt; \
   echo \"EXIT=\$?\"; sleep 600"
# Far above the few seconds it takes: only a guard against a hang.
for _ in $(seq 1 600); do
  tmux -S "$socket" capture-pane -p -J -S - -E - >"$work/screen" 2>/dev/null ||
    true
  grep -q 'EXIT=[0-9]' "$work/screen" && break
  sleep 1
done
grep -q 'EXIT=0$' "$work/screen" || fail "the exe did not end with 0"
"$wine" reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1

# The screen up to the pause, its trailing blanks dropped.
sed -E 's/ +$//; /^Press any key to continue/,$d' "$work/screen" |
  sed 's/^$//' | mask >"$work/shown"
# Wine's terminal console draws each half of a character beyond the
# Basic Multilingual Plane, such as an emoji, as a replacement character;
# the text that reached the console is whole, which the Cyrillic and CJK
# show, and the log holds the emoji.
# A screen shows no trailing blanks either.
sed -i -E 's/🌍/��/g; s/ +$//' "$work/expected"
if ! diff -q "$work/expected" "$work/shown" >/dev/null; then
  diff "$work/expected" "$work/shown" | head -20
  fail "the screen differs from the Linux binary's transcript"
fi
grep -q '^   |- World Name: Мир 世界 ' "$work/shown" ||
  fail "the name does not show whole"
grep -q "^   |- World Name: $name"$'\r'"\$" "$work"/quorvaleLog*.txt ||
  fail "the log does not hold the name"

# Each process's calls: the exe's are by far the most; the pause's command
# processor writes its one line.
calls=$(grep -o '^[0-9a-f]*:[0-9a-f]*:Call KERNEL32.WriteConsoleW' \
  "$work/relay.txt" | cut -d: -f1 | sort | uniq -c | sort -n | tail -n 1 |
  awk '{ print $1 }')
lines=$(wc -l <"$work/expected")
echo "console check: $lines lines, ${calls:-0} WriteConsoleW calls, $records records"
[ "${calls:-0}" -gt 0 ] || fail "no console call traced"
[ "$calls" -le "$lines" ] || fail "$calls console calls for $lines lines"
