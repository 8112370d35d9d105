#include "analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>

namespace hxrate::report {
namespace {

using std::numbers::pi;

std::optional<double> finite(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    return x;
}

// A value as a message shows it: four significant digits.
std::string num(double x) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4g", x);
    return buffer;
}

bool finiteDrop(const PressureDrop& d) {
    return std::isfinite(d.pressureDrop) && std::isfinite(d.friction) &&
           std::isfinite(d.reynolds) && std::isfinite(d.velocity) &&
           std::isfinite(d.massVelocity) && std::isfinite(d.diameter) && std::isfinite(d.flowArea);
}

}  // namespace

bool reached(const Rating& r, Stage stage) {
    return static_cast<int>(r.stage) >= static_cast<int>(stage);
}

std::string_view frictionSourceName(FrictionSource source) {
    switch (source) {
        case FrictionSource::laminar:
            return "model-laminar";
        case FrictionSource::modelColebrook:
            return "model-colebrook";
        case FrictionSource::reportColebrook:
            return "report-colebrook";
        case FrictionSource::reportLaminar:
            return "report-laminar";
        default:
            return "kern-fit";
    }
}

double darcyWeisbach(double f, double length, double diameter, double density, double velocity) {
    return f * (length / diameter) * density * velocity * velocity / 2;
}

double colebrook(double Re, double relativeRoughness) {
    double roughness = relativeRoughness / 3.7;
    // Swamee-Jain start, then the implicit form to convergence.
    double t = -2 * std::log10(roughness + 5.74 / std::pow(Re, 0.9));
    double f = 1 / (t * t);
    for (int n = 0; n < 200; ++n) {
        t = -2 * std::log10(roughness + 2.51 / (Re * std::sqrt(f)));
        double next = 1 / (t * t);
        if (std::fabs(next - f) < 1e-12) return next;
        f = next;
    }
    return f;
}

double kernFriction(double Re) {
    return std::exp(0.576 - 0.19 * std::log(Re));
}

double kernEquivalentDiameter(std::int32_t arrangement, double P, double Do) {
    double tubeSection = pi * Do * Do / 4;
    if (arrangement == BundleArrangement::Staggered)
        return 4 * (0.43 * P * P - 0.5 * tubeSection) / (0.5 * pi * Do);
    // Four times the free area of a square cell over the wetted perimeter.
    return 4 * (P * P - tubeSection) / (pi * Do);
}

std::optional<PressureDrop> kernPressureDrop(const KernInput& in) {
    double P = in.pitch;
    double Do = in.outerDiameter;
    if (!(P > Do) || !(in.baffleSpacing > 0) || !(in.shellDiameter > 0)) return std::nullopt;
    PressureDrop d;
    d.method = "kern";
    d.estimate = true;
    d.frictionSource = FrictionSource::kernFit;
    // Cross-flow area at the bundle's centre line between two baffles.
    d.flowArea = in.shellDiameter * (P - Do) * in.baffleSpacing / P;
    d.massVelocity = in.massFlow / d.flowArea;
    d.diameter = kernEquivalentDiameter(in.arrangement, P, Do);
    d.reynolds = d.massVelocity * d.diameter / in.viscosity;
    if (!(d.reynolds > 0) || !(d.diameter > 0)) return std::nullopt;
    d.friction = kernFriction(d.reynolds);
    d.velocity = d.massVelocity / in.density;
    d.length = static_cast<double>(in.baffleCount + 1) * in.shellDiameter;
    d.pressureDrop = d.friction * d.massVelocity * d.massVelocity *
                     static_cast<double>(in.baffleCount + 1) * in.shellDiameter /
                     (2 * in.density * d.diameter);
    if (!finiteDrop(d)) return std::nullopt;
    return d;
}

std::optional<PressureDrop> tubePressureDrop(const Case& c, const Rating& r) {
    if (!r.tube.friction || r.tube.correlation == Correlation::none) return std::nullopt;
    const Fluid& f = c.tubeFluid;
    PressureDrop d;
    d.method = "darcy-weisbach";
    d.friction = *r.tube.friction;
    d.frictionSource = r.tube.correlation == Correlation::laminarDuct
                           ? FrictionSource::laminar
                           : FrictionSource::modelColebrook;
    d.reynolds = r.tube.reynolds;
    d.diameter = c.tubeInnerDiameter;
    d.length = c.tubeLength;
    d.flowArea = pi * d.diameter * d.diameter / 4;
    // The stream shares the tubes equally.
    d.velocity = f.volumetricFlow / (static_cast<double>(c.tubeCount) * d.flowArea);
    d.massVelocity = f.density * d.velocity;
    d.pressureDrop = darcyWeisbach(d.friction, d.length, d.diameter, f.density, d.velocity);
    if (!finiteDrop(d)) return std::nullopt;
    return d;
}

