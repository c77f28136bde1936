#!/usr/bin/env bash
# zorn-utility-cli.exe under Wine configuring the display simulator on COM7, end to end.
# ctest runs it inside scripts/with-simulator.sh, which exports KIT_SIM_COM7_STATE:
#   cli_wine_test.sh LAUNCHER... zorn-utility-cli.exe
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: cli_wine_test.sh LAUNCHER... PROGRAM" >&2; exit 2; }
cli=("$@")
state=${KIT_SIM_COM7_STATE:?run me inside scripts/with-simulator.sh --port 7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  echo "--- stdout"; cat "$work/out"; echo "--- stderr"; cat "$work/err"
  failures=$((failures + 1))
}

# Runs the front end; its output, without the console's carriage returns, lands in out/err.
run() {
  timeout 60 "${cli[@]}" "$@" >"$work/out.raw" 2>"$work/err.raw"
  rc=$?
  tr -d '\r' <"$work/out.raw" >"$work/out"
  tr -d '\r' <"$work/err.raw" >"$work/err"
}

# Waits (at most 5 s) for a line of the simulator's state file.
state_has() {
  for _ in $(seq 50); do
    grep -qxF "$1" "$state" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Under the simulator's hangup-after fault the display drops the line mid-download: the front end
# reports it at once instead of running into its time limits.
if [[ ${KIT_SIM_FAULTS:-} == *hangup-after* ]]; then
  run --port COM7 font-set "(DE) Germany"
  [ "$rc" = 4 ] || fail "font-set on a dropped line answered $rc, not 4"
  grep -q 'Com port disconnected !' "$work/err" || fail "the lost line was not reported"
  if grep -q 'Response Timeout' "$work/out" "$work/err"; then fail "ended by the timer, not the hang-up"; fi
  if [ "$failures" -ne 0 ]; then exit 1; fi
  echo "zorn-utility-cli under Wine: a dropped line is reported"
  exit 0
fi

run --port COM7 info
[ "$rc" = 0 ] || fail "info answered $rc"
grep -q '^SIM-DSP 1.00$' "$work/out" || fail "info did not show the version"

run --port COM7 text "WINE SAYS" "HELLO"
[ "$rc" = 0 ] || fail "text answered $rc"
state_has 'row0_text=WINE SAYS           ' || fail "line 1 not on the display"
state_has 'row1_text=HELLO               ' || fail "line 2 not on the display"

# The lines reach the display in the chosen code page: Wine turns the UTF-8 arguments into the
# wide command line, which the front end reads.
for case in '858|Prix 10€|50726978203130d5' '866|Привет|8fe0a8a2a5e2'; do
  IFS='|' read -r page text hex <<<"$case"
  LC_ALL=C.UTF-8 run --port COM7 --code-page "$page" text "$text"
  [ "$rc" = 0 ] || fail "text in code page $page answered $rc"
  padding=$(printf '20%.0s' $(seq $((20 - ${#hex} / 2))))
  state_has "row0_hex=$hex$padding" || fail "\"$text\" did not reach the display as $hex in code page $page"
done

run --port COM7 command-set CD5220
[ "$rc" = 0 ] || fail "command-set answered $rc"
state_has 'command_set=7' || fail "command set not stored"

run --port COM7 font-set "(DE) Germany"
[ "$rc" = 0 ] || fail "font-set answered $rc"
[ "$(grep -c '^font-set: frame ' "$work/out")" = 23 ] || fail "font-set did not report 23 frames"
grep -q '^font-set: done$' "$work/out" || fail "font-set did not finish"
state_has 'language=DE' || fail "language not stored"

run --port COM9 info
[ "$rc" = 3 ] || fail "an absent port answered $rc, not 3"
grep -q 'Com port open failed !' "$work/err" || fail "no open failure message"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "zorn-utility-cli under Wine: all checks passed"
