#!/usr/bin/env bash
# Installs, as root on a Debian machine, whatever the build and the tests
# need and is missing; does nothing when everything is there. Without root
# (or without apt-get) it only says what is missing.
#   scripts/setup.sh
set -u
packages=(
    g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev clang-format clang libclang-rt-14-dev bc
    python3 python3-dev python3-numpy python3-pytest pybind11-dev
    python3-venv python3-pip python3-setuptools python3-wheel python3-pybind11
    python3-distributed python3-fluids python3-iapws python3-scipy nlohmann-json3-dev libcli11-dev libudunits2-dev nettle-dev pkgconf
    chromium
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
    echo "setup: missing packages (install them as root): ${missing[*]}" >&2
    exit 0
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null || true
# One by one, so that a package this machine cannot have does not stop the rest;
# the tests that need it then say they are skipped and why.
for p in "${missing[@]}"; do
    apt-get install -y -qq --no-install-recommends "$p" >/dev/null 2>&1 ||
        echo "setup: could not install $p; the tests that need it are skipped" >&2
done
exit 0
