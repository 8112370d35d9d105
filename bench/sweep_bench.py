"""Throughput of a sweep on Dask against the engine in one process.

Rates N variants of the shipped example (the grid of examples/python/sweep.py,
repeated up to N; exact shooting) three ways and prints variants per second:

  engine    rate_many on 2 threads in one process, each thread one call on
            half of the list of cases (built beforehand, not timed);
            "+ assessment": each thread also one assess_many call (grids=0)
            on its half, the columns of a row of the sweep;
  ratings   a 2-worker LocalCluster (127.0.0.1, processes, 1 thread each),
            a chunk of parameters per task: the worker builds the cases,
            rates them with one rate_many call and sends back U (chunk and
            result each one pickled object: Dask serialises a list element
            by element, at several times the cost of the rating);
  rows      the same cluster running the example's own run_on: each row with
            the rating's main quantities and the assessment (duty, both
            pressure drops, warnings), set against the engine with the
            assessment.

    PYTHONPATH=build/python /usr/bin/python3 bench/sweep_bench.py [--variants 100000]
        [--chunk-size 5000]

Not a test: the figures depend on the machine and on what else it runs.
"""

import argparse
import array
import importlib.util
import itertools
import math
import pathlib
import pickle
import threading
import time

TOP = pathlib.Path(__file__).resolve().parents[1]


def load_sweep():
    # not entered in sys.modules, so that Dask sends its functions by value
    # to workers that cannot import examples/python/sweep.py by name
    source = importlib.util.spec_from_file_location("sweep", TOP / "examples" / "python" / "sweep.py")
    sweep = importlib.util.module_from_spec(source)
    source.loader.exec_module(sweep)
    return sweep


sweep = load_sweep()
hxrate = sweep.hxrate  # the sweep finds the module, installed or in the build tree


def u_only(base, packed_chunk):
    """U of every variant of a pickled chunk (NaN where there is none) as
    one array: Dask would serialise a list float by float."""
    ratings = hxrate.rate_many(sweep.cases_of(base, pickle.loads(packed_chunk)), shooting="exact")
    return array.array("d", [math.nan if isinstance(r, hxrate.Error) else r.overall_coefficient
                             for r in ratings])


def engine(cases, threads=2, assess=False):
    """Seconds for rate_many (and assess_many when `assess`) over `cases`,
    split between `threads` threads."""
    parts = [cases[i::threads] for i in range(threads)]
    results = [None] * threads

    def work(i):
        results[i] = hxrate.rate_many(parts[i], shooting="exact")
        if assess:
            hxrate.assess_many(parts[i], results[i], grids=0)

    pool = [threading.Thread(target=work, args=(i,)) for i in range(threads)]
    start = time.perf_counter()
    for t in pool:
        t.start()
    for t in pool:
        t.join()
    seconds = time.perf_counter() - start
    failed = sum(isinstance(r, hxrate.Error) for part in results for r in part)
    return seconds, failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--variants", type=int, default=100_000)
    parser.add_argument("--chunk-size", type=int, default=5000)
    args = parser.parse_args()

    base = hxrate.read_case(sweep.EXAMPLE)
    parameters = list(itertools.islice(itertools.cycle(list(sweep.grid(base))), args.variants))
    n = len(parameters)

    cases = sweep.cases_of(base, parameters)
    seconds, failed = engine(cases)
    engine_rate = n / seconds
    print(f"{n} variants, exact shooting, chunks of {args.chunk_size}")
    print(f"engine:   rate_many, 2 threads, 1 process  {seconds:7.2f} s  "
          f"{engine_rate:9.0f} variants/s  ({failed} not rated)")
    seconds, _ = engine(cases, assess=True)
    del cases
    assessed_rate = n / seconds
    print(f"engine:   + assess_many                  {seconds:7.2f} s  "
          f"{assessed_rate:9.0f} variants/s")

    from dask.distributed import Client, LocalCluster

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        # first tasks on each worker import the module: not part of the figure
        sweep.run_on(client, base, parameters[:200], chunk_size=100)
        client.gather(client.map(u_only, [base, base], [pickle.dumps(parameters[:10]),
                                                        pickle.dumps(parameters[10:20])],
                                 pure=False))

        start = time.perf_counter()
        [scattered] = client.scatter([base], broadcast=True)
        parts = [pickle.dumps(part, protocol=pickle.HIGHEST_PROTOCOL)
                 for part in sweep.chunks(parameters, args.chunk_size)]
        futures = client.map(u_only, [scattered] * len(parts), parts, pure=False)
        coefficients = [u for us in client.gather(futures) for u in us]
        seconds = time.perf_counter() - start
        assert len(coefficients) == n
        print(f"ratings:  LocalCluster, 2 workers        {seconds:7.2f} s  "
              f"{n / seconds:9.0f} variants/s  {n / seconds / engine_rate:6.1%} of engine")

        start = time.perf_counter()
        rows = sweep.run_on(client, base, parameters, chunk_size=args.chunk_size)
        seconds = time.perf_counter() - start
        assert len(rows) == n
        print(f"rows:     LocalCluster, 2 workers        {seconds:7.2f} s  "
              f"{n / seconds:9.0f} variants/s  {n / seconds / assessed_rate:6.1%} of engine"
              " with the assessment")


if __name__ == "__main__":
    main()
