# Shell helpers for tests and the demo: a device configured as an installation configures it.
# Source it with WINEPREFIX set. kit_wine (default wine) is the loader that runs Wine's reg, and
# kit_reg_view (default /reg:32) the registry view an installer of the library's word size writes.
#
#   install_device NAME PORT BAUD   OPOS key NAME (written through the 32-bit view, where a 32-bit
#                                   installer writes it) with Comport PORT and Baudrate BAUD, and
#                                   the device-name file naming NAME (a previous file is kept aside)
#   remove_device                   undoes install_device
#   wait_for_trace FILE LINES       waits (at most 5 s) until FILE has LINES lines; fails (status 1)
#                                   when it has fewer by then

kit_wine=${kit_wine:-wine}
kit_reg_view=${kit_reg_view:-/reg:32}
opos_key_base='HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay'
device_name_dir="$WINEPREFIX/drive_c/Program Files (x86)/OPOSLD_SETUP"
device_name_file="$device_name_dir/DeviceName.txt"
installed_device=

install_device() {
  installed_device=$1
  "$kit_wine" reg add "$opos_key_base\\$1" /v Comport /d "$2" /f "$kit_reg_view" >/dev/null
  "$kit_wine" reg add "$opos_key_base\\$1" /v Baudrate /d "$3" /f "$kit_reg_view" >/dev/null
  mkdir -p "$device_name_dir"
  [ -f "$device_name_file" ] && mv "$device_name_file" "$device_name_file.kept"
  printf '%s\r\n' "$1" >"$device_name_file"
}

remove_device() {
  [ -n "$installed_device" ] || return 0
  "$kit_wine" reg delete "$opos_key_base\\$installed_device" /f "$kit_reg_view" >/dev/null 2>&1 || true
  rm -f "$device_name_file"
  [ -f "$device_name_file.kept" ] && mv "$device_name_file.kept" "$device_name_file"
  installed_device=
}

wait_for_trace() {
  local waited
  for waited in $(seq 100); do
    [ "$(wc -l <"$1")" -ge "$2" ] && return 0
    sleep 0.05
  done
  [ "$(wc -l <"$1")" -ge "$2" ]
}
