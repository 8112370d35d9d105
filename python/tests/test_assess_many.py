"""hxrate.assess_many: a list assessed in one call, item by item as assess() does."""
import pathlib

import pytest

import hxrate
from conftest import EXAMPLE_TEXT, example_text_with

REPORT_DATA = pathlib.Path(__file__).resolve().parents[2] / "tests" / "tools" / "report_data"


def _seen(a):
    """What a user reads of an assessment, exact."""
    return (a.duty, a.duty_direction, a.effectiveness, a.ntu, a.capacity_ratio, a.lmtd,
            a.tube_pressure_drop, a.shell_pressure_drop, a.tube_pressure_drop_method,
            a.shell_pressure_drop_method, a.advised_factor, a.discretisation_estimate,
            [(w.code, w.severity, w.case_line, w.message, w.values) for w in a.warnings])


TEXTS = [
    (EXAMPLE_TEXT, "solved"),
    ((REPORT_DATA / "rejected-tube-reynolds.txt").read_text(), "rejected: its partial rating"),
    (example_text_with(line_8="28"), "near a correlation switch: warns"),
    (example_text_with(line_1="0", line_5="0.0"), "arithmetic fault: nothing to assess"),
    (example_text_with(line_21="1e6"), "the shooting grows: rejected, advice formed"),
]


@pytest.mark.parametrize("grids", [0, 2])
def test_equals_assess_item_by_item(grids):
    cases = [hxrate.parse_case(text) for text, _ in TEXTS]
    ratings = hxrate.rate_many(cases)
    got = hxrate.assess_many(cases, ratings, grids=grids)
    assert len(got) == len(cases)
    for (_, why), case, rating, a in zip(TEXTS, cases, ratings, got):
        if isinstance(rating, hxrate.CaseRejected) or not isinstance(rating, hxrate.Error):
            assert isinstance(a, hxrate.Assessment), why
            assert _seen(a) == _seen(hxrate.assess(case, rating, grids=grids)), why
        else:
            assert a is None, why
    assert isinstance(ratings[1], hxrate.CaseRejected) and got[1].duty is None
    assert got[0].duty > 0 and got[0].duty_direction == "tube stream heated"


def test_wrong_arguments_raise_before_any_work():
    case = hxrate.parse_case(EXAMPLE_TEXT)
    rating = hxrate.rate(case)
    assert hxrate.assess_many([case, case], [None, rating])[0] is None
    assert hxrate.assess_many([], []) == []
    with pytest.raises(ValueError, match="one rating per case"):
        hxrate.assess_many([case], [rating, rating])
    with pytest.raises(TypeError, match=r"ratings\[1\]"):
        hxrate.assess_many([case, case], [rating, 3.5])
    with pytest.raises(TypeError):
        hxrate.assess_many([case, "not a case"], [rating, rating])
    with pytest.raises(ValueError, match="grids"):
        hxrate.assess_many([case], [rating], grids=1)
    with pytest.raises(ValueError, match="shooting"):
        hxrate.assess_many([case], [rating], shooting="never")
