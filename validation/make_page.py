"""Regenerates docs/validation.md and its convergence plot from the same
computations the validation tests assert:

    /usr/bin/python3 validation/make_page.py --build build

(--build names a build folder holding python/hxrate and hxrate-report; or set
PYTHONPATH and HXRATE_REPORT yourself)."""

import argparse
import math
import os
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
PLOT_NAME = "validation-convergence.svg"


def g(x, digits=4):
    return "–" if x is None else f"{x:.{digits}g}"


def e(x, digits=2):
    return "–" if x is None else f"{x:.{digits}e}"


def table(header, rows):
    out = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    out += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
    return "\n".join(out)


def worst(rows, key, bound):
    r = max(rows, key=lambda r: abs(r[key]) / r[bound])
    return abs(r[key]), r[bound], abs(r[key]) / r[bound]


def tube_side_section(S, ref):
    turb = S.turbulent_tube_side()
    lam = S.laminar_tube_side()
    df, df_bound, _ = worst(turb, "df", "f_bound")
    rows_f = []
    for Re in sorted({round(r["Re"]) for r in turb}):
        cells = [f"{Re:,}"]
        for eD in S.RELATIVE_ROUGHNESS:
            r = next(r for r in turb if round(r["Re"]) == Re and r["eD"] == eD)
            cells.append(f"{r['f_ref']:.6f} ({r['df']:+.1e})")
        rows_f.append(cells)
    rows_nu = []
    for r in turb:
        if r["eD"] == 1e-4:
            rows_nu.append([f"{round(r['Re']):,}", g(r["Pr"], 3), g(r["Nu_ref"], 6),
                            f"{r['dNu']:+.2e}", e(r["Nu_bound"])])
    rows_lam = [[g(r["Re"], 5), g(r["Pr"], 3), g(r["Gz"], 4), g(r["Nu_ref"], 6),
                 f"{r['df']:+.1e}", f"{r['dNu']:+.2e}", e(r["Nu_bound"])] for r in lam]
    max_f = max(abs(r["df"]) for r in turb)
    max_nu = max(abs(r["dNu"]) for r in turb)
    return f"""## 1. Tube-side friction factor and Nusselt number

Each point is a rating of the shipped example with a water-like tube fluid
(ρ = 1000 kg/m³, μ = 0.001 Pa·s, k = 0.6 W/(m·K), c_p set for the Prandtl
number) whose flow gives the Reynolds number of the grid, Re = ρ·Q·4/(Nt·μ·π·Di).
The reference is evaluated at the Reynolds number the rating reports.

**Friction factor** against Colebrook solved exactly. The model iterates
f ← 1/(2 log₁₀(2.51/(Re √f) + (ε/D)/3.7))² from the Swamee–Jain value and
stops when two iterates differ by less than 1·10⁻⁵ (a single-precision
value). Near the root each step shrinks the error by
q = (2/ln 10)·a/(a/√f + b) ≤ (2/ln 10)·√f (a = 2.51/Re, b = (ε/D)/3.7), so
the error left is below 1·10⁻⁵·q/(1 − q): at most {e(max(r['f_bound'] for r in turb))}
over the grid (f ≤ 0.055 at Re = 2,300, ε/D = 0.01), and 10⁻⁶ relative more for
the single-precision constants. **Bound per point: 1·10⁻⁵·q/(1 − q) + 10⁻⁶·f.
Largest deviation seen: {e(max_f)}** (the worst point uses {100 * df / df_bound:.0f} % of its bound).

Colebrook f (deviation of the model's f) over Reynolds number (rows) and
relative roughness ε/D (columns), {len(turb)} ratings in all (three Prandtl
numbers; the friction factor does not depend on them):

{table(["Re"] + [f"ε/D = {g(x, 2)}" for x in S.RELATIVE_ROUGHNESS], rows_f)}

**Nusselt number** against Gnielinski's form evaluated with that exact
friction factor and the exponent 2/3. The model's Nu moves with f by at most
the relative error of f (d ln Nu/d ln f lies between ½ and 1), and it carries
the exponent as 0.6667, which moves Nu by at most |ln Pr|·3.3·10⁻⁵. **Bound
per point: (f bound)/f + |ln Pr|·|0.6667 − 2/3| + 10⁻⁶. Largest relative
deviation seen: {e(max_nu)}.** The points at ε/D = 10⁻⁴:

{table(["Re", "Pr", "Nu (Gnielinski)", "relative deviation", "bound"], rows_nu)}

**Laminar branch** (Re ≤ 2,300) against f = 64/Re and
Nu = 3.66 + 0.065·Gz/(1 + 0.04·Gz^(2/3)), Gz = (D/L)·Re·Pr, written out from
the published form. The model writes the Graetz exponent as 0.667, which
moves ln Nu by at most |ln Gz|·|0.667 − 2/3|·B/(1 + B), B = 0.04·Gz^(2/3):
that is the bound (plus 10⁻⁶), and the deviation it explains grows with Gz.

{table(["Re", "Pr", "Gz", "Nu (reference)", "f deviation", "Nu deviation", "bound"], rows_lam)}
"""


def pressure_section(S):
    if S.report_executable() is None:
        return "## 2. Pressure drops\n\nNot computed: hxrate-report was not given.\n"
    rows = S.tube_pressure_drop()
    k = S.kern_comparison()
    body = [[f"{round(r['Re']):,}", g(r["eD"], 2), r["source"], g(r["dP_ref"], 7),
             f"{r['rel']:+.2e}", e(r["bound"])] for r in rows if r["eD"] in (0.0, 1e-3)]
    chart = [[f"{R:g}", f"{f:.3g}"] for R, f in __import__("references").KERN_CHART]
    half = (len(chart) + 1) // 2
    chart_rows = [a + (b if b else ["", ""]) for a, b in
                  zip(chart[:half], chart[half:] + [None] * (2 * half - len(chart)))]
    max_rel = max(abs(r["rel"]) for r in rows)
    return f"""## 2. Pressure drops (hxrate-report)

**Tube side.** The report's Darcy–Weisbach drop of one tube,
dP = f·(L/D)·ρV²/2 with the model's friction factor, against
`fluids.friction.one_phase_dP` for the same tube and mass flow per tube,
over the Reynolds and roughness grid above ({len(rows)} cases; the laminar
rows stay below Re = 2,040, where `fluids` itself changes to its turbulent
branch while the model does so at 2,300). dP is proportional to f, so the
friction-factor bound carries over: **bound (f bound)/f + 10⁻⁶, largest
relative deviation seen {e(max_rel)}.** Rows at ε/D = 0 and 10⁻³:

{table(["Re", "ε/D", "friction source", "dP fluids (Pa)", "relative deviation", "bound"], body)}

**Shell side, Kern's method.** The report estimates the drop across a
baffled bundle with Kern's method and the exponential fit
f = exp(0.576 − 0.19 ln Re_s) of his friction chart. The reference here is
Kern's method written out again, reading f off the chart itself (table
below, straight lines between readings on the log–log axes). For the worked
example (ṁ = 11 kg/s, ρ = 995 kg/m³, μ = 0.000803 Pa·s, μ_w = 0.000657 Pa·s,
Ds = 0.584 m, B = 0.1524 m, P = 0.0254 m square pitch, Do = 0.019 m, Nb = 22),
entered as a cross-flow case with L = 23·B:

The case document gives the report the wall viscosity, so it reports
Kern's drop with the correction φ_s = (μ/μ_w)^0.14 =
{k['phi_report']:.4f} (`corrected_pressure_drop`, Kern's eq. 7.44) beside the
uncorrected one (`pressure_drop`):

| | Re_s | f | dP with φ_s (Pa) | dP without (Pa) |
|---|---|---|---|---|
| Kern, f from the chart, as stated for this example | | | {S.KERN_PUBLISHED:,.1f} | {S.KERN_PUBLISHED_UNCORRECTED:,.1f} |
| Kern, f from the chart, written out here | {k['Re_chart']:,.0f} | {k['f_chart']:.4f} | {k['dP_chart']:,.1f} | {k['dP_chart_uncorrected']:,.1f} |
| hxrate-report (exponential fit) | {k['Re']:,.0f} | {k['f']:.4f} | {k['dP']:,.1f} | {k['dP_report']:,.1f} |
| hxrate-report against the chart written out | | | {100 * k['rel']:+.2f} % | {100 * k['rel_uncorrected']:+.2f} % |

**Bound ±{100 * k['bound']:.0f} %** (the fit against a chart read by eye);
both differences are that of the friction factor alone (the fit's f against
the chart's at the same Re_s), since the rest of the method is the same
arithmetic on both rows.

Kern's chart as read here (dimensionless f, i.e. 144 × the chart's ft²/in²):

{table(["Re_s", "f", "Re_s", "f"], chart_rows)}
"""


