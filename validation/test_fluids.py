"""Real fluids: the water model against python3-iapws and the releases'
verification values; the march element by element against the same
equations solved by SciPy; the shipped example's oil as a table in every
mode."""

import pytest

import fluid_studies as F


def need(*modules):
    for m in modules:
        pytest.importorskip(m, reason=f"python3-{m} not installed")


def test_water_agrees_with_iapws_over_the_liquid_grid():
    need("scipy", "iapws")
    w = F.water_against_iapws()
    assert not w["disputed"], "liquid by one and not by the other"
    assert w["compared"] > 200
    assert all(d <= F.WATER_BOUND for d, _, _ in w["worst"].values()), w["worst"]


def test_water_meets_the_verification_tables():
    need("scipy", "iapws")
    rows = F.water_verification_rows()
    for r in rows:
        for value in (r["ours"], r["iapws"]):
            assert value is None or abs(value - r["printed"]) <= r["bound"], r
    assert sum(r["ours"] is not None for r in rows) >= 14


def test_dense_bundle_correlation_is_a_power_law_at_the_example():
    # The form the independent solution takes for the program's shell side.
    assert F.dense_bundle_correlation()["departure"] <= 1e-12


@pytest.mark.parametrize("exchanger_type", [0, 1])
def test_incremental_march_meets_the_independent_solution(exchanger_type):
    need("scipy", "iapws", "fluids")
    s = F.incremental_against_independent(exchanger_type)
    # The tolerance beside the grid's error covers what else separates the two.
    d = F.systematic_difference(exchanger_type)
    assert d["K"] <= F.TOLERANCE_K and d["U"] <= F.TOLERANCE_REL, d
    for name, (distance, bound) in s["checks"].items():
        assert distance <= bound, (name, distance, bound)
    for g in s["grids"][1:]:
        assert F.ORDER[0] <= g["order"] <= F.ORDER[1], g
        assert F.ORDER[0] <= g["U_order"] <= F.ORDER[1], g


@pytest.mark.parametrize("exchanger_type", [0, 1])
def test_each_mode_takes_its_properties_where_it_says(exchanger_type):
    rows = {r["mode"]: r for r in F.property_modes(exchanger_type)}
    assert rows["inlet"]["mean_gap"] == 0 and rows["inlet"]["iterations"] == 0
    # The re-ratings stop when no outlet moves by 1e-6 K.
    assert rows["mean"]["mean_gap"] < 0.5e-6 and 1 <= rows["mean"]["iterations"] < 100
    assert rows["incremental"]["mean_gap"] <= 1e-12
    assert all(r.get("properties_at", "constant") == r["mode"] for r in rows.values())
    if exchanger_type == 0:
        # Both streams enter at the first node: its U is the inlet mode's.
        assert rows["incremental"]["first_node_U"] == rows["inlet"]["U"]
