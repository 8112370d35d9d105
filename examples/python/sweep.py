"""A study of the shipped example on Dask: tube counts, both flows and baffle
counts, one CSV row per variant (and a pandas summary when pandas is there),
and a picture of U against the shell-side pressure drop over the variants,
the trade-off a designer looks for (sweep.svg, opens in any browser).
Each row carries the rating's main quantities (--all-columns: all of them)
and the library's assessment: duty (a positive magnitude) and its direction
in words, both frictional pressure drops and the codes of the warnings.
Every Dask task rates a chunk of variants (--chunk-size; by default two
chunks per worker thread) with one rate_variants call: the task carries the
chunk's parameters as numpy arrays (the base case is scattered once), the
library builds, rates and assesses the variants without an object each and
the task returns their columns. Shooting is exact, so that variants which
the case-factor shooting would reject as slow are rated too.

On this machine, with one single-threaded worker process per core:

    PYTHONPATH=build/python /usr/bin/python3 examples/python/sweep.py --workers 2 -o sweep.csv

On a cluster: start `dask scheduler` on one host and `dask worker
tcp://HOST:8786` on each (or dask-jobqueue's SLURMCluster / PBSCluster), with
hxrate installed where their python3 finds it, then

    python3 examples/python/sweep.py --scheduler tcp://HOST:8786 -o sweep.csv

A variant that a check rejects (or that cannot be rated) becomes a row with
its outcome and message; it does not stop the study.

The base may also be a case document (--base case.json: JSON, with its
extensions and property models, docs/case-document.md), e.g. the shipped
water and engine-oil table rated at the mean temperatures:

    python3 examples/python/sweep.py --base examples/water-oil/real-fluids.json --limit 200

Its variants are rated as documents (the variant's case in place of the
document's, the same extensions, models and properties_at) by rate_many; the
rows gain where the rating took the properties: properties_at, the tube and
shell property temperatures and the shell-side wall temperature, degC.
"""

import argparse
import csv
import html
import itertools
import math
import os
import pathlib
import pickle
import sys
import time

import numpy

TOP = pathlib.Path(__file__).resolve().parents[2]
try:
    import hxrate
except ImportError:  # not installed: take the module from the build tree
    sys.path.insert(0, str(TOP / "build" / "python"))
    os.environ["PYTHONPATH"] = os.pathsep.join(
        p for p in (str(TOP / "build" / "python"), os.environ.get("PYTHONPATH")) if p)
    import hxrate

EXAMPLE = TOP / "examples" / "water-oil" / "48230007640350000606.txt"
# The parameters of a variant and the case field each one sets.
FIELDS = {"exchanger_type": "exchanger_type", "tube_count": "tube_count",
          "tube_flow": "tube_fluid.volumetric_flow", "shell_flow": "shell_fluid.volumetric_flow",
          "baffle_count": "baffle_count"}
PARAMETERS = list(FIELDS)


def read_base(path):
    """The base of a study: a case document (a CaseDocument) when the file's
    first character other than white space is '{', as the tools tell them
    apart, else a case file (a Case)."""
    with open(path, "rb") as source:
        head = source.read(4096)
    if head.startswith(b"\xef\xbb\xbf"):
        head = head[3:]
    if head.lstrip(b" \t\r\n").startswith(b"{"):
        return hxrate.read_case_document(path)
    return hxrate.read_case(path)


def case_of_base(base):
    """The case of a base: a Case itself, or a CaseDocument's case."""
    return base.case if isinstance(base, hxrate.CaseDocument) else base


def grid(base):
    """The parameters of every variant of `base` (a Case or a CaseDocument):
    counter-current along the tubes, and in cross flow with 0 to 8 baffles;
    volumetric flows, m3/s, of 0.5 to 3 times the base case's."""
    base = case_of_base(base)
    tube_counts = range(20, 84, 4)
    tube_flows = [base.tube_fluid.volumetric_flow * f for f in (0.5, 0.75, 1, 1.5, 2, 3)]
    shell_flows = [base.shell_fluid.volumetric_flow * f for f in (0.5, 0.75, 1, 1.5, 2, 3)]
    layouts = [(1, 0)] + [(3, nb) for nb in (0, 2, 4, 8)]
    for (kind, nb), nt, qt, qs in itertools.product(layouts, tube_counts, tube_flows, shell_flows):
        yield dict(zip(PARAMETERS, (kind, nt, qt, qs, nb)))


