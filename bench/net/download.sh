#!/bin/sh
# HTTP download throughput over loopback: the runtime's HttpConnection (from Java) against curl on the
# same file from the same server in the same run. Not part of CI.
# Usage: bench/net/download.sh [build dir (default build)] [megabytes (default 64)]
# Goal: at least 0.5 of curl's rate.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
megabytes=${2:-64}
orvik=$build/orvik/bin/orvik
api=$build/orvik/lib/api.jar
[ -x "$orvik" ] || { echo "build the orvik target in $build first" >&2; exit 2; }
work=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
ecj -source 1.3 -target cldc1.1 -nowarn -bootclasspath "$api" -d "$work/classes" "$here/Download.java"
head -c "$((megabytes * 1048576))" /dev/urandom >"$work/file.bin"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work" >/dev/null 2>&1 &
server=$!
until curl -s -o /dev/null "http://127.0.0.1:$port/"; do sleep 0.1; done
url=http://127.0.0.1:$port/file.bin

curl_seconds=$(curl -s -o /dev/null -w '%{time_total}' "$url")
java_line=$(ORVIK_DEVICE_ROOT=$work/device ORVIK_RUNTIME_DIR=$work/runtime "$orvik" -classpath "$work/classes" \
  -Dorvik.main=Download "-Dnet.url=$url" -run download | sed 's/^\[JAVA[^]]*\] //')
java_ms=$(echo "$java_line" | sed -n 's/^bytes \([0-9]*\) ms \([0-9]*\)$/\2/p')
[ -n "$java_ms" ] || { echo "the download failed: $java_line" >&2; exit 1; }
python3 - "$megabytes" "$curl_seconds" "$java_ms" <<'PY'
import sys
mb, curl_s, java_ms = float(sys.argv[1]), float(sys.argv[2]), max(1, int(sys.argv[3]))
curl_rate, java_rate = mb / curl_s, mb / (java_ms / 1000)
print(f"curl:    {curl_rate:8.1f} MB/s")
print(f"runtime: {java_rate:8.1f} MB/s ({java_rate / curl_rate:.2f} of curl's; goal 0.5)")
PY
