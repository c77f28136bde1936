#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz) and runs each of them in turn for a while, printing
# libFuzzer's figures for each. The test run (scripts/test.sh) runs them for 20 s each; this is
# the long run.
#   scripts/fuzz.sh [SECONDS_EACH] [TARGET...]      default 600 s, every target
# Inputs that crash are kept in build/fuzz/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(device_name_file_fuzzer registry_number_fuzzer code_page_fuzzer sim_input_fuzzer)
fi
status=0
for target in "${targets[@]}"; do
  echo "== $target, $seconds s"
  fuzz/run.sh --seconds "$seconds" --artifacts build/fuzz/fuzz build/fuzz/fuzz/"$target" fuzz/corpus/"$target" ||
    status=1
done
exit $status
