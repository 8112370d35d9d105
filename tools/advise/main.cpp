// hxrate-advise [FOLDER]: advice on the correction factor of a counter-
// current case and on its element length; writes no file.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "advise.h"
#include "command_line.h"
#include "results_file.h"

namespace {

using namespace hxrate;
using namespace hxrate::tools;

constexpr const char* description =
    "Reads the case file in FOLDER (default: the working directory), rates the\n"
    "exchanger as hxrate does and reports, without writing any file:\n"
    "  - for the counter-current types 1 and 3: whether the case's correction\n"
    "    factor lets the shooting on the shell outlet temperature finish, the\n"
    "    factor that finishes it fastest, the range of factors that finish within\n"
    "    10000 passes, and the passes each needs;\n"
    "  - for every type: the discretisation error of the outlet temperatures.\n"
    "\n"
    "Method. A pass of the march is linear in its start value: started from the\n"
    "shell temperature T at node 0 (type 1) or in the first compartment (type 3)\n"
    "it reaches the shell inlet end with a + s*T, up to rounding. Two passes from\n"
    "two start values give the slope s. A correction T' = T + err*c/UAp then\n"
    "multiplies the mismatch err by r = 1 - s*c/UAp, pass after pass: factor c\n"
    "finishes when |r| < 1 and |err| shrunk by |r| per pass falls below 1e-5\n"
    "within 10000 passes, and is stopped with \"Reduce correction factor\" when\n"
    "|r| > 1. The fastest factor, UAp/s, makes r = 0; the advised factor is the\n"
    "shortest decimal near it that, marched as hxrate marches, finishes in the\n"
    "fewest passes.\n"
    "\n"
    "Discretisation. The case is solved again with the element length halved and\n"
    "quartered (each grid holds the whole elements that fit in the tube length,\n"
    "as hxrate forms it; the counter-current types are shot exactly, whatever\n"
    "their factor). With d1 = T(dL) - T(dL/2) and d2 = T(dL/2) - T(dL/4)\n"
    "the observed order is p = log2(d1/d2) and the estimated error of the given\n"
    "element length is d1/(1 - 2^-p); p = 1, the order of the element step, is\n"
    "taken when the three grids show no order between 0.5 and 4.\n"
    "\n"
    "Exit status: 0 with the advice, 1 when the case does not reach the solver\n"
    "(or memory or standard output fails), 2 for a wrong command line.";

std::string g(double v, int digits = 6) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*g", digits, v);
    return text;
}

// A factor rounded to `digits` significant digits toward the inside of a range.
double roundedInward(double v, int digits, bool up) {
    if (v == 0 || !std::isfinite(v)) return v;
    double scale = std::pow(10.0, std::floor(std::log10(std::fabs(v))) - digits + 1);
    return (up ? std::ceil(v / scale) : std::floor(v / scale)) * scale;
}

// The whole elements that fit in the tube length, as the grid holds them
// once the library has accepted it.
std::int32_t wholeElements(const Case& c) {
    return static_cast<std::int32_t>(c.tubeLength / c.elementLength);
}

std::string verdictText(const ShootingForecast& f) {
    switch (f.verdict) {
        case ShootingVerdict::Finishes:
            return "finishes in " + std::to_string(f.passes) +
                   (f.passes == 1 ? " pass" : " passes");
        case ShootingVerdict::ReduceFactor:
            return "stopped after pass " + std::to_string(f.passes) + " with \"" +
                   std::string(checkMessage(Check::shootingGrows)) + "\"";
        case ShootingVerdict::Diverges:
            return "stopped after pass " + std::to_string(f.passes) + " with \"" +
                   std::string(checkMessage(Check::shootingLimit)) + "\"";
    }
    return {};
}

// What the case's own factor does, as the library's shooting makes it.
std::string caseFactorVerdict(const Case& c) {
    try {
        return verdictText(shootingOutcome(c, c.correctionFactor));
    } catch (const CaseRejected& rejected) {
        return "rejected with \"" + std::string(rejected.message()) + "\"";
    }
}

