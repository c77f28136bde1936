#!/usr/bin/env bash
# Runs one Windows program under Wine with the build tree's own prefix. ctest calls this for
# every test of the win32 and win64 builds (CMAKE_CROSSCOMPILING_EMULATOR).
#
# The loader follows the program: wine for a 32-bit program, wine64 for a 64-bit one.
#
# The prefix is made once by scripts/wine-prefix.sh; a persistent wineserver keeps the start of
# each program short. WINEPREFIX may be set by the caller; otherwise it is <build>/wineprefix,
# found from the program's own path (the program lives somewhere below the build tree).
set -euo pipefail
prog=$1
shift
# shellcheck source=scripts/lib/wine-loader.sh
source "$(dirname "$0")/lib/wine-loader.sh"
loader=$(kit_wine_for "$prog")
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX=$dir/wineprefix
fi
export WINEDEBUG=${WINEDEBUG:--all}
# Ready only once the script has finished: a prefix being made by a parallel test already has
# its system.reg; the script waits for that test instead.
if [ ! -f "$WINEPREFIX/.kit-ready" ]; then
  "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX" >&2
fi
# A persistent server: started once, reused by every later test. The first program a new server
# runs also starts Wine's background processes (services.exe, winedevice.exe, ...), which outlive
# it; had they inherited this test's output, ctest would wait for them until the test's time-out.
# So a new server gets a first program whose output goes nowhere. `wineserver -p` answers 0 only
# when it started a server (2 when one runs). The lock keeps a parallel test from becoming that
# first program; Wine's processes must not inherit it (fd 9).
(
  flock 9
  if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
    "$loader" cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX/.kit-lock"
# A test may ask for a library to be preloaded into its Windows program (and only there: not
# into the wineserver or the first program above). The path may hold a $LIB token.
if [ -n "${KIT_WINE_PRELOAD:-}" ]; then
  export LD_PRELOAD=$KIT_WINE_PRELOAD
fi
exec "$loader" "$prog" "$@"
