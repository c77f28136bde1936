#!/usr/bin/env bash
# Regenerates docs/display.png, the picture of the display on the README's first screen, from the
# demo's result: runs scripts/demo.sh and copies the picture the simulator drew there
# (build/demo-display.png), so the README shows what the demo really leaves on the display.
#
#   scripts/display-picture.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/demo.sh
cp build/demo-display.png docs/display.png
echo "== docs/display.png now shows the demo's result"
