#!/usr/bin/env bash
# Builds quorvales.exe with MinGW-w64 into build-windows/ and runs its
# end-to-end tests under Wine, in a Wine prefix of its own that is removed
# afterwards.  QUORVALES_WINDOWS_BUILD_ONLY=1 stops after the build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/setup-windows.sh"

build="$root/build-windows"
libdeflate="$root/.deps/libdeflate-mingw"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DLIBDEFLATE_INCLUDE_DIR="$libdeflate/include" \
  -DLIBDEFLATE_LIBRARY="$libdeflate/lib/libdeflate.a" >/dev/null
cmake --build "$build" -j"$jobs"
# Only Windows' own DLLs may be imported.
imports=$(x86_64-w64-mingw32-objdump -p "$build/quorvales.exe" |
  awk '/DLL Name:/ { print $3 }' | sort -u | tr '\n' ' ')
echo "quorvales.exe imports: $imports"
for dll in $imports; do
  case "${dll,,}" in
  kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ws2_32.dll | \
    api-ms-win-*) ;;
  *)
    echo "quorvales.exe needs $dll, which Windows does not have"
    exit 1
    ;;
  esac
done
# The exe decodes with libdeflate, as the Linux binary does.
symbols=$(x86_64-w64-mingw32-objdump -t "$build/quorvales.exe")
if ! grep -q ' libdeflate_deflate_decompress$' <<<"$symbols"; then
  echo "quorvales.exe does not decode with libdeflate"
  exit 1
fi
echo "quorvales.exe decodes with libdeflate"
[ "${QUORVALES_WINDOWS_BUILD_ONLY:-0}" = 1 ] && exit 0

WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
stop_wine() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap stop_wine EXIT
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
# A persistent server, so that CTest need not wait for one to wind down
# after every test.
"$wineserver" -p
# Wine starts its background processes with the first program and they
# stay with the server; started here, they hold none of CTest's pipes,
# which CTest would wait on.
"$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1
(cd "$build" && ctest -j"$jobs" --output-on-failure --timeout 900)

# In a real console, which Wine gives a program in a terminal, against the
# Linux binary's transcript of the same run.
linux="$root/build"
[ -f "$linux/CMakeCache.txt" ] ||
  cmake -S "$root" -B "$linux" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$linux" -j"$jobs" --target quorvales make_sample_world >/dev/null
bash "$root/tests/windows/console_check.sh" "$build/quorvales.exe" "$linux" \
  "$wine"
