#!/usr/bin/env bash
# Runs a command while display simulators serve COM ports of a Wine prefix.
#
#   scripts/with-simulator.sh --simulator PATH --prefix PREFIX --port N [--port M ...]
#                           [--no-speed-check] [--fault MODES] [--no-files] -- COMMAND...
#
# The prefix maps COMN to PREFIX/sim-comN (scripts/wine-prefix.sh). For each port N this starts
#   PATH --quiet --link PREFIX/sim-comN --state DIR/stateN --trace DIR/traceN --capture DIR/captureN
# (with --no-speed-check as well when given: the displays then decode bytes sent at any line
# speed, for a command that changes the speed of one port between writes; and --fault MODES to
# make them misbehave as the simulator's fault modes say) in a fresh temporary DIR, waits (at
# most 10 s) for the link, and exports
#   KIT_SIM_COMN_TRACE, KIT_SIM_COMN_STATE,  Unix paths of its trace, state and raw capture
#   KIT_SIM_COMN_CAPTURE                     files (Windows programs see them as Z:<path>)
#   KIT_SIM_COMN_PID                         its process id
#   KIT_SIM_FAULTS                           the fault modes given (empty: none)
# and WINEPREFIX=PREFIX, so the command's Wine and the links agree. With --no-files the
# simulators keep no state, trace or capture file (nor are those variables set): a benchmark's
# display then drains the line as fast as a device would. The prefix is created first
# if it does not exist yet. The simulators are stopped, and DIR removed, when the command ends
# however it ends; the command's exit status is the script's.
set -euo pipefail

usage() {
  echo "usage: with-simulator.sh --simulator PATH --prefix PREFIX --port N [--port M ...] [--no-speed-check]" \
    "[--fault MODES] [--no-files] -- COMMAND..." >&2
  exit 2
}

simulator= prefix= ports=() simulator_options=() faults= files=1
while [ $# -gt 0 ]; do
  case $1 in
    --simulator) [ $# -ge 2 ] || usage; simulator=$2; shift 2 ;;
    --prefix) [ $# -ge 2 ] || usage; prefix=$2; shift 2 ;;
    --port)
      [ $# -ge 2 ] || usage
      [[ $2 =~ ^[0-9]+$ ]] || { echo "with-simulator: port must be a number: $2" >&2; exit 2; }
      ports+=("$2"); shift 2 ;;
    --no-speed-check) simulator_options+=(--no-speed-check); shift ;;
    --fault) [ $# -ge 2 ] || usage; faults=$2; simulator_options+=(--fault "$2"); shift 2 ;;
    --no-files) files=0; shift ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -n "$simulator" ] && [ -n "$prefix" ] && [ ${#ports[@]} -gt 0 ] && [ $# -gt 0 ] || usage
if [ ! -x "$simulator" ]; then
  echo "with-simulator: no simulator at $simulator" >&2
  echo "  build it: cmake --preset native && cmake --build --preset native --target pole_display_sim" >&2
  exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
"$here/wine-prefix.sh" "$prefix" >&2
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX=$prefix

export KIT_SIM_FAULTS=$faults
workdir=$(mktemp -d "${TMPDIR:-/tmp}/kit-sim.XXXXXX")
pids=()

stop_simulators() {
  local pid waited
  for pid in "${pids[@]}"; do
    # A test may have stopped a simulator (SIGSTOP) to stall the line: wake it so it can end.
    kill -CONT "$pid" 2>/dev/null || true
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    for waited in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$workdir"
}
trap stop_simulators EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

for port in "${ports[@]}"; do
  link=$prefix/sim-com$port
  # A link left by a simulator that was killed outright would look ready before the new one is.
  if [ -L "$link" ]; then rm -f "$link"; fi
  outputs=()
  if [ "$files" = 1 ]; then
    outputs=(--state "$workdir/state$port" --trace "$workdir/trace$port" --capture "$workdir/capture$port")
  fi
  "$simulator" --quiet "${simulator_options[@]}" --link "$link" "${outputs[@]}" >"$workdir/sim$port.log" 2>&1 &
  pids+=($!)
  export "KIT_SIM_COM${port}_PID=$!"
  if [ "$files" = 1 ]; then
    export "KIT_SIM_COM${port}_TRACE=$workdir/trace$port" "KIT_SIM_COM${port}_STATE=$workdir/state$port" \
      "KIT_SIM_COM${port}_CAPTURE=$workdir/capture$port"
  fi
done

for index in "${!ports[@]}"; do
  link=$prefix/sim-com${ports[$index]}
  for attempt in $(seq 200); do
    [ -L "$link" ] && break
    if ! kill -0 "${pids[$index]}" 2>/dev/null; then
      echo "with-simulator: the simulator for COM${ports[$index]} ended early:" >&2
      cat "$workdir/sim${ports[$index]}.log" >&2
      exit 1
    fi
    sleep 0.05
  done
  if [ ! -L "$link" ]; then
    echo "with-simulator: no link at $link after 10 s" >&2
    exit 1
  fi
done

status=0
"$@" || status=$?
exit "$status"
