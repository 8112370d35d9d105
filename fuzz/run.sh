#!/usr/bin/env bash
# Builds the libFuzzer target in build-fuzz/ and fuzzes the case file.
#
#   fuzz/run.sh [SECONDS]          (default 60)
#
# The seeds are the case files of tests/cases/*/. The corpus grows in
# build-fuzz/corpus/ (a scratch folder, reseeded on every run, so that runs
# with the fixed seed start alike); findings are written to
# build-fuzz/findings/ and replay with build-fuzz/fuzz/case_file_fuzzer FILE. Exits non-zero on any crash, sanitizer report,
# out-of-memory or time-out. Needs clang++ with libFuzzer
# (Debian: apt-get install clang).
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
CXX=${CXX_FUZZ:-clang++}

if ! command -v "$CXX" >/dev/null 2>&1; then
    echo "run.sh: $CXX not found; install clang (apt-get install clang)" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHXRATE_FUZZ=ON -DHXRATE_BENCHMARKS=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target case_file_fuzzer -j "$(nproc)"

corpus=$build/corpus
findings=$build/findings
rm -rf "$corpus"
mkdir -p "$corpus" "$findings"
for f in "$root"/tests/cases/*/48230007640350000606.txt; do
    [ -f "$f" ] && cp "$f" "$corpus/seed-$(basename "$(dirname "$f")")"
done

cd "$findings"
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
"$build/fuzz/case_file_fuzzer" "$corpus" \
    -seed=1 -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=4096 \
    -artifact_prefix="$findings/" -print_final_stats=1 || status=$?

if [ "$status" -ne 0 ]; then
    echo "run.sh: the fuzzer found a fault (exit $status); see $findings/" >&2
    exit 1
fi
echo "run.sh: no findings in ${seconds}s; corpus: $(find "$corpus" -type f | wc -l) inputs"
