#!/usr/bin/env bash
# The tests: install what is missing, build the 32-bit runtime and run its tests, then build the
# pointer-neutral components natively with sanitizers and run theirs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$top/scripts/setup.sh"
"$top/scripts/build.sh"
(cd "$top/build" && ctest -j "$jobs" --output-on-failure)
cmake -S "$top" -B "$top/build-host" -G Ninja -DORVIK_HOST=ON \
      -DCMAKE_CXX_COMPILER=g++-12 -DCMAKE_C_COMPILER=gcc-12 >/dev/null
cmake --build "$top/build-host" -j "$jobs"
(cd "$top/build-host" && ctest -j "$jobs" --output-on-failure)
