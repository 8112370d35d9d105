"""hxrate's water model against python3-iapws (IAPWS97: IF97 region 1, R12-08
viscosity, R15-11 conductivity with the industrial critical enhancement),
over liquid water from 1 to 350 degC and 0.1 to 20 MPa.

The water model is printed by the test program whose path is in
HXRATE_WATER_PROPERTIES (tests/support/water_properties.cpp). Points at or
above the boiling point must be refused; the others agree to 1e-6.
"""

import os
import subprocess

import pytest

pytest.importorskip("scipy", reason="python3-scipy not installed (python3-iapws needs it)")
iapws = pytest.importorskip("iapws", reason="python3-iapws not installed")
from iapws.iapws97 import _PSat_T  # noqa: E402

TOLERANCE = 1e-6
TEMPERATURES = [1, 2, 5] + list(range(10, 350, 10)) + [345, 349, 350]  # degC
PRESSURES = [0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 16.5, 20]  # MPa


def water_model(points):
    """(T degC, p Pa) -> (rho, mu, k, cp) in SI, or None where refused."""
    program = os.environ.get("HXRATE_WATER_PROPERTIES")
    assert program, "HXRATE_WATER_PROPERTIES names no program"
    lines = "".join(f"{t!r} {p!r}\n" for t, p in points)
    out = subprocess.run([program], input=lines, capture_output=True, text=True, check=True)
    rows = [line.split() for line in out.stdout.splitlines()]
    assert len(rows) == len(points), out.stdout
    return [None if row[2] == "refused" else tuple(float(x) for x in row[2:]) for row in rows]


def test_liquid_water_agrees_with_iapws():
    points = [(float(t), p * 1e6) for t in TEMPERATURES for p in PRESSURES]
    results = water_model(points)
    worst = {"rho": 0.0, "mu": 0.0, "k": 0.0, "cp": 0.0}
    compared = 0
    for (t, p), ours in zip(points, results):
        T = t + 273.15
        liquid = p / 1e6 > _PSat_T(T)
        assert (ours is not None) == liquid, f"{t} degC, {p} Pa: liquid {liquid}, got {ours}"
        if not liquid:
            continue
        ref = iapws.IAPWS97(T=T, P=p / 1e6)
        assert ref.region == 1, f"{t} degC, {p} Pa"
        reference = {"rho": ref.rho, "mu": ref.mu, "k": ref.k, "cp": ref.cp * 1e3}
        rho, mu, k, cp = ours
        for name, value in (("rho", rho), ("mu", mu), ("k", k), ("cp", cp)):
            deviation = abs(value / reference[name] - 1)
            worst[name] = max(worst[name], deviation)
            assert deviation <= TOLERANCE, (
                f"{name} at {t} degC, {p} Pa: {value!r} against iapws {reference[name]!r}"
            )
        compared += 1
    print(f"{compared} liquid points; largest relative deviations:", worst)
    assert compared > 200
