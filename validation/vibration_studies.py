"""Flow-induced vibration against references written apart from hxrate: the
first natural frequency of a span against the closed-form beam values (the
frequency equations solved by SciPy), the added-mass coefficient and
Connors' critical velocity written out from their published forms, and the
shipped example bundles recomputed the same way. Each study returns rows
with the bound they must keep; test_vibration.py asserts them and
make_page.py prints them."""

import functools
import math
import pathlib

import hxrate

EXAMPLES = pathlib.Path(__file__).resolve().parents[1] / "examples" / "vibration"
EXAMPLE_NAMES = ("vibrating", "supported")

# The relative difference allowed: the library's beam and confinement
# constants are single-precision literals widened to double (4.73004074f
# differs from the root by 1e-8), every other step is exact arithmetic.
BOUND = 1e-6

# Tubes of the tables (outer diameter, wall, m) and span lengths, m.
TUBES = (
    ("5/8 in, 18 BWG", 0.015875, 0.001245),
    ("3/4 in, 16 BWG", 0.01905, 0.001651),
    ("1 in, 14 BWG", 0.0254, 0.002108),
    ("25 × 2 mm", 0.025, 0.002),
)
SPANS = (0.4, 0.8, 1.6)
E_STEEL, RHO_STEEL = 200e9, 7850.0  # given to both, Pa and kg/m3
RHO_SHELL, RHO_TUBE = 990.0, 998.0  # water on both sides, kg/m3

# The ends of a span and where the library places such a span: a tube with
# no baffle is clamped at both tubesheets; the first span of a tube with one
# baffle is clamped-pinned; the middle span of three is pinned at both baffles.
ENDS = (
    ("pinned-pinned", 2, "central"),
    ("clamped-pinned", 1, "inlet"),
    ("clamped-clamped", 0, "whole"),
)

SEARCHED = [
    ("pages", "worked example tube vibration natural frequency added mass Connors critical "
     "velocity heat exchanger baffle span"),
    ("docs", "example calculation fluid elastic instability critical velocity tube bundle "
     "natural frequency Hz mass damping parameter"),
    ("pages", "Kakac heat exchangers example flow-induced vibration Connors stability tube "
     "natural frequency fn computed example problem"),
    ("code", "Connors critical velocity tube bundle natural frequency added mass coefficient "
     "example"),
    ("pages", "sample calculation tube natural frequency unsupported span 3/4 in tube effective "
     "mass lb/ft critical velocity ft/s TEMA"),
]


# --- the references, written out from their published forms -------------------

@functools.lru_cache(maxsize=None)
def beam_root(ends):
    """lambda L of the first mode of a uniform Euler-Bernoulli beam: pi when
    pinned at both ends; the first root above zero of cos x cosh x = 1
    (clamped-clamped) and of tan x = tanh x (clamped-pinned), written as
    sin x cosh x - cos x sinh x = 0 to keep clear of tan's pole (Blevins
    1979, Formulas for natural frequency and mode shape, table 8-1)."""
    from scipy.optimize import brentq

    if ends == "pinned-pinned":
        return math.pi
    if ends == "clamped-clamped":
        f = lambda x: math.cos(x) * math.cosh(x) - 1  # noqa: E731
    else:
        f = lambda x: math.sin(x) * math.cosh(x) - math.cos(x) * math.sinh(x)  # noqa: E731
    return brentq(f, 3.5, 5.0, xtol=1e-15, rtol=1e-15)


def added_mass_coefficient(pitch_ratio, triangular):
    """C_m = ((De/D)^2 + 1)/((De/D)^2 - 1) of a tube confined by its
    neighbours, De/D = (0.96 + 0.5 P/D) P/D triangular, (1.07 + 0.56 P/D) P/D
    square (Pettigrew and Taylor 2003, J. Fluids Struct. 18:469, eq. 2)."""
    x = pitch_ratio
    de = (0.96 + 0.5 * x) * x if triangular else (1.07 + 0.56 * x) * x
    return (de**2 + 1) / (de**2 - 1)


