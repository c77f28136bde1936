#!/usr/bin/env bash
# Builds everything and runs every test: the native suite plain, under ASan+UBSan and under
# TSan, then the Windows binaries' suite under Wine, then the release with its setup program
# (scripts/package.sh) and the setup program's tests (tests/installer/run.sh), then the static
# checks (scripts/lint.sh). Installs what is missing first.
#   scripts/test.sh            all of it
#   scripts/test.sh PRESET...  only those presets (native, native-asan, native-tsan, win32, win64),
#                              and "installer" for the release and its setup program
#
# The Windows product is 32-bit (preset win32) and its suite runs under 32-bit Wine. A machine
# whose kernel cannot execute 32-bit programs cannot run any of it: there the product is still
# built (compiled and linked with all warnings as errors), and the same Windows sources and tests
# are built for x86-64 (preset win64) and run under 64-bit Wine instead. The run says so.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

presets=("$@")
full=0
if [ "${#presets[@]}" -eq 0 ]; then
  presets=(native native-asan native-tsan win32 installer)
  full=1
fi

# Presets whose tests cannot run here: built only.
build_only=()
if printf '%s\n' "${presets[@]}" | grep -qx win32 && ! scripts/lib/can-run-i386.sh; then
  echo "== this machine cannot execute 32-bit programs: the win32 product is built but its tests"
  echo "   run on the x86-64 build of the same sources (preset win64) under 64-bit Wine"
  build_only+=(win32)
  printf '%s\n' "${presets[@]}" | grep -qx win64 || presets+=(win64)
fi

# The Windows tests drive the native simulator; build it first whatever was asked.
if printf '%s\n' "${presets[@]}" | grep -Eqx 'win32|win64|installer'; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target pole_display_sim
fi

status=0
for preset in "${presets[@]}"; do
  if [ "$preset" = installer ]; then
    echo "== installer: release, setup program and its tests"
    if ! { scripts/package.sh && tests/installer/run.sh; }; then status=1; fi
    continue
  fi
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  if printf '%s\n' "${build_only[@]}" | grep -qx "$preset"; then
    echo "== $preset: built; its tests need 32-bit program support (see above)"
    continue
  fi
  echo "== $preset: test"
  case $preset in
    win32 | win64) scripts/wine-prefix.sh "build/$preset/wineprefix" ;;
  esac
  if ! ctest --preset "$preset" -j2 --timeout 120; then status=1; fi
  case $preset in
    win32 | win64) WINEPREFIX=$PWD/build/$preset/wineprefix wineserver -k >/dev/null 2>&1 || true ;;
  esac
done
if [ "$full" = 1 ]; then
  echo "== static checks"
  scripts/lint.sh || status=1
fi
exit $status