def convergence_section(S):
    ax = {t: S.axial_convergence(t) for t in (0, 1)}
    one = {t: S.one_compartment_convergence(t) for t in (2, 3)}
    trend = {t: S.cross_flow_trend(t) for t in (2, 3)}
    r0 = ax[0][0]
    rows = []
    for a, b in zip(ax[0], ax[1]):
        rows.append([g(a["dL"], 4), a["elements"], e(a["error"]), g(a.get("order"), 3),
                     e(b["error"]), g(b.get("order"), 3)])
    tr = []
    for a, b in zip(trend[2], trend[3]):
        tr.append([a["compartments"], g(a["NTU"], 4), f"{a['eps']:.5f}", f"{a['eps_one']:.5f}",
                   f"{a['eps_many']:.5f}", f"{b['eps']:.5f}", f"{b['eps_one']:.5f}",
                   f"{b['eps_many']:.5f}"])
    one_rows = [[g(a["dL"], 4), e(a["error"]), g(a.get("order"), 3), e(b["error"]),
                 g(b.get("order"), 3)] for a, b in zip(one[2], one[3])]
    last = lambda rows: rows[-1]["order"]  # noqa: E731
    return f"""## 3. Outlet temperatures against the closed-form effectiveness

**Along the tubes (types 0 and 1).** The shipped example with water on both
sides, Ds = 0.2 m and L = {S.CONVERGENCE_LENGTH:g} m (NTU = {r0['NTU']:.3f},
Cr = {r0['Cr']:.4f}), rated at element lengths L/2ᵏ, k = 3…14, with the
exact shooting so that no shooting tolerance hides the march's own error.
UA = U·A, C_min and C_max come from the rating itself
(ṁ·c_p of each stream); the closed forms are co-current
ε = (1 − exp(−NTU(1 + Cr)))/(1 + Cr) and counter-current
ε = (1 − exp(−NTU(1 − Cr)))/(1 − Cr·exp(−NTU(1 − Cr))) (NTU/(1 + NTU) at Cr = 1).
The error is the larger of the two outlet temperature errors, in K (inlet
temperatures 20 °C and 90 °C). The march is explicit (each element uses the
upstream node's temperatures), so the error halves with dL: **observed order
{last(ax[0]):.3f} (co-current) and {last(ax[1]):.3f} (counter-current) at the
finest grids; the test holds every order past the two coarsest grids within
0.95…1.05.** This first order is what the discretisation estimate of
`hxrate-advise` and of the report assume when they compare a case with its
element length halved.

![Outlet temperature error against element length]({PLOT_NAME})

{table(["dL (m)", "elements", "error type 0 (K)", "order", "error type 1 (K)", "order"], rows)}

**Across a baffled shell (types 2 and 3).** The tubes of one compartment
see one shell temperature: in co-current cross flow the temperature the
shell fluid brings into the compartment, in counter-current cross flow the
temperature it leaves with. The limits therefore are:

- *one compartment* (no baffles): type 2 is a tube stream against a bath at
  the shell inlet temperature, ε_t = 1 − exp(−UA/C_t); type 3 is a tube
  stream against a well-mixed shell at its outlet temperature,
  ε_t = a/(1 + a·C_t/C_s), a = 1 − exp(−UA/C_t) (ε given here on C_min);
- *many compartments*: the shell temperature follows the tube position and
  the exchanger becomes the co-current (type 2) or counter-current (type 3)
  exchanger along the tubes, with their closed forms above.

Case `success-type2_staggered_row2` with a tube flow of 1·10⁻³ m³/s and
L = 8 m, 2¹⁴ elements, exact shooting; the baffle spacing changes the
shell-side coefficient, so each row has its own UA and both limits are
evaluated with it:

{table(["compartments", "NTU", "ε type 2", "one-compartment limit", "co-current limit", "ε type 3", "one-compartment limit", "counter-current limit"], tr)}

With one compartment the model meets its limit up to the march's O(dL)
error (observed order {last(one[2]):.3f} and {last(one[3]):.3f}, errors in K,
inlets 212.4 °C and −11.2 °C); as compartments are added the distance to the
along-the-tubes limit shrinks steadily (roughly as 1/compartments):

{table(["dL (m)", "type 2, one compartment: error (K)", "order", "type 3: error (K)", "order"], one_rows)}
"""


def energy_section(S):
    rows = S.energy_balance()
    body = []
    for r in rows:
        body.append([f"`{r['case']}`", r["type"], r["elements"], e(r["rel"]), e(r["bound"]),
                     e(r.get("rel_exact")), r["note"]])
    co = [r["rel"] for r in rows if r["type"] in (0, 2) and r["rel"] is not None]
    cc = [r for r in rows if r["type"] in (1, 3) and r.get("rel_exact") is not None]
    return f"""## 4. Energy balance

Every `tests/cases/success-*` case ({len(rows)}): the tube stream's duty
ṁ_t·c_t·(T_t,in − T_t,out) against the shell stream's
ṁ_s·c_s·(T_s,out − T_s,in), relative to the larger.

- **Co-current types (0, 2): worst {e(max(co))}, bound 1·10⁻⁹.** Each element
  (type 0) or compartment (type 2) gives the shell stream exactly what the
  tube stream lost, so only rounding separates the two duties.
- **Counter-current types (1, 3): not to 1·10⁻⁹, and this is why.** The
  program's shooting stops when the shell temperature at the far end of the
  march is within 1·10⁻⁵ K of the shell inlet temperature; the shell duty is
  measured from the inlet temperature, so the duties may differ by up to
  C_s·1·10⁻⁵ W. **Bound 1·10⁻⁹ + C_s·1·10⁻⁵/max|Q|**, which for a small duty
  (`success-type3_staggered_row4`, a few watts) is large in relative terms.
  Rated with the exact shooting instead, the same cases balance to
  {e(max(r['rel_exact'] for r in cc))} at worst (last column).

{table(["case", "type", "elements", "relative difference", "bound", "exact shooting", "note"], body)}
"""


def shooting_section(S):
    rows = S.shooting_agreement()
    body = [[f"`{r['case']}`", r["type"], r["nodes"], r["passes"], r["exact_passes"],
             e(r["diff"]), g(r["S"], 4), e(r["bound"])] for r in rows]
    return f"""## 5. Exact shooting against the program's shooting

Every counter-current success case ({len(rows)}), rated with the program's
shooting (steered by the case's correction factor) and with the exact one
(a pass is affine in its start value: two passes give the line, the third
lands on it). Both stop when the far-end shell temperature is within
1·10⁻⁵ K of the shell inlet temperature. A profile is then the exact profile
for a shell inlet temperature off by that last mismatch, and each node moves
by S times it, where S is the node's sensitivity to the shell inlet
temperature (measured with a second exact rating, the inlet raised by 1 K;
S = 1 at the inlet node itself, and an explicit march may overshoot it
slightly). **Bound: 2·1·10⁻⁵·max S (+10⁻¹² relative rounding). Largest
difference seen: {e(max(r['diff'] for r in rows))} K** over both profiles
(tube and shell or shell-pass inlet temperatures, every node).

{table(["case", "type", "nodes", "passes (program)", "passes (exact)", "largest difference (K)", "max S", "bound (K)"], body)}
"""


