"""What a rating holds per node at its peak (prints it; no pass or fail).

Rates the shipped example of each exchanger type on a grid of 10^7 elements
and divides the growth of the process's maximum resident set size
(getrusage) by the node count. The storage check counts 24 bytes a node; a
figure above it means the check undercounts.

    PYTHONPATH=build/python python3 bench/memory_bench.py [ELEMENTS]

Measured on 2 cores, 24 GiB: 24.0 bytes a node for every type (48.0 for
type 3 and 40.0 for the others when the node arrays were copied into the
Rating).
"""

import pathlib
import subprocess
import sys

EXAMPLE = pathlib.Path(__file__).resolve().parents[1] / "examples" / "water-oil" / "48230007640350000606.txt"

ONE_TYPE = """
import resource, sys, hxrate
elements, kind = int(sys.argv[2]), int(sys.argv[3])
case = hxrate.read_case(sys.argv[1]).replace(exchanger_type=kind, baffle_count=9 if kind >= 2 else 0,
                                              element_length=3.0 / elements)
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
rating = hxrate.rate(case, shooting="exact")
grown = (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) * 1024
print(f"type {kind}: {grown / len(rating.profile):.1f} bytes a node ({len(rating.profile)} nodes)")
"""


def main():
    elements = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000_000
    for kind in range(4):
        # A fresh interpreter per type: the maximum resident set never shrinks.
        subprocess.run([sys.executable, "-c", ONE_TYPE, str(EXAMPLE), str(elements), str(kind)],
                       check=True)


if __name__ == "__main__":
    main()
