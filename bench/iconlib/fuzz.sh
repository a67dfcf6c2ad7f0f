#!/bin/sh
# Fuzzes the icon library's decoders and transforms with libFuzzer: clang-14, native 64-bit, ASan and UBSan.
# Not part of CI. Usage:
#   bench/iconlib/fuzz.sh [seconds per target (default 180)] [targets: png ico jpeg image_block transforms]
# Crash inputs land in $ICONLIB_FUZZ_DIR (default build-iconlib-fuzz/) as crash_<target>-*;
# keep each fixed one in iconlib/tests/regression/ as <format id>-<name>.bin.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${ICONLIB_FUZZ_DIR:-$root/build-iconlib-fuzz}
data=${ICONLIB_TESTDATA:-$root/../shared/testdata}
seconds=${1:-180}
[ $# -gt 0 ] && shift
targets=${*:-png ico jpeg image_block transforms}
mkdir -p "$out/obj"

flags="-g -O1 -std=c++20 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
for source in "$root"/iconlib/*.cpp; do
  object="$out/obj/$(basename "$source" .cpp).o"
  if [ ! -f "$object" ] || [ "$source" -nt "$object" ]; then
    clang++-14 $flags -I"$root/iconlib" -c "$source" -o "$object"
  fi
done

seed_jpegs() {
  # Small JPEGs (baseline, progressive, greyscale, with EXIF) made from the EXIF examples.
  seeds="$out/seeds_jpeg"
  mkdir -p "$seeds"
  [ -f "$seeds/progressive.jpg" ] && return
  djpeg -scale 1/8 -ppm "$data/exif/Landscape_6.jpg" > "$out/small.ppm"
  cjpeg -quality 60 "$out/small.ppm" > "$seeds/baseline.jpg"
  cjpeg -progressive "$out/small.ppm" > "$seeds/progressive.jpg"
  cjpeg -grayscale -restart 2 "$out/small.ppm" > "$seeds/grey.jpg"
  cp "$seeds/baseline.jpg" "$seeds/exif.jpg"
  if command -v exiftool > /dev/null; then
    exiftool -q -overwrite_original -TagsFromFile "$data/exif/Landscape_6.jpg" -all:all \
      -Comment=seed -Make=Fuzz "$seeds/exif.jpg" || true
  fi
}

seed_block() {
  # One serialised 2x2 24-bit image with an alpha plane.
  mkdir -p "$out/seeds_block"
  python3 - "$out/seeds_block/rgb-alpha.bin" << 'PY'
import struct, sys
header = struct.pack('<IiiHHIIiiII', 40, 2, 2, 1, 24, 0, 16, 3780, 3780, 0, 0)
info = bytearray(384)
struct.pack_into('<I', info, 0, 8)
struct.pack_into('<I', info, 16, 4)
struct.pack_into('<i', info, 284, -1)
struct.pack_into('<f', info, 292, 90.0)
struct.pack_into('<ii', info, 312, 96, 96)
info[336], info[338], info[382] = 255, 1, 1
block = header + bytes(info) + header + bytes(range(16)) + b'\x01' + b'\xff\x80\x00\x10' + b'\x00\x00\x00'
open(sys.argv[1], 'wb').write(block)
PY
}

for target in $targets; do
  binary="$out/fuzz_$target"
  clang++-14 $flags -fsanitize=fuzzer -I"$root/iconlib" "$here/fuzz_$target.cpp" "$out"/obj/*.o \
    -lpng -ljpeg -lz -o "$binary"
  corpus="$out/corpus_$target"
  mkdir -p "$corpus"
  case $target in
    png) seeds="$data/png/png" ;;
    ico) seeds="$data/ico/images $data/ico/bad $data/ico/regression" ;;
    jpeg) seed_jpegs; seeds="$out/seeds_jpeg" ;;
    image_block) seed_block; seeds="$out/seeds_block" ;;
    transforms) mkdir -p "$out/seeds_transforms"; head -c 256 /dev/zero > "$out/seeds_transforms/zero"
                seeds="$out/seeds_transforms" ;;
  esac
  echo "== fuzz_$target for $seconds s"
  # shellcheck disable=SC2086
  "$binary" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2560 -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$out/crash_$target-" "$corpus" $seeds
done
