"""The report's pressure drops: tube side against fluids' one-phase drop,
shell side against Kern's method with the friction factor from his chart."""

import pytest

pytest.importorskip("fluids", reason="python3-fluids not installed")

import studies  # noqa: E402

if studies.report_executable() is None:
    pytest.skip("hxrate-report not built (HXRATE_REPORT names no executable)",
                allow_module_level=True)


def test_tube_side_darcy_weisbach():
    rows = studies.tube_pressure_drop()
    assert {r["source"] for r in rows} == {"model-laminar", "model-colebrook"}
    bad = [r for r in rows if not abs(r["rel"]) <= r["bound"]]
    assert not bad, bad


def test_kern_estimate_against_the_chart():
    k = studies.kern_comparison()
    assert k["method"] == "kern"
    assert abs(k["rel"]) <= k["bound"], k