def case_of(base, parameters):
    """The variant of `base` that `parameters` (one item of grid()) names."""
    p = parameters
    return base.replace(
        exchanger_type=p["exchanger_type"], tube_count=p["tube_count"],
        baffle_count=p["baffle_count"],
        tube_fluid=base.tube_fluid.replace(volumetric_flow=p["tube_flow"]),
        shell_fluid=base.shell_fluid.replace(volumetric_flow=p["shell_flow"]))


def cases_of(base, chunk):
    """The variants of `base` that a chunk of grid() items names, as
    case_of() gives them; each fluid with a given flow is built once (repr
    as the key keeps -0.0 apart from 0.0), which halves the Python time per
    variant."""
    tube, shell = {}, {}
    cases = []
    for p in chunk:
        qt, qs = p["tube_flow"], p["shell_flow"]
        kt, ks = repr(qt), repr(qs)
        if kt not in tube:
            tube[kt] = base.tube_fluid.replace(volumetric_flow=qt)
        if ks not in shell:
            shell[ks] = base.shell_fluid.replace(volumetric_flow=qs)
        cases.append(base.replace(
            exchanger_type=p["exchanger_type"], tube_count=p["tube_count"],
            baffle_count=p["baffle_count"], tube_fluid=tube[kt], shell_fluid=shell[ks]))
    return cases


def variants(base):
    """(parameters, case) for every variant of `base`."""
    for parameters in grid(base):
        yield parameters, case_of(base, parameters)


def table_of(parameters):
    """grid() items as a table: one numpy array per parameter."""
    parameters = list(parameters)
    return {name: numpy.array([p[name] for p in parameters]) for name in PARAMETERS}


def size_of(table):
    return len(next(iter(table.values())))


def rows_of(table):
    """The rows of a table, each a dict of column to value (None where a
    masked array holds none)."""
    columns = [c.tolist() if isinstance(c, numpy.ndarray) else c for c in table.values()]
    return [dict(zip(table, values)) for values in zip(*columns)]


RATED = ["overall_coefficient", "area", "tube_outlet_temperature", "shell_outlet_temperature",
         "shooting_passes"]
ASSESSED = ["duty", "duty_direction", "tube_pressure_drop", "shell_pressure_drop", "warnings"]
# where a document's rating took the streams' properties
PROPERTIES = ["properties_at", "tube_property_temperature", "shell_property_temperature",
              "wall_temperature"]


def assessed(a):
    """The columns of an assessment (none for a variant without one)."""
    if not isinstance(a, hxrate.Assessment):
        return {}
    return {"duty": a.duty, "duty_direction": a.duty_direction,
            "tube_pressure_drop": a.tube_pressure_drop,
            "shell_pressure_drop": a.shell_pressure_drop,
            "warnings": " ".join(sorted({w.code for w in a.warnings}))}


def rate_rows(batch, shooting="exact", all_columns=False):
    """One row per (parameters, case), the whole batch rated by one
    rate_many call and assessed by one assess_many call (no re-rating for a
    grid estimate): the rating's main quantities (all of them with
    all_columns) and the assessment's, or the reason there are none (a
    quantity the rating did not reach is left empty). An object per case,
    rating and assessment: rate_table() gives the main quantities faster."""
    batch = list(batch)
    cases = [case for _, case in batch]
    outcomes = hxrate.rate_many(cases, shooting=shooting)
    assessments = hxrate.assess_many(cases, outcomes, grids=0)
    rows = []
    for (parameters, case), rating, a in zip(batch, outcomes, assessments):
        row = dict(parameters, outcome="rated", check="", message="")
        if isinstance(rating, hxrate.CaseRejected):
            row.update(outcome="rejected", check=rating.check, message=rating.message)
        elif isinstance(rating, hxrate.Error):
            row.update(outcome=type(rating).__name__, message=str(rating))
        elif all_columns:
            row.update(rating.to_dict())
        else:
            row.update((name, getattr(rating, name)) for name in RATED)
        row.update(assessed(a))
        rows.append(row)
    return rows


