"""Real fluids against references written apart from hxrate: the water model
against python3-iapws and the releases' verification values, the march
element by element against the same equations solved by SciPy, and the
shipped example with its oil as a table in every mode. Each study returns
rows with the bound they must keep; test_fluids.py asserts them and
make_page.py prints them. Cached like studies.py."""

import functools
import math

import hxrate
import references as ref
import studies

# --- water properties ---------------------------------------------------------

WATER_TEMPERATURES = (1, 2, 5) + tuple(range(10, 350, 10)) + (345, 349, 350)  # degC
WATER_PRESSURES = (0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 16.5, 20)  # MPa
WATER_BOUND = 1e-6  # relative, each property
WATER_NAMES = ("rho", "cp", "mu", "k")


def _water(t, p):
    """hxrate's liquid water at t degC and p Pa as (rho, cp, mu, k); None
    where the model refuses it."""
    try:
        w = hxrate.water_properties(float(t), float(p))
    except hxrate.InvalidArgument:
        return None
    return w.density, w.heat_capacity, w.viscosity, w.conductivity


def _iapws(T, P):
    """iapws's liquid water at T K and P MPa as (rho, cp, mu, k)."""
    import iapws

    s = iapws.IAPWS97(T=T, P=P)
    assert s.region == 1, (T, P)
    return s.rho, s.cp * 1e3, s.mu, s.k


@functools.lru_cache(maxsize=None)
def water_against_iapws():
    """The worst relative deviation of each property over the grid, where it
    lies, and the points hxrate and IF97 disagree on whether they are liquid."""
    from iapws.iapws97 import _PSat_T

    worst = {name: (0.0, None, None) for name in WATER_NAMES}
    compared = refused = 0
    disputed = []
    for t in WATER_TEMPERATURES:
        for p in WATER_PRESSURES:
            ours = _water(t, p * 1e6)
            liquid = p > _PSat_T(t + 273.15)
            if (ours is not None) != liquid:
                disputed.append((t, p))
            if ours is None or not liquid:
                refused += 1
                continue
            compared += 1
            for name, a, b in zip(WATER_NAMES, ours, _iapws(t + 273.15, p)):
                d = abs(a / b - 1)
                if d > worst[name][0]:
                    worst[name] = (d, t, p)
    return dict(worst=worst, compared=compared, refused=refused, disputed=disputed)


def _density_pressure(T, rho):
    """The pressure (Pa) at which hxrate's water at T K has density rho."""
    from scipy.optimize import brentq

    return brentq(lambda p: _water(T - 273.15, p)[0] - rho, 1e6, 1e8, xtol=1e-9, rtol=1e-15)


