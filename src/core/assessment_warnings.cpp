// The warnings of an assessment: what the case's text, its values, the
// rating, the correlation branches, the pressure drop and the numerics of
// the march tell about the trust a result deserves.
#include "core/assessment_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/extended_rating.h"
#include "core/shell_heat_transfer.h"

namespace hxrate {

std::string shortNumber(double x) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4g", x);
    return buffer;
}

namespace {

std::string num(double x) {
    return shortNumber(x);
}

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
        out.push_back({"decimal-comma",
                       Severity::error,
                       "case line " + std::to_string(line) + " (file line " +
                           std::to_string(s.lastLine) + "): \"" + typed + "\" was read as " + read +
                           " and the rest ignored; a comma separates values, write the decimal "
                           "with a point",
                       line,
                       {{"file_line", static_cast<double>(s.lastLine)}}});
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
        out.push_back({"label-mismatch",
                       Severity::warning,
                       message,
                       first,
                       {{"label", static_cast<double>(s.label)}}});
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
    out.push_back({"unit-scale",
                   severity,
                   message,
                   p.line,
                   {{"value", p.value}, {"low", p.low}, {"high", p.high}}});
}

}  // namespace

std::vector<Warning> checkCaseValues(const Case& c, const Rating& r) {
    std::vector<Warning> out;
    const std::int32_t type = c.exchangerType;
    bool axial = type == ExchangerType::CoCurrent || type == ExchangerType::CounterCurrent;

    if (!isCounterCurrent(type) && (axial || isCrossFlow(type)) && c.correctionFactor != 0) {
        out.push_back({"unused-value",
                       Severity::info,
                       "correction factor " + num(c.correctionFactor) + " is not used: type " +
                           std::to_string(type) + " is co-current and needs no shooting",
                       21,
                       {{"corr", c.correctionFactor}}});
    }
    if (axial && c.baffleCount > 0) {
        out.push_back({"unused-value",
                       Severity::info,
                       "baffle count " + std::to_string(c.baffleCount) + " is not used: type " +
                           std::to_string(type) + " has the shell fluid flow along the tubes",
                       11,
                       {{"Nb", static_cast<double>(c.baffleCount)}}});
    }
    if (axial && c.bundleArrangement == BundleArrangement::Staggered) {
        // Named after the branch the shell side took: a sparse bundle is a
        // duct on Dh, a dense one the axial-bundle correlation.
        bool sparse = r.shell.correlation == Correlation::sparseLaminar ||
                      r.shell.correlation == Correlation::sparseTurbulent;
        out.push_back({"unused-value",
                       Severity::info,
                       "bundle arrangement 1 (staggered) does not change the result of type " +
                           std::to_string(type) +
                           (sparse ? ": the sparse-bundle duct form on Dh takes no arrangement"
                                   : ": the axial bundle correlation takes no arrangement"),
                       7,
                       {{"arrangement", static_cast<double>(c.bundleArrangement)}}});
    }

    double Do = c.tubeInnerDiameter + 2 * c.wallThickness;
    if (c.tubeCount >= 2) {
        double ST = c.transversePitch, SL = c.longitudinalPitch;
        if (!(ST > Do)) {
            out.push_back({"tube-overlap",
                           Severity::error,
                           "transverse pitch " + num(ST) +
                               " m is not larger than the tube outer "
                               "diameter Do = Di + 2 tw = " +
                               num(Do) + " m: neighbouring tubes overlap",
                           10,
                           {{"ST", ST}, {"Do", Do}}});
        }
        if (c.bundleArrangement == BundleArrangement::Staggered) {
            double SD = std::sqrt(ST * ST / 4 + SL * SL);
            if (!(SD > Do)) {
                out.push_back({"tube-overlap",
                               Severity::error,
                               "diagonal pitch " + num(SD) + " m (from SL = " + num(SL) +
                                   " m, ST = " + num(ST) + " m) is not larger than Do = " +
                                   num(Do) + " m: tubes of neighbouring rows overlap",
                               9,
                               {{"SD", SD}, {"SL", SL}, {"ST", ST}, {"Do", Do}}});
            }
        } else if (!(SL > Do)) {
            out.push_back({"tube-overlap",
                           Severity::error,
                           "longitudinal pitch " + num(SL) +
                               " m is not larger than the tube "
                               "outer diameter Do = " +
                               num(Do) +
                               " m: tubes of neighbouring rows "
                               "overlap",
                           9,
                           {{"SL", SL}, {"Do", Do}}});
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
        out.push_back({"correlation-range",
                       Severity::warning,
                       std::string(side) + " Reynolds number " + num(s.reynolds) +
                           " is below 3000, where the turbulent duct correlation (Gnielinski) "
                           "starts; 2300 < Re < 3000 is transitional",
                       line,
                       {{"Re", s.reynolds}}});
    }
    if (s.prandtl < limits::gnielinskiLowPrandtl || s.prandtl > limits::gnielinskiHighPrandtl) {
        out.push_back({"correlation-range",
                       Severity::warning,
                       std::string(side) + " Prandtl number " + num(s.prandtl) +
                           " is outside 0.5 to 2000, the range of the turbulent duct correlation "
                           "(Gnielinski)",
                       line,
                       {{"Pr", s.prandtl}}});
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

std::vector<Warning> checkRating(const Case& c, const Rating& r, const ThermalSummary& s,
                                 bool programShellSide) {
    std::vector<Warning> out;
    if (r.tube.correlation != Correlation::none) checkDuctRange("tube-side", 15, r.tube, out);
    if (programShellSide && reached(r, Stage::shellHeatTransfer)) {
        checkDuctRange("shell-side", 16, r.shell, out);
        bool bank = r.shell.correlation == Correlation::inlineBank ||
                    r.shell.correlation == Correlation::staggeredBank;
        if (bank && isCrossFlow(c.exchangerType)) {
            if (r.shell.prandtl < limits::bankLowPrandtl ||
                r.shell.prandtl > limits::bankHighPrandtl) {
                out.push_back({"correlation-range",
                               Severity::warning,
                               "shell-side Prandtl number " + num(r.shell.prandtl) +
                                   " is outside 0.7 to 500, the range of the tube-bank "
                                   "correlation (Zukauskas)",
                               16,
                               {{"Pr", r.shell.prandtl}}});
            }
            if (r.shell.reynolds < limits::bankLowReynolds ||
                r.shell.reynolds > limits::bankHighReynolds) {
                out.push_back({"correlation-range",
                               Severity::warning,
                               "shell-side Reynolds number " + num(r.shell.reynolds) +
                                   " is outside 10 to 2e6, the range of the tube-bank "
                                   "correlation (Zukauskas)",
                               16,
                               {{"Re", r.shell.reynolds}}});
            }
        }
    }
    if (!reached(r, Stage::solved)) return out;

    if (r.overallCoefficient < 1 || r.overallCoefficient > 1e5) {
        out.push_back({"unit-scale",
                       Severity::warning,
                       "overall heat transfer coefficient U = " + num(r.overallCoefficient) +
                           " W/(m2 K) is outside 1 to 1e5 W/(m2 K), what exchangers reach",
                       0,
                       {{"U", r.overallCoefficient}}});
    }

    if (s.imbalance && *s.imbalance > limits::energyBalance) {
        out.push_back({"energy-balance",
                       Severity::warning,
                       "tube stream gives off " + num(*s.tubeDuty) + " W, shell stream takes up " +
                           num(*s.shellDuty) + " W: they differ by " + num(*s.imbalance * 100) +
                           " %, more than 0.1 %",
                       0,
                       {{"Qt", *s.tubeDuty}, {"Qs", *s.shellDuty}, {"imbalance", *s.imbalance}}});
    }

    const double Tt_in = c.tubeInletTemperature, Ts_in = c.shellInletTemperature;
    const double direction = Ts_in > Tt_in ? 1 : (Ts_in < Tt_in ? -1 : 0);
    if (direction != 0) {
        // The tube fluid moves towards the shell inlet, never past it; the
        // shell fluid likewise towards the tube inlet.
        if ((r.tubeOutletTemperature - Ts_in) * direction > 0) {
            out.push_back({"temperature-cross",
                           Severity::error,
                           "tube outlet " + num(r.tubeOutletTemperature) +
                               " is beyond the shell inlet " + num(Ts_in) +
                               ": no exchanger can do that; the element length is too coarse",
                           18,
                           {{"Tt_out", r.tubeOutletTemperature}, {"Ts_in", Ts_in}}});
        }
        if ((r.shellOutletTemperature - Tt_in) * direction < 0) {
            out.push_back({"temperature-cross",
                           Severity::error,
                           "shell outlet " + num(r.shellOutletTemperature) +
                               " is beyond the tube inlet " + num(Tt_in) +
                               ": no exchanger can do that; the element length is too coarse",
                           19,
                           {{"Ts_out", r.shellOutletTemperature}, {"Tt_in", Tt_in}}});
        }
        const Profile& p = r.profile;
        if (auto i = firstReversal(p.tube, direction)) {
            out.push_back(
                {"temperature-cross",
                 Severity::warning,
                 "tube-fluid temperature turns back at node " + std::to_string(*i) +
                     " (x = " + num(p.location[*i]) + " m: " + num(p.tube[*i - 1]) + " then " +
                     num(p.tube[*i]) + "); it must move steadily towards the shell temperature",
                 5,
                 {{"x", p.location[*i]}, {"before", p.tube[*i - 1]}, {"after", p.tube[*i]}}});
        }
        // Along x the shell side changes against the tube fluid in
        // co-current flow, with it in counter-current flow.
        double shellDirection = isCounterCurrent(c.exchangerType) ? direction : -direction;
        if (auto i = firstReversal(p.shell, shellDirection)) {
            out.push_back(
                {"temperature-cross",
                 Severity::warning,
                 "shell-side temperature turns back at node " + std::to_string(*i) +
                     " (x = " + num(p.location[*i]) + " m: " + num(p.shell[*i - 1]) + " then " +
                     num(p.shell[*i]) + ")",
                 5,
                 {{"x", p.location[*i]}, {"before", p.shell[*i - 1]}, {"after", p.shell[*i]}}});
        }
    }
    return out;
}

// ---------------------------------------------------------------- second law

std::vector<Warning> checkSecondLaw(const Case& c, const Rating& r, const ThermalSummary& s) {
    std::vector<Warning> out;
    if (!reached(r, Stage::solved)) return out;
    const double Tt_in = c.tubeInletTemperature, Ts_in = c.shellInletTemperature;
    const double Tt_out = r.tubeOutletTemperature, Ts_out = r.shellOutletTemperature;
    // Rounding-size excesses are not a fault of the rating.
    const double slack = 1e-9 * std::max({std::fabs(Tt_in), std::fabs(Ts_in), std::fabs(Tt_out),
                                          std::fabs(Ts_out), std::fabs(Ts_in - Tt_in), 1.0});
    const double low = std::min(Tt_in, Ts_in), high = std::max(Tt_in, Ts_in);
    std::vector<std::string> reasons;
    // Heat passes from the hotter stream to the colder one only: neither
    // stream can end outside the span of the two inlets.
    auto outside = [&](double outlet) { return outlet < low - slack || outlet > high + slack; };
    if (outside(Tt_out))
        reasons.push_back("the tube outlet " + num(Tt_out) + " lies outside the inlets' span " +
                          num(low) + " to " + num(high));
    if (outside(Ts_out))
        reasons.push_back("the shell outlet " + num(Ts_out) + " lies outside the inlets' span " +
                          num(low) + " to " + num(high));
    // Q/(Cmin dT_max) above 1: more heat than the smaller stream could give.
    if (s.effectiveness && *s.effectiveness > 1 + 1e-9)
        reasons.push_back("the effectiveness " + num(*s.effectiveness) + " exceeds 1");
    // Co-current streams approach each other and can at most meet.
    const double direction = Ts_in > Tt_in ? 1 : (Ts_in < Tt_in ? -1 : 0);
    if (!isCounterCurrent(c.exchangerType) && (Tt_out - Ts_out) * direction > slack)
        reasons.push_back("the co-current outlets have crossed (tube " + num(Tt_out) + ", shell " +
                          num(Ts_out) + ")");
    if (reasons.empty()) return out;
    std::string message = "the outlets break the second law: ";
    for (std::size_t i = 0; i < reasons.size(); ++i) message += (i ? "; " : "") + reasons[i];
    message += ". No exchanger reaches them: the march's elements are too long for this case";
    std::vector<WarningValue> values{
        {"Tt_out", Tt_out}, {"Ts_out", Ts_out}, {"Tt_in", Tt_in}, {"Ts_in", Ts_in}};
    if (s.effectiveness) values.push_back({"effectiveness", *s.effectiveness});
    out.push_back({"second-law", Severity::error, message, 0, std::move(values)});
    return out;
}

// ---------------------------------------------------------------- correlation switch

namespace {

// A place where the model changes correlation: the quantity that decides,
// its limit, and the case input that moves it.
enum class Nudged { tubeFlow, shellFlow, tubeCount };

struct Boundary {
    const char* side;      // "tube side", "shell side"
    const char* quantity;  // "Reynolds number", "bundle parameter x = Ds/(Do sqrt Nt)"
    double value, limit;
    const char* below;  // the branch under the limit
    const char* above;  // the branch over it
    Nudged input;
    int caseLine;
};

// The case's rating up to its conductance: one pass of the march at most.
std::optional<Rating> rateToConductance(const Case& c, const detail::Arrangement& ext,
                                        const RateOptions& options) {
    RateOptions onePass = options;
    onePass.passLimit = 1;
    try {
        return detail::rateArrangement(c, ext, onePass);
    } catch (const CaseRejected& stop) {
        if (stop.partial() && reached(*stop.partial(), Stage::resistance)) return *stop.partial();
    } catch (const Cancelled&) {
        throw;
    } catch (const Error&) {
    }
    return std::nullopt;
}

double bundleParameter(const Case& c, double Do, std::int32_t Nt) {
    return axialBundleCoefficients(c.shellInnerDiameter, Do, Nt).bundleParameter;
}

// The tube count nearest to `Nt` on the other side of the sparse/dense
// limit (x falls as tubes are added); nothing when there is none.
std::optional<std::int32_t> tubeCountAcross(const Case& c, double Do, std::int32_t Nt) {
    const bool dense = bundleParameter(c, Do, Nt) <= k::sparseBundleLimit;
    double ratio = c.shellInnerDiameter / (Do * k::sparseBundleLimit);
    double estimate = ratio * ratio;
    if (!(estimate < 2e9)) return std::nullopt;
    auto n = static_cast<std::int32_t>(estimate);
    auto isDense = [&](std::int32_t m) {
        return bundleParameter(c, Do, m) <= k::sparseBundleLimit;
    };
    if (dense) {
        // The largest count that is still sparse.
        while (n >= 1 && isDense(n)) --n;
        while (n + 1 < Nt && !isDense(n + 1)) ++n;
        if (n < 1) return std::nullopt;
    } else {
        // The smallest count that is dense.
        n = std::max(n, 1);
        while (!isDense(n)) ++n;
        while (n - 1 > Nt && isDense(n - 1)) --n;
    }
    return n;
}

// The Reynolds-number limits of the shell side's cross-flow correlations:
// the rows of the tube-bank table and the forms of the single cylinder.
std::vector<double> crossFlowLimits(Correlation correlation) {
    switch (correlation) {
        case Correlation::inlineBank:
            return {100, 1000, 200000};
        case Correlation::staggeredBank:
            return {500, 1000, 200000};
        case Correlation::singleCylinder:
            return {k::cylinderMiddleFormReynolds, k::cylinderFullFormReynolds};
        default:
            return {};
    }
}

std::vector<Boundary> boundariesNear(const Case& c, const Rating& r, bool programShellSide) {
    std::vector<Boundary> out;
    auto near = [](double value, double limit) {
        return std::fabs(value / limit - 1) <= limits::switchProximity;
    };
    const double laminar = k::laminarLimitReynolds;
    if (near(r.tube.reynolds, laminar))
        out.push_back({"tube side", "Reynolds number", r.tube.reynolds, laminar,
                       "laminar duct form", "turbulent duct form (Gnielinski)", Nudged::tubeFlow,
                       15});
    const Correlation shell = r.shell.correlation;
    if (!programShellSide) return out;
    if (!isCrossFlow(c.exchangerType)) {
        double x = bundleParameter(c, r.geometry.outerDiameter, c.tubeCount);
        if (near(x, k::sparseBundleLimit))
            out.push_back({"shell side", "bundle parameter Ds/(Do sqrt(Nt))", x,
                           k::sparseBundleLimit, "dense-bundle correlation",
                           "sparse-bundle duct form", Nudged::tubeCount, 8});
        bool sparse = shell == Correlation::sparseLaminar || shell == Correlation::sparseTurbulent;
        if (sparse && near(r.shell.reynolds, laminar))
            out.push_back({"shell side", "Reynolds number on Dh", r.shell.reynolds, laminar,
                           "sparse bundle as a laminar duct", "sparse bundle as a turbulent duct",
                           Nudged::shellFlow, 16});
        return out;
    }
    for (double limit : crossFlowLimits(shell)) {
        if (!near(r.shell.reynolds, limit)) continue;
        const char* name =
            shell == Correlation::singleCylinder ? "single-cylinder form" : "tube-bank row";
        out.push_back({"shell side", "Reynolds number", r.shell.reynolds, limit, name, name,
                       Nudged::shellFlow, 16});
    }
    return out;
}

}  // namespace

std::vector<Warning> checkCorrelationSwitch(const Case& c, const Rating& r,
                                            const RateOptions& options,
                                            const detail::Arrangement& ext) {
    std::vector<Warning> out;
    if (!reached(r, Stage::resistance) || !(r.conductancePerLength > 0)) return out;
    std::vector<Boundary> boundaries;
    try {
        clearArithmeticFlags();
        boundaries = boundariesNear(c, r, ext.shellSide == ShellSideMethod::program);
    } catch (const Error&) {
        return out;
    }
    const double U = r.conductancePerLength / (k::pi * r.geometry.outerDiameter);
    for (const Boundary& b : boundaries) {
        Case other = c;
        std::string change;
        // Just across the limit: the branches test Re > 2300, Re < 100, x <= 3.2.
        const bool up = b.value <= b.limit;
        double scale = b.limit / b.value * (up ? 1 + 1e-6 : 1 - 1e-6);
        if (b.input == Nudged::tubeCount) {
            std::optional<std::int32_t> n;
            try {
                clearArithmeticFlags();
                n = tubeCountAcross(c, r.geometry.outerDiameter, c.tubeCount);
            } catch (const Error&) {
            }
            if (!n) continue;
            other.tubeCount = *n;
            change =
                "with " + std::to_string(*n) + " tubes instead of " + std::to_string(c.tubeCount);
        } else {
            Fluid& f = b.input == Nudged::tubeFlow ? other.tubeFluid : other.shellFluid;
            f.volumetricFlow = f.volumetricFlow * scale;
            change = std::string("with the ") + (b.input == Nudged::tubeFlow ? "tube" : "shell") +
                     " flow " + num(std::fabs(scale - 1) * 100) + " % " +
                     (scale > 1 ? "larger" : "smaller");
        }
        std::optional<Rating> varied = rateToConductance(other, ext, options);
        if (!varied || !(varied->conductancePerLength > 0)) continue;
        const double Uother =
            varied->conductancePerLength / (k::pi * varied->geometry.outerDiameter);
        const double jump = std::max(U, Uother) / std::min(U, Uother) - 1;
        if (!(jump > limits::switchJump)) continue;
        std::string branches = std::string_view(b.below) == b.above
                                   ? std::string("the ") + b.below + " changes"
                                   : std::string("the ") + b.below + " gives way to the " +
                                         b.above + " (the " +
                                         (b.value <= b.limit ? b.below : b.above) + " was used)";
        out.push_back({"correlation-switch",
                       Severity::warning,
                       std::string(b.side) + ": " + b.quantity + " " + num(b.value) +
                           " is within " + num(std::fabs(b.value / b.limit - 1) * 100) + " % of " +
                           num(b.limit) + ", where " + branches + "; " + change + " U would be " +
                           num(Uother) + " W/(m2 K) instead of " + num(U) + ", " + num(jump * 100) +
                           " % apart, more than the 20 % the "
                           "correlations themselves scatter",
                       b.caseLine,
                       {{"value", b.value}, {"limit", b.limit}, {"U", U}, {"U_other", Uother}}});
    }
    return out;
}

// ---------------------------------------------------------------- Bell-Delaware hand-over

std::vector<Warning> checkBellDelawareHandOver(const BellDelawareResult& bd) {
    std::vector<Warning> out;
    const double Re = bd.reynolds, limit = k::bellLaminarReynolds;
    // The same nearness as the program's own boundaries: 90 <= Re <= 110.
    if (!(std::fabs(Re / limit - 1) <= limits::switchProximity)) return out;
    const bool laminar = Re < limit;
    std::string message = "Bell-Delaware shell side: Reynolds number " + num(Re) + " is within " +
                          num(std::fabs(Re / limit - 1) * 100) + " % of " + num(limit) +
                          ", where the laminar forms of the window drop (HEDH 3.3.5, eq. 23) and "
                          "of Jb, Js, Jr, Rb, Rs give way to the turbulent ones (the " +
                          (laminar ? "laminar" : "turbulent") + " forms were used)";
    std::vector<WarningValue> values{{"Re", Re}, {"limit", limit}, {"window_drop", bd.windowDrop}};
    if (bd.otherFormWindowDrop) {
        message += "; the window drop is " + num(bd.windowDrop) + " Pa, by the " +
                   (laminar ? "turbulent" : "laminar") + " form it would be " +
                   num(*bd.otherFormWindowDrop) + " Pa";
        values.push_back({"window_drop_other", *bd.otherFormWindowDrop});
    }
    out.push_back({"correlation-switch", Severity::warning, message, 16, std::move(values)});
    return out;
}

std::vector<Warning> checkPressureDrop(const std::optional<PressureDrop>& shell) {
    std::vector<Warning> out;
    if (!shell || shell->frictionSource != FrictionSource::kernFit) return out;
    if (shell->reynolds <= kernFitLowReynolds || shell->reynolds >= kernFitHighReynolds) {
        out.push_back({"correlation-range",
                       Severity::warning,
                       "Kern's shell-side Reynolds number " + num(shell->reynolds) +
                           " is outside 400 to 1e6, where his friction factor was fitted: the "
                           "shell pressure drop is a rough guess",
                       16,
                       {{"Re", shell->reynolds}}});
    }
    return out;
}

std::vector<Warning> checkNumerics(const Case& c, const Rating& r, const Discretisation& d,
                                   const ShootingAdvice& s, bool shootingRejected) {
    std::vector<Warning> out;
    if (reached(r, Stage::geometry) && r.geometry.elementCount < limits::minimumElements) {
        out.push_back(
            {"coarse-grid",
             Severity::warning,
             "only " + std::to_string(r.geometry.elementCount) +
                 (r.geometry.elementCount == 1 ? " element" : " elements") +
                 " (L = " + num(c.tubeLength) + " m, dL = " + num(c.elementLength) +
                 " m); at least 10 are advised",
             5,
             {{"Nel", static_cast<double>(r.geometry.elementCount)}, {"dL", c.elementLength}}});
    }
    if (d.formed && d.estimate > limits::discretisation) {
        out.push_back({"coarse-grid",
                       Severity::warning,
                       "halving the element length to " + num(d.halfElementLength) +
                           " m moves an outlet by " + num(d.estimate) +
                           " K, more than 0.1 K: the element length is too coarse",
                       5,
                       {{"dL/2", d.halfElementLength}, {"dT", d.estimate}}});
    }
    if (s.applies && (shootingRejected || r.shootingPasses > slowShootingPasses)) {
        std::string message =
            shootingRejected ? "the shooting failed at correction factor " + num(c.correctionFactor)
                             : "the shooting needed " + std::to_string(r.shootingPasses) +
                                   " passes at correction factor " + num(c.correctionFactor);
        if (s.advisedFactor) {
            message += "; factor " + num(*s.advisedFactor) + " needs " +
                       (s.advisedPasses ? std::to_string(*s.advisedPasses) : std::string("few")) +
                       " passes";
        }
        out.push_back(
            {"slow-shooting",
             Severity::warning,
             message,
             21,
             {{"passes", static_cast<double>(r.shootingPasses)}, {"corr", c.correctionFactor}}});
    }
    return out;
}

}  // namespace hxrate
