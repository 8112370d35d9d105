"""hxrate.design(): the exchangers of a design space that meet a duty, on
this machine's cores or split over a Dask cluster.

As a program, the search of a design problem document on this machine or on
a Dask cluster, writing what hxrate-design writes but the page:

    python3 -m hxrate.design_search PROBLEM.json -o DIR [--dask tcp://HOST:8786]
        [--chunks N] [--reported N]

DIR/designs.csv holds the feasible designs ranked, DIR/best.case.json the
best one's case document (rate it with hxrate-report for its page). Exit
status: 0 designs found, 1 none feasible (the refusals and the advice on
stderr), 2 a document or an argument that cannot be used.
"""

import argparse
import csv
import json
import os
import sys
import tempfile

from . import _hxrate

# The columns of DesignResult.table(), in order, with their numpy types.
_COLUMNS = [
    ("area", "f8"), ("duty", "f8"), ("tube_pressure_drop", "f8"), ("shell_pressure_drop", "f8"),
    ("tube_velocity", "f8"), ("shell_velocity", "f8"), ("over_surface", "f8"),
    ("overall_coefficient", "f8"), ("shell_diameter", "f8"), ("tube_outer_diameter", "f8"),
    ("tube_count", "i8"), ("tube_length", "f8"), ("tube_passes", "i8"), ("shells", "i8"),
    ("layout_angle", "i8"), ("pitch_ratio", "f8"), ("baffle_cut", "f8"), ("baffle_count", "i8"),
    ("hot_in_tubes", "?"), ("velocity_ratio", "f8"), ("candidate", "u8"),
]

_ALL = 2**64 - 1


class DesignResult:
    """The ranked designs of a search.

    designs: a list of dicts, smallest area first, each with area (m2), duty (W),
    tube_pressure_drop and shell_pressure_drop (Pa), velocities, the geometry, and
    document: its case document as JSON text, which hxrate.read_case_document() and
    hxrate.rate() take. Every design was rated again in full with the assessment (one
    whose warnings carry an error is dropped); the first designs_reported keep that
    rating (confirmed True).
    refused: candidates refused, by the first limit each broke.
    tube_front, shell_front: indexes into designs of the Pareto fronts of area against
    each side's pressure drop. advice: what to relax when nothing is feasible.
    """

    def __init__(self, result):
        self.duty = result["duty"]
        self.candidates = result["candidates"]
        self.designs = result["designs"]
        self.refused = result["refused"]
        self.tube_front = result["tube_front"]
        self.shell_front = result["shell_front"]
        self.advice = result["advice"]

    def __len__(self):
        return len(self.designs)

    def __repr__(self):
        return (f"DesignResult({len(self.designs)} feasible of {self.candidates} candidates, "
                f"refused={self.refused})")

    def table(self):
        """The designs as a numpy structured array, one row per design, ranked."""
        import numpy

        rows = [tuple(d[name] for name, _ in _COLUMNS) for d in self.designs]
        return numpy.array(rows, dtype=_COLUMNS)

    def to_pandas(self):
        """The designs as a pandas DataFrame (pandas must be installed)."""
        import pandas

        return pandas.DataFrame.from_records(self.table())


def _problem_text(problem, space):
    """The design problem as JSON text: a path, JSON text or a dict, with `space`
    (a dict) over its "space"."""
    if isinstance(problem, dict):
        value = problem
    else:
        if isinstance(problem, (bytes, os.PathLike)) or (
                isinstance(problem, str) and not problem.lstrip().startswith("{")):
            with open(problem, encoding="utf-8") as f:
                problem = f.read()
        if not isinstance(problem, str):
            raise TypeError("design() problem must be a path, JSON text or a dict, not "
                            + type(problem).__name__)
        if space is None:
            return problem
        value = json.loads(problem)
    if space is not None:
        if not isinstance(space, dict):
            raise TypeError("design() space must be a dict or None, not " + type(space).__name__)
        value = dict(value)
        value["space"] = {**value.get("space", {}), **space}
    return json.dumps(value)


def _search_chunk(text, first, count):
    """One Dask task: the candidates [first, first + count), unranked."""
    return _hxrate._design_search(text, first, count, 1, 0)


