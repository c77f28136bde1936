#!/usr/bin/env bash
# Builds the setup program from staged release binaries with makensis.
#
#   installer/build-installer.sh --stage DIR --version V --out FILE [--amd64-vehicle]
#
# DIR holds x86/ (VARNEL.dll, zorn-utility-cli.exe, and Zorn_Utility.exe and ZornTest.exe when
# the build made them) and x64/ (VARNEL.dll). --amd64-vehicle builds the same script as a 64-bit
# program, for tests on machines that cannot run 32-bit programs; it is never shipped.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

usage() {
  echo "usage: build-installer.sh --stage DIR --version V --out FILE [--amd64-vehicle]" >&2
  exit 2
}

stage= version= out= defines=()
while [ $# -gt 0 ]; do
  case $1 in
    --stage) [ $# -ge 2 ] || usage; stage=$2; shift 2 ;;
    --version) [ $# -ge 2 ] || usage; version=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --amd64-vehicle) defines+=(-DKIT_AMD64_VEHICLE); shift ;;
    *) usage ;;
  esac
done
[ -n "$stage" ] && [ -n "$version" ] && [ -n "$out" ] || usage
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-installer: bad version '$version'" >&2; exit 2; }
for required in x86/VARNEL.dll x86/zorn-utility-cli.exe x86/zorn-display-bridge.exe x64/VARNEL.dll; do
  [ -f "$stage/$required" ] || { echo "build-installer: $stage/$required is missing" >&2; exit 1; }
done
stage=$(cd "$stage" && pwd)
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

# -WX: a warning (an unused variable, a missing file) stops the build. -V2: warnings and errors
# only. The include files sit beside the script.
makensis -WX -V2 -NOCD "-X!addincludedir $here" \
  "-DKIT_VERSION=$version" "-DKIT_STAGE=$stage" "-DKIT_OUTFILE=$out" "${defines[@]}" \
  "$here/setup.nsi"