def design_section(D):
    def rows(rs):
        return [[r["what"], f"{r['published']:.13g}", f"{r['ours']:.13g}", f"{r['rel']:+.1e}",
                 e(r["bound"], 0), r["source"]] for r in rs]
    head = ["quantity", "published", "hxrate", "relative difference", "bound", "source"]
    full, ideal = D.worked_example()
    geo = D.WORKED_GEOMETRY
    factors = [[name, f"{full[key]:.4f}"] for name, key in (
        ("Jc (baffle cut and spacing)", "jc"), ("Jl (baffle leakage)", "jl"),
        ("Jb (bundle bypass)", "jb"), ("Js (end spacings)", "js"), ("Jr (laminar gradient)", "jr"),
        ("Rl", "rl"), ("Rb", "rb"), ("Rs", "rs"))]
    steps = [[name, f"{full[key]:.5g}", f"{ideal[key]:.5g}"] for name, key in (
        ("Sm, cross-flow area (m²)", "cross_flow_area"), ("Sw, window flow area (m²)", "window_area"),
        ("Ssb, shell-to-baffle leakage (m²)", "shell_baffle_leakage_area"),
        ("Stb, tube-to-baffle leakage (m²)", "tube_baffle_leakage_area"),
        ("Sb, bypass area (m²)", "bypass_area"), ("Fc, tubes in cross flow", "cross_flow_fraction"),
        ("Ntcc, rows in cross flow", "cross_flow_rows"), ("Ntcw, effective window rows", "window_rows"),
        ("Re", "reynolds"), ("ideal-bank j", "ideal_j"), ("ideal-bank f", "ideal_f"),
        ("h ideal (W/(m²·K))", "ideal_coefficient"), ("h_o (W/(m²·K))", "coefficient"),
        ("ΔP cross flow (Pa)", "cross_flow_drop"), ("ΔP windows (Pa)", "window_drop"),
        ("ΔP end zones (Pa)", "end_zone_drop"), ("ΔP shell, nozzles excluded (Pa)", "pressure_drop"))]
    shell = []
    for r in D.shell_side_rows():
        shell.append([r["what"], f"{r['Re']:,.0f}", f"{r['Pr']:.3g}", f"{r['ours']:.3f}",
                      f"{r['published']:.3f}", f"{100 * (r['ours'] / r['published'] - 1):+.2f} %",
                      r["reference"], r["why"]])
    edges = [[f"{r['angle']}°", f"{r['edge']:,}", f"{100 * r['j']:+.1f} %", f"{100 * r['f']:+.1f} %"]
             for r in D.band_edge_rows()]
    cyl = D.shell_side_rows()[1]
    sources = "\n".join(f"- **{k}**: {v}" for k, v in D.SOURCES.items())
    return f"""## 6. Design closed forms: P-NTU and the LMTD correction factor

`hxrate.tema_e_p1`, `hxrate.lmtd_correction` and `hxrate.tema_e_outlets`
(C++ `temaEP1`, `lmtdCorrection`, `temaEOutlets` in `hxrate/arrangements.h`)
against the values published for them. Side 1 is the shell stream. Two tube
passes use the 1-2 form (TEMA's form for any even number of passes), four
the exact 1-4 form; the 1-2 form would give T1out = 110.0931 °C for the 1-4
example, 2·10⁻⁵ off, so the published 1-4 values are those of the 1-4 form.

{table(head, rows(D.pntu_rows()))}

## 7. Bell–Delaware correction factors

The fits of Taborek in the Heat Exchanger Design Handbook, as `hxrate.bell_jc`
… `bell_jr` (C++ `hxrate::bell::jc` …). Jb and Js are the turbulent forms
(Re ≥ 100): the laminar constants (Cbh = 1.35, n = 1/3) give other values.

{table(head, rows(D.bell_factor_rows()))}

## 8. A Bell–Delaware shell side, factor by factor

`hxrate.bell_delaware_shell_side` for a water cooler of textbook proportions:
Ds = {geo['shell_diameter']} m, {geo['tube_count']} tubes of Do = {geo['tube_outer_diameter']} m on a
{geo['tube_pitch']} m triangular pitch, {100 * geo['baffle_cut']:.0f} % cut, {geo['baffle_count']} baffles at
{geo['central_baffle_spacing']} m with {geo['inlet_baffle_spacing']} m end spacings, diametral clearances
{geo['shell_to_baffle_clearance']} m (shell–baffle), {geo['tube_to_baffle_clearance']} m (tube–hole) and
{geo['bundle_to_shell_clearance']} m (bundle–shell), {geo['sealing_strip_pairs']} sealing-strip pairs; 20 kg/s of
water (ρ = 995 kg/m³, μ = 8·10⁻⁴ Pa·s, μ_w = 6.5·10⁻⁴ Pa·s, c_p = 4180 J/(kg·K),
k = 0.62 W/(m·K)).

**Not a published worked example.** A complete published worked example
of the method (a textbook's inputs with its h_o, ΔP and each factor:
Kakaç and Liu, Serth, Shah and Sekulić, Thulukkanam, Hewitt–Shires–Bott,
course handouts) was searched for and none whose numbers could be read in
full was found, so none is claimed and no book value is quoted from memory.
The nearest textbook example found, Roetzel, Luo and Chen, *Design and
Operation of Heat Exchangers and their Networks* (2020), example 5.1, restates
Shah and Sekulić's oil cooler (their examples 8.3 and 9.4) as a design problem
with the VDI (Gnielinski) ideal bank and its own bundle rule, so its numbers
are not this method's.
The closest published checks are the factor-by-factor values of §7 (the
documented examples of Taborek's fits) and the Jc form Jc = 0.55 + 0.72·Fc
as textbooks print it (§7's Fc = 0.82 row is that form); the test holds
h_o = h_ideal·Jc·Jl·Jb·Js·Jr and, with every factor imposed as 1, the ideal
bank itself. The ideal-bank
constants a1…a4, b1…b4 in `src/core/bell_delaware.cpp` are the handbook's
table as public transcriptions give it (Serth's table 6.1 reproduces it), with
two readings settled by continuity: where one transcription carries 0.319 for
b1 of the 90° layout above Re = 10⁴ the others carry 0.391, used here; and for
the 45° layout at 10 ≤ Re < 100 several print a1 = 0.498, which cuts j to a
third at Re = 10 and triples it at Re = 100, where 1.498 (used here) joins
both neighbouring ranges. Each range continues the next at their common edge to within 6 %
(pitch ratio 1.25; the step of j and f from just below the edge to the edge):

{table(["layout", "Re at the edge", "step in j", "step in f"], edges)}

{table(["factor", "value"], factors)}

{table(["step", "Bell–Delaware", "every factor imposed as 1"], steps)}

## 9. The program's own shell side against published forms

The rating's shell-side Nusselt number in cross flow (case lines as the
shipped example, type 2, shell fluid chosen for the Reynolds and Prandtl
numbers shown), against the published forms it abbreviates:

{table(["case", "Re", "Pr", "hxrate Nu", "published Nu", "difference", "published form", "why"], shell)}

The full Churchill–Bernstein form written out here gives
{cyl['full_form']:.3f} at the rating's Re and Pr (published 40.637); the program's
value times the omitted bracket, (1 + (Re/282000)^(5/8))^(4/5), meets it to
the program's single-precision constants (10⁻⁴).

### Sources of this part

{sources}
"""


