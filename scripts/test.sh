#!/usr/bin/env bash
# Builds everything and runs every test: the native suite plain, under ASan+UBSan and under
# TSan, a short run of each fuzz target (preset fuzz), then the Windows binaries' suite under
# Wine, then the release with its setup program (scripts/package.sh) and the setup program's tests
# (tests/installer/run.sh), and the static checks (scripts/lint.sh). Installs what is missing
# first. Each step prints how long it took.
#   scripts/test.sh            all of it
#   scripts/test.sh PRESET...  only those presets (native, native-asan, native-tsan, fuzz, win32,
#                              win64), and "installer" for the release and its setup program
#
# The Windows product is 32-bit (preset win32) and its suite runs under 32-bit Wine. A machine
# whose kernel cannot execute 32-bit programs cannot run any of it: there the same Windows sources
# and tests are built for x86-64 (preset win64) and run under 64-bit Wine instead, and the run says
# so. In the full run on such a machine the 32-bit product is compiled (all warnings as errors) by
# the release step's preset release-win32 alone, and preset win32 is only configured, for the
# static checks; asked for by name, win32 is built.
#
# In the full run the static checks start once every build the Wine tests need is done, and run
# beside the Wine and installer steps at a lower priority: those steps spend much of their time
# waiting on Wine and the simulator, and the tests keep the first claim on the processors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

run_start=$(date +%s)
step_start=$run_start
step_done() {
  local now
  now=$(date +%s)
  echo "== time: $1 took $((now - step_start)) s ($((now - run_start)) s since the start)"
  step_start=$now
}

presets=("$@")
full=0
if [ "${#presets[@]}" -eq 0 ]; then
  presets=(native native-asan native-tsan fuzz win32 installer)
  full=1
fi

# Presets whose tests cannot run here: built only, or in the full run only configured.
build_only=()
configure_only=()
if printf '%s\n' "${presets[@]}" | grep -qx win32 && ! scripts/lib/can-run-i386.sh; then
  echo "== this machine cannot execute 32-bit programs: the win32 tests run on the x86-64 build"
  echo "   of the same sources (preset win64) under 64-bit Wine"
  if [ "$full" = 1 ]; then
    echo "   and the 32-bit product is compiled by the release step (preset release-win32)"
    configure_only+=(win32)
  else
    build_only+=(win32)
  fi
  if ! printf '%s\n' "${presets[@]}" | grep -qx win64; then
    # Right after win32, so that its tests run before the installer step.
    with_win64=()
    for preset in "${presets[@]}"; do
      with_win64+=("$preset")
      [ "$preset" = win32 ] && with_win64+=(win64)
    done
    presets=("${with_win64[@]}")
  fi
fi
is_in() { local item=$1; shift; printf '%s\n' "$@" | grep -qx "$item"; }

# The Windows tests drive the native simulator; build it first whatever was asked.
if printf '%s\n' "${presets[@]}" | grep -Eqx 'win32|win64|installer'; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target pole_display_sim
fi

status=0
lint_pid=
lint_log=build/lint.log
start_lint() {
  [ "$full" = 1 ] && [ -z "$lint_pid" ] || return 0
  echo "== static checks: started beside the remaining steps (output in $lint_log)"
  mkdir -p build
  nice -n 10 scripts/lint.sh >"$lint_log" 2>&1 &
  lint_pid=$!
  lint_start=$(date +%s)
}
# Builds are done once no preset after this one still has to be built.
builds_left() {
  local seen=0 preset
  for preset in "${presets[@]}"; do
    if [ "$seen" = 1 ] && ! is_in "$preset" installer "${configure_only[@]}"; then return 0; fi
    [ "$preset" = "$1" ] && seen=1
  done
  return 1
}

for preset in "${presets[@]}"; do
  if [ "$preset" = installer ]; then
    echo "== installer: release, setup program and its tests"
    if ! { scripts/package.sh && tests/installer/run.sh; }; then status=1; fi
    step_done installer
    continue
  fi
  if is_in "$preset" "${configure_only[@]}"; then
    echo "== $preset: configured only (see above)"
    cmake --preset "$preset" >/dev/null
    continue
  fi
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  step_done "$preset build"
  if is_in "$preset" "${build_only[@]}"; then
    echo "== $preset: built; its tests need 32-bit program support (see above)"
    continue
  fi
  case $preset in
    win32 | win64) builds_left "$preset" || start_lint ;;
  esac
  echo "== $preset: test"
  case $preset in
    win32 | win64) scripts/wine-prefix.sh "build/$preset/wineprefix" ;;
  esac
  if ! ctest --preset "$preset" -j2 --timeout 120; then status=1; fi
  case $preset in
    win32 | win64) WINEPREFIX=$PWD/build/$preset/wineprefix wineserver -k >/dev/null 2>&1 || true ;;
  esac
  step_done "$preset tests"
done
if [ "$full" = 1 ]; then
  start_lint
  lint_status=0
  wait "$lint_pid" || lint_status=$?
  cat "$lint_log"
  echo "== time: static checks took $(($(date +%s) - lint_start)) s beside the other steps"
  [ "$lint_status" = 0 ] || status=1
fi
echo "== time: all of it took $(($(date +%s) - run_start)) s"
exit $status
