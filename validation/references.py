"""Reference formulas the ratings are compared with, each written out here from
its published form (or taken from the `fluids` library), never from hxrate's
own code. SOURCES names where each one comes from; the page prints it."""

import math

SOURCES = {
    "colebrook": "C. F. Colebrook, J. Inst. Civ. Eng. 11 (1939) 133-156; solved exactly "
    "(Lambert W form) by `fluids.friction.Colebrook(Re, eD)` of the `fluids` library "
    "(C. Bell)",
    "gnielinski": "V. Gnielinski, Int. Chem. Eng. 16 (1976) 359-368: "
    "Nu = (f/8)(Re - 1000) Pr / (1 + 12.7 (f/8)^(1/2) (Pr^(2/3) - 1))",
    "laminar": "Hagen-Poiseuille f = 64/Re; developing laminar flow at uniform wall "
    "temperature, Nu = 3.66 + 0.065 Gz / (1 + 0.04 Gz^(2/3)), Gz = (D/L) Re Pr "
    "(Edwards, Denny and Mills 1979, as given by Cengel and Ghajar, Heat and Mass "
    "Transfer, ch. 8)",
    "darcy": "Darcy-Weisbach drop of one tube, dP = f (L/D) rho V^2/2 with the friction "
    "factor solved by Clamond's method: `fluids.friction.one_phase_dP(m, rho, mu, D, "
    "roughness, L)`",
    "kern": "D. Q. Kern, Process Heat Transfer, McGraw-Hill 1950, ch. 7: "
    "dP = f Gs^2 Ds (Nb + 1) / (2 rho De phi_s), As = Ds (P - Do) B / P, square-pitch "
    "De = 4 (P^2 - pi Do^2/4) / (pi Do), phi_s = (mu/mu_w)^0.14, f read from Kern's "
    "Fig. 29 (shell-side friction factor, 25 % cut segmental baffles), readings "
    "(section 2) taken from the chart as digitised for the `ht` library (C. Bell, "
    "ht.conv_tube_bank); the worked example (11 kg/s of water) follows Peters, "
    "Timmerhaus and West, Plant Design and Economics for Chemical Engineers, 5th ed., 2002",
    "effectiveness": "W. M. Kays and A. L. London, Compact Heat Exchangers, 3rd ed., 1984; "
    "Incropera and DeWitt, Fundamentals of Heat and Mass Transfer, table 11.3 "
    "(parallel flow and counterflow)",
    "iapws": "liquid water by `iapws` (J. J. Gómez Romera, python3-iapws): `IAPWS97(T, P)` for "
    "IAPWS-IF97 region 1 (IAPWS R7-97(2012)), its viscosity by `_Viscosity` (IAPWS R12-08, "
    "the formulation 2008, mu2 = 1 for industrial use) and its conductivity by `_ThCond` "
    "(IAPWS R15-11, the formulation 2011, critical enhancement in its industrial form with "
    "IF97); verification values from the releases' own tables (R7-97 table 5, R12-08 table 4, "
    "R15-11 tables 4 and 7)",
    "engine-oil": "unused engine oil, saturated liquid, 273-370 K: Incropera and DeWitt, "
    "Fundamentals of Heat and Mass Transfer, 5th ed., 2002, table A.5 (illustrative)",
    "andrade": "between the rows of a table: rho, k and c_p linear in T; ln mu linear in 1/T "
    "(T absolute), E. N. da C. Andrade, Nature 125 (1930) 309",
    "solve_ivp": "the march's differential equations solved by SciPy: `solve_ivp` (DOP853, "
    "Hairer, Norsett and Wanner, Solving Ordinary Differential Equations I, 1993) with "
    "rtol = atol = 1e-11, the counter-current shell outlet by `brentq` (Brent 1973)",
}


def gnielinski(Re, Pr, f):
    """Nusselt number of turbulent duct flow from a Darcy friction factor."""
    f8 = f / 8.0
    return f8 * (Re - 1000.0) * Pr / (1.0 + 12.7 * math.sqrt(f8) * (Pr ** (2.0 / 3.0) - 1.0))


