#!/usr/bin/env bash
# Prepares the Windows build: the MinGW-w64 compilers, static zlib, Wine
# and tmux (a real console for Wine) from Debian, and libdeflate 1.14 from
# Debian's source package, checked by its SHA-256 and built with the MinGW
# compiler into .deps/libdeflate-mingw/ (the package has no CMake build).
# Re-running redoes only what is missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps="$root/.deps"
bash "$root/scripts/setup.sh" g++-mingw-w64-x86-64-posix libz-mingw-w64-dev \
  wine64 tmux

libdeflate_sha256=89e7df898c37c3427b0f39aadcf733731321a278771d20fc553f92da8d4808ac
tarball="$deps/libdeflate_1.14.orig.tar.gz"
out="$deps/libdeflate-mingw"

tarball_ok() {
  [ -f "$tarball" ] &&
    echo "$libdeflate_sha256  $tarball" | sha256sum --quiet -c - 2>/dev/null
}

if ! tarball_ok; then
  # setup.sh has added the deb-src entry that LevelDB's source needed.
  download="$deps/download-libdeflate"
  rm -rf "$download"
  mkdir -p "$download"
  chmod 777 "$download"  # apt fetches as its own _apt user
  (cd "$download" && apt-get source --download-only -qq libdeflate)
  mv "$download"/libdeflate_1.14.orig.tar.gz "$tarball"
  rm -rf "$download"
  if ! tarball_ok; then
    echo "setup: libdeflate source does not match its SHA-256" >&2
    exit 1
  fi
fi
if [ "$(cat "$out/.built" 2>/dev/null)" != "$libdeflate_sha256" ]; then
  echo "setup: building libdeflate 1.14 for Windows"
  staging="$deps/staging-libdeflate"
  rm -rf "$staging" "$out"
  mkdir -p "$staging"
  tar -xzf "$tarball" -C "$staging"
  make -s -C "$staging/libdeflate-1.14" -j"$(nproc)" \
    CC=x86_64-w64-mingw32-gcc-posix AR=x86_64-w64-mingw32-ar \
    libdeflatestatic.lib >/dev/null
  mkdir -p "$out/include" "$out/lib"
  cp "$staging/libdeflate-1.14/libdeflate.h" "$out/include/"
  cp "$staging/libdeflate-1.14/libdeflatestatic.lib" "$out/lib/libdeflate.a"
  rm -rf "$staging"
  echo "$libdeflate_sha256" >"$out/.built"
fi
