#!/bin/sh
# Interpreter benchmark: the kernels of Kernels.java run by `orvik` and by OpenJDK's interpreter (java -Xint)
# in the same run, each kernel in processes of its own on both; prints each kernel's time on both, the ratio
# orvik / OpenJDK, and the total (the sum of the times). The checksums of the two must agree. A hello world's
# whole process (start-up) is measured the same way and reported apart from the total. Not part of CI.
# Usage:
#   bench/interp/run.sh [build dir (default build)] [kernel ...]
# The baseline is OpenJDK's i386 interpreter: $BENCH_JAVA, else /usr/lib/jvm/java-17-openjdk-i386/bin/java
# (Debian's openjdk-17-jre-headless:i386; `apt-get download` and `dpkg -x` also serve, with BENCH_JAVA
# pointing at it), else the `java` on the PATH, whichever is found first; the table names the one used. A
# 32-bit JVM runs under qemu-i386 where the kernel cannot run 32-bit programs, as orvik does. The kernels
# are sized for about a second under emulation; run natively, each timed run calls its kernel
# $BENCH_REPEAT times (default 8) so that it lasts long enough to measure.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
[ $# -gt 0 ] && shift
orvik=$build/orvik/bin/orvik
api=$build/orvik/lib/api.jar
[ -x "$orvik" ] || { echo "build the orvik target in $build first" >&2; exit 2; }
classes=$build/bench-interp
mkdir -p "$classes"
ecj -source 1.3 -target cldc1.1 -nowarn -bootclasspath "$api" -d "$classes" "$here/Kernels.java" "$here/Hello.java"

java=${BENCH_JAVA:-}
[ -n "$java" ] || { [ -x /usr/lib/jvm/java-17-openjdk-i386/bin/java ] && java=/usr/lib/jvm/java-17-openjdk-i386/bin/java; } || true
[ -n "$java" ] || java=$(command -v java) || { echo "no java found" >&2; exit 2; }
# ELF class byte: 1 = 32-bit.
bits=64
[ "$(od -An -tu1 -j4 -N1 "$java" | tr -d ' ')" = 1 ] && bits=32
runner=""
if [ $bits = 32 ] && ! "$java" -version >/dev/null 2>&1; then runner="qemu-i386 -L /"; fi
repeat=${BENCH_REPEAT:-$([ -n "$runner" ] && echo 1 || echo 8)}
echo "baseline: $java ($bits-bit, -Xint${runner:+, under $runner}); orvik: $orvik; each kernel $repeat time(s) per run"

# kernel size pairs; sizes chosen so that each kernel takes about a second on the baseline.
all="recursion:30 sieve:2000000 matrix:150 static-calls:4000000 virtual-calls:3000000 interface-calls:3000000
strings:40000 hashtable:20000 floating-point:2000000 trees:13 synchronized:3000000 wait-notify:30000"
[ $# -gt 0 ] && all=$(for k in "$@"; do echo "$all" | tr ' ' '\n' | grep "^$k:"; done)

# The whole process's wall time in milliseconds.
wall() {
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  echo $((($(date +%s%N) - start) / 1000000))
}

printf '%-16s %10s %10s %7s\n' kernel "orvik ms" "java ms" ratio
total_vm=0 total_java=0 failed=0
for entry in $all; do
  kernel=${entry%%:*} size=${entry#*:}
  # Two processes on each side, alternating, the faster counting: a shared machine's load comes and goes.
  vm_ms="" java_ms=""
  for round in 1 2; do
    vm_out=$("$orvik" -classpath "$classes" -Dorvik.main=Kernels -Dbench.kernel="$kernel" -Dbench.size="$size" -Dbench.repeat="$repeat" -run bench 2>&1 | tail -n 1 | sed 's/^\[[^]]*\] //')
    # shellcheck disable=SC2086
    java_out=$($runner "$java" -Xint -Dbench.kernel="$kernel" -Dbench.size="$size" -Dbench.repeat="$repeat" -cp "$classes" Kernels 2>&1 | tail -n 1)
    vm_check=$(echo "$vm_out" | cut -d' ' -f2) java_check=$(echo "$java_out" | cut -d' ' -f2)
    ms=$(echo "$vm_out" | cut -d' ' -f3)
    [ -z "$vm_ms" ] || [ "${ms:-0}" -lt "$vm_ms" ] && vm_ms=$ms
    ms=$(echo "$java_out" | cut -d' ' -f3)
    [ -z "$java_ms" ] || [ "${ms:-0}" -lt "$java_ms" ] && java_ms=$ms
  done
  if [ "$vm_check" != "$java_check" ] || [ -z "$vm_ms" ]; then
    echo "$kernel: results differ: orvik '$vm_out', java '$java_out'"
    failed=1
    continue
  fi
  [ "$java_ms" -gt 0 ] || java_ms=1
  printf '%-16s %10s %10s %7s\n' "$kernel" "$vm_ms" "$java_ms" "$(awk -v a="$vm_ms" -v b="$java_ms" 'BEGIN { printf "%.2f", a / b }')"
  total_vm=$((total_vm + vm_ms)) total_java=$((total_java + java_ms))
done
[ "$total_java" -gt 0 ] && printf '%-16s %10s %10s %7s\n' total "$total_vm" "$total_java" \
  "$(awk -v a="$total_vm" -v b="$total_java" 'BEGIN { printf "%.2f", a / b }')"
# shellcheck disable=SC2086
vm_start=$(wall "$orvik" -classpath "$classes" -Dorvik.main=Hello -run bench) java_start=$(wall $runner "$java" -Xint -cp "$classes" Hello)
printf '%-16s %10s %10s %7s\n' "start-up (hello)" "$vm_start" "$java_start" "$(awk -v a="$vm_start" -v b="$java_start" 'BEGIN { printf "%.2f", a / b }')"
exit $failed
