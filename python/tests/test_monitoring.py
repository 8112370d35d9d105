"""find_fouling from Python: the fouling a rating carried comes back from
its outlets, what no fouling reproduces is a result, and refusals name the
keyword."""

import pytest

import hxrate


def fouled_outlets(case, passes, **fouling):
    rated = hxrate.rate(hxrate.CaseDocument(case, tube_passes=passes, **fouling), assess=False)
    assert rated.solved
    return rated.rating.tube_outlet_temperature, rated.rating.shell_outlet_temperature


@pytest.mark.parametrize("fouling, share, keywords, why", [
    ({"fouling_outside": 4e-4}, None, ("tube_outlet",), "all outside, tube outlet"),
    ({"fouling_inside": 3e-4}, 1.0, ("shell_outlet",), "all inside, shell outlet"),
    ({"fouling_outside": 2e-4}, None, ("tube_outlet", "shell_outlet"), "both outlets"),
])
def test_the_fouling_of_a_rating_comes_back(example, fouling, share, keywords, why):
    document = hxrate.CaseDocument(example, tube_passes=2)
    tube, shell = fouled_outlets(example, 2, **fouling)
    measured = {"tube_outlet": tube, "shell_outlet": shell}
    found = hxrate.find_fouling(document, inside_share=share,
                                **{k: measured[k] for k in keywords})
    assert found.reproduced, why
    di = example.tube_inner_diameter
    do = di + 2 * example.wall_thickness
    total = fouling.get("fouling_outside", 0.0) + fouling.get("fouling_inside", 0.0) * do / di
    assert found.total_fouling == pytest.approx(total, rel=1e-6), why
    assert found.cleanliness_factor == pytest.approx(
        found.service_coefficient / found.clean_coefficient)
    assert found.rating.tube_outlet_temperature == pytest.approx(tube, abs=1e-6)
    assert not found.heat_balance_mismatched


def test_an_outlet_the_clean_exchanger_cannot_reach(example):
    document = hxrate.CaseDocument(example)
    clean, _ = fouled_outlets(example, 1)
    found = hxrate.find_fouling(document, tube_outlet=clean + 1.0)
    assert not found.reproduced
    assert "clean exchanger" in found.message
    assert found.total_fouling == 0.0


def test_a_heat_balance_mismatch_is_reported(example):
    document = hxrate.CaseDocument(example, tube_passes=2)
    tube, shell = fouled_outlets(example, 2, fouling_outside=1e-2)
    shell_in = example.shell_inlet_temperature
    found = hxrate.find_fouling(document, tube_outlet=tube,
                                shell_outlet=shell_in - 1.06 * (shell_in - shell))
    assert found.reproduced and found.heat_balance_mismatched
    assert found.heat_balance_mismatch == pytest.approx(1 / 1.06 - 1)
    assert found.fitted_duty == pytest.approx(
        (found.measured_tube_duty + found.measured_shell_duty) / 2)


@pytest.mark.parametrize("keywords, argument", [
    ({}, "tube_outlet"),
    ({"tube_outlet": 10.0}, "tube_outlet"),
    ({"shell_outlet": 95.0}, "shell_outlet"),
    ({"tube_outlet": 30.0, "inside_share": -0.1}, "inside_share"),
])
def test_refusals_name_the_keyword(example, keywords, argument):
    with pytest.raises(hxrate.InvalidArgument) as refused:
        hxrate.find_fouling(hxrate.CaseDocument(example), **keywords)
    assert refused.value.argument == argument
    assert "Temperature" not in str(refused.value)