def tube(do, wall, pitch_ratio, triangular, rho_shell=RHO_SHELL):
    """The tube's section and mass per length with its fluids."""
    di = do - 2 * wall
    inertia = math.pi / 64 * (do**4 - di**4)
    cm = added_mass_coefficient(pitch_ratio, triangular)
    mass = (RHO_STEEL * math.pi / 4 * (do**2 - di**2) + RHO_TUBE * math.pi / 4 * di**2
            + cm * rho_shell * math.pi / 4 * do**2)
    return {"I": inertia, "m": mass, "Cm": cm}


def natural_frequency(ends, span, inertia, mass, modulus=E_STEEL):
    """f_n = (lambda L)^2/(2 pi L^2) sqrt(E I/m)."""
    return beam_root(ends) ** 2 / (2 * math.pi * span**2) * math.sqrt(modulus * inertia / mass)


def connors(f_n, do, mass, delta, rho, K=3.0):
    """V_crit = K f_n Do sqrt(m delta/(rho Do^2)) (Connors 1970, as Pettigrew
    and Taylor 2003, eq. 12, give it)."""
    return K * f_n * do * math.sqrt(mass * delta / (rho * do**2))


def gap_velocity(flow, span, shell, st, sl, do, staggered):
    """The upstream velocity Q/(span Ds) through the narrowest gaps: ST/(ST -
    Do), or for a staggered bank whose diagonal gap is narrower ST/2/(SD - Do)."""
    v = flow / (span * shell)
    sd = math.hypot(st / 2, sl)
    if staggered and sd - do < (st - do) / 2:
        return v * st / 2 / (sd - do)
    return v * st / (st - do)


# --- the library's figures -------------------------------------------------------

def _base_document():
    return hxrate.read_case_document(EXAMPLES / "vibrating.json")


def _screen(do, wall, st, sl, arrangement, length, baffles, flow=0.05, angle=None):
    d = _base_document()
    c = d.case.replace(tube_inner_diameter=do - 2 * wall, wall_thickness=wall,
                       transverse_pitch=st, longitudinal_pitch=sl,
                       bundle_arrangement=arrangement, tube_length=length,
                       baffle_count=baffles,
                       shell_fluid=d.case.shell_fluid.replace(density=RHO_SHELL,
                                                              volumetric_flow=flow),
                       tube_fluid=d.case.tube_fluid.replace(density=RHO_TUBE))
    ext = {"baffles": {"layout_angle": angle}} if angle else None
    given = hxrate.VibrationInput(elastic_modulus=E_STEEL, tube_density=RHO_STEEL)
    return hxrate.screen_vibration(c, ext, given)


@functools.lru_cache(maxsize=None)
def frequency_rows():
    """Each tube, span and end condition: the library's f_n against the beam's."""
    rows = []
    ratio = 1.25
    for name, do, wall in TUBES:
        st = ratio * do
        sl = st * math.sqrt(3) / 2
        ref = tube(do, wall, ratio, True)
        for ends, baffles, which in ENDS:
            for span in SPANS:
                s = _screen(do, wall, st, sl, 1, span * (baffles + 1), baffles)
                ours = next(x for x in s.spans if x.name == which)
                expected = natural_frequency(ends, span, ref["I"], ref["m"])
                rows.append({"tube": name, "ends": ends, "span": span,
                             "root": beam_root(ends), "factor": ours.frequency_factor,
                             "ours": ours.natural_frequency, "reference": expected,
                             "rel": ours.natural_frequency / expected - 1})
    return rows


# Layouts: (name, angle, staggered, SL/ST) with ST from the pitch P.
LAYOUTS = (
    ("triangular 30°", 30, True, math.sqrt(3) / 2, 1.0),
    ("square 90°", 90, False, 1.0, 1.0),
    ("rotated square 45°", 45, True, 0.5, math.sqrt(2)),
)
PITCH_RATIOS = (1.25, 1.33, 1.5)