std::optional<PressureDrop> shellPressureDrop(const Case& c, const Rating& r) {
    const Fluid& f = c.shellFluid;
    if (isCrossFlow(c.exchangerType)) {
        if (!reached(r, Stage::geometry)) return std::nullopt;
        return kernPressureDrop({f.density * f.volumetricFlow, f.density, f.viscosity,
                                 c.shellInnerDiameter, r.geometry.baffleSpacing, c.transversePitch,
                                 r.geometry.outerDiameter, std::int64_t{c.baffleCount},
                                 c.bundleArrangement});
    }
    if (!reached(r, Stage::shellFlow)) return std::nullopt;
    PressureDrop d;
    d.method = "darcy-weisbach";
    d.reynolds = r.shell.reynolds;
    d.diameter = r.shell.characteristicLength;
    d.flowArea = r.shell.flowArea;
    d.length = c.tubeLength;
    if (r.shell.friction) {
        d.friction = *r.shell.friction;
        d.frictionSource = r.shell.correlation == Correlation::sparseLaminar
                               ? FrictionSource::laminar
                               : FrictionSource::modelColebrook;
    } else if (d.reynolds <= 2300) {
        d.friction = 64 / d.reynolds;
        d.frictionSource = FrictionSource::reportLaminar;
    } else {
        // The model's duct forms take the tube roughness for the shell too.
        d.friction = colebrook(d.reynolds, c.innerRoughness / d.diameter);
        d.frictionSource = FrictionSource::reportColebrook;
    }
    d.velocity = f.volumetricFlow / d.flowArea;
    d.massVelocity = f.density * d.velocity;
    d.pressureDrop = darcyWeisbach(d.friction, d.length, d.diameter, f.density, d.velocity);
    if (!finiteDrop(d) || !(d.reynolds > 0)) return std::nullopt;
    return d;
}

double idealEffectiveness(double ntu, double Cr, bool counterCurrent) {
    if (!counterCurrent) return (1 - std::exp(-ntu * (1 + Cr))) / (1 + Cr);
    if (std::fabs(1 - Cr) < 1e-9) return ntu / (1 + ntu);
    double e = std::exp(-ntu * (1 - Cr));
    return (1 - e) / (1 - Cr * e);
}

ThermalSummary summariseThermal(const Case& c, const Rating& r) {
    ThermalSummary s;
    s.tubeDuty = r.tubeDuty;
    s.shellDuty = r.shellDuty;
    s.UA = r.overallCoefficient * r.area;
    s.idealCounterCurrent = isCounterCurrent(c.exchangerType);
    if (s.tubeDuty && s.shellDuty) {
        double larger = std::max(std::fabs(*s.tubeDuty), std::fabs(*s.shellDuty));
        s.imbalance = larger > 0 ? finite(std::fabs(*s.tubeDuty - *s.shellDuty) / larger) : 0.0;
    }
    double Ct = r.tubeMassFlow * c.tubeFluid.heatCapacity;
    double Cs = r.shellMassFlow * c.shellFluid.heatCapacity;
    double Cmin = std::min(Ct, Cs);
    double Cmax = std::max(Ct, Cs);
    double inletDifference = c.tubeInletTemperature - c.shellInletTemperature;
    if (Cmin > 0 && std::isfinite(Cmax)) {
        s.capacityRatio = finite(Cmin / Cmax);
        s.ntu = finite(s.UA / Cmin);
        if (s.tubeDuty && inletDifference != 0)
            s.effectiveness = finite(std::fabs(*s.tubeDuty) / (Cmin * std::fabs(inletDifference)));
        if (s.ntu && s.capacityRatio)
            s.idealEffectiveness =
                finite(idealEffectiveness(*s.ntu, *s.capacityRatio, s.idealCounterCurrent));
    }
    double dT1, dT2;
    if (s.idealCounterCurrent) {
        dT1 = c.tubeInletTemperature - r.shellOutletTemperature;
        dT2 = r.tubeOutletTemperature - c.shellInletTemperature;
    } else {
        dT1 = inletDifference;
        dT2 = r.tubeOutletTemperature - r.shellOutletTemperature;
    }
    if (dT1 * dT2 > 0) {
        if (std::fabs(dT1 - dT2) <= 1e-12 * std::fabs(dT1)) {
            s.lmtd = std::fabs(dT1);
        } else {
            s.lmtd = finite(std::fabs((dT1 - dT2) / std::log(dT1 / dT2)));
        }
    }
    return s;
}

