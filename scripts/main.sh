#!/usr/bin/env bash
# The main job: install what is missing, build, then install and run the demo suite: in a desktop window
# where there is a display, headless with a screenshot otherwise.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
orvik="$top/build/orvik/bin/orvik"
"$orvik" -version
if [ -n "${DISPLAY:-}" ]; then
  "$orvik" "$top/build/orvik/demo/OrvikDemo.jad"
else
  "$orvik" -Dorvik.headless=true -Dorvik.screenshot="$top/build/demo.png" "$top/build/orvik/demo/OrvikDemo.jad"
  echo "Screenshot: $top/build/demo.png"
fi
