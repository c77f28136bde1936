#!/usr/bin/env bash
# Builds everything and runs every test: the native suite plain, under ASan+UBSan and under
# TSan, then the Windows binaries' suite under Wine. Installs what is missing first.
#   scripts/test.sh            all of it
#   scripts/test.sh PRESET...  only those presets (native, native-asan, native-tsan, win32)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(native native-asan native-tsan win32)

# The win32 tests drive the native simulator; build it first whatever was asked.
if printf '%s\n' "${presets[@]}" | grep -qx win32; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target pole_display_sim
fi

status=0
for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: test"
  if [ "$preset" = win32 ]; then
    scripts/wine-prefix.sh build/win32/wineprefix
  fi
  if ! ctest --preset "$preset" -j2 --timeout 120; then status=1; fi
  if [ "$preset" = win32 ]; then
    WINEPREFIX=$PWD/build/win32/wineprefix wineserver -k >/dev/null 2>&1 || true
  fi
done
exit $status
