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


def test_the_textbook_design_is_found_within_its_limits_and_smaller_than_the_book():
    s = T.sinnott_search()
    best = s.designs[0]
    assert best["confirmed"] and best["area"] < T.BOOK["area"]
    assert best["duty"] >= s.duty * (1 - 1e-9)
    assert max(best["tube_pressure_drop"], best["shell_pressure_drop"]) <= 70e3
    rated = T.sinnott_book_rated()
    assert rated["solved"] and abs(rated["area"] / T.BOOK["area"] - 1) < 0.02
