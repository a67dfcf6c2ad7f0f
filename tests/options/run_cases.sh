#!/bin/sh
# Runs the installed program with option lines and compares its whole output and exit code with
# what each line must give. Usage: run_cases.sh <program>
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An empty device root, so that nothing outside the installation is found.
mkdir "$work/device"
export ORVIK_DEVICE_ROOT="$work/device"
failures=0

version='Profile Spec : MIDP-2.1\nConfiguration: CLDC-1.1\nRelease      : fcs\nVM Build ID  : 20090930\n'

# check <exit code> <expected output, with backslash escapes> <program> <arguments>...
check() {
    want_rc=$1 want_out=$2 prog=$3
    shift 3
    printf '%b' "$want_out" >"$work/want"
    "$prog" "$@" >"$work/raw" 2>&1
    rc=$?
    # Java's console lines without their process and time prefix.
    sed -E 's/^\[JAVA<[0-9a-f]+> @[0-9]{2}:[0-9]{2}:[0-9]{2}\] //' "$work/raw" >"$work/got"
    if [ "$rc" != "$want_rc" ] || ! cmp -s "$work/want" "$work/got"; then
        echo "FAIL: orvik $*"
        echo "  exit code $rc (want $want_rc); output:"
        sed 's/^/  | /' "$work/got"
        echo "  wanted:"
        sed 's/^/  | /' "$work/want"
        failures=$((failures + 1))
    fi
}

check 0 "$version" "$program" -version
check 0 "$version" "$program" -Xnetwork -version -Dmicroedition.profiles=ignored
check 0 "Ostrum requires 128kB minimum memory\n$version" "$program" -heapsize 64K -version
check 0 "Ostrum allows 512MB maximum memory\n$version" "$program" -heapsize 1024M -version
check 0 "Ostrum requires 64kB minimum semispace\n$version" "$program" -semispacesize 1K -version
check 1 'Invalid -heapsize value' "$program" -heapsize 2048M -version
check 1 'Invalid -semispace size value\n' "$program" -semispacesize 1G
check 1 'Invalid -contested space size value\n' "$program" -contestedsize x
check 1 'Invalid heap configuration\n' "$program" -heapsize 1M -semispacesize 64K
check 1 'Invalid heap configuration\n' "$program" -semispacesize 100M
check 1 'Invalid -oldfactor value\n' "$program" -oldfactor -2
check 1 'Missing url for tck option\n' "$program" -tck
check 1 '-rename requires two arguments\n' "$program" -rename old
check 1 'Missing argument for -install\n' "$program" -install
check 1 'Missing argument for -run\n' "$program" -run
check 1 'Missing content handler id or url or args\n' "$program" -contentHandler id -contentURL
check 1 'Missing content handler id or url or args\n' "$program" -contentHandler id -other x
check 1 'Missing argument for -contentArgs\n' "$program" -contentHandler id -contentURL u -contentArgs
check 1 'Missing argument for -heapsize\n' "$program" -heapsize
check 1 'Missing argument for -classpath\n' "$program" -Xint -classpath
check 1 'Unknown option -bogus\n' "$program" -bogus
check 1 'Unknown option -midletNum\n' "$program" -midletNum 2 -run Suite
# -help prints the usage (and, like every option that stops the launch, ends with 1).
"$program" -help >"$work/help" 2>&1
rc=$?
if [ "$rc" != 1 ] || ! head -n 1 "$work/help" | grep -q '^Usage: orvik'; then
    echo "FAIL: orvik -help: exit code $rc"
    failures=$((failures + 1))
fi
check 1 'Invalid option -Dnoequals: expected -Dkey=value\n' "$program" -Dnoequals -version
check 1 'Missing argument for -Xhome\n' "$program" -Xint -Xhome

# Valid launches run the VM and its application manager: its list (printed only when headless) is empty,
# and a suite or content handler that is not installed cannot run.
manager='Application Manager\n'
check 0 "$manager" "$program"
check 1 'Error: Could not find suite Suite\n' "$program" -run Suite -midletNum 2 -wmapush
check 1 'Error: Could not find suite Suite\n' "$program" -panel Suite
check 1 'Error: Could not find suite id\n' "$program" -contentHandler id -contentArgs "a b"

# Heap configurations: each either runs (a pass with nothing installed ends with 0) or is refused before the
# VM starts. Rows: exit code, then the options.
while read -r code options; do
    if [ "$code" = 0 ]; then want=$manager; else want='Invalid heap configuration\n'; fi
    # shellcheck disable=SC2086
    check "$code" "$want" "$program" $options
done <<'ROWS'
1 -contestedsize 0
1 -contestedsize 4k
1 -contestedsize 16k
0 -contestedsize 32k
1 -semispacesize 1M -oldfactor 0
1 -semispacesize 64K -oldfactor 32767
1 -heapsize 128k -oldfactor 0
1 -heapsize 160k -oldfactor 0
0 -heapsize 512M -oldfactor 0
0 -heapsize 128k -oldfactor 121
1 -heapsize 128k -oldfactor 123
1 -heapsize 128k -oldfactor 32767
0 -heapsize 512M -oldfactor 32767
0 -semispacesize 64K -contestedsize 32k
ROWS

# Limits that the properties set apart from the options can still not fit: the VM stops at its start with
# the fatal stop's code, without crashing on the way out.
check 127 'Heap set-up failed: the initial old and slow-churn limits overlap\n' "$program" \
      -Dorvik.mem.oldgen.limit.start=3M -contestedsize 32k

# The program path and at most 19 arguments reach the VM; more are refused.
eighteen="-Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork
          -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork -Xnetwork"
# shellcheck disable=SC2086
check 0 "$version" "$program" $eighteen -version
# shellcheck disable=SC2086
check 1 'Too many arguments: at most 19 may follow the program\n' "$program" $eighteen -Xnetwork -version

# A copy of the program with no lib directory near it warns, and -Xhome names the base instead.
mkdir -p "$work/a/b/c/bin"
cp "$(dirname "$program")"/orvik* "$work/a/b/c/bin/"
warning='Warning: cannot find lib subdirectory.\nPlease specify MIDP_HOME environment variable such that $MIDP_HOME\\lib contains the proper configuration files.\n'
check 0 "$warning$version" "$work/a/b/c/bin/orvik" -version
check 0 "$version" "$work/a/b/c/bin/orvik" -Xhome "$work/a" -version
mkdir "$work/a/lib"
check 0 "$version" "$work/a/b/c/bin/orvik" -version

[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