def document_of(base, case):
    """The document `base` with `case` in place of its own: the same
    extensions, property models and properties_at."""
    return hxrate.CaseDocument(case, **base.extensions, tube_properties=base.tube_properties,
                               shell_properties=base.shell_properties,
                               properties_at=base.properties_at)


def document_row(result, all_columns=False):
    """The columns of one document's rating (an ExchangerRating, or the
    error rate_many() gives in its place), named and filled as
    rate_variants() fills them (a rejection has its partial rating's
    assessment), and where the rating took the properties. A rejection
    names its check; an ExchangerRating holds no message for it."""
    if isinstance(result, hxrate.Error):
        return {"outcome": type(result).__name__, "check": "", "message": str(result)}
    row = {"outcome": "rated" if result.solved else "rejected",
           "check": result.rejected_by or "", "message": ""}
    if result.solved and all_columns:
        row.update(result.rating.to_dict())
    elif result.solved:
        row.update((name, getattr(result.rating, name)) for name in RATED)
    if result.assessment is not None:
        row.update(assessed(result.assessment))
        # the arrangement's warnings too, as the one result lists them
        row["warnings"] = " ".join(sorted({w.code for w in result.warnings}))
    row.update((name, getattr(result, name)) for name in PROPERTIES)
    return row


def rate_documents(base, table, shooting="exact", all_columns=False):
    """The results of the variants of the document `base` that a table of
    parameters names, a column each as rate_table() gives them, with the
    PROPERTIES columns: the variants rated as documents by one rate_many
    call (the assessment without a grid estimate, as rate_variants()
    assesses)."""
    parameters = rows_of({name: table[name] for name in PARAMETERS})
    documents = [document_of(base, case) for case in cases_of(base.case, parameters)]
    results = hxrate.rate_many(documents, shooting=shooting, assess=True, grids=0)
    rows = [document_row(result, all_columns) for result in results]
    columns = ["outcome", "check", "message"] + ([] if all_columns else RATED + ASSESSED)
    for row in rows:
        columns += [k for k in row if k not in columns and k not in PROPERTIES]
    columns += PROPERTIES
    return {k: [row.get(k) for row in rows] for k in columns}


def rate_table(base, table, shooting="exact", all_columns=False):
    """The results of the variants of `base` that a table of parameters
    names, a column each (the parameters not repeated): outcome, check,
    message, the rating's main quantities and the assessment's, as
    rate_variants() gives them, the variants built, rated and assessed in
    the library without an object each. With all_columns every quantity of
    the rating, through rate_rows(): the cases, ratings and assessments as
    objects, at some four times the time. A CaseDocument base is rated as
    documents, by rate_documents()."""
    if isinstance(base, hxrate.CaseDocument):
        return rate_documents(base, table, shooting, all_columns)
    if not all_columns:
        return hxrate.rate_variants(base, {FIELDS[name]: table[name] for name in PARAMETERS},
                                    shooting=shooting, assess=True, grids=0)
    parameters = rows_of({name: table[name] for name in PARAMETERS})
    rows = rate_rows(zip(parameters, cases_of(base, parameters)), shooting, all_columns)
    columns = ["outcome", "check", "message"]
    for row in rows:
        columns += [k for k in row if k not in columns and k not in FIELDS]
    return {k: [row.get(k) for row in rows] for k in columns}


def joined(parameters, parts):
    """The table of parameters with the result columns of its chunks, in order."""
    table = dict(parameters)
    for name in parts[0]:
        pieces = [part[name] for part in parts]
        if isinstance(pieces[0], numpy.ndarray):
            table[name] = numpy.ma.concatenate(pieces)
        else:
            table[name] = [value for piece in pieces for value in piece]
    return table


def chunks(table, size):
    """The table cut into tables of `size` rows (one, empty, for none)."""
    n = size_of(table)
    return [{k: v[i : i + size] for k, v in table.items()} for i in range(0, n, size)] or [table]


def run_serial(base, parameters, shooting="exact", all_columns=False):
    """The table of results of grid() items (or of their table) in this process."""
    table = parameters if isinstance(parameters, dict) else table_of(parameters)
    return joined(table, [rate_table(base, table, shooting, all_columns)])


