"""Candidates a second of the design search in this process (2 threads)
against a 2-worker Dask LocalCluster searching the same space split into
chunks (one thread a worker), and the cluster's share of the in-process
figure (goal: at least 50 %). The problem is examples/design/oil-cooler.json
on its default space; both searches must give the same ranking.

    PYTHONPATH=build/python /usr/bin/python3 bench/design_cluster_bench.py [--chunks 16]

Not a test: the figures depend on the machine and on what else it runs.
"""

import argparse
import pathlib
import time

import hxrate

PROBLEM = pathlib.Path(__file__).resolve().parent.parent / "examples" / "design" / "oil-cooler.json"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--chunks", type=int, default=16, help="tasks of the cluster's search")
    args = parser.parse_args()
    import distributed

    start = time.perf_counter()
    local = hxrate.design(PROBLEM, threads=2, designs_reported=0)
    local_time = time.perf_counter() - start
    rate = local.candidates / local_time
    print(f"in process, 2 threads: {local.candidates} candidates in {local_time:.2f} s, "
          f"{rate:,.0f} a second, {len(local)} feasible")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            hxrate.design(PROBLEM, {"tube_passes": [2]}, client=client, chunks=2,
                          designs_reported=0)  # workers started and warm
            start = time.perf_counter()
            split = hxrate.design(PROBLEM, client=client, chunks=args.chunks, designs_reported=0)
            split_time = time.perf_counter() - start
    share = (split.candidates / split_time) / rate
    same = [d["candidate"] for d in split.designs] == [d["candidate"] for d in local.designs]
    print(f"2-worker LocalCluster, {args.chunks} chunks: {split_time:.2f} s, "
          f"{split.candidates / split_time:,.0f} a second, {share:.0%} of in process; "
          f"same ranking: {same}")


if __name__ == "__main__":
    main()
