# shellcheck shell=bash
# The setting in which the guides' pictures are taken (scripts/screenshots.sh for the utility,
# scripts/tester-screenshots.sh for the tester): a Wine prefix of its own that draws with the X11
# driver (the test prefix uses the null driver, which draws nothing) and an Xvfb display.
#
#   source scripts/lib/screenshot-session.sh
#   kit_screenshot_session ROOT DISPLAY
#
# Makes ROOT/build/win32/screenshot-prefix once (scripts/wine-prefix.sh, then the X11 driver and
# Wine's own faces), starts Xvfb on DISPLAY unless an X server answers there, and exports
# WINEPREFIX, WINEDEBUG and DISPLAY. On exit the prefix's wineserver and the Xvfb it started are
# stopped.

kit_screenshot_session() {
  local root=$1 display=$2
  local prefix=$root/build/win32/screenshot-prefix
  export WINEPREFIX=$prefix WINEDEBUG=-all
  "$root/scripts/wine-prefix.sh" "$prefix"
  if [ ! -f "$prefix/.kit-x11" ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
    # Wine's own faces for captions, message boxes and the caption buttons (fonts-wine), where
    # this Wine does not find them by itself.
    local font
    for font in marlett tahoma tahomabd; do
      if [ -f "/usr/share/wine/fonts/$font.ttf" ]; then
        cp "/usr/share/wine/fonts/$font.ttf" "$prefix/drive_c/windows/Fonts/"
      fi
    done
    wineserver -k >/dev/null 2>&1 || true
    touch "$prefix/.kit-x11"
  fi

  kit_screenshot_xvfb_pid=
  if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    kit_screenshot_xvfb_pid=$!
    local _
    for _ in $(seq 100); do
      xdpyinfo -display "$display" >/dev/null 2>&1 && break
      sleep 0.05
    done
  fi
  trap kit_screenshot_session_end EXIT
  export DISPLAY=$display
}

kit_screenshot_session_end() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${kit_screenshot_xvfb_pid:-}" ]; then kill "$kit_screenshot_xvfb_pid" 2>/dev/null || true; fi
}
