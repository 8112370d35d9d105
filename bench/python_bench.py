"""Figures of the Python module (prints them; no pass or fail):

  - the cost of hxrate.rate() called from Python on the shipped example
    against the same rate() called in a C++ loop (goal: at most 1.3 times);
  - cases per second for 1000 variants of the example with 1 and 2 threads
    (goal: 2 threads at least 1.8 times one; rate() releases the GIL).

    PYTHONPATH=build/python python3 bench/python_bench.py
"""

import os
import pathlib
import sys
import threading
import time
import timeit

import hxrate
from hxrate import _hxrate

EXAMPLE = pathlib.Path(__file__).resolve().parents[1] / "examples" / "water-oil" / "48230007640350000606.txt"


def call_overhead(case):
    # Rounds alternate between the two, so that a busy machine slows both;
    # the best round of each counts.
    calls, rounds = 20000, 9
    rate = hxrate.rate
    cpp = py = float("inf")
    for _ in range(rounds):
        cpp = min(cpp, _hxrate._rate_loop_seconds(case, calls) / calls)
        py = min(py, timeit.timeit("rate(case)", globals={"rate": rate, "case": case}, number=calls) / calls)
    print(f"rate() on the example: C++ {cpp * 1e6:.2f} us, Python {py * 1e6:.2f} us, "
          f"ratio {py / cpp:.3f} (goal <= 1.3)")


def cases_per_second(cases, threads, batched=False):
    """Each thread rates its share of the cases: one Python call per case,
    or (batched) one rate_many() call for the whole share."""
    shares = [cases[i::threads] for i in range(threads)]

    def work(share):
        if batched:
            hxrate.rate_many(share)
            return
        for case in share:
            hxrate.rate(case)

    best = float("inf")
    for _ in range(5):
        pool = [threading.Thread(target=work, args=(s,)) for s in shares]
        start = time.perf_counter()
        for t in pool:
            t.start()
        for t in pool:
            t.join()
        best = min(best, time.perf_counter() - start)
    return len(cases) / best


def cpp_loop_rate(case, threads, calls=4000):
    """Ratings per second of `threads` C++ loops over the example at once."""
    best = float("inf")
    for _ in range(5):
        pool = [threading.Thread(target=_hxrate._rate_loop_seconds, args=(case, calls // threads))
                for _ in range(threads)]
        start = time.perf_counter()
        for t in pool:
            t.start()
        for t in pool:
            t.join()
        best = min(best, time.perf_counter() - start)
    return calls / best


def thread_scaling(base):
    # 1000 variants that all rate: tube counts and tube flows of the example
    cases = [base.replace(tube_count=20 + n % 50,
                          tube_fluid=base.tube_fluid.replace(volumetric_flow=0.002 * (1 + n // 50 / 20)))
             for n in range(1000)]
    for c in cases:
        hxrate.rate(c)
    for batched, how in ((False, "rate() per case"), (True, "rate_many() per thread")):
        one = cases_per_second(cases, 1, batched)
        two = cases_per_second(cases, 2, batched)
        print(f"1000 cases, {how}: 1 thread {one:,.0f} cases/s, 2 threads {two:,.0f} cases/s, "
              f"speed-up {two / one:.2f} (goal >= 1.8)")
    # What the machine gives two threads of the same work without Python's
    # calls (other load on the cores shows here too).
    ceiling = cpp_loop_rate(base, 2) / cpp_loop_rate(base, 1)
    print(f"  for comparison, the C++ rate() alone on 2 threads: speed-up {ceiling:.2f}; "
          f"{len(os.sched_getaffinity(0))} cores available, load {os.getloadavg()[0]:.1f}")


def main():
    base = hxrate.read_case(EXAMPLE)
    print(f"hxrate {hxrate.__version__}, Python {sys.version.split()[0]}")
    call_overhead(base)
    thread_scaling(base)


if __name__ == "__main__":
    main()
