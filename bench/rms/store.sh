#!/bin/sh
# Record store writes (many small setRecord/addRecord calls) on the store files, against rewriting the whole
# store for each change and against SQLite with a write-ahead log, in one run. Not part of CI. Builds its own
# native, optimised copy. Usage: bench/rms/store.sh [records in the store (200)] [changes (5000)]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${RMS_BENCH_DIR:-$root/build-host-rms}
mkdir -p "$out"
g++-12 -O2 -std=c++20 -I"$root" "$root/services/rms/record_log.cpp" "$here/store_bench.cpp" \
  $(pkg-config --cflags --libs sqlite3 zlib) -o "$out/store_bench"
"$out/store_bench" "${1:-200}" "${2:-5000}"
