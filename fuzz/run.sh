#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and fuzzes each in turn.
#
#   fuzz/run.sh [SECONDS] [TARGET...]     (default 60, shared by the targets)
#
# Targets: case_file_fuzzer (bytes as the case file, the whole run in memory)
# and report_fuzzer (bytes and file name through hxrate-report's path).
# Each starts from a scratch copy of the seed corpus fuzz/corpus/ in
# build-fuzz/corpus/TARGET/ (reseeded on every run, so that runs with the
# fixed seed start alike); findings are written to build-fuzz/findings/TARGET/
# and replay with build-fuzz/fuzz/TARGET FILE. An input that found a fault
# belongs, once minimised (TARGET -minimize_crash=1 FILE), in
# fuzz/regressions/, which the test fuzz.replay feeds to every target.
# Exits non-zero on any crash, sanitizer report, out-of-memory or time-out.
# Needs clang++ with libFuzzer (Debian: apt-get install clang).
set -euo pipefail
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(case_file_fuzzer report_fuzzer)
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
CXX=${CXX_FUZZ:-clang++}

if ! command -v "$CXX" >/dev/null 2>&1; then
    echo "run.sh: $CXX not found; install clang (apt-get install clang)" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHXRATE_FUZZ=ON -DHXRATE_BENCHMARKS=OFF -DHXRATE_PYTHON=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"

share=$((seconds / ${#targets[@]}))
[ "$share" -gt 0 ] || share=1
failed=()
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    findings=$build/findings/$target
    rm -rf "$corpus"
    mkdir -p "$corpus" "$findings"
    cp "$root"/fuzz/corpus/* "$corpus/"
    echo "run.sh: $target for ${share}s from $(find "$corpus" -type f | wc -l) seeds"
    status=0
    (cd "$findings" &&
        ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1} \
        UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
        "$build/fuzz/$target" "$corpus" \
            -seed=1 -max_total_time="$share" -rss_limit_mb=2048 -timeout=10 -max_len=4096 \
            -artifact_prefix="$findings/" -print_final_stats=1) || status=$?
    if [ "$status" -ne 0 ]; then
        echo "run.sh: $target found a fault (exit $status); see $findings/" >&2
        failed+=("$target")
    else
        echo "run.sh: $target: no findings in ${share}s; corpus: $(find "$corpus" -type f | wc -l) inputs"
    fi
done
[ ${#failed[@]} -eq 0 ] || exit 1
