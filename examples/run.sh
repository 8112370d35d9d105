#!/usr/bin/env bash
# Runs the built hxrate on an example case in a folder of its own, prints the
# files it wrote and keeps them there.
#   examples/run.sh [EXAMPLE_DIR] [HXRATE] [RUN_DIR]
# RUN_DIR defaults to build-run/example/ in the source folder; the example's
# case file is copied into it, and an earlier run's files there are replaced.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
example=${1:-$top/examples/water-oil}
exe=${2:-$top/build/hxrate}
work=${3:-$top/build-run/example}
# The program runs in the run folder: name it by its absolute path.
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
mkdir -p "$work"
work=$(cd "$work" && pwd)
cp "$example/48230007640350000606.txt" "$work/"
status=0
(cd "$work" && "$exe" </dev/null) || status=$?
for f in "Log file.txt" 48230007650350000606.txt; do
    if [ -f "$work/$f" ]; then
        echo "==> $f"
        tr -d '\r' <"$work/$f"
    fi
done
echo "==> exit status $status"
echo "==> the case and the files the run wrote are in $work"