Discretisation estimateDiscretisation(const Case& c) {
    Discretisation d;
    RateOptions exact;
    exact.shooting = ShootingMethod::exact;
    Case half = c;
    half.elementLength = c.elementLength / 2;
    d.halfElementLength = half.elementLength;
    double halfCount = c.tubeLength / half.elementLength;
    // Twice the grid of the case: bounded so that the estimate stays quick.
    constexpr double largestGrid = 2e7;
    if (!(halfCount <= largestGrid)) {
        d.note = "not formed: dL/2 would need " + num(halfCount) + " elements";
        return d;
    }
    try {
        Rating coarse = rate(c, exact);
        Rating fine = rate(half, exact);
        d.halfElementCount = fine.geometry.elementCount;
        d.tubeOutletDifference = coarse.tubeOutletTemperature - fine.tubeOutletTemperature;
        d.shellOutletDifference = coarse.shellOutletTemperature - fine.shellOutletTemperature;
        d.estimate =
            std::max(std::fabs(d.tubeOutletDifference), std::fabs(d.shellOutletDifference));
        d.formed = std::isfinite(d.estimate);
        if (!d.formed) d.note = "not formed: the outlets differ by more than a double holds";
    } catch (const Error& e) {
        d.note = std::string("not formed: ") + e.what();
    }
    return d;
}

ShootingAdvice adviseShooting(const Case& c) {
    ShootingAdvice a;
    a.applies = isCounterCurrent(c.exchangerType);
    if (!a.applies) return a;
    try {
        ShootingMap map = analyseShooting(c);
        if (map.slope == 0) return a;
        a.fastestFactor = finite(map.conductancePerLength / map.slope);
    } catch (const Error&) {
        return a;
    }
    if (!a.fastestFactor) return a;
    // The shortest decimal near the fastest factor that still finishes fast.
    RateOptions bounded;
    bounded.passLimit = slowShootingPasses;
    for (int digits = 1; digits <= 4; ++digits) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*g", digits, *a.fastestFactor);
        Case trial = c;
        trial.correctionFactor = std::strtod(text, nullptr);
        try {
            Rating r = rate(trial, bounded);
            if (r.shootingPasses <= 10 || digits == 4) {
                a.advisedFactor = trial.correctionFactor;
                a.advisedPasses = r.shootingPasses;
                return a;
            }
        } catch (const Error&) {
        }
    }
    a.advisedFactor = a.fastestFactor;
    return a;
}

std::vector<Trigger> rejectionTriggers(const Case& c, const CaseRejected& rejected) {
    const Rating empty;
    const Rating& r = rejected.partial() ? *rejected.partial() : empty;
    double Nel = static_cast<double>(r.geometry.elementCount);
    switch (rejected.check()) {
        case Check::reduceBaffles:
            return {{"half the element count Nel/2", std::trunc(Nel / 2),
                     static_cast<double>(c.baffleCount), "must exceed the baffle count"}};
        case Check::baffleCountMinusOne:
        case Check::negativeBaffleCount:
            return {
                {"baffle count Nb", static_cast<double>(c.baffleCount), 0.0, "must not be below"}};
        case Check::tubingFit: {
            double cell = r.geometry.bundleCellSize;
            return {{"shell section Ds^2, m2", c.shellInnerDiameter * c.shellInnerDiameter,
                     cell * cell * c.tubeCount, "must exceed the bundle's cells Nt*cell^2"},
                    {"bundle cell (largest of Do, SL, ST, SD), m", cell, std::nullopt, ""}};
        }
        case Check::tubeFlowParameters:
            return {{"tube-side Reynolds number Re", r.tube.reynolds, 0.0, "must be above"}};
        case Check::tubeFrictionDivergence:
            return {{"tube-side Reynolds number Re", r.tube.reynolds, std::nullopt,
                     "Colebrook did not converge in 1000 steps"},
                    {"relative roughness eps/Di", c.innerRoughness / c.tubeInnerDiameter,
                     std::nullopt, ""}};
        case Check::tubeNusseltRange:
            return {{"tube-side Reynolds number Re", r.tube.reynolds, 5e6, "must not exceed"}};
        case Check::crossFlowArrangement:
        case Check::bankArrangement:
            return {{"bundle arrangement code", static_cast<double>(c.bundleArrangement),
                     std::nullopt, "must be 0 (inline) or 1 (staggered)"}};
        case Check::stagnantFlow:
            return {{"shell-side Reynolds number Re", r.shell.reynolds, 1e-5, "must not be below"}};
        case Check::pecletRange:
            return {{"shell-side Peclet number Re*Pr", r.shell.reynolds * r.shell.prandtl, 0.2,
                     "must not be below"}};
        case Check::shellFrictionDivergence:
            return {{"shell-side Reynolds number Re", r.shell.reynolds, std::nullopt,
                     "Colebrook did not converge in 1000 steps"}};
        case Check::shellNusseltRange:
            return {{"shell-side Reynolds number Re", r.shell.reynolds, 5e6, "must not exceed"}};
        case Check::shootingGrows:
            return {
                {"correction factor", c.correctionFactor, std::nullopt,
                 "made the shooting mismatch grow"},
                {"shooting passes made", static_cast<double>(r.shootingPasses), std::nullopt, ""}};
        case Check::shootingLimit:
            return {{"shooting passes made", static_cast<double>(r.shootingPasses), 10000.0,
                     "reached the limit"},
                    {"correction factor", c.correctionFactor, std::nullopt, ""}};
        case Check::exchangerSelection:
            return {{"exchanger type", static_cast<double>(c.exchangerType), std::nullopt,
                     "must be 0, 1, 2 or 3"}};
        case Check::negativeElementCount:
            return {
                {"element count L/dL", c.tubeLength / c.elementLength, 0.0, "must not be below"}};
    }
    return {};
}