@functools.lru_cache(maxsize=None)
def connors_rows():
    """C_m, V_crit and V/V_crit of the central span (0.6 m, pinned-pinned) of a
    3/4 in tube for each layout and pitch ratio, liquid (delta 0.03)."""
    _, do, wall = TUBES[1]
    span, flow, shell = 0.6, 0.05, 0.3
    rows = []
    for layout, angle, staggered, sl_over_st, st_over_p in LAYOUTS:
        for ratio in PITCH_RATIOS:
            st = ratio * do * st_over_p
            sl = st * sl_over_st
            s = _screen(do, wall, st, sl, 1 if staggered else 0, 3 * span, 2, flow, angle)
            central = s.spans[1]
            ref = tube(do, wall, ratio, angle in (30, 60))
            f_n = natural_frequency("pinned-pinned", span, ref["I"], ref["m"])
            v_crit = connors(f_n, do, ref["m"], 0.03, RHO_SHELL)
            v = gap_velocity(flow, span, shell, st, sl, do, staggered)
            rows.append({"layout": layout, "ratio": ratio,
                         "Cm": s.added_mass_coefficient, "Cm_ref": ref["Cm"],
                         "Vc": central.critical_velocity, "Vc_ref": v_crit,
                         "VR": central.velocity_ratio, "VR_ref": v / v_crit,
                         "rel": max(abs(s.added_mass_coefficient / ref["Cm"] - 1),
                                    abs(central.critical_velocity / v_crit - 1),
                                    abs(central.velocity_ratio / (v / v_crit) - 1))})
    return rows


@functools.lru_cache(maxsize=None)
def example_rows():
    """The shipped example bundles as rated, each span beside the same
    figures written out here from the case (stainless steel, both ends of
    each span as the library places them)."""
    out = []
    for name in EXAMPLE_NAMES:
        d = hxrate.read_case_document(EXAMPLES / f"{name}.json")
        result = hxrate.rate(d, assess=False)
        s = result.vibration
        c = d.case
        do = c.tube_inner_diameter + 2 * c.wall_thickness
        props = hxrate.tube_material_properties(d.vibration.material)
        di = c.tube_inner_diameter
        cm = added_mass_coefficient(c.transverse_pitch / do, True)
        mass = (props.density * math.pi / 4 * (do**2 - di**2)
                + c.tube_fluid.density * math.pi / 4 * di**2
                + cm * c.shell_fluid.density * math.pi / 4 * do**2)
        inertia = math.pi / 64 * (do**4 - di**4)
        spans = []
        for span in s.spans:
            first, second = sorted((span.start_end, span.end_end))  # clamped first
            ends = f"{first}-{second}"
            f_n = natural_frequency(ends, span.length, inertia, mass, props.elastic_modulus)
            v_crit = connors(f_n, do, mass, 0.03, c.shell_fluid.density)
            # A window span's velocity is the library's Q/Sw (Sw from the
            # bundle's Bell-Delaware window geometry); the others' are written out.
            v = span.velocity if span.in_window else gap_velocity(
                c.shell_fluid.volumetric_flow, span.length, c.shell_inner_diameter,
                c.transverse_pitch, c.longitudinal_pitch, do, c.bundle_arrangement == 1)
            spans.append({"span": span.name, "length": span.length, "ends": ends,
                          "f_n": span.natural_frequency, "V": span.velocity,
                          "Vc": span.critical_velocity, "VR": span.velocity_ratio,
                          "VR_ref": v / v_crit, "rel": span.velocity_ratio / (v / v_crit) - 1})
        out.append({"name": name, "baffles": c.baffle_count, "spans": spans,
                    "worst": s.worst_velocity_ratio, "passes": s.passes,
                    "codes": [w.code for w in s.warnings]})
    return out
