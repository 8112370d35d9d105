#!/usr/bin/env bash
# Installs the built project into a scratch prefix, builds a small consumer
# project against it with find_package, and checks that the consumer's report
# of the shipped example equals the one the installed hxrate writes.
#   run.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
cmake -S "$src/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_CXX_FLAGS=-ffp-contract=off >/dev/null
cmake --build "$work/consumer" >/dev/null
mkdir "$work/run"
cp "$src/examples/water-oil/48230007640350000606.txt" "$work/run/"
(cd "$work/run" && "$work/prefix/bin/hxrate" </dev/null)
"$work/consumer/consumer" "$work/run/48230007640350000606.txt" >"$work/consumer.txt"
cmp "$work/run/48230007650350000606.txt" "$work/consumer.txt"
echo "consumer report equals the program's ($(wc -c <"$work/consumer.txt") bytes)"
