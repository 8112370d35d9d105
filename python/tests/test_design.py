"""The design closed forms from Python: the published values, and the
refusals as hxrate.InvalidArgument (a ValueError)."""

import math

import pytest

import hxrate


@pytest.mark.parametrize(
    "call, expected, why",
    [
        (lambda: hxrate.tema_e_p1(0.7, 5, 2), 0.683497704431, "one 1-2 shell"),
        (lambda: hxrate.tema_e_p1(0.7, 5, 2, shells=50), 0.920505870278, "50 shells in series"),
        (lambda: hxrate.lmtd_correction(130, 110, 15, 85), 0.9438358829645933, "F, one shell"),
        (lambda: hxrate.tema_e_outlets(5.2 * 1860, 130, 1.45 * 1900, 15, 3041.75, 4).duty,
         192514.714242, "1-4 shell duty"),
        (lambda: hxrate.bell_jl(1, 3, 8), 0.5530236260777, "Jl"),
        (lambda: hxrate.bell_jr(30, 80), 0.7267995454361379, "Jr"),
    ],
)
def test_published_values(call, expected, why):
    assert math.isclose(call(), expected, rel_tol=1e-9), why


@pytest.mark.parametrize(
    "call, argument",
    [
        (lambda: hxrate.tema_e_p1(0.5, 1, 3), "tubePasses"),
        (lambda: hxrate.lmtd_correction(100, 40, 10, 70), "p"),
        (lambda: hxrate.bell_jc(-0.1), "crossFlowFraction"),
        (lambda: hxrate.shells_in_series_p1(0.5, 1.0, 0), "shells"),
        (lambda: hxrate.shells_in_series_p1(0.5, 1.0, -1), "shells"),
    ],
)
def test_refusals_are_value_errors_naming_the_argument(call, argument):
    with pytest.raises(ValueError) as info:
        call()
    assert isinstance(info.value, hxrate.InvalidArgument)
    assert isinstance(info.value, hxrate.Error) and info.value.argument == argument


def test_more_shells_reach_what_one_cannot():
    assert hxrate.lmtd_correction(100, 40, 10, 70, shells=3) > 0.75


def test_every_design_name_has_a_docstring():
    for name in ("tema_e_p1", "lmtd_correction", "bell_jb", "bell_delaware_shell_side"):
        assert getattr(hxrate, name).__doc__.startswith(name)


def test_rate_extended_without_extensions_is_rate(example):
    plain = hxrate.rate(example)
    ext = hxrate.rate_extended(example)
    assert ext["rating"].results_report() == plain.results_report()
    assert ext["cleanliness_factor"] == 1.0


def test_rate_extended_fouling_and_passes(example):
    fouled = hxrate.rate_extended(example, fouling_inside=1.8e-4, fouling_outside=3.5e-4,
                                  tube_passes=2)
    assert fouled["service_coefficient"] < fouled["clean_coefficient"]
    assert fouled["lmtd_correction"] is not None and 0 < fouled["lmtd_correction"] < 1
    with pytest.raises(hxrate.InvalidArgument):
        hxrate.rate_extended(example, fouling_outside=-1.0)
    clean, service = fouled["clean_coefficient"], fouled["service_coefficient"]
    assert fouled["over_surface_percent"] == pytest.approx((clean / service - 1) * 100)
    assert fouled["tube_pressure_drop"] == pytest.approx(
        fouled["tube_friction_drop"] + fouled["tube_return_drop"])
    assert fouled["allowable_fouling"] is not None


def test_case_document_round_trip(example, tmp_path):
    ext = {"fouling_outside": 2e-4, "tube_passes": 2}
    text = hxrate.case_document_json(example, ext)
    document = hxrate.read_case_document(text)
    assert document.case == example
    back = document.extensions
    assert back["fouling_outside"] == 2e-4 and back["tube_passes"] == 2
    path = tmp_path / "case.json"
    path.write_text(text)
    document = hxrate.read_case_document(path)
    assert hxrate.rate(document).extended["service_coefficient"] == \
        hxrate.rate(example, **ext).extended["service_coefficient"]
    # The pair it used to be still unpacks, with a DeprecationWarning.
    with pytest.warns(DeprecationWarning):
        case, back = document
    assert case == example and back == document.extensions
    with pytest.raises(hxrate.InputError, match="case.tube_fluid.density.*not a unit of density"):
        hxrate.read_case_document(text.replace('"kg/m3"', '"kg"', 1))
    # Another unit of the same dimension reads as its SI value.
    density = hxrate.read_case_document(text.replace('"kg/m3"', '"g/cm3"', 1)).case.tube_fluid.density
    assert density == pytest.approx(example.tube_fluid.density * 1000, rel=1e-12)


@pytest.mark.parametrize("edit, named", [
    (('"value": 0.016', '"value": 1e400'), "case.tube_inner_diameter.value: the number 1e400"),
    (('"shells": 1', '"shells": 1, "shell_wall_viscosity": {"value": 0, "unit": "Pa s"}'),
     "extensions.shell_wall_viscosity.value: must be above 0 Pa s"),
    (('"version": 1', '"version": 1, "x": ' + "[" * 150000 + "]" * 150000),
     "nested deeper than 100 levels"),
])
def test_a_hostile_case_document_is_an_input_error(example, tmp_path, edit, named):
    text = hxrate.case_document_json(example).replace(*edit, 1)
    path = tmp_path / "case.json"
    path.write_text(text)
    for source in (text, "\ufeff" + text, path):
        with pytest.raises(hxrate.InputError, match=named.replace("[", r"\[")):
            hxrate.read_case_document(source)


def test_a_case_document_in_utf16_is_named(example, tmp_path):
    path = tmp_path / "case.json"
    path.write_text(hxrate.case_document_json(example), encoding="utf-16")
    with pytest.raises(hxrate.InputError, match="UTF-16 .* save it as UTF-8"):
        hxrate.read_case_document(path)


def test_case_document_schema_lists_what_the_writer_writes(example):
    import json
    import pathlib
    schema = json.loads((pathlib.Path(__file__).parents[2] / "docs" /
                         "case-document.schema.json").read_text())
    doc = json.loads(hxrate.case_document_json(
        example, {"fouling_inside": 1e-4, "shell_wall_viscosity": 1e-3,
                  "baffles": {"baffle_cut": 0.3, "inlet_baffle_spacing": 0.2}}))
    case_schema = schema["properties"]["case"]
    assert sorted(case_schema["required"]) == sorted(doc["case"])
    fluid = case_schema["properties"]["tube_fluid"]
    assert sorted(fluid["required"]) == sorted(doc["case"]["tube_fluid"])
    ext_props = schema["properties"]["extensions"]["properties"]
    assert set(doc["extensions"]) <= set(ext_props)
    assert set(doc["extensions"]["baffles"]) <= set(ext_props["baffles"]["properties"])
    for name, value in doc["case"].items():
        if isinstance(value, dict) and "unit" in value:
            assert case_schema["properties"][name]["properties"]["unit"]["default"] == value["unit"]
