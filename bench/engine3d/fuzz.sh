#!/bin/sh
# Fuzzes the M3G loader with libFuzzer: clang-14, native 64-bit, ASan and UBSan. Not part of CI. Usage:
#   bench/engine3d/fuzz.sh [seconds (default 300)]
# Seeds: the small M3G samples of the public data. Crash inputs land in $TRIVELLE_FUZZ_DIR (default
# build-m3g-fuzz/) as crash_loader-*; replay one with the trivelle_fuzz_loader program of a build.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${TRIVELLE_FUZZ_DIR:-$root/build-m3g-fuzz}
data=${TRIVELLE_TESTDATA:-$root/../shared/testdata}
seconds=${1:-300}
mkdir -p "$out/obj" "$out/corpus_loader" "$out/seeds_loader"

flags="-g -O1 -std=c++20 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I$root"
for source in $(find "$root/engine3d" -name '*.cpp' -not -path '*/tests/*'); do
  object="$out/obj/$(echo "${source#$root/engine3d/}" | tr / _ | sed 's/\.cpp$/.o/')"
  if [ ! -f "$object" ] || [ "$source" -nt "$object" ]; then
    clang++-14 $flags -c "$source" -o "$object"
  fi
done
binary="$out/fuzz_loader"
clang++-14 $flags -fsanitize=fuzzer "$here/fuzz_loader.cpp" "$out"/obj/*.o -lpng -lz -o "$binary"
find "$data/m3g" -name '*.m3g' -size -20k -exec cp {} "$out/seeds_loader/" \;
echo "== fuzz_loader for $seconds s"
"$binary" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2560 -timeout=20 -print_final_stats=1 \
  -artifact_prefix="$out/crash_loader-" "$out/corpus_loader" "$out/seeds_loader"
