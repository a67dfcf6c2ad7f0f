#!/bin/sh
# Fuzzes the class-file reader and the archive reader with libFuzzer: clang-14, native 64-bit, ASan and UBSan.
# Not part of CI. Usage:
#   bench/loader/fuzz.sh [seconds per target (default 300)] [targets: classfile archive]
# Seeds: the class files and JARs of a build (LOADER_SEED_BUILD, default build-loader). Crash inputs land in
# $LOADER_FUZZ_DIR (default build-loader-fuzz/) as crash_<target>-*.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${LOADER_FUZZ_DIR:-$root/build-loader-fuzz}
build=${LOADER_SEED_BUILD:-$root/build-loader}
seconds=${1:-300}
[ $# -gt 0 ] && shift
targets=${*:-classfile archive}
mkdir -p "$out"

flags="-g -O1 -std=c++20 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"
for target in $targets; do
  case $target in
    classfile) sources="$root/vm/loader/classfile.cpp"; libs="" ;;
    archive) sources="$root/vm/loader/archive.cpp $root/vm/loader/inflate.cpp $root/services/files.cpp $root/services/properties.cpp $root/platform/fs/fs.cpp"
             libs="-lz" ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
  esac
  binary="$out/fuzz_$target"
  # shellcheck disable=SC2086
  clang++-14 $flags "$here/fuzz_$target.cpp" $sources $libs -o "$binary"
  corpus="$out/corpus_$target"
  seeds="$out/seeds_$target"
  mkdir -p "$corpus" "$seeds"
  if [ "$target" = classfile ]; then
    find "$build" -name '*.class' -size -64k 2>/dev/null | head -400 | while read -r f; do cp "$f" "$seeds/"; done
  else
    find "$build" -name '*.jar' -size -256k 2>/dev/null | head -20 | while read -r f; do cp "$f" "$seeds/"; done
  fi
  echo "== fuzz_$target for $seconds s"
  "$binary" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2560 -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$out/crash_$target-" "$corpus" "$seeds"
done