@functools.lru_cache(maxsize=None)
def water_verification_rows():
    """The releases' verification values, hxrate's and iapws's beside each.
    A value agrees when it rounds to the printed one (half a unit of the last
    printed digit). hxrate takes (T, p), so a value the release gives at
    (T, rho) is compared at the pressure where hxrate's density is rho; where
    that pressure lies beyond 100 MPa only iapws is compared."""
    import iapws
    from iapws._iapws import _ThCond, _Viscosity

    rows = []

    def row(what, source, printed, ours, theirs):
        """`printed` as the release prints it; its last digit sets the bound."""
        mantissa, _, exponent = printed.partition("e")
        unit = 10.0 ** (int(exponent or 0) - len(mantissa.partition(".")[2]))
        rows.append(dict(what=what, source=source, text=printed, printed=float(printed),
                         unit=unit, ours=ours, iapws=theirs, bound=0.5 * unit * (1 + 1e-9)))

    # IAPWS R7-97(2012) (IF97), table 5, region 1: v in m3/kg, cp in kJ/(kg K);
    # the same values are the examples of iapws's _Region1.
    for T, P, v, cp in ((300, 3, "0.100215168e-2", "0.417301218e1"),
                        (300, 80, "0.971180894e-3", "0.401008987e1"),
                        (500, 3, "0.120241800e-2", "0.465580682e1")):
        w, s = _water(T - 273.15, P * 1e6), iapws.IAPWS97(T=T, P=P)
        row(f"v at {T} K, {P} MPa (m³/kg)", "R7-97 table 5", v, 1 / w[0], s.v)
        row(f"c_p at {T} K, {P} MPa (kJ/(kg·K))", "R7-97 table 5", cp, w[1] / 1e3, s.cp)
    # IAPWS R12-08 table 4, the liquid points, mu2 = 1 (uPa s); 998 kg/m3 at
    # 298.15 K is also an example of iapws's _Viscosity.
    for T, rho, mu in ((298.15, 998, "889.735100"), (298.15, 1200, "1437.649467"),
                       (373.15, 1000, "307.883622"), (433.15, 1000, "217.685358")):
        ours = None
        if (T, rho) == (298.15, 998):
            ours = _water(T - 273.15, _density_pressure(T, rho))[2] * 1e6
        row(f"μ at {T} K, {rho} kg/m³ (µPa·s)", "R12-08 table 4", mu, ours,
            _Viscosity(rho, T) * 1e6)
    # IAPWS R15-11 table 4, lambda2 = 0 (mW/(m K)); 998 kg/m3 at 298.15 K is
    # also an example of iapws's _ThCond. hxrate's value there carries its
    # lambda2, which vanishes in that state (the enhancement's driving term is
    # negative and the release then sets it to zero).
    for T, rho, lam in ((298.15, 998, "607.712868"), (298.15, 1200, "799.038144")):
        ours = None
        if (T, rho) == (298.15, 998):
            ours = _water(T - 273.15, _density_pressure(T, rho))[3] * 1e3
        row(f"λ at {T} K, {rho} kg/m³ (mW/(m·K))", "R15-11 table 4", lam, ours,
            _ThCond(rho, T) * 1e3)
    # IAPWS R15-11 table 7: the industrial form with IF97 at 620 K: lambda and
    # its critical enhancement lambda2 (mW/(m K)), rho (kg/m3), cp (kJ/(kg K)),
    # mu (uPa s).
    for P, lam, lam2, rho, cp, mu in ((20, "0.481485195e3", "0.126391714e2", "0.613227777e3",
                                       "0.763433705e1", "0.709051068e2"),
                                      (50, "0.545038940e3", "0.575816285e1", "0.699226043e3",
                                       "0.532047725e1", "0.841527945e2")):
        w, s = _water(620 - 273.15, P * 1e6), iapws.IAPWS97(T=620, P=P)
        at = f"620 K, {P} MPa"
        row(f"λ at {at} (mW/(m·K))", "R15-11 table 7", lam, w[3] * 1e3, s.k * 1e3)
        row(f"λ₂ at {at} (mW/(m·K))", "R15-11 table 7", lam2, None,
            (s.k - _ThCond(s.rho, 620)) * 1e3)
        row(f"ρ at {at} (kg/m³)", "R15-11 table 7", rho, w[0], s.rho)
        row(f"c_p at {at} (kJ/(kg·K))", "R15-11 table 7", cp, w[1] / 1e3, s.cp)
        row(f"μ at {at} (µPa·s)", "R15-11 table 7", mu, w[2] * 1e6, s.mu * 1e6)
    return rows


# --- the shipped example with its oil as a table --------------------------------

# Unused engine oil, saturated liquid (Incropera and DeWitt 2002, table A.5):
# T (K), rho (kg/m3), cp (J/(kg K)), mu (Pa s), k (W/(m K)).
ENGINE_OIL = ((273, 899.1, 1796, 3.85, 0.147), (280, 895.3, 1827, 2.17, 0.144),
              (290, 890.0, 1868, 0.999, 0.145), (300, 884.1, 1909, 0.486, 0.145),
              (310, 877.9, 1951, 0.253, 0.145), (320, 871.8, 1993, 0.141, 0.143),
              (330, 865.8, 2035, 0.0836, 0.141), (340, 859.9, 2076, 0.0531, 0.139),
              (350, 853.9, 2118, 0.0356, 0.138), (360, 847.8, 2161, 0.0252, 0.138),
              (370, 841.8, 2206, 0.0186, 0.137))
OIL_MODEL = {"model": "table", "table": [
    dict(temperature=K - 273.15, density=rho, viscosity=mu, conductivity=k, heat_capacity=cp)
    for K, rho, cp, mu, k in ENGINE_OIL]}
WATER_PRESSURE = 3e5  # Pa
WATER_MODEL = {"model": "water", "pressure": WATER_PRESSURE}
MODES = ("inlet", "mean", "incremental")
LEVELS = (1, 2, 4)  # the case's element length divided by these
ORDER = (0.9, 1.1)
# The rating differs from the exact solution by what halving dL moves it
# times 1/(1 - 2^-p); at the lowest order the convergence check accepts:
RICHARDSON = 1 / (1 - 2**-ORDER[0])
# What separates the two solutions besides the grid: the model's Gnielinski
# exponent 0.6667 for 2/3 and its single-precision constants (2e-6 of U,
# on temperature changes of about 1 K: systematic_difference), the
# integration (rtol 1e-11).
TOLERANCE_K = 1e-5
TOLERANCE_REL = 1e-5


