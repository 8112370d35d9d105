"""Design mode against published values: the layout's tube counts against
Kern's tables, and the search on a textbook design example."""

import search_studies as T


def test_tube_counts_keep_to_their_bands_against_kerns_tables():
    rows = T.tube_count_rows()
    assert len(rows) == 130
    bad = [r for r in rows if not r["low"] <= r["rel"] <= r["high"]]
    assert not bad


def test_kerns_example_bundle_within_three_per_cent():
    assert abs(T.kern_example()["rel"]) <= 0.03
