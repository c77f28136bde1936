#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time on a scratch copy of its seed corpus, so the
# committed corpus never changes. A crash, leak, sanitizer report or time-out fails the run and
# leaves the input that caused it in the artifacts folder.
#
#   fuzz/run.sh [--seconds N] [--artifacts DIR] FUZZER SEED_DIR [libFuzzer option...]
#
# The last lines of the output are libFuzzer's final statistics (executions, speed, peak memory)
# and the coverage it reached.
set -euo pipefail

usage() {
  echo "usage: run.sh [--seconds N] [--artifacts DIR] FUZZER SEED_DIR [libFuzzer option...]" >&2
  exit 2
}

seconds=20 artifacts=.
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) [ $# -ge 2 ] || usage; seconds=$2; shift 2 ;;
    --artifacts) [ $# -ge 2 ] || usage; artifacts=$2; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || usage
fuzzer=$1 seeds=$2
shift 2
[[ $seconds =~ ^[0-9]+$ ]] && [ "$seconds" -gt 0 ] || { echo "run.sh: --seconds takes a positive number" >&2; exit 2; }
[ -x "$fuzzer" ] || { echo "run.sh: no fuzzer at $fuzzer" >&2; exit 2; }
[ -d "$seeds" ] || { echo "run.sh: no seed corpus at $seeds" >&2; exit 2; }
mkdir -p "$artifacts"

# New inputs go to the first corpus folder, the scratch one; the seeds are only read.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kit-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

name=$(basename "$fuzzer")
log=$scratch.log
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$artifacts/$name-" "$@" "$scratch" "$seeds" >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log" >&2
  rm -f "$log"
  echo "run.sh: $name failed (exit $status); the input is in $artifacts" >&2
  exit "$status"
fi
# The summary: the last progress line and the final statistics.
grep -E "^#[0-9]+" "$log" | tail -n 1 || true
grep -E "^stat::" "$log" || true
echo "corpus: $(find "$scratch" "$seeds" -type f | wc -l) inputs"
rm -f "$log"
