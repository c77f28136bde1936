#!/usr/bin/env bash
# Builds everything and runs every test: the native suite plain, under ASan+UBSan and under
# TSan, then the Windows binaries' suite under Wine, then the static checks (scripts/lint.sh).
# Installs what is missing first.
#   scripts/test.sh            all of it
#   scripts/test.sh PRESET...  only those presets (native, native-asan, native-tsan, win32)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

presets=("$@")
full=0
if [ "${#presets[@]}" -eq 0 ]; then
  presets=(native native-asan native-tsan win32)
  full=1
fi

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
if [ "$full" = 1 ]; then
  echo "== static checks"
  scripts/lint.sh || status=1
fi
exit $status
