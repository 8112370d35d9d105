"""Tube-side friction factor and Nusselt number against Colebrook solved
exactly and the Gnielinski form, and the laminar branch against its formula."""

import pytest

pytest.importorskip("fluids", reason="python3-fluids not installed")

import studies  # noqa: E402


def outside(rows, value, bound):
    return [r for r in rows if not abs(r[value]) <= r[bound]]


def test_friction_factor_within_what_the_iteration_leaves():
    rows = studies.turbulent_tube_side()
    assert len(rows) == len(studies.RE_GRID) * len(studies.RELATIVE_ROUGHNESS) * len(studies.PRANDTL)
    assert not outside(rows, "df", "f_bound")


def test_gnielinski_nusselt_with_the_exact_friction_factor():
    assert not outside(studies.turbulent_tube_side(), "dNu", "Nu_bound")


def test_laminar_branch():
    rows = studies.laminar_tube_side()
    assert not outside(rows, "df", "f_bound")
    assert not outside(rows, "dNu", "Nu_bound")
