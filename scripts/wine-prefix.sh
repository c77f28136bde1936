#!/usr/bin/env bash
# Creates (once) the Wine prefix that the win32 tests and the demo run in.
#   scripts/wine-prefix.sh PREFIX
# What it sets up:
#   - a 64-bit prefix, so 32-bit programs run under WOW64 exactly as on 64-bit Windows;
#   - the null graphics driver, so windows and message boxes work without an X server;
#   - COM7 and COM12 mapped to fixed link paths inside the prefix (sim-com7, sim-com12). A
#     simulator started with --link at one of those paths serves that port; the mapping never
#     has to change, so the wineserver never has to be restarted for a new pseudo-terminal.
# Wine's tools run through the 32-bit loader where this machine can run 32-bit programs, and
# through the 64-bit loader where it cannot (the prefix is the same 64-bit prefix either way).
# Safe to run again: an existing prefix is only checked.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX=$prefix WINEDEBUG=-all
# shellcheck source=scripts/lib/wine-loader.sh
source "$(dirname "$0")/lib/wine-loader.sh"

# Tests started in parallel may all find the prefix missing: one makes it, the others wait for
# it here. Wine's programs must not inherit the lock (fd 9): the wineserver they start outlives
# this script and would hold it for good.
exec 9>"$prefix/.kit-lock"
flock 9

if [ -f "$prefix/.kit-ready" ]; then
  exit 0
fi

echo "wine-prefix: creating $prefix (takes about 20 s once)"
wine=$(kit_wine_default)
if [ "$wine" = wine ]; then
  wineboot -i >/dev/null 2>&1 9>&-
else
  "$wine" wineboot -i >/dev/null 2>&1 9>&-
fi
wineserver -w 9>&-
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 9>&-
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 9>&-
for port in 7 12; do
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /d "$prefix/sim-com$port" /f >/dev/null 2>&1 9>&-
done
wineserver -k >/dev/null 2>&1 9>&- || true
wineserver -w >/dev/null 2>&1 9>&- || true
touch "$prefix/.kit-ready"
echo "wine-prefix: ready"