void adviseShooting(const Case& c, const ShootingMap& a) {
    std::cout << "\nShooting on the shell outlet temperature\n";
    std::cout << "  the first pass misses the shell inlet temperature by " << g(a.firstMismatch)
              << '\n';
    if (std::fabs(a.firstMismatch) < shootingTolerance) {
        // A grid without elements is not marched at all: the solver rejects it.
        try {
            rate(c, rateOptions());
        } catch (const CaseRejected& rejected) {
            std::cout << "  but hxrate rejects the case with \"" << rejected.message() << "\"\n";
            return;
        }
        std::cout << "  that is within the tolerance: any factor finishes in 1 pass\n";
        return;
    }
    std::cout << "  change of the far-end shell temperature per degree of start value: "
              << g(a.slope) << " (UAp = " << g(a.conductancePerLength) << ")\n"
              << "  each correction multiplies the mismatch by 1 - "
              << g(a.slope / a.conductancePerLength) << " * factor\n"
              << "  case factor " << g(c.correctionFactor, 9) << ": " << caseFactorVerdict(c)
              << '\n';
    std::optional<FactorRange> range = finishingFactors(a);
    if (!range) {
        std::cout << "  the far end does not follow the start value: no factor finishes\n";
        return;
    }
    std::int64_t passes = 0;
    double advised = advisedFactor(c, a, passes);
    if (passes > 0) {
        std::cout << "  fastest factor: " << shortestDecimal(advised) << " (finishes in " << passes
                  << " passes, marched as hxrate marches)\n";
    } else {
        std::cout << "  fastest factor in theory: " << shortestDecimal(advised)
                  << ", but marched it does not finish (rounding dominates the mismatch)\n";
    }
    // The ends are rounded inward, so that the printed range holds only
    // factors that finish.
    std::cout << "  factors from " << g(roundedInward(range->low, 4, true), 4) << " to "
              << g(roundedInward(range->high, 4, false), 4) << " finish within "
              << shootingPassLimit << " passes\n"
              << "      factor    passes\n";
    for (double share : {0.01, 0.1, 0.5, 1.0, 1.5, 1.9, 1.99}) {
        double factor = std::stod(g(fastestFactor(a) * share, 3));
        ShootingForecast f = forecastShooting(a, factor);
        std::printf("  %10s    %s\n", g(factor, 3).c_str(),
                    f.verdict == ShootingVerdict::Finishes ? std::to_string(f.passes).c_str()
                                                           : "does not finish");
    }
}

void adviseElementLength(const Case& c) {
    std::cout << "\nDiscretisation error of the outlet temperatures (the case solved with dL, "
                 "dL/2, dL/4)\n";
    std::optional<GridSolution> grids[3];
    for (int i = 0; i < 3; ++i) grids[i] = solveOnGrid(c, 1 << i);
    std::printf("  %-20s", "element length");
    for (const auto& s : grids) std::printf("%14s", s ? g(s->elementLength).c_str() : "-");
    std::printf("  %14s  %s\n  %-20s", "error of dL", "order", "elements");
    for (const auto& s : grids)
        std::printf("%14s", s ? std::to_string(s->elementCount).c_str() : "not solved");
    std::printf("\n");
    bool all = grids[0] && grids[1] && grids[2];
    for (int which = 0; which < 2; ++which) {
        auto outlet = [which](const GridSolution& s) {
            return which == 0 ? s.outlets.tube : s.outlets.shell;
        };
        std::printf("  %-20s", which == 0 ? "tube fluid outlet" : "shell fluid outlet");
        for (const auto& s : grids) std::printf("%14s", s ? g(outlet(*s), 8).c_str() : "-");
        if (all) {
            ErrorEstimate e =
                estimateError(outlet(*grids[0]), outlet(*grids[1]), outlet(*grids[2]));
            std::printf(
                "  %+14.3e  %s", e.error,
                std::isnan(e.observedOrder) ? "none (1 taken)" : g(e.observedOrder, 3).c_str());
        }
        std::printf("\n");
    }
}

int adviseMain(int argc, char** argv) {
    CLI::App app(description, "hxrate-advise");
    std::string folder = ".";
    app.add_option("FOLDER", folder, "the case folder (default: the working directory)");
    addVersionFlag(app);
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

    const std::string casePath = folder + "/" + caseFileName;
    try {
        const Case c = readCase(casePath);
        // Rates the exchanger up to its temperature profile (and, for the
        // counter-current types, makes the two passes of the analysis).
        const ShootingMap map = analyseShooting(c, rateOptions());
        std::cout << casePath << ": " << exchangerTitle(c.exchangerType) << "\n  "
                  << wholeElements(c) << " elements of " << g(c.elementLength)
                  << " in a tube length of " << g(c.tubeLength) << '\n';
        if (isCounterCurrent(c.exchangerType)) {
            adviseShooting(c, map);
        } else {
            std::cout << "  co-current: no shooting, the correction factor is not used\n";
        }
        adviseElementLength(c);
        return 0;
    } catch (const CaseRejected& rejected) {
        std::cerr << "hxrate-advise: hxrate rejects this case before its temperature profile: "
                  << rejected.message() << '\n';
    } catch (const Error& failure) {
        std::cerr << "hxrate-advise: run-time error " << failure.code() << ": " << failure.what()
                  << '\n';
    }
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    return runTool("hxrate-advise", argc, argv, adviseMain);
}