std::string_view severityName(Severity s) {
    switch (s) {
        case Severity::info:
            return "info";
        case Severity::warning:
            return "warning";
        default:
            return "error";
    }
}

namespace {

constexpr bool isHeadingLine(int line) {
    return line == 12 || line == 14 || line == 17 || line == 20;
}

// The physical lines of a text, whatever its line ends.
std::vector<std::string_view> physicalLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool isDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

}  // namespace

std::vector<Warning> checkCaseText(std::string_view text, const CaseSource& source) {
    std::vector<Warning> out;
    std::vector<std::string_view> lines = physicalLines(text);
    for (int line = 1; line <= caseLineCount; ++line) {
        const CaseLineSource& s = source[static_cast<std::size_t>(line - 1)];
        if (isHeadingLine(line) || s.endColumn < 2 || s.lastLine == 0 || s.lastLine > lines.size())
            continue;
        std::string_view physical = lines[s.lastLine - 1];
        std::size_t at = s.endColumn - 1;  // first ignored character, from 0
        if (at >= physical.size() || physical[at - 1] != ',' || !isDigit(physical[at])) continue;
        // The value as typed: back from the comma to the blank before it.
        std::size_t from = physical.find_last_of(" \t", at - 1);
        from = from == std::string_view::npos ? 0 : from + 1;
        std::size_t to = physical.find_first_of(" \t,", at);
        if (to == std::string_view::npos) to = physical.size();
        std::string typed(physical.substr(from, to - from));
        std::string read(physical.substr(from, at - 1 - from));
        out.push_back({"decimal-comma", Severity::error,
                       "case line " + std::to_string(line) + " (file line " +
                           std::to_string(s.lastLine) + "): \"" + typed + "\" was read as " + read +
                           " and the rest ignored; a comma separates values, write the decimal "
                           "with a point",
                       line});
    }
    int first = 0, later = 0;
    for (int line = 1; line <= caseLineCount; ++line) {
        if (source[static_cast<std::size_t>(line - 1)].label == line) continue;
        if (first == 0) {
            first = line;
        } else {
            ++later;
        }
    }
    if (first != 0) {
        const CaseLineSource& s = source[static_cast<std::size_t>(first - 1)];
        std::string message = "case line " + std::to_string(first) + " (file line " +
                              std::to_string(s.firstLine) + ") carries the label " +
                              std::to_string(s.label) +
                              "; labels are not checked, so a value missing or surplus on an "
                              "earlier line shifts every value after it";
        if (later > 0)
            message += " (" + std::to_string(later) + " later line" + (later > 1 ? "s" : "") +
                       " also differ)";
        out.push_back({"label-mismatch", Severity::warning, message, first});
    }
    return out;
}

namespace {

// A plausible range of one value, in SI units.
struct Plausible {
    int line;
    std::string what;
    double value;
    double low, high;
    std::string unit;
    bool length;  // a length, which may have been typed in millimetres
};

void checkPlausible(const Plausible& p, std::vector<Warning>& out) {
    if (!std::isfinite(p.value) || (p.value >= p.low && p.value <= p.high)) return;
    std::string message = p.what + " " + num(p.value) + " " + p.unit + " is outside " + num(p.low) +
                          " to " + num(p.high) + " " + p.unit;
    Severity severity = Severity::warning;
    double metres = p.value / 1000;
    if (p.length && metres >= p.low && metres <= p.high) {
        message +=
            "; it looks like millimetres (" + num(metres) + " m); lengths are read in metres";
        severity = Severity::error;
    }
    out.push_back({"unit-scale", severity, message, p.line});
}

}  // namespace

