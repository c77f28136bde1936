#!/usr/bin/env bash
# An OPOS application written in VBScript drives the registered service object under Wine's
# cscript, and the display simulator on COM7 receives exactly the expected bytes.
#
#   cscript_session_test.sh VARNEL.dll SCRIPT.vbs EXPECTED_TRACE
#
# Runs inside scripts/with-simulator.sh (which sets WINEPREFIX and KIT_SIM_COM7_TRACE). Registers
# the library with regsvr32, installs a device as an installation would (OPOS key through the
# 32-bit view, device-name file), runs the script, compares the new trace lines with the
# expected ones, and leaves the prefix as it found it (unregisters, removes key and file).
#
# Everything runs at the library's word size, as on Windows: a 32-bit library is registered by
# the 32-bit regsvr32 and driven by the 32-bit cscript under WOW64; a 64-bit build of it by the
# 64-bit ones, with the device installed through the 64-bit view.
set -euo pipefail
dll=$1 script=$2 expected=$3
: "${WINEPREFIX:?run inside with-simulator.sh}" "${KIT_SIM_COM7_TRACE:?run inside with-simulator.sh}"
export WINEDEBUG=-all
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../scripts/lib/installed_device.sh"
source "$here/../../../scripts/lib/wine-loader.sh"

bits=$(kit_pe_bits "$dll") || { echo "FAIL: $dll is not a Windows library" >&2; exit 1; }
if [ "$bits" = 64 ]; then
  # Every `wine` below, and those of installed_device.sh, runs the 64-bit tools; a 64-bit
  # installer writes the OPOS key through the 64-bit view.
  wine() {
    local arg args=()
    for arg in "$@"; do
      [ "$arg" = /reg:32 ] && arg=/reg:64
      args+=("$arg")
    done
    "$kit_wine64" "${args[@]}"
  }
  winepath() { "$kit_wine64" winepath "$@"; }
fi

progid_key='HKCR\VARNEL.ID_TARVO_VARNEL'
if wine reg query "$progid_key" >/dev/null 2>&1; then
  echo "FAIL: the ProgID is registered before the test" >&2
  exit 1
fi

install_device KitCscriptPole 7 9600
trap 'remove_device; wine regsvr32 /u /s "$dll_win" >/dev/null 2>&1 || true' EXIT

dll_win=$(winepath -w "$dll")
wine regsvr32 /s "$dll_win"
wine reg query "$progid_key" >/dev/null 2>&1 || { echo "FAIL: regsvr32 did not register the ProgID" >&2; exit 1; }

first=$(wc -l <"$KIT_SIM_COM7_TRACE")
# cscript answers 0 even when the script stops on a run-time error, so the script's last line
# ("session complete") is what proves it ran to its end.
output=$(wine cscript //nologo "$(winepath -w "$script")") || true
printf '%s\n' "$output"
if ! grep -q '^session complete' <<<"$output"; then
  echo "FAIL: the script did not complete (failures or a run-time error above)" >&2
  exit 1
fi
expected_lines=$(wc -l <"$expected")
if ! wait_for_trace "$KIT_SIM_COM7_TRACE" $((first + expected_lines)); then
  echo "FAIL: the display received $(($(wc -l <"$KIT_SIM_COM7_TRACE") - first)) of the $expected_lines expected" \
    "commands within 5 s (diff: - expected, + received)" >&2
  diff -u "$expected" <(tail -n +$((first + 1)) "$KIT_SIM_COM7_TRACE") >&2 || true
  exit 1
fi
if ! diff -u "$expected" <(tail -n +$((first + 1)) "$KIT_SIM_COM7_TRACE"); then
  echo "FAIL: the display received other bytes than expected (diff above: - expected, + received)" >&2
  exit 1
fi

wine regsvr32 /u /s "$dll_win"
if wine reg query "$progid_key" >/dev/null 2>&1; then
  echo "FAIL: regsvr32 /u left the ProgID behind" >&2
  exit 1
fi
echo "cscript session: the display received the expected $(wc -l <"$expected") commands"