def passes_section(D):
    t = D.tube_pass_rows()
    k = D.KERN_TUBES
    rel = lambda a, b: (a - b) / b  # noqa: E731
    kern_rows = [
        ["velocity head V²/2g' at Kern's G_t (psi)", f"{D.KERN_VELOCITY_HEAD_PSI:.2f} (Fig. 27)",
         f"{t['head_water_psi']:.4f} (G²/2ρ_w)", f"{100 * rel(t['head_water_psi'], D.KERN_VELOCITY_HEAD_PSI):+.1f} %",
         "Kern reads his chart to two digits"],
        ["return loss ΔP_r, 4 passes (Pa)", f"{D.KERN_RETURN_PSI} psi = {t['ret_kern']:,.0f}",
         f"{t['ret']:,.0f}", f"{100 * rel(t['ret'], t['ret_kern']):+.1f} %",
         f"Kern's (4n/s)·0.15 unrounded is {t['ret_kern_unrounded']:,.0f} Pa "
         f"({100 * rel(t['ret'], t['ret_kern_unrounded']):+.1f} %): the chart reading"],
        ["Darcy friction factor", f"{t['f_kern']:.4f} (Fig. 26, Re = {D.KERN_TUBE_RE:,})",
         f"{t['f']:.4f} (Re = {t['Re']:,.0f})", f"{100 * rel(t['f'], t['f_kern']):+.0f} %",
         "Kern's tube-side chart lies above the smooth-pipe line; the rating uses Colebrook "
         "with the case's roughness"],
    ]
    hand = [
        ["velocity in one tube V (m/s)", f"{t['velocity_hand']:.8g}", f"{t['velocity']:.8g}",
         f"{rel(t['velocity'], t['velocity_hand']):+.1e}", "1e-07"],
        ["return loss 4·N·ρV²/2 (Pa)", f"{t['ret_hand']:.8g}", f"{t['ret']:.8g}",
         f"{rel(t['ret'], t['ret_hand']):+.1e}", "1e-07"],
        ["friction f·(N·L/Di)·ρV²/2, f from Colebrook solved exactly (Pa)",
         f"{t['friction_hand']:.8g}", f"{t['friction']:.8g}",
         f"{rel(t['friction'], t['friction_hand']):+.1e}", e(t["friction_bound"])],
    ]
    fouling = []
    for r in D.allowable_fouling_rows():
        if r["hand"] is None:
            fouling.append([r["what"], r["form"], f"{r['P1']:.5f}", f"{r['R1']:.3g}", "none reaches P1",
                            "–", "–", "absent", "absent" if r["ours"] is None else f"{r['ours']:.6g}", "–"])
            continue
        fouling.append([r["what"], r["form"], f"{r['P1']:.5f}", f"{r['R1']:.3g}", f"{r['NTU1']:.5f}",
                        f"{r['U_clean']:.6g}", f"{r['U_required']:.6g}", f"{r['hand']:.6e}",
                        f"{r['ours']:.6e}", f"{r['rel']:+.1e}"])
    return f"""## 10. Tube side of several passes, and the fouling an arrangement can carry

**Tube-side drop per pass with return losses** (`rateExtended`, docs/extensions.md):
ΔP = f·(N·L/Di)·ρV²/2 + 4·N·ρV²/2, V in one of the Nt/N tubes of a pass, four
velocity heads a pass for entry, exit and return (Kern 1950, eq. 7.46). Kern's
example 7.3: {k['m'] * 3600 / 0.45359237:,.0f} lb/h of crude oil (s = {k['s']},
μ = {k['mu'] * 1000:g} cP) in {k['passes']} passes of {k['Nt']} tubes, Di = 0.81 in,
L = 16 ft; rated here with {D.EQUAL_PASS_TUBES} tubes (equal passes) and the flow
scaled by {D.EQUAL_PASS_TUBES}/{k['Nt']}, which keeps his mass velocity
G_t = {t['G_kern']:,.0f} lb/(h·ft²) and so his V. Kern's own figures (source
**kern-7.3** under "Sources of this part" above) beside ours:

{table(["quantity", "Kern (published)", "hxrate", "difference", "why"], kern_rows)}

The same drop written out from its definitions (a hand check; the velocity
differs by the program's single-precision π, 2.8·10⁻⁸):

{table(["term", "by hand", "hxrate", "relative difference", "bound"], hand)}

**Allowable fouling** (`allowableFouling`): the target duty Q of `rate(case)`,
P1 = Q/(C_shell·|T_s,in − T_t,in|), NTU1 from the closed-form inverse of the
arrangement written out here (counterflow NTU = ln((1 − RP)/(1 − P))/(1 − R);
parallel flow −ln(1 − P(1 + R))/(1 + R); 1-2 shell
(1/E)·ln((2 − P(1 + R − E))/(2 − P(1 + R + E))), E = (1 + R²)^½; 1-4 by
bisection of its P-NTU form), U_required = NTU1·C_shell/A and
R_f = 1/U_required − 1/U_clean, for the water–water exchanger of section 3.
The difference is taken on the scale of the resistances (times U_clean);
**bound 10⁻⁹**. Negative values: even clean the arrangement falls short of
the one-pass duty by that resistance; four passes cannot reach that P1 at
R1 = 1.5 at all, and the library then gives none.

{table(["arrangement", "inverse", "P1", "R1", "NTU1", "U_clean (W/(m²·K))", "U_required", "R_f by hand (m²·K/W)", "hxrate", "difference × U_clean"], fouling)}
"""


def missing(*modules):
    """The packages among `modules` that do not import, as Debian names them."""
    absent = []
    for m in modules:
        try:
            __import__(m)
        except ImportError:
            absent.append(f"python3-{m}")
    return absent


def not_computed(title, absent):
    return f"## {title}\n\nNot computed: {', '.join(absent)} not installed.\n"


WATER_NAMES = {"rho": "density ρ", "cp": "heat capacity c_p", "mu": "viscosity μ",
               "k": "conductivity k"}


def water_section(F):
    title = "11. Real fluids: water properties"
    absent = missing("scipy", "iapws")
    if absent:
        return not_computed(title, absent)
    w = F.water_against_iapws()
    worst = [[WATER_NAMES[n], e(d), f"{t} °C, {p:g} MPa"] for n, (d, t, p) in w["worst"].items()]
    largest = max(d for d, _, _ in w["worst"].values())
    rows = F.water_verification_rows()
    ver = [[r["what"], r["source"], f"`{r['text']}`",
            "–" if r["ours"] is None else f"{r['ours']:.12g}", f"{r['iapws']:.12g}",
            f"{r['unit'] / 2:.0e}"] for r in rows]
    return f"""## {title}

`hxrate.water_properties(T, p)`, the properties of a `"water"` model, against
python3-iapws over liquid water at 1 … 350 °C and 0.1 … 20 MPa: ρ and c_p of
`iapws.IAPWS97` (IAPWS-IF97 region 1), μ by iapws's function of the IAPWS 2008
formulation with μ₂ = 1 (the release's choice for industrial use) and k by its
function of the IAPWS 2011 formulation with the critical enhancement in its
industrial form (c_p, c_p/c_v and (∂ρ/∂p)_T from IF97, and at T_R = 1.5·T_c the
polynomial of the release's table 6). Of the {w['compared'] + w['refused']} grid points
{w['compared']} are liquid in IF97; hxrate refuses the other {w['refused']} (at or above
the boiling point, or above region 1 at 350 °C) and no point where IF97 has
liquid. **Bound 10⁻⁶ relative, each property; largest deviation seen
{e(largest)}.**

{table(["property", "largest relative deviation", "at"], worst)}

iapws evaluates each term as the releases write it, with one term by a
route of its own: the (∂ρ/∂p)_T of the conductivity's critical enhancement
comes from its general derivative after IAPWS's Advisory Note 3,
−ρ²·(∂v/∂p)_T with (∂v/∂p)_T = −v·κ_T from IF97. That changes only the order of
the floating-point operations: the deviations above, {e(largest)} at most, are
rounding, and no term comes out differently.

**The releases' own verification values**, value by value (IF97 table 5,
also the examples of iapws's `_Region1`; IAPWS 2008 table 4 at given T and ρ,
μ₂ = 1; IAPWS 2011 table 4 at given T and ρ, λ₂ = 0, and table 7, its
industrial form with IF97 at 620 K). hxrate and iapws must each round to the
printed value: **bound half a unit of its last printed digit.** hxrate takes
T and p, so a value given at T and ρ is compared at the pressure where
hxrate's density is that ρ (Brent's method); only 998 kg/m³ at 298.15 K lies
within hxrate's 100 MPa (there λ₂ vanishes: its driving term is negative and
the release sets it to zero). λ₂ alone is not a quantity hxrate gives.

{table(["value", "source", "printed", "hxrate", "iapws", "bound"], ver)}
"""