def example_document(exchanger_type, mode, element_length=None):
    case = studies.example_case().replace(exchanger_type=exchanger_type)
    if element_length is not None:
        case = case.replace(element_length=element_length)
    return hxrate.CaseDocument(case, tube_properties=WATER_MODEL, shell_properties=OIL_MODEL,
                               properties_at=mode)


def rate_example(exchanger_type, mode, element_length=None):
    """Exact shooting, so that no shooting tolerance hides the grid's error."""
    return hxrate.rate(example_document(exchanger_type, mode, element_length), shooting="exact")


@functools.lru_cache(maxsize=None)
def dense_bundle_correlation():
    """The program's shell side of the example's geometry (dense-bundle
    correlation, x = Ds/(Do sqrt(Nt)) <= 3.2), whose docs give no published
    source: Nu = c Re^m Pr^n, c, m and n measured from three ratings with
    constant properties, and the largest relative departure of the form at
    five further points (Re and Pr over three decades)."""
    base = studies.example_case().replace(exchanger_type=0)
    f = base.shell_fluid

    def shell(Q=f.volumetric_flow, mu=f.viscosity, cp=f.heat_capacity):
        s = hxrate.rate(base.replace(
            shell_fluid=f.replace(volumetric_flow=Q, viscosity=mu, heat_capacity=cp))).shell
        assert s.correlation == "axial-bundle", s.correlation
        return s.reynolds, s.prandtl, s.nusselt

    a, b, c = shell(), shell(Q=2 * f.volumetric_flow), shell(cp=2 * f.heat_capacity)
    m = math.log(b[2] / a[2]) / math.log(b[0] / a[0])
    n = math.log(c[2] / a[2]) / math.log(c[1] / a[1])
    C = a[2] / (a[0]**m * a[1]**n)
    spread = [shell(Q, mu, cp) for Q, mu, cp in ((1e-4, 0.08, 2000.0), (0.03, 0.5, 2000.0),
                                                 (0.003, 0.02, 2100.0), (3.0, 0.08, 4000.0),
                                                 (0.003, 0.01, 2200.0))]
    departure = max(abs(N / (C * R**m * P**n) - 1) for R, P, N in spread)
    Do = base.tube_inner_diameter + 2 * base.wall_thickness
    return dict(c=C, m=m, n=n, departure=departure, Re=[min(p[0] for p in spread),
                                                        max(p[0] for p in spread)],
                Pr=[min(p[1] for p in spread), max(p[1] for p in spread)],
                x=base.shell_inner_diameter / (Do * math.sqrt(base.tube_count)))


def _water_at(T):
    """iapws's water at T degC and the models' pressure: rho, mu, k, cp."""
    import iapws

    s = iapws.IAPWS97(T=T + 273.15, P=WATER_PRESSURE / 1e6)
    return s.rho, s.mu, s.k, s.cp * 1e3


def _oil_at(T):
    return ref.table_properties(ENGINE_OIL, T)


def _resistance(case):
    """The march's quantities written out from the published forms: the mass
    flows of the inlet states (fixed along the exchanger), and a function of
    the two stream temperatures giving the resistance per unit tube length
    R_p with both film coefficients at those temperatures' properties, and
    both heat capacities there."""
    from fluids.friction import Colebrook

    shell_nu = dense_bundle_correlation()
    Nt, Di, L = case.tube_count, case.tube_inner_diameter, case.tube_length
    Do, Ds = Di + 2 * case.wall_thickness, case.shell_inner_diameter
    A = math.pi / 4 * (Ds * Ds - Nt * Do * Do)  # free area between shell and tubes
    Dh = 4 * A / (math.pi * (Ds + Nt * Do))  # wetted by shell and tubes
    Rw = math.log(Do / Di) / case.wall_conductivity  # wall, per length x 2 pi
    mt = _water_at(case.tube_inlet_temperature)[0] * case.tube_fluid.volumetric_flow
    ms = _oil_at(case.shell_inlet_temperature)[0] * case.shell_fluid.volumetric_flow

    def Rp(Tt, Ts):
        rho, mu, k, cp_t = _water_at(Tt)
        Re, Pr = 4 * mt / (Nt * math.pi * Di * mu), mu * cp_t / k
        Nu = (ref.gnielinski(Re, Pr, Colebrook(Re, case.inner_roughness / Di)) if Re > 2300
              else ref.laminar_nusselt(Re, Pr, Di, L))
        h_i = Nu * k / Di
        rho, mu, k, cp_s = _oil_at(Ts)
        Re, Pr = ms * Dh / (A * mu), mu * cp_s / k
        h_o = shell_nu["c"] * Re**shell_nu["m"] * Pr**shell_nu["n"] * k / Dh
        return (Rw + 1 / (h_i * Di / 2) + 1 / (h_o * Do / 2)) / (2 * math.pi), cp_t, cp_s

    return Rp, mt, ms, Do


