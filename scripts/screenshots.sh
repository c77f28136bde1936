#!/usr/bin/env bash
# Takes the pictures of Zorn_Utility.exe that the technician's guide in the README shows:
#   docs/utility-start.png        the dialog as it starts
#   docs/utility-port-open.png    with the port open
#   docs/utility-information.png  the "Zorn Information" box, answered by the display simulator
#
#   scripts/screenshots.sh
#
# The program runs under Wine on an Xvfb display (KIT_SCREENSHOT_DISPLAY, :91 by default) in a
# prefix of its own with Wine's X11 driver (build/win32/screenshot-prefix; the test prefix uses
# the null driver, which draws nothing), with the simulator serving COM7.
# utility_screenshot_driver.exe clicks through the states and asks for each picture.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
display=${KIT_SCREENSHOT_DISPLAY:-:91}

cmake --preset native >/dev/null
cmake --build --preset native --target pole_display_sim
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Zorn_Utility utility_screenshot_driver kit_tiocm_shim

prefix=$root/build/win32/screenshot-prefix
export WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY=$display
work=$(mktemp -d "${TMPDIR:-/tmp}/kit-shots.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
fi

if [ ! -f "$prefix/.kit-ready" ]; then
  echo "screenshots: creating $prefix (takes about 20 s once)"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # Without a window manager, Wine draws the frames itself and closes windows without a pause.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$prefix/sim-com7" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  touch "$prefix/.kit-ready"
fi

rm -f "$prefix/sim-com7"
build/native/sim/pole_display_sim --quiet --link "$prefix/sim-com7" --state "$work/state" >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -L "$prefix/sim-com7" ] && break; sleep 0.1; done
[ -L "$prefix/sim-com7" ] || { echo "screenshots: the simulator did not start" >&2; exit 1; }

mkdir -p "$work/requests" docs
# A server of our own, started with its output silenced: it may dump its object table on -k.
wineserver -p >/dev/null 2>&1 || true
# Wine's wait for received bytes needs the modem-line answers a pseudo-terminal cannot give.
LD_PRELOAD="$root/build/win32/tests/utility/win32/tiocm_shim/\$LIB/libkit_tiocm.so" \
  wine build/win32/tests/utility/win32/utility_screenshot_driver.exe "Z:${work//\//\\}\\requests" &
driver=$!
pids+=("$driver")

taken=0
deadline=$((SECONDS + 120))
while [ "$taken" -lt 3 ] && [ "$SECONDS" -lt "$deadline" ]; do
  for request in "$work"/requests/*.request; do
    [ -e "$request" ] || continue
    name=$(basename "$request" .request)
    import -display "$display" -window root -crop "$(cat "$request")" +repage "docs/$name.png"
    mv "$request" "$work/requests/$name.taken"
    touch "$work/requests/$name.done"
    echo "screenshots: docs/$name.png"
    taken=$((taken + 1))
  done
  sleep 0.1
done
wait "$driver" || { echo "screenshots: the driver failed" >&2; exit 1; }
[ "$taken" -eq 3 ] || { echo "screenshots: only $taken of 3 pictures taken" >&2; exit 1; }
