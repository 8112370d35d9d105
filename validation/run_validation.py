"""Runs the validation under pytest for CTest. Exits 77 (a skip to CTest)
naming what is missing: the Python module, pytest, or a reference library
(python3-fluids, python3-scipy, python3-iapws; the checks that need none
still run first and must pass)."""

import argparse
import os
import pathlib
import sys

SKIP = 77
HERE = pathlib.Path(__file__).resolve().parent


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--module-dir", default="", help="folder holding the hxrate package")
    parser.add_argument("--report", default="", help="the hxrate-report executable")
    parser.add_argument("pytest_args", nargs="*")
    args = parser.parse_args()

    if not args.module_dir:
        print("SKIPPED: the Python module hxrate is not part of this build "
              "(target hxrate_python; it needs python3-dev, python3-numpy and pybind11-dev)")
        return SKIP
    sys.path.insert(0, args.module_dir)
    os.environ["PYTHONPATH"] = os.pathsep.join(
        p for p in (args.module_dir, os.environ.get("PYTHONPATH", "")) if p)
    try:
        import hxrate  # noqa: F401
    except ImportError as e:
        print(f"SKIPPED: the Python module hxrate does not import from {args.module_dir}: {e}")
        return SKIP
    try:
        import pytest
    except ImportError:
        print("SKIPPED: pytest is not installed (apt-get install python3-pytest)")
        return SKIP
    if args.report:
        os.environ["HXRATE_REPORT"] = args.report
    else:
        os.environ.pop("HXRATE_REPORT", None)

    status = pytest.main([str(HERE), "-q", "-rs", *args.pytest_args])
    if status != 0:
        return status
    missing = []
    for module, what in (("fluids", "the comparisons with fluids and the page"),
                         ("scipy", "the independent solution of the march, the beam roots"),
                         ("iapws", "the water model against IAPWS")):
        try:
            __import__(module)
        except ImportError:
            missing.append(f"python3-{module} ({what})")
    if not args.report:
        missing.append("hxrate-report (the pressure drops)")
    if missing:
        print("SKIPPED in part: not installed or not built: " + "; ".join(missing))
        return SKIP
    return 0


if __name__ == "__main__":
    sys.exit(main())
