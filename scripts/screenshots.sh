#!/usr/bin/env bash
# Takes the pictures of Zorn_Utility.exe that the technician's guide (docs/technician.md) shows:
#   docs/utility-start.png        the dialog as it starts
#   docs/utility-port-open.png    with the port open
#   docs/utility-information.png  the "Zorn Information" box, answered by the display simulator
#
#   scripts/screenshots.sh
#
# Builds what it needs, then runs the program under Wine on an Xvfb display (:91 unless
# KIT_SCREENSHOT_DISPLAY names another number) in a prefix of its own that draws with the X11
# driver (scripts/lib/screenshot-session.sh), with the simulator serving COM7.
# utility_screenshot_driver.exe clicks through the states and asks for each picture.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
driver=$root/build/win32/tests/utility/win32/utility_screenshot_driver.exe
simulator=$root/build/native/sim/pole_display_sim

if [ "${1:-}" = --inside ]; then
  # Inside with-simulator.sh: the driver writes REQUESTS/<name>.request (the area to take) and
  # waits for REQUESTS/<name>.done.
  work=$(mktemp -d "${TMPDIR:-/tmp}/kit-shots.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  # Wine's wait for received bytes needs the modem-line answers a pseudo-terminal cannot give.
  KIT_WINE_PRELOAD="$root/build/win32/tests/utility/win32/tiocm_shim/\$LIB/libkit_tiocm.so" \
    "$root/scripts/wine-run.sh" "$driver" "Z:${work//\//\\}" &
  driver_pid=$!
  taken=0
  deadline=$((SECONDS + 120))
  while [ "$taken" -lt 3 ] && [ "$SECONDS" -lt "$deadline" ]; do
    for request in "$work"/*.request; do
      [ -e "$request" ] || continue
      name=$(basename "$request" .request)
      import -window root -crop "$(cat "$request")" +repage "docs/$name.png"
      mv "$request" "$work/$name.taken"
      touch "$work/$name.done"
      echo "screenshots: docs/$name.png"
      taken=$((taken + 1))
    done
    sleep 0.1
  done
  wait "$driver_pid" || { echo "screenshots: the driver failed" >&2; exit 1; }
  [ "$taken" -eq 3 ] || { echo "screenshots: only $taken of 3 pictures taken" >&2; exit 1; }
  exit
fi

cmake --preset native >/dev/null
cmake --build --preset native --target pole_display_sim
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Zorn_Utility utility_screenshot_driver kit_tiocm_shim

# shellcheck source=scripts/lib/screenshot-session.sh
source "$root/scripts/lib/screenshot-session.sh"
kit_screenshot_session "$root" ":${KIT_SCREENSHOT_DISPLAY:-91}"
mkdir -p docs
scripts/with-simulator.sh --simulator "$simulator" --prefix "$WINEPREFIX" --port 7 -- "$0" --inside
