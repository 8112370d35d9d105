"""Throughput of a sweep on Dask against the engine in one process.

Rates N variants of the shipped example (the grid of examples/python/sweep.py,
repeated up to N; exact shooting) and prints variants per second:

  engine    in one process on 2 threads, each thread one call on half of
            the variants: rate_many on a list of cases (built beforehand,
            not timed), and with assess_many (grids=0) on its results for
            the columns of a row of the sweep; then rate_variants on the
            table of parameters, without and with the assessment (what a
            task of the cluster runs);
  ratings   a 2-worker LocalCluster (127.0.0.1; --threads: one worker
            process with 2 threads, else 2 processes with 1 thread each),
            a chunk of the table of parameters per task (numpy arrays; the
            base case scattered once): the worker rates it with one
            rate_variants call and sends back the column of U;
  rows      the same cluster running the example's own run_on: the table of
            the study, each row with the rating's main quantities and the
            assessment (duty, both pressure drops, warnings).

Each cluster figure is set against the engine computing the same columns,
both with rate_many (and assess_many) and with rate_variants. Beside each
figure, the CPU time per variant of this process and the workers: on a
machine that other jobs load, the wall-clock figures (and their ratios) vary
from run to run, the CPU times much less. --profile first prints where the
time of one chunk goes in this process, one thread, and what scattering the
chunks and running as many empty tasks costs.

    PYTHONPATH=build/python /usr/bin/python3 bench/sweep_bench.py [--variants 100000]
        [--chunk-size N] [--threads] [--profile]

Not a test: the figures depend on the machine and on what else it runs.
"""

import argparse
import importlib.util
import itertools
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


def fields_of(table):
    return {sweep.FIELDS[name]: values for name, values in table.items()}


def u_only(base, chunk):
    """U of every variant of a chunk of the table of parameters, a masked
    array (masked where there is none)."""
    return hxrate.rate_variants(base, fields_of(chunk), shooting="exact")["overall_coefficient"]


class Timed:
    """Wall-clock seconds of a block and the CPU seconds it took in this
    process and, with a client, in the cluster's worker processes: on a
    loaded machine the CPU time per variant stays a fair measure when the
    wall-clock time does not."""

    def __init__(self, client=None):
        self.client = client

    def cpu(self):
        seconds = time.process_time()
        if self.client is not None:
            seconds += sum(self.client.run(time.process_time).values())
        return seconds

    def __enter__(self):
        self.start_cpu, self.start = self.cpu(), time.perf_counter()
        return self

    def __exit__(self, *failure):
        self.seconds = time.perf_counter() - self.start
        self.cpu_seconds = self.cpu() - self.start_cpu


def in_threads(work, parts):
    """work(part) on a thread per part: the timing and the results."""
    results = [None] * len(parts)

    def run(i):
        results[i] = work(parts[i])

    pool = [threading.Thread(target=run, args=(i,)) for i in range(len(parts))]
    with Timed() as timed:
        for t in pool:
            t.start()
        for t in pool:
            t.join()
    return timed, results


def engine_objects(cases, threads=2, assess=False):
    """rate_many (and assess_many when `assess`) over `cases`, split between
    `threads` threads: the timing and the number not rated."""

    def work(part):
        ratings = hxrate.rate_many(part, shooting="exact")
        if assess:
            hxrate.assess_many(part, ratings, grids=0)
        return sum(isinstance(r, hxrate.Error) for r in ratings)

    timed, failed = in_threads(work, [cases[i::threads] for i in range(threads)])
    return timed, sum(failed)


def engine_columns(base, table, threads=2, assess=False):
    """rate_variants over the table, split between `threads` threads: the timing."""

    def work(part):
        return hxrate.rate_variants(base, fields_of(part), shooting="exact", assess=assess,
                                    grids=0)

    parts = [{k: v[i::threads] for k, v in table.items()} for i in range(threads)]
    return in_threads(work, parts)[0]


def nothing(base, chunk):
    return None