std::vector<Warning> checkCaseValues(const Case& c) {
    std::vector<Warning> out;
    const std::int32_t type = c.exchangerType;
    bool axial = type == ExchangerType::CoCurrent || type == ExchangerType::CounterCurrent;

    if (!isCounterCurrent(type) && (axial || isCrossFlow(type)) && c.correctionFactor != 0) {
        out.push_back({"unused-value", Severity::info,
                       "correction factor " + num(c.correctionFactor) + " is not used: type " +
                           std::to_string(type) + " is co-current and needs no shooting",
                       21});
    }
    if (axial && c.baffleCount > 0) {
        out.push_back({"unused-value", Severity::info,
                       "baffle count " + std::to_string(c.baffleCount) + " is not used: type " +
                           std::to_string(type) + " has the shell fluid flow along the tubes",
                       11});
    }
    if (axial && c.bundleArrangement == BundleArrangement::Staggered) {
        out.push_back({"unused-value", Severity::info,
                       "bundle arrangement 1 (staggered) does not change the result of type " +
                           std::to_string(type) +
                           ": the axial bundle correlation takes no arrangement",
                       7});
    }

    double Do = c.tubeInnerDiameter + 2 * c.wallThickness;
    if (c.tubeCount >= 2) {
        double ST = c.transversePitch, SL = c.longitudinalPitch;
        if (!(ST > Do)) {
            out.push_back({"tube-overlap", Severity::error,
                           "transverse pitch " + num(ST) +
                               " m is not larger than the tube outer "
                               "diameter Do = Di + 2 tw = " +
                               num(Do) + " m: neighbouring tubes overlap",
                           10});
        }
        if (c.bundleArrangement == BundleArrangement::Staggered) {
            double SD = std::sqrt(ST * ST / 4 + SL * SL);
            if (!(SD > Do)) {
                out.push_back({"tube-overlap", Severity::error,
                               "diagonal pitch " + num(SD) + " m (from SL = " + num(SL) +
                                   " m, ST = " + num(ST) + " m) is not larger than Do = " +
                                   num(Do) + " m: tubes of neighbouring rows overlap",
                               9});
            }
        } else if (!(SL > Do)) {
            out.push_back({"tube-overlap", Severity::error,
                           "longitudinal pitch " + num(SL) +
                               " m is not larger than the tube "
                               "outer diameter Do = " +
                               num(Do) +
                               " m: tubes of neighbouring rows "
                               "overlap",
                           9});
        }
    }

    const Plausible table[] = {
        {2, "tube inner diameter", c.tubeInnerDiameter, 1e-3, 0.5, "m", true},
        {3, "inner roughness", c.innerRoughness, 0, 5e-3, "m", true},
        {4, "tube length", c.tubeLength, 0.1, 30, "m", true},
        {5, "element length", c.elementLength, 1e-5, 30, "m", true},
        {6, "shell inner diameter", c.shellInnerDiameter, 0.02, 5, "m", true},
        {8, "tube count", static_cast<double>(c.tubeCount), 1, 1e5, "", false},
        {13, "wall conductivity", c.wallConductivity, 0.1, 1000, "W/(m K)", false},
        {13, "wall thickness", c.wallThickness, 1e-4, 0.05, "m", true},
        {18, "tube inlet temperature", c.tubeInletTemperature, -273.15, 3000, "C", false},
        {19, "shell inlet temperature", c.shellInletTemperature, -273.15, 3000, "C", false},
    };
    for (const Plausible& p : table) checkPlausible(p, out);
    // Pitches only matter where a bank or the fit check forms them.
    if (c.longitudinalPitch != 0 || isCrossFlow(type))
        checkPlausible({9, "longitudinal pitch", c.longitudinalPitch, 1e-3, 1, "m", true}, out);
    if (c.transversePitch != 0 || isCrossFlow(type))
        checkPlausible({10, "transverse pitch", c.transversePitch, 1e-3, 1, "m", true}, out);
    for (int side = 0; side < 2; ++side) {
        const Fluid& f = side == 0 ? c.tubeFluid : c.shellFluid;
        int line = side == 0 ? 15 : 16;
        std::string who = side == 0 ? "tube fluid " : "shell fluid ";
        checkPlausible({line, who + "density", f.density, 0.01, 25000, "kg/m3", false}, out);
        checkPlausible({line, who + "viscosity", f.viscosity, 1e-6, 100, "Pa s", false}, out);
        checkPlausible({line, who + "conductivity", f.conductivity, 0.005, 500, "W/(m K)", false},
                       out);
        checkPlausible({line, who + "heat capacity", f.heatCapacity, 100, 20000, "J/(kg K)", false},
                       out);
        checkPlausible({line, who + "volumetric flow", f.volumetricFlow, 1e-7, 100, "m3/s", false},
                       out);
    }
    return out;
}

namespace {

void checkDuctRange(const char* side, int line, const SideResult& s, std::vector<Warning>& out) {
    bool turbulent = s.correlation == Correlation::turbulentDuct ||
                     s.correlation == Correlation::sparseTurbulent;
    if (!turbulent) return;
    if (s.reynolds < limits::gnielinskiLowReynolds) {
        out.push_back({"correlation-range", Severity::warning,
                       std::string(side) + " Reynolds number " + num(s.reynolds) +
                           " is below 3000, where the turbulent duct correlation (Gnielinski) "
                           "starts; 2300 < Re < 3000 is transitional",
                       line});
    }
    if (s.prandtl < limits::gnielinskiLowPrandtl || s.prandtl > limits::gnielinskiHighPrandtl) {
        out.push_back({"correlation-range", Severity::warning,
                       std::string(side) + " Prandtl number " + num(s.prandtl) +
                           " is outside 0.5 to 2000, the range of the turbulent duct correlation "
                           "(Gnielinski)",
                       line});
    }
}

// Whether `values` keeps one direction, allowing rounding-size reversals.
std::optional<std::size_t> firstReversal(const std::vector<double>& values, double direction) {
    double scale = 0;
    for (double v : values) scale = std::max(scale, std::fabs(v));
    double slack = 1e-9 * std::max(scale, 1.0);
    for (std::size_t i = 1; i < values.size(); ++i) {
        if ((values[i] - values[i - 1]) * direction < -slack) return i;
    }
    return std::nullopt;
}

}  // namespace

