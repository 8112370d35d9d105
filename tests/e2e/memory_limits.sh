#!/usr/bin/env bash
# Every program, and the Python module, keeps to the memory limit: under a
# bound on the address space a grid too large is refused by the storage
# check (error 30, "more than the limit of"), never by the machine, an abort
# or a kill; a file written in place holds its text within the same limit;
# a batch child killed part way leaves no temporary file behind. Where a
# memory control group can be made, the same refusals are checked inside one.
#
#   memory_limits.sh HXRATE HXRATE_BATCH HXRATE_REPORT HXRATE_PLOT PYTHON_MODULE_DIR
# Exits 77 (skipped) in a sanitizer build (HXRATE_SANITIZED set).
set -u
if [ -n "${HXRATE_SANITIZED:-}" ]; then
    echo "SKIPPED: a sanitizer's shadow memory leaves no room for an address-space limit" >&2
    exit 77
fi
hxrate=$1
batch=$2
report=$3
plot=$4
pydir=$5
CASE=48230007640350000606.txt
RES=48230007650350000606.txt
LOG="Log file.txt"

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The shipped example with another element length: L = 3 m.
write_case() { # folder element-length
    mkdir -p "$1"
    printf '%s\n' "1 1" "2 0.016" "3 1.5e-6" "4 3.0" "5 $2" "6 0.30" "7 1" "8 40" "9 0.025" \
        "10 0.025" "11 0" "12" "13 Copper 380.0 0.001" "14" \
        "15 Water 998.0 0.001 0.6 4180.0 0.002" "16 EngineOil 870.0 0.08 0.14 2000.0 0.003" \
        "17" "18 20.0" "19 90.0" "20" "21 0.5" >"$1/$CASE"
}
limited() { # KiB command...: runs the command with its address space bounded
    local kib=$1
    shift
    (ulimit -v "$kib" && exec timeout 60 "$@")
}

# 1. In place (the folder takes no new file, its files are writable), 3.75
# million elements: the profile fits the limit (half of 200000 KiB), the
# report's text beside it does not.
write_case "$work/inplace" 8.0e-7
: >"$work/inplace/$RES"
: >"$work/inplace/$LOG"
cp "$hxrate" "$work/hxrate"
chmod 755 "$work/hxrate"
chmod 666 "$work/inplace/"*
chmod 555 "$work/inplace"
as_user=()
[ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
status=0
err=$(cd "$work/inplace" && limited 200000 "${as_user[@]}" "$work/hxrate" 2>&1 >/dev/null) ||
    status=$?
[ "$status" = 1 ] || fail "in place: exit status $status, expected 1: $err"
# Refused by the limit, as a control group that kills would need, not by the machine.
case $err in "run-time error 30: "*"MiB left of the limit of"*) ;;
    *) fail "in place: not error 30 of the limit: $err" ;; esac
[ -s "$work/inplace/$RES" ] && fail "in place: the old results file was changed"
head -c 19 "$work/inplace/$LOG" | grep -q '^ run-time error 30' ||
    fail "in place: the log does not record error 30"
chmod 755 "$work/inplace"

# 2. 10^8 elements (2.4 GB of profile) in the tools and Python.
write_case "$work/huge" 3.0e-8
refused_by_check() { # label text
    case $2 in
        *"run-time error 30"*"more than the limit of"* | *"more than the limit of"*"MiB"*) ;;
        *) fail "$1: not refused by the storage check: $(printf '%s' "$2" | head -c 400)" ;;
    esac
}
status=0
out=$(cd "$work" && mkdir -p out && limited 400000 "$report" -o out huge/$CASE 2>&1) || status=$?
[ "$status" = 1 ] || fail "hxrate-report: exit status $status, expected 1"
refused_by_check hxrate-report "$out"

status=0
out=$(cd "$work" && limited 400000 "$batch" -o summary.csv huge 2>&1) || status=$?
refused_by_check "hxrate-batch" "$(cat "$work/summary.csv" 2>/dev/null) $out"
left=$(find "$work/huge" -name '*.partial-*')
[ -z "$left" ] || fail "batch: a refused worker's temporary files remain: $left"

# hxrate-plot (beside hxrate-report) and a results file of 3 GB (sparse).
mkdir -p "$work/bigresults"
truncate -s 3G "$work/bigresults/$RES"
out=$(limited 400000 "$plot" -o "$work/plot.svg" "$work/bigresults" 2>&1)
case $out in *"run-time error 30"*) ;; *) fail "hxrate-plot: not error 30: $out" ;; esac

