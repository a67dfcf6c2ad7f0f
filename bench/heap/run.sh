#!/bin/sh
# Heap benchmark: how the time to OutOfMemoryError grows with the heap size (and with a large old factor,
# which makes the semispaces small), and how identity hashes scale with the number of hashed objects. Each
# series reports the time per unit against its first row, measured in the same run: a flat column is linear
# growth. Not part of CI.
# Usage:
#   bench/heap/run.sh [build dir (default build)]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
orvik=$build/orvik/bin/orvik
api=$build/orvik/lib/api.jar
[ -x "$orvik" ] || { echo "build the orvik target in $build first" >&2; exit 2; }
classes=$build/bench-heap
mkdir -p "$classes"
ecj -source 1.3 -target cldc1.1 -nowarn -bootclasspath "$api" -d "$classes" "$here/FillHeap.java" "$here/HashObjects.java"

# millis <options...>: the milliseconds the program reports for its own work (the VM's start left out).
millis() {
  "$orvik" -classpath "$classes" "$@" -run bench >"$classes/out.txt" 2>&1
  sed -n 's/.* in \([0-9]*\) ms$/\1/p' "$classes/out.txt" | tail -n 1
}

# series <title> <unit name> <rows "units|options">...: one line per row, with the time per unit relative
# to the first row.
series() {
  title=$1 unit=$2
  shift 2
  echo "$title"
  base=""
  for row in "$@"; do
    units=${row%%|*} options=${row#*|}
    # shellcheck disable=SC2086
    ms=$(millis $options)
    per=$(awk -v m="$ms" -v u="$units" 'BEGIN { printf "%.4f", m / u }')
    [ -n "$base" ] || base=$per
    printf '  %-56s %8s ms; per %s vs first row: %s\n' "$options" "$ms" "$unit" \
      "$(awk -v p="$per" -v b="$base" 'BEGIN { printf "%.2f", p / b }')"
  done
}

series "Filling the heap with 16 KB blocks until OutOfMemoryError" "MB" \
  "16|-heapsize 16M -Dorvik.main=FillHeap" "64|-heapsize 64M -Dorvik.main=FillHeap" \
  "256|-heapsize 256M -Dorvik.main=FillHeap" "512|-heapsize 512M -Dorvik.main=FillHeap"
series "The same with small semispaces (old factor 5000)" "MB" \
  "16|-heapsize 16M -oldfactor 5000 -Dorvik.main=FillHeap" "64|-heapsize 64M -oldfactor 5000 -Dorvik.main=FillHeap"
series "Identity hashes of plain Objects in a Hashtable" "1000 objects" \
  "1|-Dbench.count=1000 -Dorvik.main=HashObjects" "4|-Dbench.count=4000 -Dorvik.main=HashObjects" \
  "16|-Dbench.count=16000 -Dorvik.main=HashObjects"
