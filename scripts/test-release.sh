#!/usr/bin/env bash
# Makes the release files with scripts/package.sh and tests them as a user
# would get them: the Linux binary needs no shared library and runs a world
# end to end, the exe passes the Wine end-to-end tests, and the .deb
# installs with dpkg into a temporary root and its binary runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=$(sed -n 's/^project(quorvales VERSION \([0-9.]*\) .*/\1/p' \
  "$root/CMakeLists.txt")
bash "$root/scripts/package.sh" "$version"
dist="$root/dist"
linux="$dist/quorvales-$version-linux-x86_64"
exe="$dist/quorvales-$version-windows-x86_64.exe"
deb="$dist/quorvales_${version}_amd64.deb"
fixtures="$root/../shared/fixtures/worlds"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}

(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS"

# The lines whose numbers change from run to run, masked as the golden
# files have them (the same prefixes as MaskRunDetails in tests/golden.cc).
mask() {
  sed -E '/^(Outputting Log to: quorvaleLog |Quorvales Program Started - |Time taken: |Map of Quorvale data: quorvaleMap |Backup of the database before the deletes: )/ s/[0-9]/#/g'
}

# Runs binary in a fresh folder on a copy of the game-written world and
# compares the transcript and the log with the golden files; without the
# fixture worlds, on a made world, and checks that it completed.
run_world() {  # label, binary
  local dir="$work/$1"
  mkdir -p "$dir"
  if [ -d "$fixtures/game-1.21.72-example2" ]; then
    cp -r "$fixtures/game-1.21.72-example2" "$dir/w"
    chmod -R u+w "$dir/w"
    (cd "$dir" && printf '1000\ny\n' | "$2" w >console.txt) ||
      fail "$1: exit code $?"
    mask <"$dir/console.txt" | cmp -s - "$root/tests/golden/completed.console" ||
      fail "$1: the console transcript differs from the golden file"
    mask <"$dir"/quorvaleLog*.txt | cmp -s - "$root/tests/golden/completed.log" ||
      fail "$1: the log differs from the golden file"
  else
    echo "no fixture worlds: $1 runs a made world"
    "$root/build/make_sample_world" "$dir/w" 50 >/dev/null
    (cd "$dir" && printf '1000\ny\n' | "$2" w >console.txt) ||
      fail "$1: exit code $?"
    grep -q '^10. Quorvale Data Deleted$' "$dir/console.txt" ||
      fail "$1: the run did not complete"
  fi
}

echo "== the Linux binary"
needed=$(objdump -p "$linux" | awk '/NEEDED/ { print $2 }')
[ -z "$needed" ] || fail "the Linux binary needs $needed"
run_world linux "$linux"
[ "$("$linux" --version)" = "quorvales $version" ] ||
  fail "the Linux binary's --version"

echo "== the .deb"
instroot="$work/root"
mkdir -p "$instroot/var/lib/dpkg/updates" "$instroot/var/lib/dpkg/info"
touch "$instroot/var/lib/dpkg/status"
dpkg --root="$instroot" --force-not-root --force-script-chrootless \
  -i "$deb" >/dev/null || fail "dpkg -i"
dpkg --root="$instroot" -s quorvales | grep -q "^Version: $version$" ||
  fail "the installed package's version"
run_world deb "$instroot/usr/bin/quorvales"

echo "== the exe under Wine"
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
wine=/usr/lib/wine/wine64
stop_wine() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap stop_wine EXIT
"$wine" wineboot --init >/dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }
strings -e l "$exe" | grep -qx "$version" || fail "the exe's version resource"
for case in completed unicode_world options; do
  rc=0
  "$wine" "$root/build-windows/windows_run_test.exe" "$case" \
    "$(winpath "$exe")" "$(winpath "$fixtures")" \
    "$(winpath "$root/tests/golden")" </dev/null || rc=$?
  [ "$rc" -eq 0 ] || [ "$rc" -eq 77 ] || fail "the exe: $case"
done

if [ "$failed" -ne 0 ]; then
  echo "release files: failed"
  exit 1
fi
echo "release files: passed"
