"""One rating for every exchanger from Python: a CaseDocument in, one
ExchangerRating out, the same as the keyword form and as C++ gives it."""

import struct

import pytest

import hxrate


def bits(x):
    return struct.pack("<d", x)


def test_a_document_without_extensions_is_the_programs_rating(example):
    plain = hxrate.rate(example)
    one = hxrate.rate(hxrate.CaseDocument(example))
    assert one.solved and one.rejected_by is None
    assert bits(one.rating.overall_coefficient) == bits(plain.overall_coefficient)
    assert one.rating.profile.tube.tolist() == plain.profile.tube.tolist()
    assert [w.code for w in one.warnings] == [w.code for w in hxrate.assess(example, plain).warnings]


def test_keywords_build_the_same_document(example):
    document = hxrate.CaseDocument(example, tube_passes=2, fouling_inside=1e-4)
    by_document = hxrate.rate(document)
    by_keywords = hxrate.rate(example, tube_passes=2, fouling_inside=1e-4)
    assert bits(by_document.rating.overall_coefficient) == \
        bits(by_keywords.rating.overall_coefficient)
    # The page's tile and the extensions' figure are one number.
    assert by_document.assessment.tube_pressure_drop == \
        by_document.extended["tube_pressure_drop"]


def test_a_list_of_documents_keeps_each_outcome_in_its_place(example):
    good = hxrate.CaseDocument(example, shells=2, tube_passes=2)
    rejected = hxrate.CaseDocument(example.replace(correction_factor=50), fouling_inside=1e-4)
    odd = hxrate.CaseDocument(example.replace(tube_count=41), tube_passes=2)
    results = hxrate.rate_many([good, rejected, odd])
    assert results[0].solved and results[0].assessment.discretisation_estimate is None
    assert not results[1].solved and results[1].rejected_by is not None
    assert results[1].rejection_message and results[0].rejection_message is None
    assert "slow-shooting" in [w.code for w in results[1].warnings]
    assert isinstance(results[2], hxrate.InvalidArgument), "41 tubes in two passes"


def test_a_text_beyond_any_document_is_refused_before_it_is_copied():
    with pytest.raises(hxrate.InputError, match="larger than a case document can be"):
        hxrate.read_case_document("{" + " " * (16 << 20))
