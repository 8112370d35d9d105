"""Flow-induced vibration: span frequencies against the beam's closed forms,
the added mass and Connors' critical velocity against their published forms,
the shipped example bundles."""

import pytest

import vibration_studies as V


def test_span_frequencies_meet_the_beam_roots():
    pytest.importorskip("scipy", reason="python3-scipy not installed")
    rows = V.frequency_rows()
    assert len(rows) == len(V.TUBES) * len(V.ENDS) * len(V.SPANS)
    assert all(abs(r["rel"]) <= V.BOUND for r in rows), max(rows, key=lambda r: abs(r["rel"]))
    # The constants themselves: (lambda L)^2 of each end condition.
    assert all(abs(r["factor"] / r["root"] ** 2 - 1) <= V.BOUND for r in rows)


def test_added_mass_and_connors_meet_their_published_forms():
    rows = V.connors_rows()
    assert all(r["rel"] <= V.BOUND for r in rows), max(rows, key=lambda r: r["rel"])
    # Confinement raises the added mass as the pitch closes, in every layout.
    for layout in {r["layout"] for r in rows}:
        cm = [r["Cm"] for r in rows if r["layout"] == layout]
        assert cm == sorted(cm, reverse=True), layout


def test_shipped_examples_one_unstable_one_with_margin():
    pytest.importorskip("scipy", reason="python3-scipy not installed")
    vibrating, supported = V.example_rows()
    assert vibrating["worst"] > 1 and vibrating["codes"] == ["fluid-elastic-instability"]
    assert supported["worst"] < 1 and supported["passes"]
    assert all(abs(s["rel"]) <= V.BOUND for e in (vibrating, supported) for s in e["spans"])
