"""hxrate.assess: the library's assessment of a rating, as Python sees it."""
import pathlib

import pytest

import hxrate
from conftest import EXAMPLE_TEXT, example_text_with

REPORT_DATA = pathlib.Path(__file__).resolve().parents[2] / "tests" / "tools" / "report_data"


def _assess(text, **options):
    case = hxrate.parse_case(text)
    try:
        rating = hxrate.rate(case)
    except hxrate.CaseRejected as rejected:
        rating = rejected
    return hxrate.assess(case, rating, text=text, **options)


@pytest.mark.parametrize(
    "name, code, severity",
    [
        ("decimal-comma", "decimal-comma", "error"),  # 3,5 read as 3
        ("unit-scale", "unit-scale", "error"),  # lengths typed in millimetres
        ("tube-overlap", "tube-overlap", "error"),  # pitch below the tube diameter
    ],
)
def test_small_cases_give_their_warning_codes(name, code, severity):
    a = _assess((REPORT_DATA / f"{name}.txt").read_text(), grids=0)
    found = [w for w in a.warnings if w.code == code]
    assert found, [w.code for w in a.warnings]
    assert found[0].severity == severity
    assert 1 <= found[0].case_line <= 21
    assert found[0].message and found[0].values


def test_a_case_keeps_its_text(tmp_path):
    """assess checks the text a case was read from without being handed it again."""
    text = (REPORT_DATA / "decimal-comma.txt").read_text()
    path = tmp_path / "case.txt"
    path.write_text(text)

    def codes(case, **options):
        return [w.code for w in hxrate.assess(case, hxrate.rate(case), grids=0, **options).warnings]

    for case in (hxrate.parse_case(text), hxrate.read_case(path)):
        assert "decimal-comma" in codes(case)
        assert "decimal-comma" in codes(case, text=text)
        clean = (REPORT_DATA / "clean.txt").read_text()
        assert "decimal-comma" not in codes(case, text=clean), "the text handed over wins"
        assert "decimal-comma" not in codes(case.replace(tube_length=3.5)), "changed since"
        assert case == hxrate.parse_case(text.replace("3,5", "3  "))


def test_results_of_the_example():
    case = hxrate.parse_case(EXAMPLE_TEXT)
    rating = hxrate.rate(case)
    a = hxrate.assess(case, rating, grids=0)
    # Water heated by oil: the tube stream takes heat up.
    assert a.duty == pytest.approx(abs(rating.tube_duty))
    assert a.duty > 0 and a.duty_direction == "tube stream heated"
    assert 0 < a.effectiveness < 1 and a.ntu > 0 and 0 < a.capacity_ratio <= 1
    assert a.tube_pressure_drop > 0 and a.shell_pressure_drop > 0
    assert a.tube_pressure_drop_method == "darcy-weisbach"
    assert a.warnings == [] or all(w.code != "correlation-switch" for w in a.warnings)


def test_a_rejection_forms_no_results_and_a_switch_warns():
    rejected = _assess((REPORT_DATA / "rejected-tube-reynolds.txt").read_text(), grids=0)
    assert rejected.duty is None and rejected.effectiveness is None
    assert rejected.tube_pressure_drop is None and rejected.shell_pressure_drop is None
    for tubes in ("27", "28"):
        a = _assess(example_text_with(line_8=tubes), grids=0)
        assert "correlation-switch" in [w.code for w in a.warnings], tubes


def test_wrong_arguments():
    case = hxrate.parse_case(EXAMPLE_TEXT)
    with pytest.raises(TypeError):
        hxrate.assess(case, 3.0)
    with pytest.raises(ValueError):
        hxrate.assess(case, hxrate.rate(case), grids=5)


@pytest.mark.parametrize("change, why", [
    ({"exchanger_type": 0}, "another type, same grid and streams"),
    ({"tube_count": 41}, "another bundle"),
    ({"shell_inlet_temperature": 91.0}, "another inlet"),
    ({"correction_factor": 0.4}, "the same exchanger shot otherwise: not the rating's case"),
])
def test_a_rating_of_another_case_is_refused(change, why):
    case = hxrate.parse_case(EXAMPLE_TEXT)
    other = case.replace(**change)
    rating = hxrate.rate(case)
    with pytest.raises(hxrate.InvalidArgument, match="not one of the case given") as refused:
        hxrate.assess(other, rating, grids=0)
    assert isinstance(refused.value, ValueError) and refused.value.argument == "rating", why
    rejected = hxrate.rate_many([case.replace(correction_factor=1e6)])[0]
    assert isinstance(rejected, hxrate.CaseRejected)
    with pytest.raises(hxrate.InvalidArgument):
        hxrate.assess(other.replace(correction_factor=1e6 + 1), rejected, grids=0)
    # Item by item in a list: the refusal in the item's place.
    got = hxrate.assess_many([case, other, case], [rating, rating, rejected], grids=0)
    assert [type(a) for a in got] == [hxrate.Assessment, hxrate.InvalidArgument,
                                      hxrate.InvalidArgument], why
    assert got[1].argument == "rating"


@pytest.mark.parametrize("wall_viscosity, corrected", [
    (None, False),  # no mu_w: Kern's drop alone, no correction formed
    (0.02, True),   # oil at 0.08 Pa s, thinner at the hot wall: phi_s above 1, the drop lowered
])
def test_kern_wall_viscosity_correction(wall_viscosity, corrected):
    text = (REPORT_DATA / "cross-flow.txt").read_text()
    a = _assess(text, shell_wall_viscosity=wall_viscosity)
    assert a.shell_pressure_drop_method == "kern"
    assert (a.viscosity_correction is not None) == corrected
    if corrected:
        assert a.viscosity_correction > 1
        assert a.corrected_pressure_drop == a.shell_pressure_drop / a.viscosity_correction
    else:
        assert a.corrected_pressure_drop is None
    case = hxrate.parse_case(text)
    [many] = hxrate.assess_many([case], [hxrate.rate(case)], grids=0,
                                shell_wall_viscosity=wall_viscosity)
    assert many.corrected_pressure_drop == a.corrected_pressure_drop


def test_wall_viscosity_must_be_above_zero():
    with pytest.raises(ValueError, match="shell_wall_viscosity"):
        _assess(EXAMPLE_TEXT, shell_wall_viscosity=0.0)


def test_pass_limit_and_exchanger_type_codes_documented():
    assert hxrate.DEFAULT_PASS_LIMIT == 10000
    assert "1 counter-current" in hxrate.Case.exchanger_type.__doc__
