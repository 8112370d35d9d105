#!/usr/bin/env bash
# Hostile case documents through hxrate-report and hxrate-batch (in process
# and with --processes): a document nested far deeper than the reader takes
# is an input failure, also on a small stack, and one that meets a machine
# without the memory to read it a resource failure. Neither ends a program
# with a signal, and the batch writes its summary for the other folders.
#
#   hostile_documents.sh HXRATE_REPORT HXRATE_BATCH HXRATE CASE_FOLDER
#
# CASE_FOLDER holds a case file that rates. Exits 0 when all holds, 1 when
# something does not, 77 (skipped) for the memory part where no address-
# space limit can be set.
set -u
[ $# -eq 4 ] || { echo "usage: $0 HXRATE_REPORT HXRATE_BATCH HXRATE CASE_FOLDER" >&2; exit 2; }
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
report=$(absolute "$1") batch=$(absolute "$2") hxrate=$(absolute "$3") sample=$(absolute "$4")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect WHAT STATUS PATTERN: the last run ended with STATUS and its
# standard error matches PATTERN.
expect() {
    local what=$1 want=$2 pattern=$3
    if [ "$status" -ne "$want" ]; then
        fail "$what: exit status $status, not $want; standard error: $(head -c 300 err)"
    elif [ -n "$pattern" ] && ! grep -q -- "$pattern" err; then
        fail "$what: standard error lacks '$pattern': $(head -c 300 err)"
    fi
}

brackets() { head -c "$2" /dev/zero | tr '\0' "$1"; }
# 150000 levels ended the programs with SIGSEGV; 30000 did on a 1 MiB stack.
deep() {
    { printf '{"x":'; brackets '[' "$1"; brackets ']' "$1"; printf ',"format":"hxrate-case"}'; } > "$2"
}

mkdir good deep
cp "$sample/48230007640350000606.txt" good/
deep 150000 deep/case.json
deep 30000 shallower.json

"$report" deep/case.json -o out > out.txt 2> err; status=$?
expect "hxrate-report, 150000 levels" 1 "run-time error 16: .*nested deeper than 100 levels"
(ulimit -s 1024 && exec "$report" shallower.json -o out) > out.txt 2> err; status=$?
expect "hxrate-report, 30000 levels on a 1 MiB stack" 1 "nested deeper than 100 levels"

for mode in "" --processes; do
    rm -f summary.csv
    "$batch" $mode --hxrate "$hxrate" -o summary.csv good deep > out.txt 2> err; status=$?
    expect "hxrate-batch $mode" 0 ""
    grep -q '^good,.*,success,' summary.csv 2> /dev/null || fail "hxrate-batch $mode: no success row for good"
    grep -q '^deep,,input failure,.*nested deeper than 100 levels' summary.csv 2> /dev/null ||
        fail "hxrate-batch $mode: no input failure row for deep: $(cat summary.csv 2> /dev/null)"
done

[ "$failures" -eq 0 ] || exit 1

# Memory: the smallest address space in which a program refuses a small
# document (an unknown field, run-time error 12) is too small to read one
# of 15 MiB; the program then says so as a resource failure.
mkdir small big
printf '{"x": 1}' > small/case.json
{ printf '{"x":"'; brackets a $((15 << 20)); printf '"}'; } > big/case.json

# smallest COMMAND...: the smallest limit in KiB (in steps of 2 MiB) under
# which COMMAND exits 0 or 1 without a signal and says "run-time error 12"
# or writes the input failure to its summary; empty when there is none.
smallest() {
    local kib
    for ((kib = 4096; kib <= 1048576; kib += 2048)); do
        (ulimit -v "$kib" 2> /dev/null || exit 125; exec "$@") > out.txt 2> err
        status=$?
        [ "$status" -eq 125 ] && return
        if [ "$status" -le 1 ] && { grep -q "run-time error 12" err ||
            grep -q "input failure" summary.csv 2> /dev/null; }; then
            echo "$kib"
            return
        fi
    done
}

limit=$(smallest "$report" small/case.json -o out)
if [ -z "$limit" ]; then
    echo "SKIPPED: no address-space limit can be set for hxrate-report here" >&2
    exit 77
fi
echo "hxrate-report refuses a small document in $limit KiB of address space"
(ulimit -v "$limit" && exec "$report" big/case.json -o out) > out.txt 2> err; status=$?
expect "hxrate-report, 15 MiB in $limit KiB" 1 "run-time error 30: .*not enough memory"

rm -f summary.csv
limit=$(smallest "$batch" -o summary.csv small)
if [ -n "$limit" ]; then
    echo "hxrate-batch refuses a small document in $limit KiB of address space"
    rm -f summary.csv
    (ulimit -v "$limit" && exec "$batch" -o summary.csv big) > out.txt 2> err; status=$?
    [ "$status" -le 1 ] || fail "hxrate-batch, 15 MiB in $limit KiB: exit status $status: $(head -c 300 err)"
    grep -q '^big,,resource failure,.*not enough memory' summary.csv 2> /dev/null ||
        fail "hxrate-batch, 15 MiB in $limit KiB: no resource failure row: $(cat summary.csv 2> /dev/null)"
else
    echo "SKIPPED: no address-space limit found for hxrate-batch" >&2
fi
[ "$failures" -eq 0 ]