if PYTHONPATH=$pydir /usr/bin/python3 -c 'import hxrate' 2>/dev/null; then
    out=$(cd "$work" && PYTHONPATH=$pydir limited 1500000 /usr/bin/python3 -c '
import hxrate, sys
case = hxrate.read_case("huge/'"$CASE"'")
try:
    hxrate.rate(case)
except hxrate.ResourceError as e:
    print("refused:", e)
else:
    print("rated")
' 2>&1)
    refused_by_check "Python rate()" "$out"
else
    echo "skipped: Python rate(): the module is not built in $pydir"
fi

# 3. A batch child killed part way: its temporary files go with it.
write_case "$work/killed" 0.1
printf '#!/bin/sh\n: > ".%s.partial-ABC123"\n: > ".%s.partial-XYZ789"\nkill -KILL $$\n' \
    "$LOG" "$RES" >"$work/dies"
chmod 755 "$work/dies"
(cd "$work" && timeout 60 "$batch" --processes --hxrate "$work/dies" -o summary.csv killed \
    >/dev/null 2>&1)
grep -q "killed by signal 9" "$work/summary.csv" || fail "batch: the child was not seen killed"
left=$(find "$work/killed" -name '*.partial-*')
[ -z "$left" ] || fail "batch: a killed child's temporary files remain: $left"

# 4. A memory control group (cgroup v2) of 150 MiB, where one can be made.
cg=/sys/fs/cgroup
if [ "$(stat -f -c %T $cg 2>/dev/null)" = cgroup2fs ] && grep -qw memory $cg/cgroup.controllers &&
    mkdir "$cg/hxrate-memory-test-$$" 2>/dev/null; then
    group=$cg/hxrate-memory-test-$$
    echo $((150 << 20)) >"$group/memory.max"
    in_group() { (echo $BASHPID >"$group/cgroup.procs" && exec timeout 60 "$@"); }
    out=$(cd "$work" && in_group "$report" -o out huge/$CASE 2>&1)
    refused_by_check "hxrate-report in a cgroup" "$out"
    out=$(cd "$work" && in_group "$batch" -o summary.csv huge 2>&1)
    refused_by_check "hxrate-batch in a cgroup" "$(cat "$work/summary.csv") $out"
    rmdir "$group"
else
    echo "skipped: cgroup part: no cgroup v2 memory controller at $cg where a group can be made"
fi

# 5. The limit a control group shows: in a private mount namespace the
# group's limit file is shown as 100 MiB (nothing is enforced), and the
# tools, rating 2 million elements within it, must stay below it.
line=$(grep -m1 -E '^[0-9]+:(memory)?:' /proc/self/cgroup | grep -E '^0::|:memory:')
group_path=${line#*:*:}
limit_file=/sys/fs/cgroup/memory$group_path/memory.limit_in_bytes
[ "${line%%:*}" = 0 ] && limit_file=/sys/fs/cgroup$group_path/memory.max
if [ "$(id -u)" = 0 ] && [ -f "$limit_file" ] && [ -x /usr/bin/time ] &&
    unshare -m true 2>/dev/null; then
    echo $((100 << 20)) >"$work/shown-limit"
    write_case "$work/shown/a" 1.5e-6
    mkdir -p "$work/shown/out"
    peaks=$(cd "$work/shown" && unshare -m bash -c '
        mount --bind "$1/shown-limit" "$2" || exit 1
        /usr/bin/time -f %M "$3" -j 1 -o summary.csv a 2>&1 >/dev/null | tail -1
        /usr/bin/time -f %M "$4" -o out a/'"$CASE"' 2>&1 >/dev/null | tail -1
    ' bash "$work" "$limit_file" "$batch" "$report")
    set -- $peaks
    for kib in "$@"; do
        [ "$kib" -lt $((100 << 10)) ] 2>/dev/null || fail "shown limit: a peak of $kib KiB ($peaks)"
    done
    [ $# = 2 ] || fail "shown limit: the tools did not run: $peaks"
    grep -q '^a,1,success,' "$work/shown/summary.csv" || fail "shown limit: batch did not rate"
else
    echo "skipped: shown cgroup limit: needs root, unshare and /usr/bin/time"
fi

exit $failed
