#!/usr/bin/env bash
# Line and branch coverage of src/ by all the tests (unit and end-to-end).
#
#   tools/coverage.sh
#
# Builds with gcc --coverage in build-coverage/, runs ctest there and
# summarises with gcovr (Debian: apt-get install gcovr). Writes
#   build-coverage/coverage/summary.txt   per-file line and branch figures
#   build-coverage/coverage/index.html    annotated sources
# Branch figures leave out the branches gcc adds for exception unwinding and
# those it proves unreachable: they are not decisions of the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-coverage
out=$build/coverage
jobs=$(nproc)

if ! command -v gcovr >/dev/null 2>&1; then
    echo "coverage.sh: gcovr is not installed; install it with: apt-get install -y gcovr" >&2
    exit 2
fi
if ! command -v gcov >/dev/null 2>&1; then
    echo "coverage.sh: gcov is not installed; install it with: apt-get install -y gcc" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
    -DHXRATE_COVERAGE=ON -DHXRATE_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# Counts from an earlier run would add to this one.
find "$build" -name '*.gcda' -delete
# Some end-to-end cases run the program as an unprivileged user: it must be
# able to create and update the count files beside the objects, or it
# complains on standard error and the case fails.
find "$build" -name '*.gcno' -printf '%h\0' | sort -zu | xargs -0 -r chmod a+rwx

status=0
(umask 000 && cd "$build" && ctest -j "$jobs" --output-on-failure) || status=$?

mkdir -p "$out"
common=(--root "$root" --object-directory "$build" --filter "$root/src/"
        --exclude-throw-branches --exclude-unreachable-branches --gcov-executable gcov)
gcovr "${common[@]}" --output "$out/summary.txt"
gcovr "${common[@]}" --branches --output "$out/branches.txt"
gcovr "${common[@]}" --html-details "$out/index.html"
cat "$out/summary.txt"
echo
echo "Branches per file:"
cat "$out/branches.txt"
gcovr "${common[@]}" --print-summary --output /dev/null

if [ "$status" -ne 0 ]; then
    echo "coverage.sh: some tests failed (ctest exit $status); the figures cover what ran" >&2
    exit "$status"
fi
