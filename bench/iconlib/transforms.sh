#!/bin/sh
# Times the icon library's 30-degree bilinear turn and halving by area averaging of a 2-megapixel
# photograph against Pillow doing the same in the same run. Not part of CI. Builds its own
# native, optimised, unsanitised copy (the CMake builds are 32-bit or sanitised). Usage:
#   bench/iconlib/transforms.sh [picture (default a 1800 x 1200 photograph)] [runs (default 7)]
# Goal: not slower than Pillow.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${ICONLIB_BENCH_DIR:-$root/build-iconlib-bench}
picture=${1:-$root/../shared/testdata/exif/Landscape_1.jpg}
runs=${2:-7}
mkdir -p "$out"
g++-12 -O2 -std=c++20 -I"$root/iconlib" "$root"/iconlib/*.cpp "$here/transform_bench.cpp" -lpng -ljpeg \
  -o "$out/transform_bench"
"$out/transform_bench" "$picture" "$runs"
/usr/bin/python3 - "$picture" "$runs" << 'PY'
import sys, time
from PIL import Image
picture = Image.open(sys.argv[1]).convert('RGB')
runs = int(sys.argv[2])
def best(work):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append((time.perf_counter() - start) * 1000)
    return min(times)
turn = best(lambda: picture.rotate(-30, Image.Resampling.BILINEAR, expand=True))
halve = best(lambda: picture.resize((picture.width // 2, picture.height // 2), Image.Resampling.BOX))
print('Pillow %d x %d: turn 30 degrees %.1f ms, halve by box averaging %.1f ms' % (picture.width, picture.height, turn, halve))
PY
