// Design closed forms beside the rating: TEMA E temperature effectiveness,
// the LMTD correction factor, and the Bell-Delaware shell side with its
// correction factors. InvalidArgument becomes hxrate.InvalidArgument, a
// subclass of both hxrate.Error and ValueError (bind_errors.cpp).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

#include "binding.h"
#include "hxrate/arrangements.h"
#include "hxrate/case_document.h"
#include "hxrate/case_files.h"
#include "hxrate/errors.h"
#include "hxrate/extensions.h"
#include "hxrate/shell_side.h"
#include "hxrate/tube_count.h"

namespace hxrate_python {

using namespace pybind11::literals;

namespace {

double real(py::handle v, const char* what) {
    return toReal(v, what);
}
int integer(py::handle v, const char* what) {
    return toInt32(v, what);
}

// A keyword of a dict; a null object when absent.
py::object keyword(const py::dict& d, const char* name) {
    return d.contains(name) ? py::object(d[name]) : py::object();
}

hxrate::BellDelawareGeometry geometryFrom(const py::dict& d) {
    static const char* known[] = {"shell_diameter",
                                  "tube_outer_diameter",
                                  "tube_pitch",
                                  "layout_angle",
                                  "tube_count",
                                  "baffle_cut",
                                  "central_baffle_spacing",
                                  "inlet_baffle_spacing",
                                  "outlet_baffle_spacing",
                                  "baffle_count",
                                  "shell_to_baffle_clearance",
                                  "tube_to_baffle_clearance",
                                  "bundle_to_shell_clearance",
                                  "sealing_strip_pairs"};
    for (auto item : d) {
        std::string name = py::str(item.first);
        bool ok = false;
        for (const char* k : known) ok = ok || name == k;
        if (!ok) throw py::type_error("unknown geometry keyword '" + name + "'");
    }
    hxrate::BellDelawareGeometry g;
    auto set = [&](const char* name, double& field) {
        if (auto v = keyword(d, name)) field = real(v, name);
    };
    auto setInt = [&](const char* name, int& field) {
        if (auto v = keyword(d, name)) field = integer(v, name);
    };
    set("shell_diameter", g.shellDiameter);
    set("tube_outer_diameter", g.tubeOuterDiameter);
    set("tube_pitch", g.tubePitch);
    setInt("layout_angle", g.layoutAngle);
    setInt("tube_count", g.tubeCount);
    set("baffle_cut", g.baffleCut);
    set("central_baffle_spacing", g.centralBaffleSpacing);
    set("inlet_baffle_spacing", g.inletBaffleSpacing);
    set("outlet_baffle_spacing", g.outletBaffleSpacing);
    setInt("baffle_count", g.baffleCount);
    set("shell_to_baffle_clearance", g.shellToBaffleClearance);
    set("tube_to_baffle_clearance", g.tubeToBaffleClearance);
    set("bundle_to_shell_clearance", g.bundleToShellClearance);
    setInt("sealing_strip_pairs", g.sealingStripPairs);
    return g;
}

}  // namespace

py::dict resultDict(const hxrate::BellDelawareResult& r) {
    py::dict d;
    d["cross_flow_area"] = r.crossFlowArea;
    d["window_area"] = r.windowArea;
    d["shell_baffle_leakage_area"] = r.shellBaffleLeakageArea;
    d["tube_baffle_leakage_area"] = r.tubeBaffleLeakageArea;
    d["bypass_area"] = r.bypassArea;
    d["window_fraction"] = r.windowFraction;
    d["cross_flow_fraction"] = r.crossFlowFraction;
    d["cross_flow_rows"] = r.crossFlowRows;
    d["window_rows"] = r.windowRows;
    d["window_hydraulic_diameter"] = r.windowHydraulicDiameter;
    d["reynolds"] = r.reynolds;
    d["prandtl"] = r.prandtl;
    d["viscosity_correction"] = r.viscosityCorrection;
    d["ideal_j"] = r.idealJ;
    d["ideal_f"] = r.idealF;
    d["ideal_coefficient"] = r.idealCoefficient;
    d["jc"] = r.jc;
    d["jl"] = r.jl;
    d["jb"] = r.jb;
    d["js"] = r.js;
    d["jr"] = r.jr;
    d["coefficient"] = r.coefficient;
    d["rl"] = r.rl;
    d["rb"] = r.rb;
    d["rs"] = r.rs;
    d["ideal_cross_flow_drop"] = r.idealCrossFlowDrop;
    d["ideal_window_drop"] = r.idealWindowDrop;
    d["cross_flow_drop"] = r.crossFlowDrop;
    d["window_drop"] = r.windowDrop;
    d["other_form_window_drop"] = r.otherFormWindowDrop;
    d["end_zone_drop"] = r.endZoneDrop;
    d["pressure_drop"] = r.pressureDrop;
    return d;
}

namespace {

std::optional<double> optionalReal(py::handle v, const char* what) {
    if (!v || v.is_none()) return std::nullopt;
    return real(v, what);
}

hxrate::BaffleGeometry bafflesFrom(py::handle value) {
    hxrate::BaffleGeometry b;
    if (!value || value.is_none()) return b;
    if (!py::isinstance<py::dict>(value)) throw py::type_error("baffles must be a dict");
    for (auto item : py::reinterpret_borrow<py::dict>(value)) {
        std::string name = py::str(item.first);
        py::handle v = item.second;
        if (name == "baffle_cut")
            b.baffleCut = real(v, "baffle_cut");
        else if (name == "shell_to_baffle_clearance")
            b.shellToBaffleClearance = real(v, "shell_to_baffle_clearance");
        else if (name == "tube_to_baffle_clearance")
            b.tubeToBaffleClearance = real(v, "tube_to_baffle_clearance");
        else if (name == "bundle_to_shell_clearance")
            b.bundleToShellClearance = real(v, "bundle_to_shell_clearance");
        else if (name == "sealing_strip_pairs")
            b.sealingStripPairs = integer(v, "sealing_strip_pairs");
        else if (name == "inlet_baffle_spacing")
            b.inletBaffleSpacing = real(v, "inlet_baffle_spacing");
        else if (name == "outlet_baffle_spacing")
            b.outletBaffleSpacing = real(v, "outlet_baffle_spacing");
        else if (name == "layout_angle")
            b.layoutAngle = integer(v, "layout_angle");
        else
            throw py::type_error("unknown baffles keyword '" + name + "'");
    }
    return b;
}

}  // namespace

// Extensions from the keyword arguments of rate_extended().
hxrate::Extensions extensionsFrom(py::handle foulingInside, py::handle foulingOutside,
                                  py::handle passes, py::handle shells,
                                  const std::string& shellSide, py::handle baffles,
                                  py::handle wallViscosity) {
    hxrate::Extensions ext;
    ext.foulingInside = real(foulingInside, "fouling_inside");
    ext.foulingOutside = real(foulingOutside, "fouling_outside");
    ext.tubePasses = integer(passes, "tube_passes");
    ext.shells = integer(shells, "shells");
    if (shellSide == "bell-delaware")
        ext.shellSide = hxrate::ShellSideMethod::bellDelaware;
    else if (shellSide != "program")
        throw py::value_error("shell_side must be \"program\" or \"bell-delaware\"");
    ext.baffles = bafflesFrom(baffles);
    ext.shellWallViscosity = optionalReal(wallViscosity, "shell_wall_viscosity");
    return ext;
}

// The same from a dict of those keywords (None: no extensions).
hxrate::Extensions extensionsFrom(py::handle value) {
    if (!value || value.is_none()) return {};
    if (!py::isinstance<py::dict>(value)) throw py::type_error("extensions must be a dict or None");
    auto d = py::reinterpret_borrow<py::dict>(value);
    for (auto item : d) {
        std::string name = py::str(item.first);
        if (name != "fouling_inside" && name != "fouling_outside" && name != "tube_passes" &&
            name != "shells" && name != "shell_side" && name != "baffles" &&
            name != "shell_wall_viscosity")
            throw py::type_error("unknown extensions keyword '" + name + "'");
    }
    auto get = [&d](const char* key, py::object fallback) {
        return d.contains(key) ? py::reinterpret_borrow<py::object>(d[key]) : fallback;
    };
    return extensionsFrom(get("fouling_inside", py::float_(0.0)),
                          get("fouling_outside", py::float_(0.0)), get("tube_passes", py::int_(1)),
                          get("shells", py::int_(1)),
                          py::str(get("shell_side", py::str("program"))).cast<std::string>(),
                          get("baffles", py::none()), get("shell_wall_viscosity", py::none()));
}

// Extensions as the keyword arguments of rate_extended().
py::dict extensionsDict(const hxrate::Extensions& e) {
    py::dict d;
    d["fouling_inside"] = e.foulingInside;
    d["fouling_outside"] = e.foulingOutside;
    d["tube_passes"] = e.tubePasses;
    d["shells"] = e.shells;
    d["shell_side"] =
        e.shellSide == hxrate::ShellSideMethod::bellDelaware ? "bell-delaware" : "program";
    const hxrate::BaffleGeometry& b = e.baffles;
    if (b == hxrate::BaffleGeometry{}) {
        d["baffles"] = py::none();
    } else {
        py::dict bd;
        bd["baffle_cut"] = b.baffleCut;
        bd["sealing_strip_pairs"] = b.sealingStripPairs;
        if (b.shellToBaffleClearance) bd["shell_to_baffle_clearance"] = *b.shellToBaffleClearance;
        if (b.tubeToBaffleClearance) bd["tube_to_baffle_clearance"] = *b.tubeToBaffleClearance;
        if (b.bundleToShellClearance) bd["bundle_to_shell_clearance"] = *b.bundleToShellClearance;
        if (b.inletBaffleSpacing) bd["inlet_baffle_spacing"] = *b.inletBaffleSpacing;
        if (b.outletBaffleSpacing) bd["outlet_baffle_spacing"] = *b.outletBaffleSpacing;
        if (b.layoutAngle) bd["layout_angle"] = *b.layoutAngle;
        d["baffles"] = bd;
    }
    d["shell_wall_viscosity"] = e.shellWallViscosity;
    return d;
}

py::dict extendedDict(const hxrate::ExtendedQuantities& er) {
    py::dict d;
    d["clean_coefficient"] = er.cleanCoefficient;
    d["service_coefficient"] = er.serviceCoefficient;
    d["cleanliness_factor"] = er.cleanlinessFactor;
    d["over_surface_percent"] = er.overSurfacePercent;
    d["target_duty"] = er.targetDuty;
    d["allowable_fouling"] = er.allowableFouling;
    d["tube_velocity"] = er.tubeVelocity;
    d["tube_friction_drop"] = er.tubeFrictionDrop;
    d["tube_return_drop"] = er.tubeReturnDrop;
    d["tube_pressure_drop"] = er.tubePressureDrop;
    d["p1"] = er.p1;
    d["r1"] = er.r1;
    d["ntu1"] = er.ntu1;
    d["lmtd_correction"] = er.lmtdCorrection;
    d["bell_delaware"] =
        er.bellDelaware ? py::object(resultDict(*er.bellDelaware)) : py::object(py::none());
    return d;
}

void bindDesign(py::module_& m) {
    m.def(
        "tema_e_p1",
        [](py::handle r1, py::handle ntu1, py::handle passes, py::handle shells) {
            return hxrate::temaEP1(real(r1, "r1"), real(ntu1, "ntu1"),
                                   integer(passes, "tube_passes"), integer(shells, "shells"));
        },
        "r1"_a, "ntu1"_a, "tube_passes"_a, "shells"_a = 1,
        "tema_e_p1(r1, ntu1, tube_passes, shells=1) -> float\n\n"
        "Temperature effectiveness P1 of the shell-side stream of `shells` TEMA E shells in "
        "series (overall counterflow), each with one shell pass and tube_passes (1, 2, 4, 6 or "
        "8; 1 is counterflow) tube passes. r1 = C_shell/C_tube; ntu1 = UA/C_shell over all "
        "shells together. Raises InvalidArgument outside the domain.");
    m.def(
        "count_tubes",
        [](py::handle ds, py::handle od, py::handle pitch, py::handle angle, py::handle passes,
           py::handle clearance, py::handle lane) {
            hxrate::TubeLayout layout;
            layout.shellDiameter = real(ds, "shell_diameter");
            layout.tubeOuterDiameter = real(od, "tube_outer_diameter");
            layout.tubePitch = real(pitch, "tube_pitch");
            layout.layoutAngle = integer(angle, "layout_angle");
            layout.tubePasses = integer(passes, "tube_passes");
            layout.bundleToShellClearance = real(clearance, "bundle_to_shell_clearance");
            layout.passLaneWidth = real(lane, "pass_lane_width");
            const hxrate::TubeCount n = hxrate::countTubes(layout);
            return py::dict("tubes"_a = n.tubes, "lattice_tubes"_a = n.latticeTubes,
                            "outer_tube_limit"_a = n.outerTubeLimit,
                            "centre_limit"_a = n.centreLimit, "pass_tubes"_a = n.passTubes,
                            "correlation_tubes"_a =
                                n.correlationTubes ? py::cast(*n.correlationTubes) : py::none());
        },
        "shell_diameter"_a, "tube_outer_diameter"_a, "tube_pitch"_a, "layout_angle"_a = 30,
        "tube_passes"_a = 1, "bundle_to_shell_clearance"_a = 0.0, "pass_lane_width"_a = 0.0,
        "count_tubes(shell_diameter, tube_outer_diameter, tube_pitch, layout_angle=30, "
        "tube_passes=1, bundle_to_shell_clearance=0.0, pass_lane_width=0.0) -> dict\n\n"
        "How many tubes (m) a shell holds: centres counted on the layout's lattice (30, 45, "
        "60, 90 degrees) inside the outer tube limit, less the pass-partition lanes; dict of "
        "tubes, lattice_tubes, outer_tube_limit, centre_limit, pass_tubes (per pass region) "
        "and correlation_tubes (Sinnott's bundle-diameter correlation, at Pt = 1.25 Do; "
        "else None). InvalidArgument naming the keyword outside its domain.");
    m.def(
        "tema_e_ntu1",
        [](py::handle p1, py::handle r1, py::handle shells) {
            return hxrate::temaENtu1(real(p1, "p1"), real(r1, "r1"), integer(shells, "shells"));
        },
        "p1"_a, "r1"_a, "shells"_a = 1,
        "tema_e_ntu1(p1, r1, shells=1) -> float\n\n"
        "NTU1 of 1-2 shells in series that gives P1 (inverse of tema_e_p1 with two passes); "
        "InvalidArgument where no such shells reach P1.");
    m.def(
        "shells_in_series_p1",
        [](py::handle p1, py::handle r1, py::handle shells) {
            double n = real(shells, "shells");
            // N shells in series, or 1/N to undo the combination: never 0 or below.
            if (!(n > 0)) throw hxrate::InvalidArgument("shells", "shells must be above 0");
            return hxrate::shellsInSeriesP1(real(p1, "p1_of_one"), real(r1, "r1"), n);
        },
        "p1_of_one"_a, "r1"_a, "shells"_a,
        "shells_in_series_p1(p1_of_one, r1, shells) -> float\n\n"
        "P1 of `shells` equal exchangers in series, overall counterflow, from the P1 of one "
        "(shells = 1/N inverts the combination).");
    m.def(
        "lmtd_correction",
        [](py::handle thi, py::handle tho, py::handle tci, py::handle tco, py::handle shells) {
            return hxrate::lmtdCorrection(real(thi, "t_hot_in"), real(tho, "t_hot_out"),
                                          real(tci, "t_cold_in"), real(tco, "t_cold_out"),
                                          integer(shells, "shells"));
        },
        "t_hot_in"_a, "t_hot_out"_a, "t_cold_in"_a, "t_cold_out"_a, "shells"_a = 1,
        "lmtd_correction(t_hot_in, t_hot_out, t_cold_in, t_cold_out, shells=1) -> float\n\n"
        "LMTD correction factor F of `shells` 1-2N shells in series, also at R = 1. Raises "
        "InvalidArgument for temperatures no such arrangement reaches (a temperature cross "
        "beyond the shells' limit).");
    m.def(
        "lmtd_correction_pr",
        [](py::handle p, py::handle r, py::handle shells) {
            return hxrate::lmtdCorrectionPR(real(p, "p"), real(r, "r"), integer(shells, "shells"));
        },
        "p"_a, "r"_a, "shells"_a = 1,
        "lmtd_correction_pr(p, r, shells=1) -> float\n\nF from P = (Tco - Tci)/(Thi - Tci) and "
        "R = (Thi - Tho)/(Tco - Tci).");

    py::class_<hxrate::EShellOutlets> outlets(m, "EShellOutlets",
                                              "Outlets of a TEMA E arrangement.");
    outlets
        .def_readonly("shell_outlet_temperature", &hxrate::EShellOutlets::shellOutletTemperature,
                      "T1out")
        .def_readonly("tube_outlet_temperature", &hxrate::EShellOutlets::tubeOutletTemperature,
                      "T2out")
        .def_readonly("duty", &hxrate::EShellOutlets::duty,
                      "Q = P1 C1 (T1in - T2in), W: heat given off by the shell stream")
        .def_readonly("p1", &hxrate::EShellOutlets::p1, "shell-side temperature effectiveness")
        .def_readonly("r1", &hxrate::EShellOutlets::r1, "C1/C2")
        .def_readonly("ntu1", &hxrate::EShellOutlets::ntu1, "UA/C1 over all shells");
    definePickling(outlets, [](py::object self) {
        const auto& o = self.cast<const hxrate::EShellOutlets&>();
        return restoreCall(self, "e_shell_outlets",
                           py::make_tuple(o.shellOutletTemperature, o.tubeOutletTemperature, o.duty,
                                          o.p1, o.r1, o.ntu1));
    });
    m.def(
        "_restore_e_shell_outlets",
        [](double shellOutlet, double tubeOutlet, double duty, double p1, double r1, double ntu1) {
            return hxrate::EShellOutlets{shellOutlet, tubeOutlet, duty, p1, r1, ntu1};
        },
        "Rebuilds pickled EShellOutlets from their values.");
    m.def(
        "tema_e_outlets",
        [](py::handle c1, py::handle t1, py::handle c2, py::handle t2, py::handle ua,
           py::handle passes, py::handle shells) {
            return hxrate::temaEOutlets(
                real(c1, "shell_capacity_rate"), real(t1, "shell_inlet_temperature"),
                real(c2, "tube_capacity_rate"), real(t2, "tube_inlet_temperature"), real(ua, "ua"),
                integer(passes, "tube_passes"), integer(shells, "shells"));
        },
        "shell_capacity_rate"_a, "shell_inlet_temperature"_a, "tube_capacity_rate"_a,
        "tube_inlet_temperature"_a, "ua"_a, "tube_passes"_a, "shells"_a = 1,
        "tema_e_outlets(shell_capacity_rate, shell_inlet_temperature, tube_capacity_rate, "
        "tube_inlet_temperature, ua, tube_passes, shells=1) -> EShellOutlets\n\n"
        "Outlet temperatures and duty by P-NTU; capacity rates m*cp and UA in W/K.");

    m.def(
        "bell_ideal_j",
        [](py::handle re, py::handle angle, py::handle ratio) {
            return hxrate::bell::idealJ(real(re, "re"), integer(angle, "layout_angle"),
                                        real(ratio, "pitch_ratio"));
        },
        "re"_a, "layout_angle"_a, "pitch_ratio"_a,
        "bell_ideal_j(re, layout_angle, pitch_ratio) -> float\n\nIdeal-bank Colburn factor j "
        "(Taborek's fit) for a 30, 45 or 90 degree layout and pitch ratio Ltp/Do.");
    m.def(
        "bell_ideal_f",
        [](py::handle re, py::handle angle, py::handle ratio) {
            return hxrate::bell::idealF(real(re, "re"), integer(angle, "layout_angle"),
                                        real(ratio, "pitch_ratio"));
        },
        "re"_a, "layout_angle"_a, "pitch_ratio"_a,
        "bell_ideal_f(re, layout_angle, pitch_ratio) -> float\n\nIdeal-bank friction factor f "
        "(Taborek's fit).");
    m.def(
        "bell_jc", [](py::handle fc) { return hxrate::bell::jc(real(fc, "cross_flow_fraction")); },
        "cross_flow_fraction"_a,
        "bell_jc(cross_flow_fraction) -> float\n\nJc = 0.55 + 0.72 Fc, baffle cut and spacing.");
    m.def(
        "bell_jl",
        [](py::handle ssb, py::handle stb, py::handle sm) {
            return hxrate::bell::jl(real(ssb, "shell_baffle_area"), real(stb, "tube_baffle_area"),
                                    real(sm, "cross_flow_area"));
        },
        "shell_baffle_area"_a, "tube_baffle_area"_a, "cross_flow_area"_a,
        "bell_jl(shell_baffle_area, tube_baffle_area, cross_flow_area) -> float\n\nJl, baffle "
        "leakage (areas in any one unit).");
    m.def(
        "bell_jb",
        [](py::handle f, py::handle nss, py::handle nc, py::handle re) {
            return hxrate::bell::jb(real(f, "bypass_fraction"), real(nss, "sealing_strip_pairs"),
                                    real(nc, "cross_flow_rows"), real(re, "re"));
        },
        "bypass_fraction"_a, "sealing_strip_pairs"_a, "cross_flow_rows"_a, "re"_a = 1e4,
        "bell_jb(bypass_fraction, sealing_strip_pairs, cross_flow_rows, re=1e4) -> float\n\n"
        "Jb, bundle bypass; the laminar constant below Re = 100.");
    m.def(
        "bell_js",
        [](py::handle nb, py::handle lbc, py::handle lbi, py::handle lbo, py::handle re) {
            return hxrate::bell::js(integer(nb, "baffles"), real(lbc, "central_spacing"),
                                    real(lbi, "inlet_spacing"), real(lbo, "outlet_spacing"),
                                    real(re, "re"));
        },
        "baffles"_a, "central_spacing"_a, "inlet_spacing"_a, "outlet_spacing"_a, "re"_a = 1e4,
        "bell_js(baffles, central_spacing, inlet_spacing, outlet_spacing, re=1e4) -> float\n\n"
        "Js, larger inlet and outlet baffle spacings.");
    m.def(
        "bell_jr",
        [](py::handle re, py::handle nc) {
            return hxrate::bell::jr(real(re, "re"), real(nc, "total_rows_crossed"));
        },
        "re"_a, "total_rows_crossed"_a,
        "bell_jr(re, total_rows_crossed) -> float\n\nJr, adverse temperature gradient in "
        "laminar flow (1 from Re = 100 on).");
    m.def(
        "bell_rl",
        [](py::handle ssb, py::handle stb, py::handle sm) {
            return hxrate::bell::rl(real(ssb, "shell_baffle_area"), real(stb, "tube_baffle_area"),
                                    real(sm, "cross_flow_area"));
        },
        "shell_baffle_area"_a, "tube_baffle_area"_a, "cross_flow_area"_a,
        "bell_rl(shell_baffle_area, tube_baffle_area, cross_flow_area) -> float\n\nRl, leakage "
        "effect on the pressure drop.");
    m.def(
        "bell_rb",
        [](py::handle f, py::handle nss, py::handle nc, py::handle re) {
            return hxrate::bell::rb(real(f, "bypass_fraction"), real(nss, "sealing_strip_pairs"),
                                    real(nc, "cross_flow_rows"), real(re, "re"));
        },
        "bypass_fraction"_a, "sealing_strip_pairs"_a, "cross_flow_rows"_a, "re"_a = 1e4,
        "bell_rb(bypass_fraction, sealing_strip_pairs, cross_flow_rows, re=1e4) -> float\n\nRb, "
        "bypass effect on the pressure drop.");
    m.def(
        "bell_rs",
        [](py::handle lbc, py::handle lbi, py::handle lbo, py::handle re) {
            return hxrate::bell::rs(real(lbc, "central_spacing"), real(lbi, "inlet_spacing"),
                                    real(lbo, "outlet_spacing"), real(re, "re"));
        },
        "central_spacing"_a, "inlet_spacing"_a, "outlet_spacing"_a, "re"_a = 1e4,
        "bell_rs(central_spacing, inlet_spacing, outlet_spacing, re=1e4) -> float\n\nRs, end "
        "spacings on the end-zone drop (1 for equal spacings).");
    m.def(
        "bell_delaware_shell_side",
        [](const py::dict& geometry, py::handle massFlow, py::handle density, py::handle viscosity,
           py::handle heatCapacity, py::handle conductivity, py::handle wallViscosity,
           const py::dict& imposed) {
            hxrate::BellDelawareGeometry g = geometryFrom(geometry);
            hxrate::ShellStream s;
            s.massFlow = real(massFlow, "mass_flow");
            s.density = real(density, "density");
            s.viscosity = real(viscosity, "viscosity");
            s.heatCapacity = real(heatCapacity, "heat_capacity");
            s.conductivity = real(conductivity, "conductivity");
            s.wallViscosity = optionalReal(wallViscosity, "wall_viscosity");
            hxrate::BellDelawareFactors f;
            for (auto item : imposed) {
                std::string name = py::str(item.first);
                double v = real(item.second, name.c_str());
                if (name == "jc")
                    f.jc = v;
                else if (name == "jl")
                    f.jl = v;
                else if (name == "jb")
                    f.jb = v;
                else if (name == "js")
                    f.js = v;
                else if (name == "jr")
                    f.jr = v;
                else if (name == "rl")
                    f.rl = v;
                else if (name == "rb")
                    f.rb = v;
                else if (name == "rs")
                    f.rs = v;
                else
                    throw py::type_error("unknown factor '" + name + "'");
            }
            return resultDict(hxrate::bellDelawareShellSide(g, s, f));
        },
        "geometry"_a, py::kw_only(), "mass_flow"_a, "density"_a, "viscosity"_a, "heat_capacity"_a,
        "conductivity"_a, "wall_viscosity"_a = py::none(), "imposed"_a = py::dict(),
        "bell_delaware_shell_side(geometry, *, mass_flow, density, viscosity, heat_capacity, "
        "conductivity, wall_viscosity=None, imposed={}) -> dict\n\n"
        "The Bell-Delaware shell side of one E shell. geometry: dict with shell_diameter, "
        "tube_outer_diameter, tube_pitch, layout_angle (30, 45, 90), tube_count, baffle_cut "
        "(fraction of Ds), central_baffle_spacing, inlet_baffle_spacing, outlet_baffle_spacing "
        "(0: central), baffle_count, shell_to_baffle_clearance, tube_to_baffle_clearance, "
        "bundle_to_shell_clearance (diametral), sealing_strip_pairs; SI units. imposed: factors "
        "(jc, jl, jb, js, jr, rl, rb, rs) to use instead of their fits. Returns areas, rows, "
        "Re, the ideal-bank j, f and h, each factor, h_o ('coefficient') and the drops in Pa.");
    // The shooting passes every rating allows by default, for callers that
    // pass a limit of their own along.
    m.attr("DEFAULT_PASS_LIMIT") = hxrate::defaultPassLimit;
    m.def(
        "rate_extended",
        [](const hxrate::Case& c, py::handle foulingInside, py::handle foulingOutside,
           py::handle passes, py::handle shells, const std::string& shellSide, py::handle baffles,
           py::handle wallViscosity, const std::string& shooting, py::handle passLimit) {
            hxrate::Extensions ext = extensionsFrom(foulingInside, foulingOutside, passes, shells,
                                                    shellSide, baffles, wallViscosity);
            hxrate::RateOptions options = hxrate::programRateOptions();
            if (shooting == "exact")
                options.shooting = hxrate::ShootingMethod::exact;
            else if (shooting != "case")
                throw py::value_error("shooting must be \"case\" or \"exact\"");
            options.passLimit = toPassLimit(passLimit);
            const hxrate::Case input = c;
            hxrate::ExtendedRating er;
            try {
                // The march and, for the fouling allowed, the case's own rating.
                runInterruptibly(2 * workBound(input, options),
                                 [&](const std::atomic<bool>* cancel) {
                                     hxrate::RateOptions own = options;
                                     own.cancel = cancel;
                                     er = hxrate::rateExtended(input, ext, own);
                                 });
            } catch (const hxrate::CaseRejected& e) {
                raise(e, input);
            }
            py::module_::import("warnings")
                .attr("warn")(
                    "rate_extended() is deprecated: rate(CaseDocument(case, ...)) gives "
                    "the rating with its assessment and warnings",
                    py::module_::import("builtins").attr("DeprecationWarning"), 1);
            py::dict d = extendedDict(er);
            d["rating"] = std::make_shared<RatingObject>(
                RatingObject{input, std::make_shared<const hxrate::Rating>(std::move(er.rating))});
            py::list warnings;
            for (const hxrate::Warning& w : er.warnings) warnings.append(w.message);
            d["warnings"] = warnings;
            return d;
        },
        "case"_a, py::kw_only(), "fouling_inside"_a = 0.0, "fouling_outside"_a = 0.0,
        "tube_passes"_a = 1, "shells"_a = 1, "shell_side"_a = "program", "baffles"_a = py::none(),
        "shell_wall_viscosity"_a = py::none(), "shooting"_a = "case",
        "pass_limit"_a = hxrate::defaultPassLimit,
        "rate_extended(case, *, fouling_inside=0.0, fouling_outside=0.0, tube_passes=1, shells=1, "
        "shell_side=\"program\", baffles=None, shell_wall_viscosity=None, shooting=\"case\", "
        "pass_limit=10000) -> dict\n\n"
        "Rates `case` with what its 21 lines cannot hold (docs/extensions.md): fouling "
        "resistances in m2 K/W on the inner and outer tube surface, tube passes (1, 2, 4, 6, 8) "
        "and shells in series (P-NTU outlets), the Bell-Delaware shell side ('bell-delaware', "
        "baffles: dict of baffle_cut, clearances, sealing_strip_pairs, end spacings, "
        "layout_angle; TEMA defaults). Returns 'rating' (a Rating; with no extensions the "
        "Rating of rate()), 'clean_coefficient', 'service_coefficient', 'cleanliness_factor', "
        "'over_surface_percent' ((clean U/service U - 1) x 100), 'target_duty' (W, of rate(case)) "
        "and 'allowable_fouling' (m2 K/W on the outer surface that still meets it; None where "
        "none does), 'tube_velocity' (m/s in one pass), 'tube_friction_drop', 'tube_return_drop', "
        "'tube_pressure_drop' (Pa), "
        "'p1', 'r1', 'ntu1', 'lmtd_correction' (None for one pass), 'warnings', "
        "'bell_delaware' (dict or None). Ctrl-C stops it: KeyboardInterrupt within a second. "
        "ValueError (InvalidArgument for the extensions) for a value outside its domain, e.g. "
        "a pass_limit below 1.");
}

}  // namespace hxrate_python
