#!/usr/bin/env bash
# Tests of the setup program that scripts/package.sh wrote, under Wine. Each group of tests gets
# a fresh prefix of its own (made by scripts/wine-prefix.sh), so nothing installed elsewhere
# counts and nothing installed here reaches the other tests:
#   Lifecycle  silent installation, the sample application through the 32-bit and the 64-bit
#              script host against display simulators on COM7 and COM12, update, removal
#   Refusals   bad settings, a library that cannot be registered, other OPOS entries left alone,
#              another service object's device key, the installation folder's permissions
#   Interactive  the settings page worked from outside, as a person works it
#   InUse      update and removal while a running program has the library loaded
#   Bridge     the display bridge as an optional component: its service registered, kept by an
#              update, then stopped while running and removed
# Needs the native simulator (build/native/sim/pole_display_sim).
#   tests/installer/run.sh [GROUP...]    (all groups when none is named)
#
# On a machine that cannot execute 32-bit programs, the setup program itself cannot start: the
# tests then build the same script as a 64-bit program (a test vehicle, never shipped) and run
# that, without the 32-bit registration and the 32-bit script host. The run says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(head -n 1 "$root/VERSION")
setup=$root/dist/zorn-pole-display-kit-$version-setup.exe
stage=$root/build/package/stage
simulator=$root/build/native/sim/pole_display_sim
for needed in "$setup" "$stage/x64/VARNEL.dll" "$simulator"; do
  [ -e "$needed" ] || { echo "installer tests: $needed is missing (run scripts/package.sh and build the simulator)" >&2; exit 2; }
done

work=$root/build/installer-test
rm -rf "$work"
mkdir -p "$work"

vehicle=0 vehicle_option=()
if ! "$root/scripts/lib/can-run-i386.sh"; then
  echo "== this machine cannot execute 32-bit programs: the setup program's tests run the same script"
  echo "   built as a 64-bit program; the 32-bit library is installed but not registered, and the"
  echo "   32-bit script host is not run"
  vehicle=1 vehicle_option=(--amd64-vehicle)
  setup=$work/vehicle/zorn-pole-display-kit-$version-setup-amd64-test.exe
  "$root/installer/build-installer.sh" --stage "$stage" --version "$version" --out "$setup" "${vehicle_option[@]}"
fi

# Setup programs with a library that cannot be loaded (its first half only, as a broken copy would
# leave it), for the failed-registration path.
broken=()
for bits in 32 64; do
  if [ "$bits" = 32 ] && [ "$vehicle" = 1 ]; then continue; fi
  slot=x86
  [ "$bits" = 64 ] && slot=x64
  dir=$work/broken$bits
  mkdir -p "$dir"
  cp -r "$stage" "$dir/stage"
  size=$(stat -c %s "$stage/$slot/VARNEL.dll")
  head -c $((size / 2)) "$stage/$slot/VARNEL.dll" >"$dir/stage/$slot/VARNEL.dll"
  "$root/installer/build-installer.sh" --stage "$dir/stage" --version "$version" --out "$dir/broken-library-setup.exe" "${vehicle_option[@]}"
  broken+=("$bits=$dir/broken-library-setup.exe")
done

# The next version: the same files with bytes added at their ends (still loadable images), so
# that every file differs, and the version's last number one higher.
update_version=${version%.*}.$((${version##*.} + 1))
cp -r "$stage" "$work/update-stage"
find "$work/update-stage" -type f -exec sh -c 'printf "next version" >>"$1"' sh {} \;
"$root/installer/build-installer.sh" --stage "$work/update-stage" --version "$update_version" \
  --out "$work/update/zorn-pole-display-kit-$update_version-setup.exe" "${vehicle_option[@]}"
export KIT_UPDATE_SETUP=$work/update/zorn-pole-display-kit-$update_version-setup.exe
export KIT_UPDATE_STAGE=$work/update-stage KIT_UPDATE_VERSION=$update_version

# The Windows helpers, programs of the setup program's word size.
driver_preset=win32
[ "$vehicle" = 1 ] && driver_preset=win64
(cd "$root" && cmake --preset "$driver_preset" >/dev/null &&
  cmake --build --preset "$driver_preset" --target settings_page_driver library_holder folder_security \
    zorn-display-bridge >/dev/null)
helpers=$root/build/$driver_preset/tests/installer
# A display bridge this machine can run, put in place of the installed one to run its service.
export KIT_RUNNABLE_BRIDGE=$root/build/$driver_preset/bridge/win32/zorn-display-bridge.exe
export KIT_PAGE_DRIVER=$helpers/settings_page_driver.exe KIT_LIBRARY_HOLDER=$helpers/library_holder.exe
export KIT_FOLDER_SECURITY=$helpers/folder_security.exe

export KIT_SETUP=$setup KIT_STAGE=$stage KIT_VEHICLE=$vehicle
KIT_BROKEN_SETUPS=$(IFS=,; echo "${broken[*]}")
export KIT_BROKEN_SETUPS
test_program=$root/tests/installer/installer_test.py

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(Lifecycle Refusals DeviceOwners FolderSecurity Interactive InUse Bridge)
# The groups share nothing (a prefix each), so they run side by side, KIT_INSTALLER_JOBS at a
# time (2 by default), each into a log of its own; the logs are printed in the groups' order.
run_group() {
  local group=$1 prefix=$work/prefix-$1
  if [ "$group" = Lifecycle ]; then
    KIT_PREFIX=$prefix "$root/scripts/with-simulator.sh" --simulator "$simulator" \
      --prefix "$prefix" --port 7 --port 12 -- python3 "$test_program" Lifecycle
  else
    "$root/scripts/wine-prefix.sh" "$prefix" >/dev/null && KIT_PREFIX=$prefix python3 "$test_program" "$group"
  fi
}
jobs_at_once=${KIT_INSTALLER_JOBS:-2}
declare -A pids=()
for group in "${groups[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_once" ]; do wait -n || true; done
  echo "== installer tests: $group started"
  run_group "$group" >"$work/log-$group" 2>&1 &
  pids[$group]=$!
done
status=0
for group in "${groups[@]}"; do
  group_status=0
  wait "${pids[$group]}" || group_status=$?
  echo "== installer tests: $group"
  cat "$work/log-$group"
  if [ "$group_status" != 0 ]; then
    echo "== installer tests: $group FAILED (exit $group_status)"
    status=1
  fi
done

for prefix in "$work"/prefix-*; do
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
done
if [ "$status" = 0 ]; then
  # A prefix takes more than a gigabyte; one that saw a failure stays for a look.
  rm -rf "$work"
  echo "== installer tests: passed"
else
  echo "== installer tests: FAILED (prefixes kept in $work)" >&2
fi
exit $status
