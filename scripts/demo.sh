#!/usr/bin/env bash
# The main job: a sample OPOS application (examples/price_display.vbs, run by Wine's cscript)
# drives the service object VARNEL.dll, built for 32-bit Windows and registered under Wine, and
# the service object drives the display simulator exactly as it would drive a pole display on a
# COM port.
#
# Steps: install what is missing, build the simulator (native) and VARNEL.dll (win32), prepare
# the Wine prefix, start the simulator on a pseudo-terminal that the prefix maps to COM7, register
# the library (regsvr32), configure the device as an installation would (the OPOS registry key
# with Comport and Baudrate, and the device-name file), run the sample, show what the simulated
# display shows (as text here, and as a picture in build/demo-display.png), and leave the prefix as
# it was (unregister, remove the device).
#
# The library is the 32-bit product. On a machine whose kernel cannot execute 32-bit programs (so
# 32-bit Wine cannot start) the demo says so and runs the x86-64 build of the same sources under
# 64-bit Wine instead: registered by the 64-bit regsvr32, driven by the 64-bit cscript, the device
# installed through the 64-bit registry view.
#
#   scripts/demo.sh [--live]     --live: also print the simulator's own live view on the way
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

live=0
[ "${1:-}" = --live ] && live=1

scripts/setup.sh
source scripts/lib/wine-loader.sh
if scripts/lib/can-run-i386.sh; then
  preset=win32 kit_wine=wine kit_reg_view=/reg:32
else
  echo "== this machine cannot execute 32-bit programs: running the x86-64 build of VARNEL.dll"
  echo "   under 64-bit Wine instead of the 32-bit product"
  preset=win64 kit_wine=$kit_wine64 kit_reg_view=/reg:64
fi
echo "== building the simulator and VARNEL.dll ($preset)"
cmake --preset native >/dev/null
cmake --build --preset native --target pole_display_sim
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target VARNEL

prefix=$root/build/$preset/wineprefix
scripts/wine-prefix.sh "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all

source scripts/lib/installed_device.sh
run_dir=$(mktemp -d)
sim_pid= dll_win=
cleanup() {
  remove_device
  [ -n "$dll_win" ] && "$kit_wine" regsvr32 /u /s "$dll_win" >/dev/null 2>&1
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$run_dir"
}
trap cleanup EXIT

echo "== starting the display simulator on COM7"
picture=build/demo-display.png
sim_args=(--link "$prefix/sim-com7" --state "$run_dir/state" --trace "$run_dir/trace" --png "$root/$picture")
if [ "$live" = 1 ] && [ -t 1 ]; then
  build/native/sim/pole_display_sim "${sim_args[@]}" &
else
  build/native/sim/pole_display_sim --quiet "${sim_args[@]}" >"$run_dir/sim.log" 2>&1 &
fi
sim_pid=$!
for _ in $(seq 100); do [ -L "$prefix/sim-com7" ] && break; sleep 0.05; done
[ -L "$prefix/sim-com7" ] || { echo "demo: the simulator did not start" >&2; exit 1; }

echo "== registering VARNEL.dll and configuring the device as an installation would"
wineserver -p >/dev/null 2>&1 || true
dll_win=$("$kit_wine" winepath -w "build/$preset/bin/VARNEL.dll")
"$kit_wine" regsvr32 /s "$dll_win"
install_device PoleDisplay 7 9600

echo "== running the sample OPOS application (examples/price_display.vbs)"
# cscript answers 0 even when a script stops on a run-time error: its last line tells.
"$kit_wine" cscript //nologo "$("$kit_wine" winepath -w examples/price_display.vbs)" | tr -d '\r' | tee "$run_dir/sample.log"
grep -q '^price display: done' "$run_dir/sample.log" || { echo "demo: the sample did not complete" >&2; exit 1; }

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
echo
echo "== a picture of the display as a customer sees it: $picture"
