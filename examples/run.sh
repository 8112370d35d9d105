#!/usr/bin/env bash
# Runs the built hxrate on an example case in a scratch working directory
# and prints the files it wrote.
#   examples/run.sh [EXAMPLE_DIR] [HXRATE]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
example=${1:-$top/examples/water-oil}
exe=${2:-$top/build/hxrate}
# The program runs in the scratch directory: name it by its absolute path.
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
