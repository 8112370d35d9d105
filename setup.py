"""Builds the extension hxrate._hxrate for pip (see pyproject.toml).

The module is compiled from python/*.cpp and the library sources it links
in the CMake build (src/core, src/format and src/cli without the program's
main), with the flags of the CMake build: C++20, -O2, and no contraction or
reordering of floating-point operations, so that its numbers are the
program's bit for bit. HXRATE_BUILD_JOBS sets how many files compile at once
(default: the number of processors).
"""

import glob
import os
import re

import numpy
import pybind11
from pybind11.setup_helpers import ParallelCompile
from setuptools import Extension, setup

HERE = os.path.dirname(os.path.abspath(__file__))


def project_version():
    with open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(hxrate\s+VERSION\s+([0-9.]+)", f.read())
    if not match:
        raise RuntimeError("setup.py: no project(hxrate VERSION ...) in CMakeLists.txt")
    return match.group(1)


def sources():
    # Relative paths: setuptools refuses absolute ones in a wheel build.
    found = sorted(glob.glob("python/*.cpp"))
    for layer in ("core", "format", "cli"):
        found += sorted(glob.glob(f"src/{layer}/*.cpp"))
    return [s for s in found if s != os.path.join("src", "cli", "main.cpp")]


def write_version_header(folder):
    # <hxrate/version.h> from the template the CMake build fills in.
    with open(os.path.join(HERE, "cmake", "version.h.in"), encoding="utf-8") as f:
        text = f.read()
    major, minor, patch = (VERSION.split(".") + ["0", "0"])[:3]
    for name, value in (("PROJECT_VERSION_MAJOR", major), ("PROJECT_VERSION_MINOR", minor),
                        ("PROJECT_VERSION_PATCH", patch), ("PROJECT_VERSION", VERSION)):
        text = text.replace(f"@{name}@", value)
    os.makedirs(os.path.join(folder, "hxrate"), exist_ok=True)
    with open(os.path.join(folder, "hxrate", "version.h"), "w", encoding="utf-8") as f:
        f.write(text)


VERSION = project_version()
# The same as the CMake build's: never add a flag that lets the compiler fuse
# or reorder floating-point operations, nor one that tunes for the build machine.
FLAGS = ["-std=c++20", "-O2", "-g0", "-ffp-contract=off", "-fno-fast-math", "-fvisibility=hidden"]

os.chdir(HERE)
os.makedirs("build-python", exist_ok=True)
write_version_header(os.path.join("build-python", "include"))
ParallelCompile("HXRATE_BUILD_JOBS").install()

setup(
    version=VERSION,
    packages=["hxrate"],
    package_dir={"hxrate": "python/hxrate"},
    package_data={"hxrate": ["_hxrate.pyi", "py.typed"]},
    ext_modules=[
        Extension(
            "hxrate._hxrate",
            sources=sources(),
            include_dirs=[
                "include",
                os.path.join("build-python", "include"),
                "src",
                pybind11.get_include(),
                numpy.get_include(),
            ],
            define_macros=[("NDEBUG", None)],
            # The case document's units: UDUNITS-2 (libudunits2-dev).
            libraries=["udunits2"],
            extra_compile_args=FLAGS,
            language="c++",
        )
    ],
    # Build files go to build-python/, away from the CMake build folders.
    options={"build": {"build_base": "build-python"}, "egg_info": {"egg_base": "build-python"}},
    zip_safe=False,
)
