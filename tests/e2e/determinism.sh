#!/usr/bin/env bash
# Runs every case through two or more builds of hxrate and checks that they
# behave byte for byte alike: exit status, standard output, standard error,
# the run log and the results file.
#
#   determinism.sh [-c CASES_DIR]... [-i INPUTS_DIR]... HXRATE HXRATE [HXRATE...]
#
# -c CASES_DIR: a folder of case folders as in tests/cases/ (case file,
#    optional setup/, optional readonly marker: a read-only working directory
#    and, under root, an unprivileged user, as run_case.sh does); default
#    tests/cases/ beside this script.
# -i INPUTS_DIR: a folder of bare case files (a fuzzing corpus, say), each
#    run as the case file in an otherwise empty working directory.
# A sanitizer build's reports go to standard error, so they count as a
# difference too. Exits 0 when every run agrees, 1 otherwise.
set -u
CASE=48230007640350000606.txt
RES=48230007650350000606.txt
LOG="Log file.txt"

usage() { echo "usage: $0 [-c CASES_DIR]... [-i INPUTS_DIR]... HXRATE HXRATE [HXRATE...]" >&2; exit 2; }

case_roots=()
input_roots=()
while getopts "c:i:" opt; do
    case $opt in
        c) case_roots+=("$OPTARG") ;;
        i) input_roots+=("$OPTARG") ;;
        *) usage ;;
    esac
done
shift $((OPTIND - 1))
[ $# -ge 2 ] || usage
exes=()
for e in "$@"; do
    [ -x "$e" ] || { echo "$0: not an executable: $e" >&2; exit 2; }
    exes+=("$(cd "$(dirname "$e")" && pwd)/$(basename "$e")")
done
if [ ${#case_roots[@]} -eq 0 ] && [ ${#input_roots[@]} -eq 0 ]; then
    case_roots=("$(cd "$(dirname "$0")/../cases" && pwd)")
fi

scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT

# run_one INDEX CASE_FILE SETUP_DIR READONLY: runs build INDEX in a fresh
# folder and leaves what it observed in $scratch/out.INDEX/. Every build runs
# in a folder of the same path, which a diagnostic may name.
run_one() {
    local i=$1 case_file=$2 setup=$3 readonly=$4
    local work=$scratch/work out=$scratch/out.$i exe=${exes[$i]}
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work" "$out"
    mkdir -p "$work" "$out"
    [ -n "$case_file" ] && [ -f "$case_file" ] && cp "$case_file" "$work/$CASE"
    [ -n "$setup" ] && [ -d "$setup" ] && cp -R "$setup/." "$work/"
    chmod -R u+w "$work"
    local as_user=()
    if [ "$readonly" = 1 ]; then
        # The program is copied where the unprivileged user can reach it.
        mkdir -p "$scratch/bin.$i"
        cp "$exe" "$scratch/bin.$i/hxrate"
        exe=$scratch/bin.$i/hxrate
        chmod 755 "$scratch" "$scratch/bin.$i"
        find "$work" -mindepth 1 -maxdepth 1 -type f -exec chmod 666 {} +
        chmod 555 "$work"
        [ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
    local status=0
    (cd "$work" && timeout 120 "${as_user[@]}" "$exe" </dev/null >"$out/stdout" 2>"$out/stderr") ||
        status=$?
    echo "$status" >"$out/exit_status"
    for f in "$LOG" "$RES"; do
        if [ -f "$work/$f" ]; then cp "$work/$f" "$out/$f"; fi
    done
}

runs=0
differing=0
# check NAME CASE_FILE SETUP_DIR READONLY
check() {
    local name=$1 case_file=$2 setup=$3 readonly=$4 i f same=1
    for i in "${!exes[@]}"; do run_one "$i" "$case_file" "$setup" "$readonly"; done
    for i in "${!exes[@]}"; do
        [ "$i" = 0 ] && continue
        for f in exit_status stdout stderr "$LOG" "$RES"; do
            local a=$scratch/out.0/$f b=$scratch/out.$i/$f
            if [ -f "$a" ] && [ -f "$b" ]; then
                cmp -s "$a" "$b" && continue
                echo "DIFFERENT: $name: $f: ${exes[0]} vs ${exes[$i]}"
                diff -u --label "${exes[0]}" --label "${exes[$i]}" "$a" "$b" | head -n 20
            elif [ -f "$a" ] || [ -f "$b" ]; then
                echo "DIFFERENT: $name: $f written by only one of ${exes[0]} and ${exes[$i]}"
            else
                continue
            fi
            same=0
        done
    done
    runs=$((runs + 1))
    [ "$same" = 1 ] || differing=$((differing + 1))
}

for root in "${case_roots[@]+"${case_roots[@]}"}"; do
    for dir in "$root"/*/; do
        dir=${dir%/}
        [ -d "$dir" ] || continue
        readonly=0
        [ -f "$dir/readonly" ] && readonly=1
        check "$(basename "$dir")" "$dir/$CASE" "$dir/setup" "$readonly"
    done
done
for root in "${input_roots[@]+"${input_roots[@]}"}"; do
    for file in "$root"/*; do
        [ -f "$file" ] || continue
        check "$(basename "$file")" "$file" "" 0
    done
done

echo "determinism: $((runs - differing)) passed, $differing failed"
[ "$runs" -gt 0 ] || { echo "determinism: no case found" >&2; exit 1; }
[ "$differing" = 0 ]
