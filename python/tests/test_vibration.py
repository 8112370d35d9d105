"""The flow-induced vibration screening from Python: the shipped example
bundles, the input refused by its field, the screening beside the rating."""

import pickle

import pytest

import hxrate
from conftest import EXAMPLES


def document(name):
    return hxrate.read_case_document(EXAMPLES / "vibration" / f"{name}.json")


@pytest.mark.parametrize("name, worst_span, ratio, codes, passes", [
    # Seven baffles: the window tubes' 0.75 m spans are unstable.
    ("vibrating", "window central", 2.3482, ["fluid-elastic-instability"], False),
    # Eleven baffles: the window tubes' central spans are the weakest, with margin.
    ("supported", "window central", 0.6958, [], True),
])
def test_example_bundles(name, worst_span, ratio, codes, passes):
    result = hxrate.rate(document(name))
    s = result.vibration
    assert s.spans[s.worst_span].name == worst_span
    assert s.worst_velocity_ratio == pytest.approx(ratio, abs=1e-4)
    assert s.worst_velocity_ratio == max(span.velocity_ratio for span in s.spans)
    assert [w.code for w in s.warnings] == codes and s.passes is passes
    assert set(codes) <= {w.code for w in result.warnings}
    assert s.material == "stainless-steel" and s.acoustic is None


def test_the_screening_alone_is_the_ratings():
    d = document("vibrating")
    alone = hxrate.screen_vibration(d.case, d.extensions, d.vibration)
    assert alone.worst_velocity_ratio == hxrate.rate(d).vibration.worst_velocity_ratio
    assert hxrate.screen_vibration(d).worst_velocity_ratio == alone.worst_velocity_ratio
    # The keyword form of rate() builds the same document.
    by_keyword = hxrate.rate(d.case, vibration=d.vibration, assess=False).vibration
    assert by_keyword.worst_velocity_ratio == alone.worst_velocity_ratio
    assert pickle.loads(pickle.dumps(d)).vibration == d.vibration
    with pytest.raises(TypeError):
        hxrate.screen_vibration(d, input=d.vibration)


@pytest.mark.parametrize("keyword, value, field", [
    ("log_decrement", -0.01, "vibration.log_decrement"),
    ("log_decrement", 7.0, "vibration.log_decrement"),  # beyond critical damping
    ("elastic_modulus", float("inf"), "vibration.elastic_modulus"),
    ("tube_density", float("nan"), "vibration.tube_density"),
    ("allowed_gap_fraction", 1.5, "vibration.allowed_gap_fraction"),
    ("heat_capacity_ratio", 1.0, "vibration.heat_capacity_ratio"),
    ("velocity_ratio_limit", 10**400, "vibration.velocity_ratio_limit"),
    ("material", "brass", "vibration.material"),
    ("shell_phase", "steam", "vibration.shell_phase"),
])
def test_bad_input_is_refused_by_its_field(keyword, value, field):
    with pytest.raises(hxrate.InvalidArgument) as info:
        hxrate.VibrationInput(**{keyword: value})
    assert info.value.argument == field and field in str(info.value)


def test_a_value_that_is_not_a_number_is_a_type_error():
    with pytest.raises(TypeError, match="vibration.connors_constant"):
        hxrate.VibrationInput(connors_constant="3")
    with pytest.raises(TypeError, match="vibration"):
        hxrate.CaseDocument(document("vibrating").case, vibration={"material": "copper"})


def test_an_axial_flow_case_is_not_screened(example):
    assert example.exchanger_type == 1
    assert hxrate.rate(hxrate.CaseDocument(example)).vibration is None
    with pytest.raises(hxrate.InvalidArgument) as info:
        hxrate.screen_vibration(example)
    assert info.value.argument == "case.exchanger_type"


def test_a_gas_gives_its_acoustic_modes_as_a_read_only_view():
    d = document("vibrating")
    given = hxrate.VibrationInput(shell_phase="gas", speed_of_sound=340.0)
    acoustic = hxrate.screen_vibration(d.case, d.extensions, given).acoustic
    modes = acoustic.modes
    del acoustic
    assert not modes.flags.writeable and len(modes) == 4
    assert modes.tolist() == pytest.approx([n * modes[0] for n in (1, 2, 3, 4)], rel=1e-15)


def test_materials_are_the_documents():
    d = document("vibrating")
    for m in hxrate.TubeMaterial.__members__.values():
        by_name = hxrate.tube_material_properties(m.document_name)
        assert by_name.elastic_modulus == hxrate.tube_material_properties(m).elastic_modulus
        d.vibration = hxrate.VibrationInput(material=m.document_name)
        assert d.vibration.material == m
        # Short names ("copper") too read back from the document.
        assert hxrate.read_case_document(hxrate.case_document_json(d)).vibration == d.vibration
