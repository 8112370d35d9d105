"""The duties of the two streams of every successful end-to-end case."""

import studies


def test_duties_agree():
    rows = studies.energy_balance()
    assert len(rows) == len(studies.success_cases())
    for r in rows:
        if r["rel"] is None:
            assert r["note"], r  # a duty that does not exist is explained
        else:
            assert r["rel"] <= r["bound"], r


def test_co_current_cases_balance_to_rounding():
    rows = [r for r in studies.energy_balance() if r["type"] in (0, 2) and r["rel"] is not None]
    assert rows and max(r["rel"] for r in rows) <= 1e-9
