# Shell functions that pick Wine's loader. Source it; it defines:
#
#   kit_pe_bits FILE       prints 64 for an x86-64 Windows program or library, 32 for any other
#                          (i386) one; fails (status 1) when FILE is not a PE image
#   kit_wine_for FILE      prints the loader that runs FILE: the 64-bit loader for a 64-bit
#                          image, wine for a 32-bit one
#   kit_wine_default       prints the loader for Wine's own tools (wineboot, reg, ...): wine when
#                          this machine can run 32-bit programs, the 64-bit loader otherwise
#
# Debian's wine, wineboot, regsvr32, winepath, ... all go through the 32-bit loader, which cannot
# start on a kernel without i386 support; the 64-bit loader runs the same tools as 64-bit
# programs (`$loader wineboot -i`, `$loader reg ...`). Debian keeps it off PATH, in
# /usr/lib/wine; KIT_WINE64 names another one.
kit_wine64=${KIT_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}

kit_pe_bits() {
  local file=$1 offset machine
  # The PE header's offset is at 0x3c; the machine field follows the 4-byte "PE\0\0" signature.
  offset=$(od -An -t u4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  [ "$(od -An -c -j "$offset" -N 2 "$file" 2>/dev/null | tr -d ' ')" = PE ] || return 1
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$file" 2>/dev/null | tr -d ' ') || return 1
  case $machine in
    8664) echo 64 ;;
    *) echo 32 ;;
  esac
}

kit_wine_for() {
  if [ "$(kit_pe_bits "$1" || true)" = 64 ]; then echo "$kit_wine64"; else echo wine; fi
}

kit_wine_default() {
  if "$(dirname "${BASH_SOURCE[0]}")/can-run-i386.sh"; then echo wine; else echo "$kit_wine64"; fi
}
