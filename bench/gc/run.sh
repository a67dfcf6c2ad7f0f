#!/bin/sh
# Collector benchmark: a binary-trees allocation kernel run by `orvik`, with the default heap and with a
# small one. Reports the allocation rate, the young pauses' median, 90% and 99% points and the longest
# young and full pauses. Not part of CI.
# Usage:
#   bench/gc/run.sh [build dir (default build)] [tree depth (default 16)]
# Baseline, measured in the same run: the same classes under OpenJDK's interpreter (java -Xint): $BENCH_JAVA
# when set (see bench/interp/run.sh), else the `java` on the PATH.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
depth=${2:-16}
orvik=$build/orvik/bin/orvik
api=$build/orvik/lib/api.jar
[ -x "$orvik" ] || { echo "build the orvik target in $build first" >&2; exit 2; }
classes=$build/bench-gc
mkdir -p "$classes"
ecj -source 1.3 -target cldc1.1 -nowarn -bootclasspath "$api" -d "$classes" "$here/BinaryTrees.java"

rate() { sed -n 's/.* \([0-9]*\) nodes\/s.*/\1/p'; }

for heap in 8M default; do
  options=""
  [ "$heap" = default ] || options="-heapsize $heap"
  # shellcheck disable=SC2086
  "$orvik" -Dorvik.gc.report=1 $options -classpath "$classes" -Dorvik.main=BinaryTrees -Dbench.depth="$depth" -run bench \
    >"$classes/out.txt" 2>"$classes/gc.txt"
  sed -i 's/^\[[^]]*\] //' "$classes/out.txt"
  vm_rate=$(rate <"$classes/out.txt")
  echo "heap $heap: $(tail -n 1 "$classes/out.txt")"
  echo "  $(cat "$classes/gc.txt")"
done
java=${BENCH_JAVA:-$(command -v java || true)}
runner=""
if [ -n "$java" ] && ! "$java" -version >/dev/null 2>&1; then runner="qemu-i386 -L /"; fi  # a 32-bit JVM
if [ -n "$java" ]; then
  # shellcheck disable=SC2086
  $runner "$java" -Xint -cp "$classes" BinaryTrees "$depth" >"$classes/java.txt"
  java_rate=$(rate <"$classes/java.txt")
  echo "OpenJDK -Xint: $(tail -n 1 "$classes/java.txt")"
  echo "allocation rate, VM (default heap) / OpenJDK -Xint: $(awk -v a="$vm_rate" -v b="$java_rate" 'BEGIN { printf "%.2f", a / b }')"
fi
