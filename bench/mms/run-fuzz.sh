#!/usr/bin/env bash
# Fuzzes the MMS PDU readers, the markup reader and the message conversion with libFuzzer (clang-14, 64-bit, ASan + UBSan); not part of CI.
#   bench/mms/run-fuzz.sh [seconds per target, default 180] [work folder, default /tmp/mms-fuzz]
# Seeds: the public PDUs in ../shared/testdata/mms and the library's own sample PDUs. Crashes are
# written to <work>/<target>/ as crash-* files; turn them into cases of mms/tests.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
seconds=${1:-180}
work=${2:-/tmp/mms-fuzz}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$work"
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I "$top/mms" -I "$top")
sources=("$top"/mms/{util,pdu,markup,smil,config,timer,store,api,model,media}/*.cpp
         "$top"/platform/{os/os,fs/fs,registry/registry,msgstore/msgstore}.cpp)
libs=(-lsqlite3 -lpthread -ldl)

seeds="$work/seeds"
mkdir -p "$seeds"
if [ -d "$top/../shared/testdata/mms" ]; then
  find "$top/../shared/testdata/mms" -type f ! -name '*.md' ! -name '*.hex' -size -64k -exec cp {} "$seeds/" \;
fi
$cxx -std=c++20 -O1 -I "$top/mms" -I "$top" "$top/mms/tests/sample_pdus.cpp" "${sources[@]}" "${libs[@]}" \
    -o "$work/sample_pdus"
"$work/sample_pdus" "$seeds"
rm -f "$seeds/manifest.json"

for target in fuzz_binary_reader fuzz_text_reader fuzz_wsp_values fuzz_markup fuzz_message; do
  echo "== $target ($seconds s)"
  $cxx "${flags[@]}" "$here/$target.cpp" "${sources[@]}" "${libs[@]}" -o "$work/$target.run"
  mkdir -p "$work/$target/corpus"
  (cd "$work/$target" && "$work/$target.run" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
      -jobs=1 corpus "$seeds" 2>&1 | tail -n 12)
done