std::vector<Warning> checkRating(const Case& c, const Rating& r) {
    std::vector<Warning> out;
    if (r.tube.correlation != Correlation::none) checkDuctRange("tube-side", 15, r.tube, out);
    if (reached(r, Stage::shellHeatTransfer)) {
        checkDuctRange("shell-side", 16, r.shell, out);
        bool bank = r.shell.correlation == Correlation::inlineBank ||
                    r.shell.correlation == Correlation::staggeredBank;
        if (bank && isCrossFlow(c.exchangerType)) {
            if (r.shell.prandtl < limits::bankLowPrandtl ||
                r.shell.prandtl > limits::bankHighPrandtl) {
                out.push_back({"correlation-range", Severity::warning,
                               "shell-side Prandtl number " + num(r.shell.prandtl) +
                                   " is outside 0.7 to 500, the range of the tube-bank "
                                   "correlation (Zukauskas)",
                               16});
            }
            if (r.shell.reynolds < limits::bankLowReynolds ||
                r.shell.reynolds > limits::bankHighReynolds) {
                out.push_back({"correlation-range", Severity::warning,
                               "shell-side Reynolds number " + num(r.shell.reynolds) +
                                   " is outside 10 to 2e6, the range of the tube-bank "
                                   "correlation (Zukauskas)",
                               16});
            }
        }
    }
    if (!reached(r, Stage::solved)) return out;

    if (r.overallCoefficient < 1 || r.overallCoefficient > 1e5) {
        out.push_back({"unit-scale", Severity::warning,
                       "overall heat transfer coefficient U = " + num(r.overallCoefficient) +
                           " W/(m2 K) is outside 1 to 1e5 W/(m2 K), what exchangers reach",
                       0});
    }

    ThermalSummary s = summariseThermal(c, r);
    if (s.imbalance && *s.imbalance > limits::energyBalance) {
        out.push_back({"energy-balance", Severity::warning,
                       "tube stream gives off " + num(*s.tubeDuty) + " W, shell stream takes up " +
                           num(*s.shellDuty) + " W: they differ by " + num(*s.imbalance * 100) +
                           " %, more than 0.1 %",
                       0});
    }

    const double Tt_in = c.tubeInletTemperature, Ts_in = c.shellInletTemperature;
    const double direction = Ts_in > Tt_in ? 1 : (Ts_in < Tt_in ? -1 : 0);
    if (direction != 0) {
        // The tube fluid moves towards the shell inlet, never past it; the
        // shell fluid likewise towards the tube inlet.
        if ((r.tubeOutletTemperature - Ts_in) * direction > 0) {
            out.push_back({"temperature-cross", Severity::error,
                           "tube outlet " + num(r.tubeOutletTemperature) +
                               " is beyond the shell inlet " + num(Ts_in) +
                               ": no exchanger can do that; the element length is too coarse",
                           18});
        }
        if ((r.shellOutletTemperature - Tt_in) * direction < 0) {
            out.push_back({"temperature-cross", Severity::error,
                           "shell outlet " + num(r.shellOutletTemperature) +
                               " is beyond the tube inlet " + num(Tt_in) +
                               ": no exchanger can do that; the element length is too coarse",
                           19});
        }
        const Profile& p = r.profile;
        if (auto i = firstReversal(p.tube, direction)) {
            out.push_back({"temperature-cross", Severity::warning,
                           "tube-fluid temperature turns back at node " + std::to_string(*i) +
                               " (x = " + num(p.location[*i]) + " m: " + num(p.tube[*i - 1]) +
                               " then " + num(p.tube[*i]) +
                               "); it must move steadily towards the shell temperature",
                           5});
        }
        // Along x the shell side changes against the tube fluid in
        // co-current flow, with it in counter-current flow.
        double shellDirection = isCounterCurrent(c.exchangerType) ? direction : -direction;
        if (auto i = firstReversal(p.shell, shellDirection)) {
            out.push_back({"temperature-cross", Severity::warning,
                           "shell-side temperature turns back at node " + std::to_string(*i) +
                               " (x = " + num(p.location[*i]) + " m: " + num(p.shell[*i - 1]) +
                               " then " + num(p.shell[*i]) + ")",
                           5});
        }
    }
    return out;
}

