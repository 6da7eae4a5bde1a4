#!/usr/bin/env bash
# Prepares a machine to build the project: installs Debian's packages,
# fetches LevelDB 1.23 from Debian's source package, checks it, unpacks
# and patches it into .deps/.  Re-running redoes only what is missing.
# Arguments name further Debian packages to install.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deps="$root/.deps"
leveldb_sha256=9a37f8a6174f09bd622bc723b55881dc541cd50747cbd08831c2a82d620f6d76
tarball="$deps/leveldb_1.23.orig.tar.gz"
source_dir="$deps/leveldb-1.23"
patch_file="$root/src/leveldb_ext/leveldb-1.23.patch"
# Debian's patches that point LevelDB's tests at the system GoogleTest, make
# the Bloom filter test less brittle, and keep RTTI on, which classes derived
# from LevelDB's in the project's code need.
debian_patches=(0120-external_testing.patch 1001-fix_bloom_test.patch
  re-enable-rtti.patch)

packages=(g++ make cmake patch xz-utils dpkg-dev zlib1g-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

apt_updated=0
apt_update() {
  [ "$apt_updated" -eq 1 ] && return
  "${sudo_cmd[@]}" apt-get update -qq
  apt_updated=1
}

install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' ||
      missing+=("$p")
  done
  [ "${#missing[@]}" -eq 0 ] && return
  echo "setup: installing ${missing[*]}"
  apt_update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    --no-install-recommends "${missing[@]}" </dev/null
}

have_deb_src() {
  grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list \
    /etc/apt/sources.list.d/
}

add_deb_src() {
  local codename uri
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  uri=$(grep -hsE '^URIs:.*/debian/?$' /etc/apt/sources.list.d/*.sources |
    head -n 1 | awk '{print $2}')
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  echo "setup: adding a deb-src entry for $codename"
  "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quorvales-deb-src.sources \
    >/dev/null <<SRC
Types: deb-src
URIs: $uri
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt_updated=0
}

# Names what the unpacked tree was made from, so that a changed patch
# unpacks afresh.
patch_stamp() {
  { echo "${debian_patches[*]}"; cat "$patch_file"; } | sha256sum | cut -d' ' -f1
}

tarball_ok() {
  [ -f "$tarball" ] &&
    echo "$leveldb_sha256  $tarball" | sha256sum --quiet -c - 2>/dev/null
}

fetch_leveldb() {
  have_deb_src || add_deb_src
  apt_update
  local download="$deps/download"
  rm -rf "$download"
  mkdir -p "$download"
  # apt fetches as its own _apt user when it can write here.
  chmod 777 "$download"
  (cd "$download" && apt-get source --download-only -qq leveldb)
  mv "$download"/leveldb_1.23.orig.tar.gz "$tarball"
  mv "$download"/leveldb_1.23-*.debian.tar.xz "$deps/leveldb.debian.tar.xz"
  rm -rf "$download"
}

unpack_leveldb() {
  local staging="$deps/staging"
  rm -rf "$staging" "$source_dir"
  mkdir -p "$staging"
  tar -xzf "$tarball" -C "$staging"
  tar -xJf "$deps/leveldb.debian.tar.xz" -C "$staging"
  for p in "${debian_patches[@]}"; do
    patch -d "$staging/leveldb-1.23" -p1 --quiet <"$staging/debian/patches/$p"
  done
  patch -d "$staging/leveldb-1.23" -p1 --quiet <"$patch_file"
  patch_stamp >"$staging/leveldb-1.23/.patched"
  mv "$staging/leveldb-1.23" "$source_dir"
  rm -rf "$staging"
}

install_packages "${packages[@]}" "$@"
mkdir -p "$deps"
if ! tarball_ok || [ ! -f "$deps/leveldb.debian.tar.xz" ]; then
  fetch_leveldb
  if ! tarball_ok; then
    echo "setup: LevelDB source does not match its SHA-256" >&2
    exit 1
  fi
fi
if [ "$(cat "$source_dir/.patched" 2>/dev/null)" != "$(patch_stamp)" ]; then
  unpack_leveldb
fi

# From npm, pinned: the validator of the GitHub workflows, and what the
# map's test drives Debian's Chromium with.
npm_packages=(@action-validator/cli@0.6.0 playwright-core@1.65.2 pngjs@7.0.0)
npm_stamp="$deps/npm/.installed"
if [ "$(cat "$npm_stamp" 2>/dev/null)" != "${npm_packages[*]}" ]; then
  command -v npm >/dev/null || install_packages nodejs npm
  echo "setup: installing ${npm_packages[*]}"
  rm -rf "$deps/npm"
  mkdir -p "$deps/npm"
  npm install --no-save --no-audit --no-fund --loglevel=error \
    --prefix "$deps/npm" "${npm_packages[@]}" >/dev/null
  echo "${npm_packages[*]}" >"$npm_stamp"
fi