def march_section(F):
    title = "12. Real fluids: element by element against an independent solution"
    absent = missing("scipy", "iapws", "fluids")
    if absent:
        return not_computed(title, absent)
    s = {t: F.incremental_against_independent(t) for t in (0, 1)}
    d = {t: F.systematic_difference(t) for t in (0, 1)}
    b = F.dense_bundle_correlation()
    grid_rows, check_rows = [], []
    for t in (0, 1):
        for gr in s[t]["grids"]:
            grid_rows.append([t, g(gr["dL"], 3), gr["elements"], f"{gr['Tt']:.6f}",
                              f"{gr['Ts']:.6f}", f"{gr['U']:.6f}", e(gr["error"]),
                              g(gr.get("order"), 4), e(gr["U_error"]), g(gr.get("U_order"), 4),
                              e(gr["estimate"])])
        x, c = s[t]["reference"], s[t]["checks"]
        first = s[t]["grids"][0]
        for name, what, ours, theirs, unit in (
                ("outlets", "outlets (larger error, K)",
                 f"{first['Tt']:.6f}, {first['Ts']:.6f}", f"{x['Tt']:.6f}, {x['Ts']:.6f}", ""),
                ("U", "U (W/(m²·K)), relative", f"{first['U']:.6f}", f"{x['U']:.6f}", ""),
                ("Q", "heat to the water (W), relative", f"{first['Q']:.3f}", f"{x['Q']:.3f}", ""),
                ("nodes", "U at every node from its temperatures, relative",
                 f"{first['elements'] + 1} nodes", "", "")):
            check_rows.append([t, what, ours, theirs, e(c[name][0]), e(c[name][1]),
                               f"{100 * c[name][0] / c[name][1]:.0f} %"])
    share = max(v["share"] for v in d.values())
    ratios = [gr["error"] / gr["estimate"] for t in (0, 1) for gr in s[t]["grids"]]
    return f"""## {title}

The shipped example as type 0 and type 1, its tube water as
`{{"model": "water", "pressure": {F.WATER_PRESSURE:g}}}` (Pa) and its shell oil as the
engine-oil table (Incropera and DeWitt 2002, table A.5, 273–370 K, illustrative),
rated with `properties_at="incremental"` and the exact shooting. The march
steps each element explicitly from its upstream node, both film coefficients
from their correlations at that node's properties:

- T_t(i+1) = T_t(i) − (T_t(i) − T_s(i))·N_t·dL/(R_p(i)·c_p,t(i)·ṁ_t)
- T_s(i+1) = T_s(i) − (T_t(i+1) − T_t(i))·σ·c_p,t(i)·ṁ_t/(c_p,s(i)·ṁ_s), σ = +1
  co-current (type 0), −1 counter-current (type 1, shell outlet by shooting)
- R_p(i) = (R_w + 1/(h_i·r_i) + 1/(h_o·r_o))/(2π), the resistance per unit length

with the mass flows of the inlets (ρ_in·Q_in) and U the mean over the
elements. As dL → 0 these are the differential equations
dT_t/dx = N_t·(T_s − T_t)/(R_p·c_p,t·ṁ_t) and
dT_s/dx = −σ·N_t·(T_s − T_t)/(R_p·c_p,s·ṁ_s), which the check solves with SciPy
(`solve_ivp`, DOP853, rtol = atol = 10⁻¹¹; type 1 with `brentq` on the shell
outlet until the march ends on the shell inlet temperature), U as the mean of
1/(R_p·π·D_o) over the length and the heat the water takes up as
ṁ_t·(h(T_t,out) − h(T_t,in)) with iapws's enthalpy. Written apart from hxrate:

- **the properties**: water from iapws as in §11; the oil by interpolating
  the table here, ρ, k and c_p linear in T, ln μ linear in 1/T (T absolute);
- **the tube side**: Gnielinski's form with Colebrook's friction factor solved
  exactly (§1), Re = 4·ṁ_t/(N_t·π·D_i·μ) (the laminar Graetz form below
  Re = 2,300 is not reached);
- **the shell side**: the program's dense-bundle correlation, which the
  example takes (x = Ds/(Do·√Nt) = {b['x']:.3f} ≤ 3.2). hxrate's documentation names
  it but gives no published source, so it cannot be written out from one.
  The check takes the form hxrate's unit tests give it, Nu = c·Re^m·Pr^n on
  the hydraulic diameter D_h = (Ds² − Nt·Do²)/(Ds + Nt·Do) with c and m fitted in
  x, and measures c = {b['c']:.6g}, m = {b['m']:.6g} and n = {b['n']:.8g} (the
  single-precision 0.3333 for 1/3) at this geometry from three ratings with
  constant properties; five more (Re from {b['Re'][0]:.3g} to {b['Re'][1]:,.0f}, Pr from
  {b['Pr'][0]:,.0f} to {b['Pr'][1]:,.0f}) keep the form to {e(b['departure'])}. This section
  therefore tests the march and the property models, not that correlation.

**The bound.** The assessment's discretisation estimate is how far halving
dL moves an outlet. The march is first order, so the error of the rating on
dL is that change times 1/(1 − 2⁻ᵖ), i.e. twice it at p = 1: the estimate
alone is half the error of the grid it was formed on (the errors below are
{min(ratios):.3f} to {max(ratios):.3f} times it). The bound takes the factor at the lowest order the
convergence check accepts, p = 0.9 ({F.RICHARDSON:.3f}), times the estimate, plus
10⁻⁵ K for what else separates the two solutions: the model's Gnielinski
exponent 0.6667 for 2/3 and its single-precision constants move U by at most
{e(max(v['U'] for v in d.values()))} relative (the water film carries {100 * share:.1f} % of the
resistance), i.e. {e(max(v['K'] for v in d.values()))} K on temperature changes of
{max(v['change'] for v in d.values()):.2f} K at most; the test holds both within the tolerance.
U and the duty are held the same way against their own change from dL to
dL/2 (plus 10⁻⁵ relative). And apart from the march, at every node of the
rating's profile the U the film coefficients written out here give at that
node's two temperatures must meet the U hxrate formed there
(`property_profile.overall_coefficient`) within that systematic difference
alone. **The observed order as dL halves must lie within
0.9 … 1.1.**

{table(["type", "check (case's dL = 0.1 m)", "hxrate", "independent", "distance", "bound", "of the bound"], check_rows)}

Along the grids (errors against the independent solution; the estimate is
the assessment's on that grid):

{table(["type", "dL (m)", "elements", "T_t,out (°C)", "T_s,out (°C)", "U", "outlet error (K)", "order", "U error (relative)", "order", "estimate (K)"], grid_rows)}
"""


