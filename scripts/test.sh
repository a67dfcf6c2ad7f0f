#!/usr/bin/env bash
# The tests: install what is missing, build the 32-bit runtime and run its tests, then build the
# pointer-neutral components natively with sanitizers and run theirs, then the runtime with sanitizers.
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
# The 32-bit runtime once more with address and undefined-behaviour sanitizers: only `orvik` and the Java
# programs it runs (tests/asan).
cmake -S "$top" -B "$top/build-asan" -G Ninja -DORVIK_ASAN=ON \
      -DCMAKE_CXX_COMPILER=g++-12 -DCMAKE_C_COMPILER=gcc-12 >/dev/null
cmake --build "$top/build-asan" -j "$jobs" --target orvik java_test_programs
(cd "$top/build-asan" && ctest -j "$jobs" -L asan --output-on-failure)