def laminar_nusselt(Re, Pr, D, L):
    """Mean Nusselt number of developing laminar flow in a tube of length L."""
    Gz = D / L * Re * Pr
    return 3.66 + 0.065 * Gz / (1.0 + 0.04 * Gz ** (2.0 / 3.0))


def laminar_friction(Re):
    return 64.0 / Re


# Kern's Fig. 29: dimensionless shell-side friction factor (the chart's
# ft^2/in^2 value times 144) against Re_s = De Gs / mu, read at the chart's
# grid lines. Points as digitised for the `ht` library (C. Bell), rounded to
# the three figures a chart reading carries.
KERN_CHART = (
    (10, 6.02), (15, 4.06), (20, 3.02), (30, 2.12), (50, 1.37), (70, 1.08),
    (100, 0.926), (150, 0.759), (200, 0.666), (300, 0.592), (500, 0.515), (700, 0.473),
    (1e3, 0.451), (1.5e3, 0.443), (2e3, 0.435), (3e3, 0.420), (5e3, 0.392), (7e3, 0.366),
    (1e4, 0.333), (1.5e4, 0.290), (2e4, 0.259), (3e4, 0.226), (5e4, 0.214), (7e4, 0.209),
    (1e5, 0.201), (1.5e5, 0.190), (2e5, 0.180), (3e5, 0.165), (5e5, 0.145), (7e5, 0.136),
    (1e6, 0.129),
)


def kern_chart_friction(Re):
    """Friction factor read off Kern's chart: straight lines between the
    readings on the chart's log-log axes."""
    pts = KERN_CHART
    if not pts[0][0] <= Re <= pts[-1][0]:
        raise ValueError(f"Re = {Re:g} is off Kern's chart (10 to 1e6)")
    for (R0, f0), (R1, f1) in zip(pts, pts[1:]):
        if Re <= R1:
            w = math.log(Re / R0) / math.log(R1 / R0)
            return math.exp(math.log(f0) + w * math.log(f1 / f0))
    raise AssertionError


def kern_shell_pressure_drop(m, rho, mu, mu_w, Ds, B, P, Do, Nb):
    """Kern's shell-side pressure drop, Pa, square pitch, with the viscosity
    correction; returns (dP, Re_s, f)."""
    As = Ds * (P - Do) * B / P  # cross-flow area at the shell centre line
    De = 4.0 * (P * P - math.pi * Do * Do / 4.0) / (math.pi * Do)
    Gs = m / As
    Re = De * Gs / mu
    f = kern_chart_friction(Re)
    phi = (mu / mu_w) ** 0.14
    return f * Gs * Gs * Ds * (Nb + 1) / (2.0 * rho * De * phi), Re, f


def effectiveness_parallel(NTU, Cr):
    return (1.0 - math.exp(-NTU * (1.0 + Cr))) / (1.0 + Cr)


def effectiveness_counter(NTU, Cr):
    if abs(1.0 - Cr) < 1e-12:
        return NTU / (1.0 + NTU)
    e = math.exp(-NTU * (1.0 - Cr))
    return (1.0 - e) / (1.0 - Cr * e)


def table_properties(rows, T):
    """(rho, mu, k, cp) at T (degC) between the rows (T_K, rho, cp, mu, k) of
    a property table: rho, k and cp linear in T, ln mu linear in 1/T."""
    K = T + 273.15
    if not rows[0][0] <= K <= rows[-1][0]:
        raise ValueError(f"{T} degC is outside the table")
    a, b = next((a, b) for a, b in zip(rows, rows[1:]) if K <= b[0])
    w = (K - a[0]) / (b[0] - a[0])
    s = (1.0 / K - 1.0 / a[0]) / (1.0 / b[0] - 1.0 / a[0])
    rho, cp, k = (a[i] + w * (b[i] - a[i]) for i in (1, 2, 4))
    mu = math.exp(math.log(a[3]) + s * (math.log(b[3]) - math.log(a[3])))
    return rho, mu, k, cp
