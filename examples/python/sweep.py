"""A study of the shipped example on Dask: tube counts, both flows and baffle
counts, one CSV row per case (and a pandas DataFrame when pandas is there).
Each row carries the rating and the library's assessment: duty, both
frictional pressure drops (to trade U against pressure drop) and the codes of
the warnings.

On this machine, with one single-threaded worker process per core:

    PYTHONPATH=build/python python3 examples/python/sweep.py --workers 4 -o sweep.csv

On a cluster: start `dask scheduler` on one host and `dask worker
tcp://HOST:8786` on each (or dask-jobqueue's SLURMCluster / PBSCluster), with
hxrate installed where their python3 finds it, then

    python3 examples/python/sweep.py --scheduler tcp://HOST:8786 -o sweep.csv

A case that a check rejects (or that cannot be rated) becomes a row with its
outcome and message; it does not stop the study.
"""

import argparse
import csv
import itertools
import os
import pathlib
import sys
import time

TOP = pathlib.Path(__file__).resolve().parents[2]
try:
    import hxrate
except ImportError:  # not installed: take the module from the build tree
    sys.path.insert(0, str(TOP / "build" / "python"))
    os.environ["PYTHONPATH"] = os.pathsep.join(
        p for p in (str(TOP / "build" / "python"), os.environ.get("PYTHONPATH")) if p)
    import hxrate

EXAMPLE = TOP / "examples" / "water-oil" / "48230007640350000606.txt"
PARAMETERS = ["exchanger_type", "tube_count", "tube_flow", "shell_flow", "baffle_count"]


def variants(base):
    """(parameters, case) for every variant of `base`: counter-current along
    the tubes, and in cross flow with 0 to 8 baffles."""
    tube_counts = range(20, 84, 4)
    tube_flows = [base.tube_fluid.volumetric_flow * f for f in (0.5, 0.75, 1, 1.5, 2, 3)]
    shell_flows = [base.shell_fluid.volumetric_flow * f for f in (0.5, 0.75, 1, 1.5, 2, 3)]
    layouts = [(1, 0)] + [(3, nb) for nb in (0, 2, 4, 8)]
    for (kind, nb), nt, qt, qs in itertools.product(layouts, tube_counts, tube_flows, shell_flows):
        case = base.replace(
            exchanger_type=kind, tube_count=nt, baffle_count=nb,
            tube_fluid=base.tube_fluid.replace(volumetric_flow=qt),
            shell_fluid=base.shell_fluid.replace(volumetric_flow=qs))
        yield dict(zip(PARAMETERS, (kind, nt, qt, qs, nb))), case


ASSESSED = ["duty", "tube_pressure_drop", "shell_pressure_drop", "warnings"]


def assessed(case, rating):
    """The assessment's columns; no re-rating for a grid estimate."""
    a = hxrate.assess(case, rating, grids=0)
    return {"duty": a.duty, "tube_pressure_drop": a.tube_pressure_drop,
            "shell_pressure_drop": a.shell_pressure_drop,
            "warnings": " ".join(sorted({w.code for w in a.warnings}))}


def rate_rows(batch):
    """One row per (parameters, case): the rating's quantities and the
    assessment's, or the reason there are none (a pressure drop the rating
    did not reach is left empty)."""
    rows = []
    for parameters, case in batch:
        row = dict(parameters, outcome="rated", check="", message="")
        try:
            rating = hxrate.rate(case)
            row.update(rating.to_dict())
            row.update(assessed(case, rating))
        except hxrate.CaseRejected as e:
            row.update(outcome="rejected", check=e.check, message=e.message)
            if e.partial is not None:
                row.update(assessed(case, e))
        except hxrate.Error as e:
            row.update(outcome=type(e).__name__, message=str(e))
        rows.append(row)
    return rows


def batches(items, size):
    items = list(items)
    return [items[i : i + size] for i in range(0, len(items), size)]


def run_serial(items):
    return rate_rows(list(items))


def run_on(client, items, batch_size=50):
    """Rates the items on a Dask client, in batches (a task per case would
    cost more in scheduling than in rating); rows come back in order."""
    futures = client.map(rate_rows, batches(items, batch_size), pure=False)
    return [row for rows in client.gather(futures) for row in rows]


def write_csv(rows, path):
    columns = list(rows[0])
    for row in rows:
        columns += [k for k in row if k not in columns]
    with open(path, "w", newline="") as out:
        writer = csv.DictWriter(out, columns, restval="")
        writer.writeheader()
        writer.writerows(rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--workers", type=int, default=os.cpu_count(),
                        help="local worker processes (one thread each)")
    parser.add_argument("--scheduler", help="address of a running scheduler, tcp://HOST:8786")
    parser.add_argument("--limit", type=int, help="rate only the first LIMIT variants")
    parser.add_argument("-o", "--output", default="sweep.csv")
    args = parser.parse_args()

    from dask.distributed import Client, LocalCluster

    items = list(variants(hxrate.read_case(EXAMPLE)))[: args.limit]
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1,
                               host="127.0.0.1", dashboard_address=None)
        client = Client(cluster)
    start = time.perf_counter()
    rows = run_on(client, items)
    seconds = time.perf_counter() - start
    workers = len(client.scheduler_info()["workers"])
    client.close()
    write_csv(rows, args.output)
    outcomes = {}
    for row in rows:
        outcomes[row["outcome"]] = outcomes.get(row["outcome"], 0) + 1
    print(f"{len(rows)} cases in {seconds:.2f} s on {workers} workers: {outcomes}; "
          f"rows in {args.output}")
    try:
        import pandas
    except ImportError:
        return
    table = pandas.DataFrame(rows)
    rated = table[table.outcome == "rated"]
    print(rated.groupby("exchanger_type")[["overall_coefficient", "tube_outlet_temperature",
                                          "tube_pressure_drop", "shell_pressure_drop"]].describe().T)


if __name__ == "__main__":
    main()
