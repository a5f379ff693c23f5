#!/bin/sh
# Builds the template catalogue backup from the schema scripts with the embedded engine.
# Usage: build_template.sh ISQL GBAK WORKDIR OUTPUT.fbk SCRIPT.sql...
set -eu

if [ "$#" -lt 5 ]; then
    echo "usage: $0 isql gbak workdir output.fbk script.sql..." >&2
    exit 2
fi
isql=$1
gbak=$2
work=$3
out=$4
shift 4

mkdir -p "$work"
work=$(cd "$work" && pwd)
db="$work/kodra_template.fdb"
tmpout="$out.tmp"

# Own lock folder: the build needs neither root nor the system's /tmp/firebird.
export FIREBIRD_LOCK="$work/fblock"
mkdir -p "$FIREBIRD_LOCK"

cleanup() {
    rm -f "$db" "$tmpout"
}
trap cleanup EXIT
cleanup

log="$work/isql.log"

# isql -b stops at the first failing statement with exit code 1; its messages are kept
# in the log, and any error text there fails the build as well.
run_isql() {
    if ! "$isql" -q -b -ch UTF8 -user SYSDBA "$@" >"$log" 2>&1 \
        || grep -q -e "Statement failed" -e "SQLSTATE" -e "error" "$log"; then
        cat "$log" >&2
        echo "build_template.sh: isql failed" >&2
        exit 1
    fi
}

dbq=$(printf '%s' "$db" | sed "s/'/''/g")
printf "SET NAMES UTF8;\nCREATE DATABASE '%s' USER 'SYSDBA' PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8;\nCOMMIT;\n" \
    "$dbq" >"$work/create.sql"
run_isql -i "$work/create.sql"

for script in "$@"; do
    run_isql -i "$script" "$db"
done

"$gbak" -b -user SYSDBA "$db" "$tmpout"
mv -f "$tmpout" "$out"
