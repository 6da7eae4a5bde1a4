#!/usr/bin/env bash
# scripts/package.sh VERSION: makes the release files in dist/:
#   quorvales-VERSION-windows-x86_64.exe  the Windows exe;
#   quorvales-VERSION-linux-x86_64        a fully static Linux binary;
#   quorvales_VERSION_amd64.deb           the same binary in a Debian package;
#   SHA256SUMS                            the checksums of the three.
# VERSION must be the one that CMakeLists.txt gives (a tag "vVERSION").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
version=${1:?usage: scripts/package.sh VERSION}
cmake_version=$(sed -n 's/^project(quorvales VERSION \([0-9.]*\) .*/\1/p' \
  "$root/CMakeLists.txt")
if [ "$version" != "$cmake_version" ]; then
  echo "package: version $version is not CMakeLists.txt's $cmake_version" >&2
  exit 1
fi
bash "$root/scripts/setup.sh" binutils

echo "== the static Linux binary and its package"
static="$root/build-static"
cmake -S "$root" -B "$static" -DCMAKE_BUILD_TYPE=Release -DQUORVALES_STATIC=ON \
  -DQUORVALES_TESTS=OFF -DQUORVALES_LEVELDB_TESTS=OFF >/dev/null
cmake --build "$static" -j"$jobs" --target quorvales
(cd "$static" && cpack -G DEB >/dev/null)

echo "== the Windows exe"
QUORVALES_WINDOWS_BUILD_ONLY=1 bash "$root/scripts/test-windows.sh"

dist="$root/dist"
rm -rf "$dist"
mkdir -p "$dist"
cp "$root/build-windows/quorvales.exe" \
  "$dist/quorvales-$version-windows-x86_64.exe"
cp "$static/quorvales" "$dist/quorvales-$version-linux-x86_64"
cp "$static/quorvales_${version}_amd64.deb" "$dist/"
(cd "$dist" && sha256sum "quorvales-$version-windows-x86_64.exe" \
  "quorvales-$version-linux-x86_64" "quorvales_${version}_amd64.deb" \
  >SHA256SUMS)
ls -l "$dist"
