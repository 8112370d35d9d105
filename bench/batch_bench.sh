#!/usr/bin/env bash
# Cases per second of hxrate-batch over many copies of the shipped example,
# rated in process on worker threads and with one hxrate process per case.
#
#   bench/batch_bench.sh [BUILD_DIR] [FOLDERS] [JOBS]
#
# BUILD_DIR holds hxrate and hxrate-batch (default: build); FOLDERS case
# folders (default: 1000); JOBS runs at a time (default: one per processor).
# Each mode runs three times over the same folders; the best time counts.
# The folders go where mktemp puts them ($TMPDIR, else /tmp): every run
# creates two files per folder and renames them into place, so on a disk the
# file system's cost of creating files weighs on both modes alike;
# TMPDIR=/dev/shm shows what the program itself costs.
set -eu
build=${1:-build}
count=${2:-1000}
jobs=${3:-$(nproc)}
here=$(cd "$(dirname "$0")/.." && pwd)
batch=$(cd "$build" && pwd)/hxrate-batch
case_file=48230007640350000606.txt

work=$(mktemp -d)
echo "folders in $(df -T "$work" | awk 'NR == 2 { print $2 }') at $work"
trap 'rm -rf "$work"' EXIT
folders=()
for i in $(seq -w 1 "$count"); do
    mkdir "$work/case-$i"
    cp "$here/examples/water-oil/$case_file" "$work/case-$i/"
    folders+=("case-$i")
done

# Best wall time of three runs, in seconds.
best_time() {
    local best=""
    for _ in 1 2 3; do
        local start end t
        start=$(date +%s.%N)
        (cd "$work" && "$batch" -j "$jobs" -o summary.csv "$@" "${folders[@]}" >/dev/null)
        end=$(date +%s.%N)
        t=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best"
}

in_process=$(best_time)
processes=$(best_time --processes)
rate() { echo "scale=1; $count / $1" | bc -l; }
printf '%d folders of examples/water-oil, %d at a time\n' "$count" "$jobs"
printf '  in process:        %8.1f cases/s  (%.3f s)\n' "$(rate "$in_process")" "$in_process"
printf '  process per case:  %8.1f cases/s  (%.3f s)\n' "$(rate "$processes")" "$processes"
printf '  ratio:             %8.1f x\n' "$(echo "scale=2; $processes / $in_process" | bc -l)"
