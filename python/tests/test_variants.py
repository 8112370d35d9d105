"""hxrate.rate_variants: variants of one case named by arrays, rated (and
assessed) as rate_many() and assess_many() rate the list of those cases."""
import textwrap

import numpy
import pytest

import hxrate
from conftest import CASE_FILE, EXAMPLES, interrupt_after_a_second

RATED = ["overall_coefficient", "area", "tube_outlet_temperature", "shell_outlet_temperature",
         "shooting_passes"]

# field: values, one variant per column; each variant's why below
VARIANTS = {
    "exchanger_type": [1, 3, 3, 1, 1, 1],
    "baffle_count": [0, 4, -1, 0, 0, 0],
    "tube_inner_diameter": [0.016, 0.016, 0.016, 0.0, 0.016, 0.016],
    "correction_factor": [0.5, 0.5, 0.5, 0.5, 1e6, 0.5],
    "tube_fluid.volumetric_flow": [1e-3, 2e-3, 1e-3, 1e-3, 1e-3, 4e-3],
}
WHY = ["counter-current", "cross flow, 4 baffles", "rejected before any rating",
       "arithmetic fault: no assessment", "the shooting grows: rejected, assessed with advice",
       "a larger tube flow"]


def expected(base, shooting, assess, grids):
    """The columns as rate_many() and assess_many() give them case by case."""
    cases = []
    for i in range(len(WHY)):
        c = base
        for name, values in VARIANTS.items():
            if name.startswith("tube_fluid."):
                c = c.replace(tube_fluid=c.tube_fluid.replace(volumetric_flow=values[i]))
            else:
                c = c.replace(**{name: values[i]})
        cases.append(c)
    ratings = hxrate.rate_many(cases, shooting=shooting)
    assessments = hxrate.assess_many(cases, ratings, grids=grids) if assess else ratings
    rows = []
    for r, a in zip(ratings, assessments):
        row = {"outcome": "rated", "check": "", "message": ""}
        if isinstance(r, hxrate.CaseRejected):
            row.update(outcome="rejected", check=r.check, message=r.message)
        elif isinstance(r, hxrate.Error):
            row.update(outcome=type(r).__name__, message=str(r))
        row.update((k, None if isinstance(r, hxrate.Error) else getattr(r, k)) for k in RATED)
        if assess:
            seen = isinstance(a, hxrate.Assessment)
            row.update(duty=a.duty if seen else None,
                       duty_direction=a.duty_direction if seen else None,
                       tube_pressure_drop=a.tube_pressure_drop if seen else None,
                       shell_pressure_drop=a.shell_pressure_drop if seen else None,
                       warnings=" ".join(sorted({w.code for w in a.warnings})) if seen else None)
        rows.append(row)
    return rows


def rows(columns):
    shown = [c.tolist() if isinstance(c, numpy.ndarray) else c for c in columns.values()]
    return [dict(zip(columns, values)) for values in zip(*shown)]


@pytest.mark.parametrize("shooting, assess, grids", [
    ("exact", True, 0), ("case", True, 2), ("case", False, 2)])
def test_equals_rate_many_and_assess_many(example, shooting, assess, grids):
    variants = {name: numpy.array(values) for name, values in VARIANTS.items()}
    before = example.replace()
    got = rows(hxrate.rate_variants(example, variants, shooting=shooting, assess=assess,
                                    grids=grids))
    assert example == before
    for why, row, want in zip(WHY, got, expected(example, shooting, assess, grids)):
        assert row == want, why
    outcomes = [row["outcome"] for row in got]
    assert outcomes[2:4] == ["rejected", "ArithmeticFault"]
    assert outcomes[4] == ("rejected" if shooting == "case" else "rated")
    if assess:
        assert got[3]["warnings"] is None and got[0]["warnings"] is not None


@pytest.mark.parametrize("variants, error, match", [
    ({}, ValueError, "at least one"),
    ({"tube_cont": [40]}, ValueError, r"'tube_cont'.*CASE_FIELDS"),
    ({"wall_material": ["steel"]}, TypeError, "name does not vary"),
    ({"tube_count": [40, 44], "baffle_count": [0]}, ValueError, "one length"),
    ({"tube_count": [40, 44.5]}, ValueError, r"'tube_count'\]\[1\] must be a whole number"),
    ({"tube_count": [2**31]}, ValueError, r"\[0\] does not fit a 32-bit integer"),
    ({"tube_count": numpy.array([2**63], dtype=numpy.uint64)}, ValueError, "32-bit"),
    ({"tube_length": [3.0, float("nan")]}, ValueError, r"\[1\] must be finite"),
    ({"tube_count": [True]}, TypeError, "real numbers"),
    ({"tube_count": [[40]]}, ValueError, "one-dimensional"),
    ({"tube_count": ["40"]}, TypeError, "real numbers"),
])
def test_refuses_what_case_replace_refuses(example, variants, error, match):
    with pytest.raises(error, match=match):
        hxrate.rate_variants(example, variants)


def test_no_variants_gives_empty_columns(example):
    columns = hxrate.rate_variants(example, {"tube_count": []}, assess=True)
    assert all(len(c) == 0 for c in columns.values()) and "warnings" in columns


# A counter-current variant of a million elements at a small correction
# factor shoots for minutes; the test stops it after a moment.
LONG_VARIANTS = textwrap.dedent("""
    import sys, time, hxrate
    base = hxrate.read_case(sys.argv[1])
    print("started", flush=True)
    start = time.monotonic()
    try:
        hxrate.rate_variants(base, {"element_length": [3.0e-6, 3.0e-6],
                                    "correction_factor": [0.00043, 0.00043]}, assess=True)
        print("finished", flush=True)
    except KeyboardInterrupt:
        print("interrupted", time.monotonic() - start, flush=True)
""")


def test_ctrl_c_stops_it_within_a_second():
    example = str(EXAMPLES / "water-oil" / CASE_FILE)
    out, waited, status = interrupt_after_a_second(LONG_VARIANTS, example)
    assert out.startswith("interrupted"), out
    assert status == 0 and waited < 1.0, (status, waited)
