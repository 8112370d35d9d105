#!/usr/bin/env bash
# Installs the built project into a scratch prefix and builds a small
# consumer project against it with find_package, setting no C++ standard.
#   run.sh BUILD_DIR SOURCE_DIR [consumer|readme]
# consumer: the report of the shipped example that the engine's consumer
#   (hxrate::hxrate alone) forms, and the one the program library's consumer
#   forms from the case file and its case document read from disk, equal the
#   one the installed hxrate writes.
# readme: the C++ block under "Use it as a library" in README.md, taken
#   exactly as it stands, compiles and runs on the shipped example.
set -eu
build=$1
src=$2
mode=${3:-consumer}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"

configure=(-S "$src/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix"
    -DCMAKE_CXX_FLAGS=-ffp-contract=off)
if [ "$mode" = readme ]; then
    # The first ```cpp block after the section's heading, up to its closing fence.
    awk '/^## /{ inside = ($0 == "## Use it as a library") }
         inside && !block && /^```cpp$/ { block = 1; next }
         block && /^```$/ { exit }
         block { print }' "$src/README.md" >"$work/readme_example.cpp"
    if [ ! -s "$work/readme_example.cpp" ]; then
        echo "run.sh: no \`\`\`cpp block under \"## Use it as a library\" in README.md" >&2
        exit 1
    fi
    configure+=(-DREADME_EXAMPLE="$work/readme_example.cpp")
fi
cmake "${configure[@]}" >"$work/configure.log" || { cat "$work/configure.log"; exit 1; }
cmake --build "$work/consumer" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }

if [ "$mode" = readme ]; then
    # The example names the shipped case relative to the source folder.
    (cd "$src" && "$work/consumer/readme_example") >"$work/out.txt" 2>"$work/err.txt" ||
        { cat "$work/out.txt" "$work/err.txt"; echo "run.sh: the README example failed" >&2; exit 1; }
    cat "$work/out.txt"
    if [ -s "$work/err.txt" ] || ! grep -q 'W/m2K' "$work/out.txt"; then
        cat "$work/err.txt"
        echo "run.sh: the README example did not rate the shipped case" >&2
        exit 1
    fi
    echo "the README's library example compiles and runs against the installed package"
    exit 0
fi

mkdir "$work/run"
cp "$src/examples/water-oil/48230007640350000606.txt" "$work/run/"
(cd "$work/run" && "$work/prefix/bin/hxrate" </dev/null)
"$work/consumer/consumer" "$work/run/48230007640350000606.txt" >"$work/consumer.txt"
cmp "$work/run/48230007650350000606.txt" "$work/consumer.txt"
"$work/consumer/consumer" --document "$work/run/48230007640350000606.txt" >"$work/case.json"
"$work/consumer/program_consumer" "$work/run/48230007640350000606.txt" "$work/case.json" \
    >"$work/program_consumer.txt"
cmp "$work/run/48230007650350000606.txt" "$work/program_consumer.txt"
echo "both consumers' reports equal the program's ($(wc -c <"$work/consumer.txt") bytes)"