def independent_solution(case):
    """The march's equations as differential equations along the tubes,
    solved by SciPy: tube temperature, shell temperature, and the mean of U
    over the length. Returns the outlets, U and the heat the water takes up."""
    import iapws
    from scipy.integrate import solve_ivp
    from scipy.optimize import brentq

    Rp, mt, ms, Do = _resistance(case)
    Nt, L = case.tube_count, case.tube_length
    sign = 1 if case.exchanger_type == 0 else -1

    def rhs(x, y):
        Tt, Ts, _ = y
        R, cp_t, cp_s = Rp(Tt, Ts)
        q = Nt * (Ts - Tt) / R  # heat into the tubes per unit length, W/m
        return [q / (mt * cp_t), -sign * q / (ms * cp_s), 1 / (R * math.pi * Do) / L]

    def march(Ts0):
        return solve_ivp(rhs, (0, L), [case.tube_inlet_temperature, Ts0, 0.0], method="DOP853",
                         rtol=1e-11, atol=1e-11)

    if sign > 0:
        s = march(case.shell_inlet_temperature)
        shell_out = s.y[1, -1]
    else:
        # The shell outlet (x = 0) whose march ends on the shell inlet at x = L.
        shell_out = brentq(lambda T: march(T).y[1, -1] - case.shell_inlet_temperature,
                           case.tube_inlet_temperature, case.shell_inlet_temperature, xtol=1e-12)
        s = march(shell_out)
    Tt_out = s.y[0, -1]
    h = lambda T: iapws.IAPWS97(T=T + 273.15, P=WATER_PRESSURE / 1e6).h * 1e3  # noqa: E731
    return dict(Tt=Tt_out, Ts=shell_out, U=s.y[2, -1],
                Q=mt * (h(Tt_out) - h(case.tube_inlet_temperature)))


def node_coefficients(exchanger_type):
    """At every node of the incremental rating's profile: U from the film
    coefficients written out here at the node's two temperatures, against
    the U the rating formed there; the largest relative difference. This
    holds each element's properties and correlations apart from the march."""
    r = rate_example(exchanger_type, "incremental")
    Rp, _, _, Do = _resistance(studies.example_case().replace(exchanger_type=exchanger_type))
    p = r.rating.profile
    return max(abs(U * Rp(Tt, Ts)[0] * math.pi * Do - 1)
               for Tt, Ts, U in zip(p.tube, p.shell, r.property_profile.overall_coefficient))


@functools.lru_cache(maxsize=None)
def systematic_difference(exchanger_type):
    """What separates the rating from the independent solution besides the
    grid, relative in U: the model's Gnielinski exponent 0.6667 for 2/3
    moves the tube side's Nu by |ln Pr| |0.6667 - 2/3|, and U by that times
    the tube film's share of the resistance; the single-precision constants
    by 1e-6. On the outlets: times the larger temperature change."""
    g = rate_example(exchanger_type, "incremental").rating
    share = g.tube.film_resistance / (g.geometry.wall_resistance + g.tube.film_resistance
                                      + g.shell.film_resistance)
    U = share * abs(math.log(g.tube.prandtl)) * abs(studies.GNIELINSKI_EXPONENT - 2 / 3)
    U += studies.ROUNDING
    case = studies.example_case()
    change = max(abs(g.tube_outlet_temperature - case.tube_inlet_temperature),
                 abs(g.shell_outlet_temperature - case.shell_inlet_temperature))
    return dict(share=share, U=U, K=U * change, change=change)


