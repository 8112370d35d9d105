"""Outlet temperatures against the closed-form effectiveness as the element
length shrinks (axial types), and the limits of the compartment model
(cross-flow types)."""

import pytest

import studies

# The march is explicit (first order): halving dL halves the error.
ORDER = (0.95, 1.05)


@pytest.mark.parametrize("exchanger_type", [0, 1])
def test_axial_march_converges_to_the_closed_form_at_first_order(exchanger_type):
    rows = studies.axial_convergence(exchanger_type)
    errors = [r["error"] for r in rows]
    assert errors == sorted(errors, reverse=True)
    # The coarsest grids are outside the asymptotic range; the rest are not.
    assert all(ORDER[0] <= r["order"] <= ORDER[1] for r in rows[2:])
    assert errors[-1] < 1e-3  # K, at 16384 elements


@pytest.mark.parametrize("exchanger_type", [2, 3])
def test_one_compartment_limit(exchanger_type):
    rows = studies.one_compartment_convergence(exchanger_type)
    assert all(ORDER[0] <= r["order"] <= ORDER[1] for r in rows[2:])
    trend = studies.cross_flow_trend(exchanger_type)
    assert abs(trend[0]["eps"] - trend[0]["eps_one"]) < 1e-4


@pytest.mark.parametrize("exchanger_type", [2, 3])
def test_many_compartments_approach_flow_along_the_tubes(exchanger_type):
    gaps = [abs(r["eps"] - r["eps_many"]) for r in studies.cross_flow_trend(exchanger_type)]
    assert gaps == sorted(gaps, reverse=True)
    assert gaps[-1] < 0.05 * gaps[0]
