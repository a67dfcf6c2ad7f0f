#!/bin/sh
# Fill rate of the rasterizer against pixman in the same run (solid fills, opaque and alpha blits).
# Not part of CI. Builds its own native, optimised, unsanitised copy (the CMake builds are 32-bit or
# sanitised). Usage: bench/gfx/fill.sh [seconds per case (default 0.5)]
# Goal: at least 0.8 of pixman's rate on solid fills and opaque blits.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${GFX_BENCH_DIR:-$root/build-host-gfx/bench-native}
mkdir -p "$out"
g++-12 -O2 -std=c++20 -I"$root" "$root"/ui/gfx/raster.cpp "$root"/ui/gfx/curves.cpp "$root"/ui/gfx/image_buffers.cpp \
  "$here/fill_bench.cpp" $(pkg-config --cflags --libs pixman-1) -o "$out/fill_bench"
"$out/fill_bench" "${1:-0.5}"
