import json
import math
import os
import pickle
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import hxrate
from conftest import CASE_FILE, EXAMPLES, RESULTS_FILE, example_text_with

CORRELATIONS = {
    None, "laminar-duct", "turbulent-duct", "single-cylinder", "inline-bank",
    "staggered-bank", "axial-bundle", "sparse-laminar", "sparse-turbulent",
}


@pytest.mark.parametrize(
    "lines, why",
    [
        ({}, "the shipped example, counter-current along the tubes"),
        ({"line_1": "0"}, "co-current along the tubes"),
        ({"line_1": "2", "line_11": "4"}, "cross flow co-current, four baffles"),
        ({"line_1": "3", "line_11": "4"}, "cross flow counter-current: shooting per compartment"),
    ],
)
def test_report_is_the_programs_byte_for_byte(tmp_path, lines, why):
    exe = os.environ.get("HXRATE_EXE")
    if not exe:
        pytest.skip("HXRATE_EXE (the built hxrate program) not set")
    text = example_text_with(**lines)
    (tmp_path / CASE_FILE).write_text(text)
    subprocess.run([exe], cwd=tmp_path, check=True, stdin=subprocess.DEVNULL)
    expected = (tmp_path / RESULTS_FILE).read_bytes()
    rating = hxrate.rate(hxrate.parse_case(text))
    assert rating.results_report().encode() == expected, why


def test_rating_holds_every_quantity_of_the_example(example):
    r = hxrate.rate(example)
    assert r.stage == "solved"
    assert r.case == example
    assert r.geometry.element_count == 30 and r.geometry.compartment_count == 1
    assert len(r.profile) == 31
    assert r.tube.correlation == "turbulent-duct" and r.tube.friction is not None
    assert r.shell.correlation == "axial-bundle"
    assert r.conductance_per_length == 1 / r.resistance_per_length
    # the report's node table is the profile
    assert r.profile.tube[-1] == r.tube_outlet_temperature
    assert r.profile.location[0] == 0.0
    # energy balance (both duties count heat leaving the tube stream): the
    # shooting closes it to well within the change over one element
    assert r.tube_duty is not None and r.shell_duty is not None
    assert r.tube_duty < 0 and math.isclose(r.tube_duty, r.shell_duty, rel_tol=1e-4)


@pytest.mark.parametrize(
    "changes, check, message, stage",
    [
        ({"baffle_count": -1}, "baffle-count-minus-one", "Baffle count of -1 is not allowed", "started"),
        ({"exchanger_type": 7}, "exchanger-selection", "Please insert correct exchanger selection", "resistance"),
        ({"correction_factor": 50.0}, "shooting-grows", "Reduce correction factor", "resistance"),
        ({"shell_inner_diameter": 0.05}, "tubing-fit", "Tubing does not fit into shell", "started"),
        ({"exchanger_type": 2, "bundle_arrangement": 5}, "cross-flow-arrangement",
         "Select correct tube bundle arrangement", "tube-side"),
    ],
)
def test_case_rejected_carries_check_message_and_partial(example, changes, check, message, stage):
    with pytest.raises(hxrate.CaseRejected) as caught:
        hxrate.rate(example.replace(**changes))
    e = caught.value
    assert (e.check, e.message, e.code, str(e)) == (check, message, 0, message)
    assert isinstance(e, hxrate.Error) and isinstance(e, RuntimeError)
    assert e.partial.stage == stage
    assert e.partial.case == example.replace(**changes)
    with pytest.raises(ValueError, match="solved"):
        e.partial.results_report()


def test_pass_limit_rejects_when_used_up(example):
    assert hxrate.rate(example).shooting_passes == 10
    with pytest.raises(hxrate.CaseRejected) as caught:
        hxrate.rate(example, pass_limit=2)
    assert caught.value.check == "shooting-limit"


@pytest.mark.parametrize("limit", [0, -1, -2**31])
@pytest.mark.parametrize("call", [
    lambda c, limit: hxrate.rate(c, pass_limit=limit),
    lambda c, limit: hxrate.rate_many([c], pass_limit=limit),
    lambda c, limit: hxrate.analyse_shooting(c, pass_limit=limit),
    lambda c, limit: hxrate.rate_extended(c, fouling_inside=1e-4, pass_limit=limit),
])
def test_a_pass_limit_below_one_is_a_value_error(example, call, limit):
    with pytest.raises(ValueError, match="pass_limit must be at least 1"):
        call(example, limit)