def modes_section(F):
    title = "13. Real fluids: the shipped example with its oil as a table"
    rows = {t: F.property_modes(t) for t in (0, 1)}
    have_reference = not missing("scipy", "iapws", "fluids")
    names = {"constant": "constant (the case file's values)", "inlet": "inlet",
             "incremental": "incremental"}
    body = []
    for a, b in zip(rows[0], rows[1]):
        name = names.get(a["mode"], f"mean ({a['iterations']} and {b['iterations']} re-ratings)")
        cells = [name]
        for r in (a, b):
            cells += [f"{r['U']:.4f}", f"{r['Q']:.1f}", f"{100 * r['dU']:+.2f} %",
                      f"{100 * r['dQ']:+.2f} %"]
        body.append(cells)
    if have_reference:
        cells = ["independent solution (dL → 0, §12)"]
        for t in (0, 1):
            x, inc = F.incremental_against_independent(t)["reference"], rows[t][-1]
            cells += [f"{x['U']:.4f}", f"{x['Q']:.1f}", f"{100 * (x['U'] / inc['U'] - 1):+.2f} %",
                      f"{100 * (x['Q'] / inc['Q'] - 1):+.2f} %"]
        body.append(cells)
    constant = [r for r in rows[0] + rows[1] if r["mode"] == "constant"]
    mean = [r for r in rows[0] + rows[1] if r["mode"] == "mean"]
    inlet = [r for r in rows[0] + rows[1] if r["mode"] == "inlet"]
    case = F.studies.example_case()
    where = ""
    if not missing("scipy"):
        mu, T_in = case.shell_fluid.viscosity, case.shell_inlet_temperature
        where = (f" The case file's oil viscosity, {mu:g} Pa·s, is the table's at "
                 f"{F.table_temperature_of_viscosity(mu):.1f} °C; at the oil's inlet, {T_in:g} °C, "
                 f"the table gives {F.ref.table_properties(F.ENGINE_OIL, T_in)[1]:.4f} Pa·s.")
    inc = rows[0][-1]
    grid_error = "–"
    if have_reference:
        grid_error = " and ".join(
            f"{100 * F.incremental_against_independent(t)['grids'][0]['U_error']:.2f} %"
            for t in (0, 1))
    span = lambda rs, k: f"{100 * min(abs(r[k]) for r in rs):.2f} … {100 * max(abs(r[k]) for r in rs):.2f} %"  # noqa: E731
    return f"""## {title}

The example of §12 on its own grid (dL = 0.1 m, exact shooting): with the
constant properties of its case file, and with the oil table and the water
model in each mode. U is on the outer surface (W/(m²·K)), Q the heat the
water takes up (W); each beside its distance from the incremental rating.

{table(["properties", "type 0: U", "Q", "U vs incremental", "Q vs incremental", "type 1: U", "Q", "U vs incremental", "Q vs incremental"], body)}

**Constant properties were off by {span(constant, 'dU')} in U and
{span(constant, 'dQ')} in the duty ({"too low" if constant[0]["dU"] < 0 else "too high"}).**{where}
The oil cools by {case.shell_inlet_temperature - inc['Ts']:.2f} K and the water warms by
{inc['Tt'] - case.tube_inlet_temperature:.2f} K (type 0, incremental), so the properties hardly
change along the tubes: the inlet mode lies {span(inlet, 'dU')} from the
incremental one in U, and the mean mode {span(mean, 'dU')}, about the
incremental rating's own grid error on this grid ({grid_error}, §12). The
checks: the inlet mode takes its properties at the inlet temperatures
exactly; the mean mode at the bulk means of its own outlets to
{e(max(r['mean_gap'] for r in mean))} K (bound 0.5·10⁻⁶ K: its re-ratings stop when no outlet
moves by 10⁻⁶ K); the incremental mode reports its side records at
the bulk means of its outlets; in type 0 the incremental rating's U at its
first node, where both streams enter, is the inlet mode's U bit for bit; the
incremental U and duty are §12's.
"""


def fluid_summary(F):
    rows = []
    if not missing("scipy", "iapws"):
        w = F.water_against_iapws()
        ver = F.water_verification_rows()
        used = max(abs(v - r["printed"]) / r["bound"] for r in ver
                   for v in (r["ours"], r["iapws"]) if v is not None)
        rows += [
            ["water ρ, c_p, μ, k vs iapws (IF97, IAPWS 2008, 2011)", "10⁻⁶ relative",
             e(max(d for d, _, _ in w["worst"].values())) + " (relative)"],
            ["water vs the releases' verification values", "½ unit of the last printed digit",
             f"{len(ver)} values, worst at {100 * used:.0f} % of its bound"],
        ]
    if not missing("scipy", "iapws", "fluids"):
        s = {t: F.incremental_against_independent(t) for t in (0, 1)}
        part = lambda name, fmt: ", ".join(  # noqa: E731
            f"{fmt(s[t]['checks'][name][0])} (type {t})" for t in (0, 1))
        orders = [v for t in (0, 1) for gr in s[t]["grids"][1:] for v in (gr["order"], gr["U_order"])]
        rows += [
            ["incremental march vs SciPy solution: outlets", f"{F.RICHARDSON:.2f} × estimate + 10⁻⁵ K",
             part("outlets", lambda x: e(x) + " K")],
            ["incremental march vs SciPy solution: U, duty", f"{F.RICHARDSON:.2f} × change on dL/2 + 10⁻⁵",
             part("U", e) + "; duty " + part("Q", e)],
            ["incremental march: U at every node vs its film coefficients written out",
             "Gnielinski exponent and constants, " + e(max(s[t]["checks"]["nodes"][1] for t in (0, 1))),
             part("nodes", e)],
            ["order of convergence of the incremental march", "0.9 … 1.1",
             f"{min(orders):.3f} … {max(orders):.3f}"],
        ]
    gaps = [r["mean_gap"] for t in (0, 1) for r in F.property_modes(t) if r["mode"] == "mean"]
    rows.append(["mean mode: properties at its bulk mean temperatures", "0.5·10⁻⁶ K",
                 e(max(gaps)) + " K"])
    return rows


def plot(S, svg):
    series = [
        ("type 0, co-current", [(r["dL"], r["error"]) for r in S.axial_convergence(0)]),
        ("type 1, counter-current", [(r["dL"], r["error"]) for r in S.axial_convergence(1)]),
        ("type 2, one compartment", [(r["dL"], r["error"]) for r in S.one_compartment_convergence(2)]),
        ("type 3, one compartment", [(r["dL"], r["error"]) for r in S.one_compartment_convergence(3)]),
    ]
    rows = S.axial_convergence(1)
    x0, x1 = rows[0]["dL"], rows[-1]["dL"]
    y1 = rows[-1]["error"] / 3
    guide = [("slope 1", [(x1, y1), (x0, y1 * x0 / x1)])]
    return svg.loglog(series, "element length dL (m)", "outlet temperature error (K)",
                      "Error of the march against the closed form", guides=guide)