std::vector<Warning> checkPressureDrop(const std::optional<PressureDrop>& shell) {
    std::vector<Warning> out;
    if (!shell || shell->frictionSource != FrictionSource::kernFit) return out;
    if (shell->reynolds <= kernFitLowReynolds || shell->reynolds >= kernFitHighReynolds) {
        out.push_back({"correlation-range", Severity::warning,
                       "Kern's shell-side Reynolds number " + num(shell->reynolds) +
                           " is outside 400 to 1e6, where his friction factor was fitted: the "
                           "shell pressure drop is a rough guess",
                       16});
    }
    return out;
}

std::vector<Warning> checkNumerics(const Case& c, const Rating* r, const Discretisation& d,
                                   const ShootingAdvice& s, bool shootingRejected) {
    std::vector<Warning> out;
    if (r && reached(*r, Stage::geometry) && r->geometry.elementCount < limits::minimumElements) {
        out.push_back({"coarse-grid", Severity::warning,
                       "only " + std::to_string(r->geometry.elementCount) +
                           (r->geometry.elementCount == 1 ? " element" : " elements") +
                           " (L = " + num(c.tubeLength) + " m, dL = " + num(c.elementLength) +
                           " m); at least 10 are advised",
                       5});
    }
    if (d.formed && d.estimate > limits::discretisation) {
        out.push_back({"coarse-grid", Severity::warning,
                       "halving the element length to " + num(d.halfElementLength) +
                           " m moves an outlet by " + num(d.estimate) +
                           " K, more than 0.1 K: the element length is too coarse",
                       5});
    }
    if (s.applies && r && (shootingRejected || r->shootingPasses > slowShootingPasses)) {
        std::string message =
            shootingRejected ? "the shooting failed at correction factor " + num(c.correctionFactor)
                             : "the shooting needed " + std::to_string(r->shootingPasses) +
                                   " passes at correction factor " + num(c.correctionFactor);
        if (s.advisedFactor) {
            message += "; factor " + num(*s.advisedFactor) + " needs " +
                       (s.advisedPasses ? std::to_string(*s.advisedPasses) : std::string("few")) +
                       " passes";
        }
        out.push_back({"slow-shooting", Severity::warning, message, 21});
    }
    return out;
}

Report buildReport(std::string_view text, const std::string& casePath,
                   const std::string& caseName) {
    Report rep;
    rep.casePath = casePath;
    rep.caseName = caseName;
    std::string sourceName = std::filesystem::path(casePath).filename().string();
    rep.input = parseCase(text, sourceName, rep.source);
    const Case& c = rep.input;
    bool shootingRejected = false;
    try {
        rep.rating = rate(c);
    } catch (const CaseRejected& rejected) {
        rep.outcome = Outcome::rejected;
        rep.rejectedBy = rejected.check();
        if (rejected.partial()) rep.rating = *rejected.partial();
        rep.triggers = rejectionTriggers(c, rejected);
        shootingRejected =
            rejected.check() == Check::shootingGrows || rejected.check() == Check::shootingLimit;
    }
    const Rating& r = rep.rating;
    rep.tubePressure = tubePressureDrop(c, r);
    rep.shellPressure = shellPressureDrop(c, r);
    if (rep.outcome == Outcome::solved) rep.thermal = summariseThermal(c, r);
    if (rep.outcome == Outcome::solved || shootingRejected)
        rep.discretisation = estimateDiscretisation(c);
    if (shootingRejected || r.shootingPasses > slowShootingPasses)
        rep.shooting = adviseShooting(c);
    else
        rep.shooting.applies = isCounterCurrent(c.exchangerType);

    auto add = [&](std::vector<Warning> more) {
        rep.warnings.insert(rep.warnings.end(), more.begin(), more.end());
    };
    add(checkCaseText(text, rep.source));
    add(checkCaseValues(c));
    add(checkRating(c, r));
    add(checkPressureDrop(rep.shellPressure));
    add(checkNumerics(c, &r, rep.discretisation, rep.shooting, shootingRejected));
    std::stable_sort(rep.warnings.begin(), rep.warnings.end(),
                     [](const Warning& a, const Warning& b) { return a.severity > b.severity; });
    return rep;
}