def test_exact_shooting_lands_in_a_few_passes_on_the_same_profile(example):
    by_factor = hxrate.rate(example)
    exact = hxrate.rate(example, shooting="exact")
    assert exact.shooting_passes <= 3 < by_factor.shooting_passes
    np.testing.assert_allclose(exact.profile.shell, by_factor.profile.shell, rtol=1e-5)
    # the exact shooting does not need a workable correction factor
    assert hxrate.rate(example.replace(correction_factor=50.0), shooting="exact").stage == "solved"


def test_analyse_shooting_predicts_the_exact_answer(example):
    m = hxrate.analyse_shooting(example)
    r = hxrate.rate(example, shooting="exact")
    assert m.conductance_per_length == r.conductance_per_length
    # the start whose pass ends at the shell inlet temperature is the shell
    # outlet the exact shooting finds
    ts_in = example.shell_inlet_temperature
    start = ts_in + m.first_mismatch / m.slope
    assert math.isclose(start, r.profile.shell[0], rel_tol=1e-9)


@pytest.mark.parametrize(
    "changes, quantity, fault, code",
    [
        ({"tube_inner_diameter": 0.0}, "wall term ln(Do/Di)/kw", "division-by-zero", 20),
        ({"tube_length": 1e12, "element_length": 1e-3}, "element count L/dL", "integer-conversion", 23),
    ],
)
def test_arithmetic_fault_names_the_quantity(example, changes, quantity, fault, code):
    with pytest.raises(hxrate.ArithmeticFault) as caught:
        hxrate.rate(example.replace(**changes))
    e = caught.value
    assert (e.quantity, e.fault, e.code) == (quantity, fault, code)
    assert quantity in str(e)


def test_grid_too_large_is_a_resource_error(example):
    with pytest.raises(hxrate.ResourceError) as caught:
        hxrate.rate(example.replace(tube_length=1e9, element_length=1.0))
    assert caught.value.code == 30


@pytest.mark.parametrize(
    "text, code, case_line, line, column, bad_text",
    [
        ("1 1\n2 x\n", 12, 2, 2, 3, "x"),
        ("1 1\n2 0.016\n", 11, 3, 0, 0, ""),
        (example_text_with(line_8="40.5"), 12, 8, 8, 3, "40.5"),
    ],
)
def test_input_error_fields(text, code, case_line, line, column, bad_text):
    with pytest.raises(hxrate.InputError) as caught:
        hxrate.parse_case(text, source_name="sweep.txt")
    e = caught.value
    got = (e.code, e.case_line, e.line, e.column, e.text)
    assert got[: 2] == (code, case_line)
    if line:
        assert got[2:] == (line, column, bad_text)
        assert e.file == "sweep.txt"
    assert e.reason and e.reason in str(e)


def test_missing_case_file_is_an_input_error(tmp_path):
    with pytest.raises(hxrate.InputError) as caught:
        hxrate.read_case(tmp_path / "none.txt")
    assert caught.value.code == 10
    assert caught.value.file == str(tmp_path / "none.txt")


def test_parse_case_takes_bytes_and_text_alike():
    text = example_text_with()
    assert hxrate.parse_case(text.encode()) == hxrate.parse_case(text)


def test_profile_arrays_are_read_only_views(example):
    r = hxrate.rate(example)
    first, second = r.profile, r.profile
    for name in ("location", "tube", "shell"):
        a, b = getattr(first, name), getattr(second, name)
        assert a.dtype == np.float64 and a.shape == (31,)
        assert not a.flags.owndata and np.shares_memory(a, b), "a copy, not a view"
        assert not a.flags.writeable
        with pytest.raises(ValueError):
            a[0] = 1.0
        with pytest.raises(ValueError):
            a.setflags(write=True)
    # a view keeps its rating alive
    tube = r.profile.tube
    expected = tube.copy()
    del r, first, second
    np.testing.assert_array_equal(tube, expected)


