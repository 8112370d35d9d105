"""Exact shooting against the program's shooting on every counter-current
success case."""

import studies


def test_profiles_agree_within_the_shooting_tolerance():
    rows = studies.shooting_agreement()
    assert rows
    bad = [r for r in rows if not r["diff"] <= r["bound"]]
    assert not bad, bad
