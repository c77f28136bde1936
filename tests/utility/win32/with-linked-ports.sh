#!/usr/bin/env bash
# Runs a command while COM7 and COM12 of a Wine prefix are joined like a null-modem cable: a
# pair of linked pseudo-terminals whose ends sit at the prefix's fixed port links.
#
#   with-linked-ports.sh --prefix PREFIX [--preload LIBRARY] -- COMMAND...
#
# The prefix maps COMN to PREFIX/sim-comN (scripts/wine-prefix.sh); it is created first if
# needed. --preload names a library for the Windows program only: it is handed to
# scripts/wine-run.sh through KIT_WINE_PRELOAD, which may hold a $LIB token. KIT_LINKED_PORTS=1
# tells the test the ports are joined. The pair is removed when the command ends however it
# ends; the command's exit status is the script's.
set -euo pipefail

usage() {
  echo "usage: with-linked-ports.sh --prefix PREFIX [--preload LIBRARY] -- COMMAND..." >&2
  exit 2
}

prefix= preload=
while [ $# -gt 0 ]; do
  case $1 in
    --prefix) [ $# -ge 2 ] || usage; prefix=$2; shift 2 ;;
    --preload) [ $# -ge 2 ] || usage; preload=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -n "$prefix" ] && [ $# -gt 0 ] || usage
command -v socat >/dev/null || { echo "with-linked-ports: socat is not installed" >&2; exit 2; }

here=$(cd "$(dirname "$0")" && pwd)
"$here/../../../scripts/wine-prefix.sh" "$prefix" >&2
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX=$prefix

pid=
stop_pair() {
  if [ -n "$pid" ]; then
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -f "$prefix/sim-com7" "$prefix/sim-com12"
}
trap stop_pair EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# A link left by a helper that was killed outright would look ready before the new one is.
rm -f "$prefix/sim-com7" "$prefix/sim-com12"
socat "pty,raw,echo=0,link=$prefix/sim-com7" "pty,raw,echo=0,link=$prefix/sim-com12" &
pid=$!
for attempt in $(seq 200); do
  [ -L "$prefix/sim-com7" ] && [ -L "$prefix/sim-com12" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "with-linked-ports: socat ended early" >&2; exit 1; }
  sleep 0.05
done
if [ ! -L "$prefix/sim-com7" ] || [ ! -L "$prefix/sim-com12" ]; then
  echo "with-linked-ports: no pty pair after 10 s" >&2
  exit 1
fi

export KIT_LINKED_PORTS=1
if [ -n "$preload" ]; then export KIT_WINE_PRELOAD=$preload; fi
status=0
"$@" || status=$?
exit "$status"
