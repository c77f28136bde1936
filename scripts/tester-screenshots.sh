#!/usr/bin/env bash
# Takes the README's pictures of ZornTest.exe: the form at start (Idle) and after Open on the
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
  coproc STEPS { "$root/cmake/wine-run.sh" "$steps"; }
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
prefix=$build/screenshot-prefix
export WINEPREFIX=$prefix WINEDEBUG=-all
scripts/wine-prefix.sh "$prefix"
if [ ! -f "$prefix/.kit-x11" ]; then
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
  # Wine's own faces for captions, message boxes and the caption buttons (fonts-wine), where
  # this Wine does not find them by itself.
  for font in marlett tahoma tahomabd; do
    if [ -f "/usr/share/wine/fonts/$font.ttf" ]; then
      cp "/usr/share/wine/fonts/$font.ttf" "$prefix/drive_c/windows/Fonts/"
    fi
  done
  wineserver -k >/dev/null 2>&1 || true
  touch "$prefix/.kit-x11"
fi

display=:${KIT_SCREENSHOT_DISPLAY:-92}
xvfb_pid=
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for attempt in $(seq 100); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.05
  done
fi
stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap stop EXIT
export DISPLAY=$display
mkdir -p docs
cmake/with-simulator.sh --simulator "$simulator" --prefix "$prefix" --port 7 -- "$0" --inside
