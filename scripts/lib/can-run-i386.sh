#!/usr/bin/env bash
# Answers whether this machine can run 32-bit (i386) programs: exit 0 if it can, 1 if not.
#
#   scripts/lib/can-run-i386.sh
#
# The question that matters for the Windows tests is whether Wine's 32-bit loader starts: a
# kernel without i386 support (or a missing wine32) refuses it with "Exec format error". Asking
# the loader for its version touches no prefix and starts no wineserver. Bounded at 2 s.
set -u
loader=${KIT_WINE32_LOADER:-/usr/lib/wine/wine}
[ -x "$loader" ] || exit 1
if timeout 2 "$loader" --version >/dev/null 2>&1 </dev/null; then
  exit 0
fi
exit 1
