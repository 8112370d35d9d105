#!/usr/bin/env bash
# Installs the Python package the way the README says, offline: a copy of the
# checkout, `pip install --no-build-isolation .` into a fresh virtual
# environment made with --system-site-packages from PYTHON. The installed
# package must rate the shipped example exactly as the CMake-built module
# does (U bit for bit, and the results report's text).
#   pip_install.sh SOURCE_DIR CMAKE_MODULE_DIR [PYTHON]
# Ends with status 77 (a skip), naming the Debian package, when the
# interpreter lacks venv, pip, setuptools, pybind11 or NumPy.
set -eu
src=$1
module_dir=$2
python=${3:-/usr/bin/python3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset PYTHONPATH
export PYTHONNOUSERSITE=1 PYTHONDONTWRITEBYTECODE=1 PIP_NO_INDEX=1 PIP_DISABLE_PIP_VERSION_CHECK=1

skip() {
    echo "skipped: $1 not installed (for $python)"
    exit 77
}
for need in venv:python3-venv ensurepip:python3-venv setuptools:python3-setuptools \
    wheel:python3-wheel pybind11:python3-pybind11 numpy:python3-numpy; do
    "$python" -c "import ${need%%:*}" 2>/dev/null || skip "${need#*:}"
done

mkdir "$work/checkout"
for f in pyproject.toml setup.py CMakeLists.txt README.md LICENSE cmake include src python; do
    cp -R "$src/$f" "$work/checkout/"
done
"$python" -m venv --system-site-packages "$work/venv" >"$work/venv.log" 2>&1 ||
    { cat "$work/venv.log"; skip python3-venv; }
"$work/venv/bin/python" -m pip --version >/dev/null 2>&1 || skip python3-pip

cd "$work"
start=$SECONDS
if ! "$work/venv/bin/python" -m pip install --no-build-isolation ./checkout >"$work/pip.log" 2>&1; then
    cat "$work/pip.log"
    echo "pip_install.sh: pip install failed" >&2
    exit 1
fi
echo "pip install: $((SECONDS - start)) s"

rate='
import os, sys, hxrate
print(os.path.dirname(hxrate.__file__))
rating = hxrate.rate(hxrate.read_case(sys.argv[1]))
print(rating.overall_coefficient.hex())
print(rating.results_report(), end="")
'
example=$src/examples/water-oil/48230007640350000606.txt
"$work/venv/bin/python" -c "$rate" "$example" >"$work/pip.txt"
PYTHONPATH=$module_dir "$python" -c "$rate" "$example" >"$work/cmake.txt"
case $(head -1 "$work/pip.txt") in
"$work/venv/"*) ;;
*) echo "pip_install.sh: imported $(head -1 "$work/pip.txt"), not the installed package" >&2; exit 1 ;;
esac
if ! diff <(tail -n +2 "$work/pip.txt") <(tail -n +2 "$work/cmake.txt"); then
    echo "pip_install.sh: the installed package rates the example differently from the CMake-built module" >&2
    exit 1
fi
echo "installed package: U = $(sed -n 2p "$work/pip.txt"), the CMake-built module's, same report"
