#!/usr/bin/env bash
# The choice of Wine loader: the word size read from a Windows image's header, the loader that
# follows from it, and the probe for 32-bit support.
#
#   wine_loader_test.sh IMAGE BITS
#
# IMAGE is a program or library of this build and BITS its word size (32 or 64).
set -uo pipefail
image=$1 bits=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..
# shellcheck source=scripts/lib/wine-loader.sh
source "$root/scripts/lib/wine-loader.sh"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/kit-loader.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The build's own image, and the same image with its machine field set to the other word size.
[ "$(kit_pe_bits "$image")" = "$bits" ] || fail "$image: expected $bits bits, got '$(kit_pe_bits "$image")'"
offset=$(od -An -t u4 -j 60 -N 4 "$image" | tr -d ' ')
cp "$image" "$work/i386.exe"
printf '\x4c\x01' | dd of="$work/i386.exe" bs=1 seek=$((offset + 4)) conv=notrunc status=none
cp "$image" "$work/x86_64.exe"
printf '\x64\x86' | dd of="$work/x86_64.exe" bs=1 seek=$((offset + 4)) conv=notrunc status=none
[ "$(kit_pe_bits "$work/i386.exe")" = 32 ] || fail "machine 0x14c is not read as 32 bits"
[ "$(kit_pe_bits "$work/x86_64.exe")" = 64 ] || fail "machine 0x8664 is not read as 64 bits"
[ "$(kit_wine_for "$work/i386.exe")" = wine ] || fail "a 32-bit image does not go to wine"
[ "$(kit_wine_for "$work/x86_64.exe")" = "$kit_wine64" ] || fail "a 64-bit image does not go to $kit_wine64"

# What is not a PE image is refused, not guessed: a Unix program, a file cut inside the header,
# an empty file, a missing file.
head -c 70 "$image" >"$work/cut.exe"
: >"$work/empty.exe"
for not_pe in /bin/sh "$work/cut.exe" "$work/empty.exe" "$work/missing.exe"; do
  if kit_pe_bits "$not_pe" >/dev/null 2>&1; then fail "$not_pe is taken for a PE image"; fi
done

# The probe answers fast and agrees with the loader it names. A loader that is not there means
# no 32-bit support.
start=$(date +%s%N)
"$root/scripts/lib/can-run-i386.sh"
probe=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
[ "$elapsed_ms" -lt 2000 ] || fail "the probe took $elapsed_ms ms"
if timeout 5 /usr/lib/wine/wine --version >/dev/null 2>&1; then actual=0; else actual=1; fi
[ "$probe" = "$actual" ] || fail "the probe answers $probe, the 32-bit loader says $actual"
KIT_WINE32_LOADER=$work/missing "$root/scripts/lib/can-run-i386.sh" && fail "a missing loader counts as 32-bit support"
KIT_WINE32_LOADER=/bin/false "$root/scripts/lib/can-run-i386.sh" && fail "a loader that fails counts as 32-bit support"
if [ "$probe" = 0 ]; then expected=wine; else expected=$kit_wine64; fi
[ "$(kit_wine_default)" = "$expected" ] || fail "Wine's tools would run through $(kit_wine_default), not $expected"

[ "$failures" = 0 ] || exit 1
echo "wine loader: all checks passed"
