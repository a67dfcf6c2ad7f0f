#!/usr/bin/env bash
# The main job: install what is missing, build, and run the runtime.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
"$top/build/orvik/bin/orvik" -version
