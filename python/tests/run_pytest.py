"""Runs the Python tests for ctest.

    run_pytest.py --needs pytest,distributed -- PYTEST_ARGS...

A package in --needs that is missing makes the run a visible skip: it
prints "skipped: <Debian package> not installed" and ends with status 77,
which ctest reports as skipped. pytest finding no test is a failure.
"""

import importlib.util
import sys

DEBIAN_PACKAGES = {
    "pytest": "python3-pytest",
    "distributed": "python3-distributed",
    "numpy": "python3-numpy",
    "pandas": "python3-pandas",
}
SKIP = 77
NO_TESTS_COLLECTED = 5


def main(argv):
    split = argv.index("--")
    needs = argv[argv.index("--needs") + 1].split(",") if "--needs" in argv[:split] else []
    missing = [DEBIAN_PACKAGES.get(n, n) for n in needs if importlib.util.find_spec(n) is None]
    if missing:
        print(f"skipped: {', '.join(missing)} not installed")
        return SKIP
    import pytest

    status = pytest.main(["-rs", "-p", "no:cacheprovider", *argv[split + 1 :]])
    if status == NO_TESTS_COLLECTED:
        print("error: pytest collected no tests")
        return 1
    return int(status)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
