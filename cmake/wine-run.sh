#!/usr/bin/env bash
# Runs one Windows program under Wine with the build tree's own prefix. ctest calls this for
# every test of the win32 build (CMAKE_CROSSCOMPILING_EMULATOR).
#
# The prefix is made once by scripts/wine-prefix.sh; a persistent wineserver keeps the start of
# each program short. WINEPREFIX may be set by the caller; otherwise it is <build>/wineprefix,
# found from the program's own path (the program lives somewhere below the build tree).
set -euo pipefail
prog=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX=$dir/wineprefix
fi
export WINEDEBUG=${WINEDEBUG:--all}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$(dirname "$0")/../scripts/wine-prefix.sh" "$WINEPREFIX" >&2
fi
# A persistent server: started once, reused by every later test.
wineserver -p >/dev/null 2>&1 || true
exec wine "$prog" "$@"