std::vector<InputRow> describeInputs(const Case& c, const CaseSource& source) {
    std::vector<InputRow> rows;
    auto add = [&](int line, std::string key, std::string label, std::string symbol,
                   std::string unit, double value) {
        const CaseLineSource& s = source[static_cast<std::size_t>(line - 1)];
        rows.push_back({std::move(key), std::move(label), std::move(symbol), std::move(unit), line,
                        s.firstLine, s.lastLine, finite(value), std::nullopt});
    };
    auto addText = [&](int line, std::string key, std::string label, const std::string& text) {
        const CaseLineSource& s = source[static_cast<std::size_t>(line - 1)];
        std::string trimmed = text.substr(0, text.find_last_not_of(' ') + 1);
        rows.push_back({std::move(key), std::move(label), "", "", line, s.firstLine, s.lastLine,
                        std::nullopt, trimmed});
    };
    add(1, "exchanger_type", "exchanger type", "", "", c.exchangerType);
    add(2, "tube_inner_diameter", "tube inner diameter", "Di", "m", c.tubeInnerDiameter);
    add(3, "inner_roughness", "inner roughness", "eps", "m", c.innerRoughness);
    add(4, "tube_length", "tube length", "L", "m", c.tubeLength);
    add(5, "element_length", "element length", "dL", "m", c.elementLength);
    add(6, "shell_inner_diameter", "shell inner diameter", "Ds", "m", c.shellInnerDiameter);
    add(7, "bundle_arrangement", "bundle arrangement (0 inline, 1 staggered)", "", "",
        c.bundleArrangement);
    add(8, "tube_count", "tube count", "Nt", "", c.tubeCount);
    add(9, "longitudinal_pitch", "longitudinal pitch", "SL", "m", c.longitudinalPitch);
    add(10, "transverse_pitch", "transverse pitch", "ST", "m", c.transversePitch);
    add(11, "baffle_count", "baffle count", "Nb", "", c.baffleCount);
    addText(13, "wall_material", "wall material", c.wallMaterial);
    add(13, "wall_conductivity", "wall conductivity", "kw", "W/(m K)", c.wallConductivity);
    add(13, "wall_thickness", "wall thickness", "tw", "m", c.wallThickness);
    for (int side = 0; side < 2; ++side) {
        const Fluid& f = side == 0 ? c.tubeFluid : c.shellFluid;
        int line = side == 0 ? 15 : 16;
        std::string key = side == 0 ? "tube_fluid_" : "shell_fluid_";
        std::string who = side == 0 ? "tube fluid " : "shell fluid ";
        std::string sub = side == 0 ? "_i" : "_o";
        addText(line, key + "name", who + "name", f.name);
        add(line, key + "density", who + "density", "rho" + sub, "kg/m3", f.density);
        add(line, key + "viscosity", who + "viscosity", "mu" + sub, "Pa s", f.viscosity);
        add(line, key + "conductivity", who + "conductivity", "k" + sub, "W/(m K)", f.conductivity);
        add(line, key + "heat_capacity", who + "heat capacity", "cp" + sub, "J/(kg K)",
            f.heatCapacity);
        add(line, key + "volumetric_flow", who + "volumetric flow (whole stream)", "Q" + sub,
            "m3/s", f.volumetricFlow);
    }
    add(18, "tube_inlet_temperature", "tube inlet temperature", "Tt_in", "C",
        c.tubeInletTemperature);
    add(19, "shell_inlet_temperature", "shell inlet temperature", "Ts_in", "C",
        c.shellInletTemperature);
    add(21, "correction_factor", "correction factor of the shooting", "corr", "W/(m K)",
        c.correctionFactor);
    return rows;
}

std::string correlationText(Correlation c, int bankRow) {
    switch (c) {
        case Correlation::laminarDuct:
            return "laminar duct flow (Re <= 2300): Graetz form, f = 64/Re";
        case Correlation::turbulentDuct:
            return "turbulent duct flow (Re > 2300): Gnielinski with the Colebrook friction factor";
        case Correlation::singleCylinder:
            return "single cylinder in cross flow (Churchill-Bernstein)";
        case Correlation::inlineBank:
            return "inline tube bank (Zukauskas), Reynolds row " + std::to_string(bankRow);
        case Correlation::staggeredBank:
            return "staggered tube bank (Zukauskas), Reynolds row " + std::to_string(bankRow);
        case Correlation::axialBundle:
            return "axial flow along a dense bundle";
        case Correlation::sparseLaminar:
            return "sparse bundle as a laminar duct on Dh";
        case Correlation::sparseTurbulent:
            return "sparse bundle as a turbulent duct on Dh (Gnielinski, Colebrook)";
        default:
            return "not formed";
    }
}

std::string verdict(const Report& r) {
    if (r.outcome == Outcome::rejected)
        return "rejected: " + std::string(checkMessage(*r.rejectedBy));
    int errors = 0, warnings = 0;
    for (const Warning& w : r.warnings) {
        errors += w.severity == Severity::error;
        warnings += w.severity == Severity::warning;
    }
    if (errors == 0 && warnings == 0) return "rated, no warnings or errors";
    std::string text = "rated, but read the ";
    if (errors > 0) text += std::to_string(errors) + (errors > 1 ? " errors" : " error");
    if (errors > 0 && warnings > 0) text += " and ";
    if (warnings > 0) text += std::to_string(warnings) + (warnings > 1 ? " warnings" : " warning");
    return text;
}

}  // namespace hxrate::report
