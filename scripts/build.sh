#!/usr/bin/env bash
# Configures and builds presets. With no argument: native (which also builds the simulator the
# win32 tests need) and win32.
#   scripts/build.sh [PRESET...]
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(native win32)
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