def profile(base, table, size):
    """CPU microseconds per variant of each step of one chunk, one thread,
    the least of three runs."""
    chunk = {k: v[:size] for k, v in table.items()}
    n = sweep.size_of(chunk)
    steps = {}

    def step(name, work):
        best = None
        for _ in range(3):
            with Timed() as timed:
                result = work()
            best = timed.cpu_seconds if best is None else min(best, timed.cpu_seconds)
        steps[name] = best / n * 1e6
        return result

    parameters = step("grid items from the table (Python)", lambda: sweep.rows_of(chunk))
    cases = step("cases built in Python (cases_of)", lambda: sweep.cases_of(base, parameters))
    ratings = step("rate_many", lambda: hxrate.rate_many(cases, shooting="exact"))
    assessments = step("assess_many (grids=0)",
                       lambda: hxrate.assess_many(cases, ratings, grids=0))

    def object_rows():
        rows = []
        for p, r, a in zip(parameters, ratings, assessments):
            row = dict(p, outcome="rated")
            row.update((name, getattr(r, name)) for name in sweep.RATED)
            row.update(sweep.assessed(a))
            rows.append(row)
        return rows

    rows = step("rows from the objects (Python)", object_rows)
    step("rows pickled", lambda: pickle.dumps(rows, protocol=pickle.HIGHEST_PROTOCOL))
    packed = pickle.dumps(rows, protocol=pickle.HIGHEST_PROTOCOL)
    step("rows unpickled", lambda: pickle.loads(packed))
    step("rate_variants", lambda: hxrate.rate_variants(base, fields_of(chunk), shooting="exact"))
    columns = step("rate_variants with the assessment",
                   lambda: sweep.rate_table(base, chunk))
    step("its columns pickled", lambda: pickle.dumps(columns, protocol=pickle.HIGHEST_PROTOCOL))
    packed = pickle.dumps(columns, protocol=pickle.HIGHEST_PROTOCOL)
    step("its columns unpickled", lambda: pickle.loads(packed))
    step("the columns joined to the table", lambda: sweep.joined(chunk, [columns]))
    print(f"profile: one chunk of {n} variants, one thread, CPU microseconds per variant")
    for name, us in steps.items():
        print(f"  {name:42s} {us:7.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--variants", type=int, default=100_000)
    parser.add_argument("--chunk-size", type=int,
                        help="variants per task (default: two tasks per worker thread)")
    parser.add_argument("--threads", action="store_true",
                        help="one worker process with 2 threads instead of 2 processes")
    parser.add_argument("--profile", action="store_true",
                        help="first, the cost of each step of one chunk, one thread")
    args = parser.parse_args()

    base = hxrate.read_case(sweep.EXAMPLE)
    parameters = list(itertools.islice(itertools.cycle(list(sweep.grid(base))), args.variants))
    table = sweep.table_of(parameters)
    n = len(parameters)
    if args.profile:
        profile(base, table, args.chunk_size or -(-n // 4))

    load = open("/proc/loadavg").read().split()[0]
    chunks = f"chunks of {args.chunk_size}" if args.chunk_size else "two chunks per worker thread"
    workers = "1 process, 2 threads" if args.threads else "2 processes"
    print(f"{n} variants, exact shooting, {chunks}; load average {load}")

    def line(label, timed, against=()):
        rate = n / timed.seconds
        text = (f"{label:45s} {timed.seconds:6.2f} s {rate:8.0f} variants/s, "
                f"CPU {timed.cpu_seconds / n * 1e6:5.1f} us/variant")
        for name, other in against:
            text += f"; {rate / (n / other.seconds):6.1%} of {name}"
        print(text)

    cases = sweep.cases_of(base, parameters)
    objects, failed = engine_objects(cases)
    line(f"engine:  rate_many, 2 threads ({failed} not rated)", objects)
    objects_assessed, _ = engine_objects(cases, assess=True)
    del cases
    line("engine:  rate_many + assess_many", objects_assessed)
    columns = engine_columns(base, table)
    line("engine:  rate_variants, 2 threads", columns)
    columns_assessed = engine_columns(base, table, assess=True)
    line("engine:  rate_variants with the assessment", columns_assessed)

    from dask.distributed import Client, LocalCluster

    n_workers, threads = (1, 2) if args.threads else (2, 1)
    with LocalCluster(n_workers=n_workers, threads_per_worker=threads, processes=True,
                      host="127.0.0.1", dashboard_address=None) as cluster, \
            Client(cluster) as client:
        # first tasks on each worker import the module: not part of the figure
        small = {k: v[:200] for k, v in table.items()}
        sweep.run_on(client, base, small, chunk_size=50)
        client.gather(client.map(u_only, [base] * 4, sweep.chunks(small, 50), pure=False))

        size = args.chunk_size or -(-n // 4)
        if args.profile:
            with Timed(client) as timed:
                [scattered] = client.scatter([base], broadcast=True)
                parts = client.scatter(sweep.chunks(table, size))
                client.gather(client.map(nothing, [scattered] * len(parts), parts, pure=False))
            print(f"profile: the base case and {len(parts)} chunks scattered, as many empty "
                  f"tasks run: {timed.seconds * 1e3:.1f} ms, CPU {timed.cpu_seconds * 1e3:.1f} ms")

        with Timed(client) as ratings:
            [scattered] = client.scatter([base], broadcast=True)
            parts = client.scatter(sweep.chunks(table, size))
            futures = client.map(u_only, [scattered] * len(parts), parts, pure=False)
            coefficients = sweep.numpy.ma.concatenate(client.gather(futures))
        assert len(coefficients) == n
        line(f"ratings: LocalCluster, {workers}", ratings,
             [("rate_many", objects), ("rate_variants", columns)])

        with Timed(client) as rows:
            table_of_rows = sweep.run_on(client, base, table, chunk_size=args.chunk_size)
        assert sweep.size_of(table_of_rows) == n
        line(f"rows:    LocalCluster, {workers}", rows,
             [("rate_many + assess_many", objects_assessed),
              ("rate_variants with the assessment", columns_assessed)])
    print(f"load average {open('/proc/loadavg').read().split()[0]} at the end")


if __name__ == "__main__":
    main()