def _within(value, reference, coarse, half, tolerance, relative=False):
    """Distance from the reference, and its bound: Richardson's factor times
    what halving the element length moved the value, plus the tolerance."""
    if relative:
        return abs(value / reference - 1), RICHARDSON * abs(coarse / half - 1) + tolerance
    return abs(value - reference), RICHARDSON * abs(coarse - half) + tolerance


@functools.lru_cache(maxsize=None)
def incremental_against_independent(exchanger_type):
    """The example rated element by element at dL, dL/2, dL/4 against the
    independent solution: per grid the outlets, U, duty and their errors;
    the orders between grids; and on the case's own grid the check of the
    outlets against the rating's discretisation estimate (how far halving dL
    moves an outlet) times Richardson's factor, and of U and the duty against
    the same factor times their own change from dL to dL/2."""
    dL = studies.example_case().element_length
    x = independent_solution(studies.example_case().replace(exchanger_type=exchanger_type))
    grids = []
    for level in LEVELS:
        r = rate_example(exchanger_type, "incremental", dL / level)
        g = r.rating
        grids.append(dict(dL=dL / level, elements=g.geometry.element_count,
                          Tt=g.tube_outlet_temperature, Ts=g.shell_outlet_temperature,
                          U=g.overall_coefficient, Q=-g.tube_duty,
                          estimate=r.assessment.discretisation_estimate))
        e = grids[-1]
        e["error"] = max(abs(e["Tt"] - x["Tt"]), abs(e["Ts"] - x["Ts"]))
        e["U_error"] = abs(e["U"] / x["U"] - 1)
    for a, b in zip(grids, grids[1:]):
        b["order"] = math.log2(a["error"] / b["error"])
        b["U_order"] = math.log2(a["U_error"] / b["U_error"])
    a, b = grids[0], grids[1]
    checks = dict(
        outlets=(a["error"], RICHARDSON * a["estimate"] + TOLERANCE_K),
        U=_within(a["U"], x["U"], a["U"], b["U"], TOLERANCE_REL, relative=True),
        Q=_within(a["Q"], x["Q"], a["Q"], b["Q"], TOLERANCE_REL, relative=True),
        nodes=(node_coefficients(exchanger_type), systematic_difference(exchanger_type)["U"]),
    )
    return dict(reference=x, grids=grids, checks=checks)


@functools.lru_cache(maxsize=None)
def property_modes(exchanger_type):
    """The example rated with constant properties (the case's own values)
    and with the oil table and water in each mode, on the case's grid; each
    with U, the heat the water takes up, the temperatures its properties were
    taken at and how far it lies from the incremental rating."""
    case = studies.example_case().replace(exchanger_type=exchanger_type)
    rows = []
    constant = hxrate.rate(case, shooting="exact")
    rows.append(dict(mode="constant", U=constant.overall_coefficient, Q=-constant.tube_duty,
                     Tt=constant.tube_outlet_temperature, Ts=constant.shell_outlet_temperature,
                     iterations=0, mean_gap=0.0))
    for mode in MODES:
        r = rate_example(exchanger_type, mode)
        g = r.rating
        # Where the properties were taken against where they should be: the
        # inlets, or (mean) the bulk means of the rating's own outlets, which
        # the re-ratings leave less than 1e-6 K apart.
        at = {"inlet": (case.tube_inlet_temperature, case.shell_inlet_temperature)}.get(
            mode, ((case.tube_inlet_temperature + g.tube_outlet_temperature) / 2,
                   (case.shell_inlet_temperature + g.shell_outlet_temperature) / 2))
        rows.append(dict(mode=mode, U=g.overall_coefficient, Q=-g.tube_duty,
                         Tt=g.tube_outlet_temperature, Ts=g.shell_outlet_temperature,
                         iterations=r.mean_iterations, properties_at=r.properties_at,
                         first_node_U=r.property_profile.overall_coefficient[0],
                         mean_gap=max(abs(r.tube_property_temperature - at[0]),
                                      abs(r.shell_property_temperature - at[1]))))
    incremental = rows[-1]
    for row in rows:
        row["dU"] = row["U"] / incremental["U"] - 1
        row["dQ"] = row["Q"] / incremental["Q"] - 1
    return rows


def table_temperature_of_viscosity(mu):
    """Where the oil table has the viscosity mu, degC."""
    from scipy.optimize import brentq

    lo, hi = ENGINE_OIL[0][0] - 273.15, ENGINE_OIL[-1][0] - 273.15
    return brentq(lambda T: math.log(ref.table_properties(ENGINE_OIL, T)[1] / mu), lo, hi)