def rate_packed(base, chunk, shooting, all_columns):
    """rate_table() of a chunk, pickled: Dask serialises a list element by
    element, which for the text columns costs more than pickling the
    whole table once."""
    return pickle.dumps(rate_table(base, chunk, shooting, all_columns),
                        protocol=pickle.HIGHEST_PROTOCOL)


def run_on(client, base, parameters, chunk_size=None, shooting="exact", all_columns=False):
    """The table of results of grid() items (or of their table) rated on a
    Dask client: a task per chunk of `chunk_size` variants (by default two
    chunks per worker thread: a task costs milliseconds of scheduling,
    a variant microseconds of rating), the chunks' parameters (numpy
    arrays) and the base case scattered to the workers beforehand, not
    carried in the task graph; the rows come back in order."""
    table = parameters if isinstance(parameters, dict) else table_of(parameters)
    n = size_of(table)
    threads = sum(w["nthreads"] for w in client.scheduler_info()["workers"].values()) or 1
    # at least one task per worker thread, so that a short study uses them all
    size = -(-n // (2 * threads)) if chunk_size is None else chunk_size
    if -(-n // max(size, 1)) < threads:
        size = -(-n // threads)
    [base_on_cluster] = client.scatter([base], broadcast=True)
    parts = client.scatter(chunks(table, max(size, 1)))
    futures = client.map(rate_packed, [base_on_cluster] * len(parts), parts,
                         shooting=shooting, all_columns=all_columns, pure=False)
    return joined(table, [pickle.loads(part) for part in client.gather(futures)])


def write_csv(table, path):
    """The table as CSV, one row per variant; an empty cell where a value is
    None or masked."""
    columns = [c.tolist() if isinstance(c, numpy.ndarray) else c for c in table.values()]
    with open(path, "w", newline="", encoding="utf-8") as out:
        writer = csv.writer(out)
        writer.writerow(table)
        writer.writerows(zip(*columns))


LAYOUTS = {(1, 0): ("counter-current", "#1f77b4")}
LAYOUTS.update({(3, nb): (f"cross flow, {nb} baffles", colour) for nb, colour in
                ((0, "#ff7f0e"), (2, "#2ca02c"), (4, "#d62728"), (8, "#9467bd"))})


def plot_svg(table, path):
    """U against the shell-side pressure drop of every rated variant of a
    table, one colour per layout, as an SVG picture (log scale for the
    pressure drop, which spans decades): the variants towards the top left
    transfer most heat for the least pumping."""
    points = [(r["shell_pressure_drop"], r["overall_coefficient"],
               (r["exchanger_type"], r["baffle_count"])) for r in rows_of(table)
              if r["outcome"] == "rated" and r.get("shell_pressure_drop")
              and r["shell_pressure_drop"] > 0 and r.get("overall_coefficient") is not None]
    width, height, left, right, top, bottom = 760, 480, 70, 190, 40, 50
    if not points:
        xs, ys = [1.0, 10.0], [0.0, 1.0]
    else:
        xs = [math.log10(x) for x, _, _ in points]
        ys = [y for _, y, _ in points]
    x0, x1 = math.floor(min(xs)), math.ceil(max(xs))
    x1 = max(x1, x0 + 1)
    y1 = max(ys) * 1.05 or 1.0
    px = lambda lx: left + (lx - x0) / (x1 - x0) * (width - left - right)
    py = lambda y: height - bottom - y / y1 * (height - top - bottom)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'font-family="sans-serif" font-size="12">',
           f'<rect width="{width}" height="{height}" fill="white"/>',
           f'<text x="{width / 2 - 60}" y="22" text-anchor="middle" font-size="15">'
           f"Overall coefficient U against shell-side pressure drop ({len(points)} variants)"
           "</text>"]
    for decade in range(x0, x1 + 1):
        x = px(decade)
        out.append(f'<line x1="{x:.1f}" y1="{top}" x2="{x:.1f}" y2="{height - bottom}" '
                   'stroke="#ddd"/>')
        out.append(f'<text x="{x:.1f}" y="{height - bottom + 16}" text-anchor="middle">'
                   f"{10.0 ** decade:g}</text>")
    step = 10 ** math.floor(math.log10(y1 / 2)) if y1 > 0 else 1
    step *= 2 if y1 / step > 10 else 1
    tick = 0.0
    while tick <= y1:
        y = py(tick)
        out.append(f'<line x1="{left}" y1="{y:.1f}" x2="{width - right}" y2="{y:.1f}" '
                   'stroke="#ddd"/>')
        out.append(f'<text x="{left - 6}" y="{y + 4:.1f}" text-anchor="end">{tick:g}</text>')
        tick += step
    out.append(f'<rect x="{left}" y="{top}" width="{width - left - right}" '
               f'height="{height - top - bottom}" fill="none" stroke="black"/>')
    out.append(f'<text x="{(left + width - right) / 2}" y="{height - 12}" '
               'text-anchor="middle">shell-side pressure drop, Pa (log scale)</text>')
    out.append(f'<text transform="translate(18 {(top + height - bottom) / 2}) rotate(-90)" '
               'text-anchor="middle">U, W/(m² K)</text>')
    for x, y, layout in points:
        out.append(f'<circle cx="{px(math.log10(x)):.1f}" cy="{py(y):.1f}" r="2" '
                   f'fill="{LAYOUTS.get(layout, ("", "#555"))[1]}" fill-opacity="0.6"/>')
    for i, (name, colour) in enumerate(LAYOUTS.values()):
        y = top + 10 + 20 * i
        out.append(f'<circle cx="{width - right + 16}" cy="{y}" r="4" fill="{colour}"/>')
        out.append(f'<text x="{width - right + 26}" y="{y + 4}">{html.escape(name)}</text>')
    out.append("</svg>\n")
    with open(path, "w", encoding="utf-8") as picture:
        picture.write("\n".join(out))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--workers", type=int, default=os.cpu_count(),
                        help="local worker processes (one thread each)")
    parser.add_argument("--scheduler", help="address of a running scheduler, tcp://HOST:8786")
    parser.add_argument("--limit", type=int, help="rate only the first LIMIT variants")
    parser.add_argument("--chunk-size", type=int,
                        help="variants per Dask task (default: two tasks per worker thread)")
    parser.add_argument("--shooting", choices=["exact", "case"], default="exact",
                        help="shooting of the counter-current types (default exact)")
    parser.add_argument("--all-columns", action="store_true",
                        help="every quantity of the rating in the CSV, not only the main ones")
    parser.add_argument("--base", default=str(EXAMPLE),
                        help="case file, or case document (JSON) with property models, whose "
                             "variants are rated (default: the shipped example case file)")
    parser.add_argument("-o", "--output", default="sweep.csv", help="CSV file (default sweep.csv)")
    parser.add_argument("--plot", default="sweep.svg",
                        help="SVG picture of U against shell-side pressure drop (default sweep.svg)")
    args = parser.parse_args()
    if args.chunk_size is not None and args.chunk_size < 1:
        parser.error("--chunk-size must be at least 1")

    from dask.distributed import Client, LocalCluster

    base = read_base(args.base)
    parameters = list(grid(base))[: args.limit]
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1,
                               host="127.0.0.1", dashboard_address=None)
        client = Client(cluster)
    start = time.perf_counter()
    table = run_on(client, base, parameters, args.chunk_size, args.shooting, args.all_columns)
    seconds = time.perf_counter() - start
    workers = len(client.scheduler_info()["workers"])
    client.close()
    write_csv(table, args.output)
    plot_svg(table, args.plot)
    outcomes = {}
    for outcome in table["outcome"]:
        outcomes[outcome] = outcomes.get(outcome, 0) + 1
    print(f"{size_of(table)} cases in {seconds:.2f} s on {workers} workers: {outcomes}; "
          f"rows in {args.output}, U against shell-side pressure drop in {args.plot}")
    try:
        import pandas
    except ImportError:
        return
    if not size_of(table):
        return
    frame = pandas.DataFrame(table)
    rated = frame[frame.outcome == "rated"]
    print(rated.groupby("exchanger_type")[["overall_coefficient", "tube_outlet_temperature",
                                          "tube_pressure_drop", "shell_pressure_drop"]].describe().T)

if __name__ == "__main__":
    main()