def design(problem, space=None, *, client=None, chunks=None, designs_reported=10, threads=0):
    """design(problem, space=None, *, client=None, chunks=None, designs_reported=10, threads=0)
    -> DesignResult

    Searches a design space for the exchangers that meet a design problem's duty within
    its pressure-drop, velocity, F and over-surface limits, ranked by area. `problem` is
    a design problem document (a path or JSON text) or its value (a dict); `space` (a
    dict) narrows or widens its "space". On this machine the search runs on `threads`
    cores (0: all). With a Dask `client` the space is split into `chunks` tasks (by
    default four per worker thread) and merged: the same ranking either way. The best
    `designs_reported` keep the full rating with the assessment that every design is
    given again (one whose warnings carry an error is no design). Raises
    hxrate.InputError for a document that cannot be read and InvalidArgument for a
    problem or space outside its domain; Ctrl-C stops the local search.
    """
    text = _problem_text(problem, space)
    if client is None:
        return DesignResult(_hxrate._design_search(text, 0, _ALL, threads, designs_reported))
    total = _hxrate._design_candidates(text)
    if chunks is None:
        chunks = 4 * max(1, sum(client.nthreads().values()))
    chunks = max(1, min(int(chunks), total or 1))
    size = -(-total // chunks)
    firsts = list(range(0, total, size)) or [0]
    counts = [min(size, total - f) for f in firsts]
    futures = client.map(_search_chunk, [text] * len(firsts), firsts, counts, pure=False)
    parts = client.gather(futures)
    return DesignResult(_hxrate._merge_designs(text, parts, threads, designs_reported))


def _write_whole(path, text):
    """Writes `text` to `path` through a temporary file in its folder and a
    rename, so that no reader ever sees half of it."""
    folder = os.path.dirname(os.path.abspath(path))
    fd, temporary = tempfile.mkstemp(dir=folder, prefix=".design-", suffix=".tmp")
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def _csv_text(result):
    import io

    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    names = [name for name, _ in _COLUMNS]
    writer.writerow(["rank"] + names)
    for rank, d in enumerate(result.designs, 1):
        writer.writerow([rank] + [repr(d[n]) if isinstance(d[n], float) else d[n] for n in names])
    return out.getvalue()


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="python3 -m hxrate.design_search",
        description="Search a design problem's space for the exchangers that meet its duty "
                    "within its limits, on this machine or a Dask cluster.")
    parser.add_argument("problem", help="the design problem document (JSON)")
    parser.add_argument("-o", "--output", default=".", help="folder for designs.csv and "
                        "best.case.json (default: the working folder)")
    parser.add_argument("--dask", metavar="ADDRESS", help="a Dask scheduler to split the "
                        "search over (tcp://HOST:8786)")
    parser.add_argument("--chunks", type=int, help="tasks of a Dask search (default: four a "
                        "worker thread)")
    parser.add_argument("--reported", type=int, default=10, help="the best designs rated again "
                        "in full (default 10)")
    args = parser.parse_args(argv)
    if args.reported < 0 or (args.chunks is not None and args.chunks < 1):
        parser.error("--reported must be at least 0 and --chunks at least 1")
    try:
        if args.dask:
            import distributed

            with distributed.Client(args.dask) as client:
                result = design(args.problem, client=client, chunks=args.chunks,
                                designs_reported=args.reported)
        else:
            result = design(args.problem, designs_reported=args.reported)
    except (_hxrate.InputError, _hxrate.InvalidArgument, OSError) as e:
        print(f"python3 -m hxrate.design_search: {e}", file=sys.stderr)
        return 2
    for name, n in result.refused.items():
        print(f"refused by {name}: {n}")
    os.makedirs(args.output, exist_ok=True)
    _write_whole(os.path.join(args.output, "designs.csv"), _csv_text(result))
    if not result.designs:
        print(f"no feasible design: {result.advice}", file=sys.stderr)
        return 1
    _write_whole(os.path.join(args.output, "best.case.json"), result.designs[0]["document"])
    best = result.designs[0]
    print(f"{len(result)} feasible of {result.candidates} candidates; best: "
          f"{best['area']:.6g} m2, {best['tube_count']} tubes, {best['tube_passes']} passes, "
          f"{best['shells']} shells")
    return 0


if __name__ == "__main__":
    sys.exit(main())