def search_section(T):
    bands = T.band_summary()
    band_rows = [[name, str(b["rows"]), f"{100 * b['low']:+.0f} % … {100 * b['high']:+.0f} %",
                  f"{100 * b['worst_low']:+.1f} % … {100 * b['worst_high']:+.1f} %"]
                 for name, b in bands.items()]
    k = T.kern_example()
    big = [r for r in T.tube_count_rows() if r["shell"] in (21.25, 31, 39)]
    count_rows = [[r["layout"], f"{r['shell']:g}", str(r["passes"]), str(r["published"]),
                   str(r["ours"]), f"{100 * r['rel']:+.1f} %"] for r in big]
    s = T.sinnott_search()
    b = T.BOOK
    rated = T.sinnott_book_rated()
    best = s.designs[0]
    ex = [
        ["tubes", str(b["tubes"]), str(b["tubes"]), str(best["tube_count"])],
        ["tube OD (mm)", f"{1000 * b['tube_od']:g}", f"{1000 * b['tube_od']:g}",
         f"{1000 * best['tube_outer_diameter']:.2f}"],
        ["passes × shells", f"{b['passes']} × {b['shells']}", f"{b['passes']} × {b['shells']}",
         f"{best['tube_passes']} × {best['shells']}"],
        ["shell inner diameter (mm)", f"{1000 * b['shell_diameter']:g}",
         f"{1000 * b['shell_diameter']:g}", f"{1000 * best['shell_diameter']:.0f}"],
        ["tube length (m)", f"{b['length']:g}", f"{b['length']:g}", f"{best['tube_length']:g}"],
        ["area (m²)", f"{b['area']:.1f} (918 tubes, 4.83 m effective)", f"{rated['area']:.1f}",
         f"{best['area']:.1f}"],
        ["U with fouling (W/(m²·K))", "–", f"{rated['U']:.0f}", f"{best['overall_coefficient']:.0f}"],
        ["duty (kW; asked {0:.0f})".format(s.duty / 1e3), "–", f"{rated['duty'] / 1e3:.0f}",
         f"{best['duty'] / 1e3:.0f}"],
        ["tube-side drop (kPa)", f"{b['tube_drop'] / 1e3:.1f}", f"{rated['tube_drop'] / 1e3:.1f}",
         f"{best['tube_pressure_drop'] / 1e3:.1f}"],
        ["shell-side drop (kPa)", f"{b['shell_drop'] / 1e3:.0f} (Kern's method)",
         f"{rated['shell_drop'] / 1e3:.1f} (Bell–Delaware); {rated['kern_shell_drop'] / 1e3:.1f} "
         "(Kern's method)", f"{best['shell_pressure_drop'] / 1e3:.1f} (Bell–Delaware)"],
    ]
    refused = ", ".join(f"{name} {n:,}" for name, n in s.refused.items())
    sources = "\n".join(f"- **{key}**: {text}" for key, text in T.SOURCES.items())
    return f"""## 14. Design mode: tube counts and a textbook design

**Tube counts** (`countTubes`, `hxrate.count_tubes`): tube centres counted on the
layout's lattice inside the outer tube limit, less the pass-partition lanes,
against the 130 counts of Kern's triangular-pitch tables (source
**kern-table-9**), with a bundle-to-shell clearance of 1 in and lanes of ½ in
clear width, which the tables do not state. The geometric count holds more
tubes at one pass (the tables leave room under the inlet nozzle) and, in small
shells of four passes or more, gives whole rows to lanes the tables' layouts
place otherwise; **bounds per band**:

{table(["band", "counts", "bound", "seen"], band_rows)}

Three shells of both tables:

{table(["layout", "shell (in)", "passes", "Kern", "hxrate", "difference"], count_rows)}

Kern's example 7.3: 158 tubes of 1 in on 1¼ in square pitch in a 21¼ in shell,
four passes; the count gives {k['ours']} ({100 * k['rel']:+.1f} %, **bound 3 %**);
Sinnott's bundle-diameter correlation {k['correlation']:.0f}.

**A textbook design** (source **sinnott-12.2**): methanol sub-cooled from 95 to
40 °C by brackish water in the tubes, searched over three tube sizes, both
layouts of the default space, 1 to 8 passes, one or two shells, Kern's shell
diameters, lengths 2.44 to 6.1 m, the default baffles; 70 kPa allowed each side
(the example states no limit). {s.candidates:,} candidates, {len(s):,} feasible;
refused: {refused}. The book's exchanger is rated here too, with its geometry
in place of the best design's:

{table(["", "book", "hxrate rating the book's exchanger", "hxrate's best design"], ex)}

Why they differ: the book sizes its exchanger from an assumed U of 600
W/(m²·K) and checks it with Kern's method; rated here with both fouling
resistances in series and the Bell–Delaware shell side, the book's exchanger
comes out {100 * (1 - rated['duty'] / s.duty):.0f} % short of the duty at a U
of {rated['U']:.0f}. The book reports its shell-side drop of 272 kPa and
judges it too high; for the listed exchanger (baffles 356 mm apart) Kern's
method here gives {rated['kern_shell_drop'] / 1e3:.0f} kPa, and Bell–Delaware's
leakage and bypass corrections bring it to {rated['shell_drop'] / 1e3:.1f} kPa.
The search's best design is smaller: {best['shells']} shells in series of
{best['tube_passes']} pass each keep the streams counter-current (no F below
1), and its narrower shell raises the shell-side velocity to
{best['shell_velocity']:.2f} m/s and U to {best['overall_coefficient']:.0f}, within the
70 kPa allowed on each side. Other published design
examples searched for: Kern's example 7.3 is a rating of a given exchanger
(used in section 10 and above); Shah and Sekulić's oil cooler, their
examples 8.3 and 9.4, appears in section 8.

### Sources of this part

{sources}
"""


def vibration_section(V):
    title = "15. Flow-induced vibration"
    absent = missing("scipy")
    if absent:
        return not_computed(title, absent)
    freq = V.frequency_rows()
    span = V.SPANS[1]
    f_rows = []
    for name, _, _ in V.TUBES:
        for ends, _, _ in V.ENDS:
            rs = [r for r in freq if r["tube"] == name and r["ends"] == ends]
            at = next(r for r in rs if r["span"] == span)
            f_rows.append([name, ends, f"{at['factor']:.9g}", f"{at['root'] ** 2:.9g}",
                           f"{at['ours']:.6f}", f"{at['reference']:.6f}",
                           e(max(abs(r["rel"]) for r in rs))])
    c_rows = [[r["layout"], f"{r['ratio']:g}", f"{r['Cm']:.7f}", f"{r['Cm_ref']:.7f}",
               f"{r['Vc']:.6f}", f"{r['Vc_ref']:.6f}", f"{r['VR']:.6f}", f"{r['VR_ref']:.6f}",
               e(r["rel"])] for r in V.connors_rows()]
    x_rows = []
    for ex in V.example_rows():
        for sp in ex["spans"]:
            x_rows.append([f"`{ex['name']}.json` ({ex['baffles']} baffle{'s' if ex['baffles'] != 1 else ''})",
                           sp["span"], f"{sp['length']:g}", sp["ends"], f"{sp['f_n']:.2f}",
                           f"{sp['V']:.3f}", f"{sp['Vc']:.3f}", f"{sp['VR']:.4f}",
                           f"{sp['VR_ref']:.4f}"])
    verdict = "; ".join(
        f"`{ex['name']}.json`: worst V/V_crit {ex['worst']:.3f}, "
        + (", ".join(f"`{c}`" for c in ex["codes"]) or "no warning")
        for ex in V.example_rows())
    searched = "\n".join(f"- `{corpus}`: “{query}”" for corpus, query in V.SEARCHED)
    worst_f = max(abs(r["rel"]) for r in freq)
    worst_c = max(r["rel"] for r in V.connors_rows())
    return f"""## {title}

`hxrate.screen_vibration` and `ExchangerRating.vibration` (the screening of
each cross-flow rating) against the same quantities written out in Python
from their published forms, never from hxrate's code.

**Natural frequency of a span**, f_n = (λL)²/(2π·L²)·√(E·I/m), with
m the tube metal, the tube fluid and the added mass C_m·ρ_s·π·D_o²/4. The
reference λL is π for a span pinned at both baffles and, found by SciPy's
`brentq`, the first root of cos x·cosh x = 1 (clamped in both tubesheets,
a tube without baffles) and of tan x = tanh x (clamped-pinned, the first
and last spans), after Blevins (1979, table 8-1). The spans are placed as
the library places them (a tube with no baffle, one baffle, the middle span
of three); water on both sides, E = 200 GPa, 7850 kg/m³, triangular pitch
1.25·D_o; spans {", ".join(f"{x:g}" for x in V.SPANS)} m. **Bound 10⁻⁶
relative; largest deviation seen {e(worst_f)}**: the library's roots are
single-precision literals widened to double (4.73004074 and 3.92660231,
each within 10⁻⁸ of the root), and its confinement constants (0.96, 0.5,
1.07, 0.56) likewise; every other step is exact arithmetic.

{table(["tube", "ends", "(λL)² hxrate", "(λL)² reference", f"f_n at {span:g} m, hxrate (Hz)", "reference (Hz)", "largest relative difference"], f_rows)}

**Added mass and Connors' critical velocity**: C_m = ((D_e/D)² + 1)/((D_e/D)² − 1)
with D_e/D = (0.96 + 0.5·P/D)·P/D triangular, (1.07 + 0.56·P/D)·P/D square
(Pettigrew and Taylor 2003, eq. 2); V_crit = K·f_n·D_o·√(m·δ/(ρ·D_o²)), K = 3.0,
δ = 0.03 in a liquid (Connors 1970, as Pettigrew and Taylor 2003, eq. 12,
give it); V through the narrowest gaps, Q/(L·D_s)·S_T/(S_T − D_o) or, for a
staggered bank whose diagonal gap is narrower, S_T/2/(S_D − D_o). The central
span (0.6 m, pinned) of a ¾ in 16 BWG tube, 0.05 m³/s of water across a
0.3 m shell. V_crit does not change with the layout: f_n falls as 1/√m
while √(m·δ/(ρ·D_o²)) rises as √m, so the added mass cancels from V_crit and
the layouts differ only in C_m and the gap velocity. **Bound 10⁻⁶ relative, each quantity; largest deviation seen
{e(worst_c)}.**

{table(["layout", "P/D", "C_m hxrate", "C_m reference", "V_crit hxrate (m/s)", "reference", "V/V_crit hxrate", "reference", "largest relative difference"], c_rows)}

**A published worked example.** None was found. The reference search
(public web pages, documentation, source code) was asked for a textbook's or
a paper's worked example of the screening with its natural frequency, added
mass and critical velocity:

{searched}

It returned reviews of the mechanisms (Goyder 2002, Trans IChemE 80A),
reports on span frequencies without figures, a homework answer with an
assumed frequency constant, and the beam formulas themselves, but no worked
example printed figure by figure, so none is reproduced here.

**The shipped examples** (`examples/vibration/`), rated as documents: the
same 3 m bundle of stainless-steel tubes with one baffle and with five. Each
span's V/V_crit beside the one written out here from the case: {verdict}.

{table(["example", "span", "L (m)", "ends", "f_n (Hz)", "V (m/s)", "V_crit (m/s)", "V/V_crit", "V/V_crit reference"], x_rows)}

### Sources of this part

- R. D. Blevins, Formulas for Natural Frequency and Mode Shape, Van Nostrand
  Reinhold 1979, table 8-1 (the frequency equations of a uniform beam)
- M. J. Pettigrew and C. E. Taylor, Vibration analysis of shell-and-tube heat
  exchangers: an overview, part 1, J. Fluids Struct. 18 (2003) 469-483, eq. 2
  (added mass of a confined tube) and eq. 12 (Connors' criterion)
- H. J. Connors, Fluidelastic vibration of tube arrays excited by cross flow,
  ASME Winter Annual Meeting 1970 (the criterion itself)
"""

