#!/usr/bin/env bash
# Takes the technician's guide's pictures of ZornTest.exe: the form at start (Idle) and after Open on the
# display simulator, written to docs/zorntest-idle.png and docs/zorntest-open.png.
#   scripts/tester-screenshots.sh
#
# Needs the native and win32 builds (scripts/build.sh). Runs the program under Xvfb (display
# :92 unless KIT_SCREENSHOT_DISPLAY names another) in a prefix of its own,
# build/win32/screenshot-prefix, which draws with the X11 driver: the test prefix draws nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/win32
steps=$build/tests/tester/win32/tester_screenshot_steps.exe
simulator=$root/build/native/sim/pole_display_sim

if [ "${1:-}" = --inside ]; then
  # Inside with-simulator.sh: the steps program prints each state and waits for a line.
  coproc STEPS { "$root/scripts/wine-run.sh" "$steps"; }
  steps_pid=$STEPS_PID  # bash forgets the variable once the program has ended
  while IFS=' ' read -r state left top right bottom <&"${STEPS[0]}"; do
    state=${state%$'\r'} bottom=${bottom%$'\r'}
    picture=$root/docs/zorntest-$state.png
    import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$picture"
    echo "tester-screenshots: $picture"
    echo next >&"${STEPS[1]}"
  done
  wait "$steps_pid"
  exit
fi

for file in "$steps" "$simulator"; do
  [ -e "$file" ] || { echo "tester-screenshots: $file is missing; run scripts/build.sh" >&2; exit 2; }
done
# shellcheck source=scripts/lib/screenshot-session.sh
source "$root/scripts/lib/screenshot-session.sh"
kit_screenshot_session "$root" ":${KIT_SCREENSHOT_DISPLAY:-92}"
mkdir -p docs
scripts/with-simulator.sh --simulator "$simulator" --prefix "$WINEPREFIX" --port 7 -- "$0" --inside
