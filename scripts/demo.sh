#!/usr/bin/env bash
# The main job: the Windows service object, built for 32-bit Windows and run under Wine, drives
# the display simulator exactly as it would drive a pole display on a COM port.
#
# Steps: install what is missing, build the simulator (native) and the demo program (win32),
# prepare the Wine prefix, start the simulator on a pseudo-terminal that the prefix maps to COM7,
# write the device's configuration as an installation would (the OPOS registry key with Comport
# and Baudrate, and the device-name file), run the demo program (open, claim, enable, show
# text), and show what the simulated display shows.
#
#   scripts/demo.sh [--live]     --live: also print the simulator's own live view on the way
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

live=0
[ "${1:-}" = --live ] && live=1

scripts/setup.sh
echo "== building the simulator and the demo program"
cmake --preset native >/dev/null
cmake --build --preset native --target pole_display_sim
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target display_demo

prefix=$root/build/win32/wineprefix
scripts/wine-prefix.sh "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all

run_dir=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$run_dir"
}
trap cleanup EXIT

echo "== starting the display simulator on COM7"
sim_args=(--link "$prefix/sim-com7" --state "$run_dir/state" --trace "$run_dir/trace")
if [ "$live" = 1 ] && [ -t 1 ]; then
  build/native/sim/pole_display_sim "${sim_args[@]}" &
else
  build/native/sim/pole_display_sim --quiet "${sim_args[@]}" >"$run_dir/sim.log" 2>&1 &
fi
sim_pid=$!
for _ in $(seq 100); do [ -L "$prefix/sim-com7" ] && break; sleep 0.05; done
[ -L "$prefix/sim-com7" ] || { echo "demo: the simulator did not start" >&2; exit 1; }

echo "== configuring the device as an installation would"
wineserver -p >/dev/null 2>&1 || true
# A 32-bit installer writes the OPOS key through the 32-bit registry view (Wow6432Node).
key='HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\PoleDisplay'
wine reg add "$key" /v Comport /d 7 /f /reg:32 >/dev/null
wine reg add "$key" /v Baudrate /d 9600 /f /reg:32 >/dev/null
setup_dir="$prefix/drive_c/Program Files (x86)/OPOSLD_SETUP"
mkdir -p "$setup_dir"
printf 'PoleDisplay' >"$setup_dir/DeviceName.txt"

echo "== running the service object"
wine build/win32/examples/display_demo/display_demo.exe

# Let the simulator take in the last bytes, then show its screen.
sleep 0.3
echo
echo "== the simulated display shows"
awk -F= '
  /^row0_text=/ { r0 = substr($0, 11) } /^row1_text=/ { r1 = substr($0, 11) }
  $1 == "blink" { b = $2 } $1 == "cursor_type" { c = $2 } $1 == "bytes_received" { n = $2 }
  END {
    print "  +--------------------+"
    print "  |" r0 "|"
    print "  |" r1 "|"
    print "  +--------------------+"
    print "  blink " b ", cursor type " c ", " n " bytes received"
  }' "$run_dir/state"
echo "  (decoded commands: $(wc -l <"$run_dir/trace"); the last ones follow)"
tail -n 6 "$run_dir/trace" | sed 's/^/    /'