def write(out_dir):
    import design_studies as D
    import fluid_studies as F
    import references as ref
    import search_studies as T
    import studies as S
    import svg
    import vibration_studies as V

    out_dir = pathlib.Path(out_dir)
    out_dir.mkdir(parents=True, exist_ok=True)
    plot_path = out_dir / PLOT_NAME
    plot_path.write_text(plot(S, svg))
    sources = "\n".join(f"- **{k}**: {v}" for k, v in ref.SOURCES.items())
    turb = S.turbulent_tube_side()
    energy_co = max(r["rel"] for r in S.energy_balance() if r["type"] in (0, 2) and r["rel"] is not None)
    summary = [
        ["tube-side friction factor vs Colebrook (exact)", "1·10⁻⁵·q/(1−q) + 10⁻⁶ f, ≤ 2.7·10⁻⁶",
         e(max(abs(r["df"]) for r in turb)) + " (absolute)"],
        ["tube-side Nu vs Gnielinski with exact f", "(f bound)/f + \\|ln Pr\\|·3.3·10⁻⁵",
         e(max(abs(r["dNu"]) for r in turb)) + " (relative)"],
        ["laminar f and Nu vs 64/Re and the Graetz form", "\\|ln Gz\\|·3.3·10⁻⁴·B/(1+B)",
         e(max(abs(r["dNu"]) for r in S.laminar_tube_side())) + " (relative Nu)"],
    ]
    if S.report_executable() is not None:
        k = S.kern_comparison()
        summary += [
            ["tube-side dP vs fluids.one_phase_dP", "(f bound)/f + 10⁻⁶",
             e(max(abs(r["rel"]) for r in S.tube_pressure_drop())) + " (relative)"],
            ["Kern shell-side dP vs Kern's chart", "3 %", f"{100 * k['rel']:+.2f} %"],
        ]
    summary += [
        ["order of convergence of the outlet temperatures", "0.95 … 1.05",
         f"{S.axial_convergence(0)[-1]['order']:.3f} (type 0), {S.axial_convergence(1)[-1]['order']:.3f} (type 1)"],
        ["energy balance, co-current types", "1·10⁻⁹", e(energy_co)],
        ["energy balance, counter-current types", "C_s·1·10⁻⁵/max\\|Q\\| (shooting)", "within bound, see §4"],
        ["program's shooting vs exact shooting", "2·10⁻⁵·max S K",
         e(max(r["diff"] for r in S.shooting_agreement())) + " K"],
        ["P-NTU and F vs published values", "10⁻⁹",
         e(max(abs(r["rel"]) for r in D.pntu_rows())) + " (relative)"],
        ["Bell–Delaware factors vs published values", "10⁻⁶",
         e(max(abs(r["rel"]) for r in D.bell_factor_rows())) + " (relative)"],
        ["tube-side return loss vs Kern's example 7.3", "3 %",
         f"{100 * (D.tube_pass_rows()['ret'] / D.tube_pass_rows()['ret_kern'] - 1):+.1f} %"],
        ["allowable fouling vs its definition written out", "10⁻⁹ × 1/U_clean",
         e(max(abs(r["rel"]) for r in D.allowable_fouling_rows()))],
    ]
    summary += fluid_summary(F)
    bands = T.band_summary()
    summary += [
        ["tube counts vs Kern's tables (130 counts)", "per band, −45 % … +20 %",
         f"{100 * min(b['worst_low'] for b in bands.values()):+.1f} % … "
         f"{100 * max(b['worst_high'] for b in bands.values()):+.1f} %"],
        ["tube count vs Kern's example 7.3", "3 %", f"{100 * T.kern_example()['rel']:+.1f} %"],
    ]
    if not missing("scipy"):
        summary += [
            ["span natural frequency vs the beam's roots (SciPy)", "10⁻⁶ relative",
             e(max(abs(r["rel"]) for r in V.frequency_rows()))],
            ["added mass, Connors' V_crit, V/V_crit vs their published forms", "10⁻⁶ relative",
             e(max(r["rel"] for r in V.connors_rows()))],
        ]
    page = f"""# How hxrate compares with references

Each figure on this page is computed by the checks in `validation/`, which
run with the other tests (`ctest -R validation`) and fail when a bound is
exceeded. The references are written out from their published form or taken
from the `fluids`, `iapws` and SciPy libraries, never from hxrate's code. One
input is measured from hxrate's own ratings instead: the shell-side
correlation of §12, which has no published form (§12 says how). Regenerate
this page and its plot after a build with

    /usr/bin/python3 validation/make_page.py --build build

{table(["check", "bound", "worst seen"], summary)}

{tube_side_section(S, ref)}
{pressure_section(S)}
{convergence_section(S)}
{energy_section(S)}
{shooting_section(S)}
{design_section(D)}
{passes_section(D)}
{water_section(F)}
{march_section(F)}
{modes_section(F)}
{search_section(T)}
{vibration_section(V)}
## Sources of the reference formulas

{sources}
"""
    page_path = out_dir / "validation.md"
    page_path.write_text(page)
    return page_path, plot_path


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", help="build folder with python/hxrate and hxrate-report")
    parser.add_argument("--output", default=str(HERE.parent / "docs"), help="folder of the page")
    args = parser.parse_args()
    if args.build:
        build = pathlib.Path(args.build).resolve()
        sys.path.insert(0, str(build / "python"))
        os.environ["HXRATE_REPORT"] = str(build / "hxrate-report")
    sys.path.insert(0, str(HERE))
    page, plot_file = write(args.output)
    print(f"wrote {page} and {plot_file}")


if __name__ == "__main__":
    main()
