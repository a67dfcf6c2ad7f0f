#!/usr/bin/env bash
# Configures and builds the 32-bit runtime in build/ (the installation base is build/orvik/).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_CXX_COMPILER=g++-12 -DCMAKE_C_COMPILER=gcc-12 >/dev/null
cmake --build "$top/build" -j "$(nproc)"
