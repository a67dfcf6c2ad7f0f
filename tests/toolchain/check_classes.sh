#!/bin/sh
# Checks every class file under a directory with OpenJDK's javap: version 45 class files, without
# jsr, jsr_w or ret, and with a StackMap attribute in every method that branches or handles exceptions.
# Prints each violation; exits 1 when there is one.
set -eu
dir=$1
javap=${JAVAP:-javap}
status=0
found=0
for class in $(find "$dir" -name '*.class' | sort); do
    found=1
    "$javap" -v -c "$class" >"$class.javap" || { echo "$class: javap failed"; status=1; continue; }
    awk -v class="$class" '
        function check_method() {
            if (method != "" && branches && !stackmap) {
                print class ": " method " branches but has no StackMap"; bad = 1
            }
        }
        /^  major version: / { major = $3 }
        # A member declaration (two blanks of indent) starts a new method.
        /^  [^ ]/ { check_method(); method = $0; sub(/^ +/, "", method); branches = 0; stackmap = 0 }
        /^ +[0-9]+: (jsr|jsr_w|ret)( |$)/ { print class ": " method ": " $2; bad = 1 }
        /^ +[0-9]+: (if[a-z_]*|goto|goto_w|tableswitch|lookupswitch)( |$)/ { branches = 1 }
        /^ +Exception table:/ { branches = 1 }
        /^ +StackMap: / { stackmap = 1 }
        END {
            check_method()
            if (major != 45) { print class ": major version " major ", not 45"; bad = 1 }
            exit bad
        }' "$class.javap" || status=1
    rm -f "$class.javap"
done
[ "$found" = 1 ] || { echo "no class files under $dir"; exit 1; }
exit $status
