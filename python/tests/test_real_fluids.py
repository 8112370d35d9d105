"""Real fluids from Python: liquid water by IAPWS and a document whose
streams take their properties from models."""

import pickle

import pytest

import hxrate


def test_water_properties_are_iapws_liquid_water():
    w = hxrate.water_properties(20.0, 101325.0)
    # IAPWS-IF97 region 1, R12-08, R15-11 at 1 atm and 20 degC (rounded).
    assert w.density == pytest.approx(998.2, abs=0.05)
    assert w.viscosity == pytest.approx(1.0016e-3, rel=1e-3)
    assert w.conductivity == pytest.approx(0.5984, rel=2e-3)
    assert w.heat_capacity == pytest.approx(4184, rel=1e-3)
    with pytest.raises(hxrate.InvalidArgument) as steam:
        hxrate.water_properties(120.0, 101325.0)
    assert (steam.value.argument, steam.value.stream) == ("temperature", "water")
    assert steam.value.high == pytest.approx(99.97, abs=0.01)  # the boiling point at 1 atm


def test_a_document_with_a_water_stream(example):
    water = {"model": "water", "pressure": 3e5}
    d = hxrate.CaseDocument(example, tube_properties=water, properties_at="mean")
    assert d.tube_properties == water and d.shell_properties is None
    r = hxrate.rate(d)
    assert r.solved and r.properties_at == "mean" and r.mean_iterations >= 1
    assert r.shell_property_temperature is None
    t = r.tube_property_temperature
    assert t == pytest.approx((example.tube_inlet_temperature + r.rating.tube_outlet_temperature) / 2,
                              abs=1e-5)
    assert r.wall_temperature is not None
    # The document round-trips, through JSON and through pickle.
    back = hxrate.read_case_document(hxrate.case_document_json(d))
    assert (back.tube_properties, back.properties_at) == (water, "mean")
    again = pickle.loads(pickle.dumps(d))
    assert again.tube_properties == water


def test_refusals_name_the_stream_and_keyword(example):
    oil = {"model": "table", "table": [
        {"temperature": 20.0, "density": 890.0, "viscosity": 0.8, "conductivity": 0.145,
         "heat_capacity": 1870.0},
        {"temperature": 60.0, "density": 865.0, "viscosity": 0.08, "conductivity": 0.141,
         "heat_capacity": 2030.0}]}
    with pytest.raises(hxrate.InvalidArgument) as outside:
        hxrate.rate(hxrate.CaseDocument(example, shell_properties=oil))
    assert (outside.value.stream, outside.value.temperature) == ("shell", 90.0)
    assert (outside.value.low, outside.value.high) == (20.0, 60.0)
    with pytest.raises(ValueError, match="shell_properties"):
        hxrate.CaseDocument(example, shell_properties={"model": "steam"})
    with pytest.raises(hxrate.InvalidArgument, match="at least 2 points"):
        hxrate.CaseDocument(example, shell_properties={"model": "table", "table": oil["table"][:1]})
    # element by element, the water heats past 100 degC at 1 bar: refused
    with pytest.raises(hxrate.InvalidArgument) as boiling:
        hxrate.rate(hxrate.CaseDocument(example.replace(tube_inlet_temperature=99.9,
                                                        shell_inlet_temperature=150.0),
                                        tube_properties={"model": "water", "pressure": 101325.0},
                                        properties_at="incremental"))
    assert boiling.value.stream == "tube"


@pytest.mark.parametrize("mode", ["inlet", "mean", "incremental"])
def test_the_property_profile_is_numpy_along_the_tubes(example, mode):
    d = hxrate.CaseDocument(example, tube_properties={"model": "water", "pressure": 3e5},
                            properties_at=mode)
    r = hxrate.rate(d, assess=False)
    p = r.property_profile
    tube, shell = r.rating.profile.tube, r.rating.profile.shell
    assert len(p) == len(tube) and p.wall_temperature.dtype.name == "float64"
    assert not p.tube_viscosity.flags.writeable
    # The wall lies between the streams at every node, nearer the water
    # whose film conducts far better than the oil's.
    assert ((p.wall_temperature - tube) * (p.wall_temperature - shell) <= 0).all()
    assert (abs(p.wall_temperature - tube) < abs(p.wall_temperature - shell)).all()
    want = [hxrate.water_properties(t, 3e5).viscosity for t in tube[::50]]
    assert list(p.tube_viscosity[::50]) == want
    assert (p.shell_viscosity == example.shell_fluid.viscosity).all()
    assert r.rated_case.tube_fluid.viscosity == hxrate.water_properties(
        r.tube_property_temperature, 3e5).viscosity
    if mode == "incremental":
        # Warmer water is thinner: U grows along the tubes; the rating's U is
        # the elements' mean.
        assert p.overall_coefficient[-1] > p.overall_coefficient[0]
        assert r.rating.overall_coefficient == pytest.approx(p.overall_coefficient[:-1].mean(),
                                                             rel=1e-12)
    else:
        assert (p.overall_coefficient == r.rating.overall_coefficient).all()
    assert hxrate.rate(hxrate.CaseDocument(example), assess=False).property_profile is None
    # The property keywords of rate(case) build the same document.
    same = hxrate.rate(example, tube_properties={"model": "water", "pressure": 3e5},
                       properties_at=mode, assess=False)
    assert same.rating.overall_coefficient == r.rating.overall_coefficient