def test_to_dict_round_trips_through_json(example):
    r = hxrate.rate(example)
    row = r.to_dict()
    assert json.loads(json.dumps(row)) == row
    assert all(type(v) in (int, float, str, type(None)) for v in row.values())
    assert row["tube_correlation"] in CORRELATIONS and row["shell_correlation"] in CORRELATIONS
    assert row["overall_coefficient"] == r.overall_coefficient
    assert row["shell_velocity"] == r.shell.velocity
    full = r.to_dict(profile=True)
    assert json.loads(json.dumps(full)) == full
    assert full["tube"] == r.profile.tube.tolist()


def test_rejected_partial_rating_row_round_trips(example):
    with pytest.raises(hxrate.CaseRejected) as caught:
        hxrate.rate(example.replace(exchanger_type=2, bundle_arrangement=5))
    row = caught.value.partial.to_dict()
    assert json.loads(json.dumps(row)) == row
    assert row["shell_correlation"] is None and row["shell_friction"] is None


def test_pickling_keeps_cases_ratings_and_errors(example):
    r = hxrate.rate(example)
    assert pickle.loads(pickle.dumps(example)) == example
    back = pickle.loads(pickle.dumps(r))
    assert back.to_dict(profile=True) == r.to_dict(profile=True)
    assert back.results_report() == r.results_report()
    try:
        hxrate.rate(example.replace(baffle_count=-1))
    except hxrate.CaseRejected as e:
        again = pickle.loads(pickle.dumps(e))
    assert (again.check, again.message, again.partial.stage) == (
        "baffle-count-minus-one", "Baffle count of -1 is not allowed", "started")


def test_threads_give_the_serial_results(example):
    cases = [example.replace(tube_count=n) for n in range(20, 60)]
    serial = [hxrate.rate(c).to_dict(profile=True) for c in cases]
    with ThreadPoolExecutor(4) as pool:
        threaded = list(pool.map(lambda c: hxrate.rate(c).to_dict(profile=True), cases))
    assert threaded == serial


def test_rate_many_gives_ratings_and_errors_in_place(example):
    cases = [example, example.replace(correction_factor=50.0), example.replace(tube_count=30)]
    results = hxrate.rate_many(cases)
    assert [type(r) for r in results] == [hxrate.Rating, hxrate.CaseRejected, hxrate.Rating]
    assert results[0].to_dict(profile=True) == hxrate.rate(example).to_dict(profile=True)
    assert results[1].check == "shooting-grows" and results[1].partial.case == cases[1]
    assert hxrate.rate_many([]) == []
    with pytest.raises(TypeError):
        hxrate.rate_many([example, "not a case"])


@pytest.mark.parametrize(
    "args, status, expect",
    [
        ([], 0, "Counter-current Single-pass Heat Exchanger"),
        (["--json"], 0, '"stage": "solved"'),
    ],
)
def test_command_line_summary(args, status, expect):
    from conftest import EXAMPLES

    done = subprocess.run([sys.executable, "-m", "hxrate", str(EXAMPLES / "water-oil"), *args],
                          capture_output=True, text=True)
    assert done.returncode == status, done.stderr
    assert expect in done.stdout
    if "--json" in args:
        assert json.loads(done.stdout)["shooting_passes"] == 10


@pytest.mark.parametrize("limit", ["0", "-1", "x"])
def test_command_line_refuses_a_pass_limit_below_one(limit):
    done = subprocess.run([sys.executable, "-m", "hxrate", str(EXAMPLES / "water-oil"),
                           "--pass-limit", limit],
                          capture_output=True, text=True)
    assert done.returncode == 2 and "--pass-limit" in done.stderr, done.stderr
    assert "Traceback" not in done.stderr


def test_command_line_rejected_and_unreadable(tmp_path):
    (tmp_path / CASE_FILE).write_text(example_text_with(line_11="-1"))
    done = subprocess.run([sys.executable, "-m", "hxrate", str(tmp_path), "--json"],
                          capture_output=True, text=True)
    assert done.returncode == 2
    assert json.loads(done.stdout)["rejected"] == "baffle-count-minus-one"
    done = subprocess.run([sys.executable, "-m", "hxrate", str(tmp_path / "none.txt")],
                          capture_output=True, text=True)
    assert done.returncode == 1 and "none.txt" in done.stderr
