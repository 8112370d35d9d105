"""The design closed forms against their published values, the Bell-Delaware
worked example's invariants, and the program's own shell side against the
published forms it abbreviates."""

import math

import pytest

import design_studies as D


def test_pntu_and_f_meet_published_values():
    bad = [r for r in D.pntu_rows() if not abs(r["rel"]) <= r["bound"]]
    assert not bad


def test_bell_delaware_factors_meet_published_values():
    bad = [r for r in D.bell_factor_rows() if not abs(r["rel"]) <= r["bound"]]
    assert not bad


def test_worked_example_is_the_ideal_bank_times_its_factors():
    full, ideal = D.worked_example()
    product = full["jc"] * full["jl"] * full["jb"] * full["js"] * full["jr"]
    assert math.isclose(full["coefficient"], ideal["coefficient"] * product, rel_tol=1e-12)
    assert ideal["coefficient"] == ideal["ideal_coefficient"]
    assert full["pressure_drop"] < ideal["pressure_drop"]


def test_program_shell_side_differs_from_the_published_forms_as_stated():
    bank, cylinder = D.shell_side_rows()
    # The values stated for the program, to their printed digits.
    assert abs(bank["ours"] - bank["expected_here"]) <= 5e-4
    assert abs(cylinder["ours"] - cylinder["expected_here"]) <= 5e-3
    # The full Churchill-Bernstein form written out gives the published value.
    assert abs(cylinder["full_form"] - cylinder["published"]) <= 5e-4
    # And the differences are the abbreviations, not something else: the
    # bracket alone accounts for the cylinder's (up to the program's
    # single-precision constants and its exponent 0.3334 for 1/3: 1e-4).
    bracket = (1 + (cylinder["Re"] / 282000) ** (5 / 8)) ** (4 / 5)
    assert math.isclose(cylinder["full_form"] - 0.3, (cylinder["ours"] - 0.3) * bracket, rel_tol=1e-4)


def test_tube_passes_meet_kern_and_their_definitions():
    pytest.importorskip("fluids", reason="python3-fluids not installed")
    t = D.tube_pass_rows()
    assert abs(t["ret"] / t["ret_kern"] - 1) <= D.KERN_RETURN_BOUND
    assert abs(t["head_water_psi"] / D.KERN_VELOCITY_HEAD_PSI - 1) <= D.KERN_RETURN_BOUND
    # The definitions written out; the program's pi is single precision.
    assert abs(t["velocity"] / t["velocity_hand"] - 1) <= 1e-7
    assert abs(t["ret"] / t["ret_hand"] - 1) <= 1e-7
    assert abs(t["friction"] / t["friction_hand"] - 1) <= t["friction_bound"]
    assert t["total"] == t["ret"] + t["friction"]


def test_allowable_fouling_is_its_definition():
    rows = D.allowable_fouling_rows()
    assert not [r for r in rows if (r["hand"] is None) != (r["ours"] is None)]
    assert not [r for r in rows if not abs(r["rel"]) <= r["bound"]]
