// hxrate-advise [FOLDER]: advice on the correction factor of a counter-
// current case and on its element length; writes no file.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include <hxrate/case_files.h>
#include <hxrate/files.h>

#include "advise.h"
#include "command_line.h"
#include "files.h"
#include "markup.h"
#include "results_file.h"

namespace {

using namespace hxrate;
using namespace hxrate::tools;

// The help text, with the library's pass limit.
std::string description() {
    const std::string passLimit = std::to_string(defaultPassLimit);
    return "Reads the case file in FOLDER (default: the working directory), rates the\n"
           "exchanger as hxrate does and reports, without writing any file:\n"
           "  - for the counter-current types 1 and 3: whether the case's correction\n"
           "    factor lets the shooting on the shell outlet temperature finish, the\n"
           "    factor that finishes it fastest, the range of factors that finish within\n"
           "    " +
           passLimit +
           " passes, and the passes each needs;\n"
           "  - for every type: the discretisation error of the outlet temperatures.\n"
           "\n"
           "Method. A pass of the march is linear in its start value: started from the\n"
           "shell temperature T at node 0 (type 1) or in the first compartment (type 3)\n"
           "it reaches the shell inlet end with a + s*T, up to rounding. Two passes from\n"
           "two start values give the slope s. A correction T' = T + err*c/UAp then\n"
           "multiplies the mismatch err by r = 1 - s*c/UAp, pass after pass: factor c\n"
           "finishes when |r| < 1 and |err| shrunk by |r| per pass falls below 1e-5\n"
           "within " +
           passLimit +
           " passes, and is stopped with \"Reduce correction factor\" when\n"
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
}

std::string g(double v, int digits = 6) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*g", digits, v);
    return text;
}

// The whole elements that fit in the tube length, as the grid holds them
// once the library has accepted it.
std::int32_t wholeElements(const Case& c) {
    return static_cast<std::int32_t>(c.tubeLength / c.elementLength);
}

void adviseShooting(const Case& c, const Assessment& a, std::optional<Check> rejected) {
    std::cout << "\nShooting on the shell outlet temperature\n";
    if (!a.shooting.map) {
        std::cout << "  the two passes of the analysis could not be made\n";
        return;
    }
    const ShootingMap& map = *a.shooting.map;
    std::cout << "  the first pass misses the shell inlet temperature by " << g(map.firstMismatch)
              << '\n';
    if (std::fabs(map.firstMismatch) < shootingTolerance) {
        // A grid without elements is not marched at all: the solver rejects it.
        if (rejected) {
            std::cout << "  but hxrate rejects the case with \"" << checkMessage(*rejected)
                      << "\"\n";
            return;
        }
        std::cout << "  that is within the tolerance: any factor finishes in 1 pass\n";
        return;
    }
    std::cout << "  change of the far-end shell temperature per degree of start value: "
              << g(map.slope) << " (UAp = " << g(map.conductancePerLength) << ")\n"
              << "  each correction multiplies the mismatch by 1 - "
              << g(map.slope / map.conductancePerLength) << " * factor\n"
              << "  case factor " << g(c.correctionFactor, 9) << ": "
              << (a.caseShooting ? verdictText(*a.caseShooting)
                                 : "rejected with \"" + std::string(checkMessage(*rejected)) + "\"")
              << '\n';
    std::optional<FactorRange> range = finishingFactors(map);
    if (!range || !a.shooting.advisedFactor) {
        std::cout << "  the far end does not follow the start value: no factor finishes\n";
        return;
    }
    const double advised = *a.shooting.advisedFactor;
    if (a.shooting.advisedPasses) {
        std::cout << "  fastest factor: " << shortestDecimal(advised) << " (finishes in "
                  << *a.shooting.advisedPasses << " passes, marched as hxrate marches)\n";
    } else {
        std::cout << "  fastest factor in theory: " << shortestDecimal(advised)
                  << ", but marched it does not finish (rounding dominates the mismatch)\n";
    }
    std::cout << "  factors from " << g(roundedInward(range->low, 4, true), 4) << " to "
              << g(roundedInward(range->high, 4, false), 4) << " finish within "
              << RateOptions{}.passLimit << " passes\n"
              << "      factor    passes\n";
    for (double share : {0.01, 0.1, 0.5, 1.0, 1.5, 1.9, 1.99}) {
        double factor = std::stod(g(fastestFactor(map) * share, 3));
        ShootingForecast f = forecastShooting(map, factor);
        std::printf("  %10s    %s\n", g(factor, 3).c_str(),
                    f.verdict == ShootingVerdict::finishes ? std::to_string(f.passes).c_str()
                                                           : "does not finish");
    }
}

void adviseElementLength(const Discretisation& d) {
    std::cout << "\nDiscretisation error of the outlet temperatures (the case solved with dL, "
                 "dL/2, dL/4)\n";
    std::optional<GridSolution> grids[3];
    for (std::size_t i = 0; i < 3 && i < d.grids.size(); ++i)
        if (d.grids[i].solved) grids[i] = d.grids[i];
    std::printf("  %-20s", "element length");
    for (const auto& s : grids) std::printf("%14s", s ? g(s->elementLength).c_str() : "-");
    std::printf("  %14s  %s\n  %-20s", "error of dL", "order", "elements");
    for (const auto& s : grids)
        std::printf("%14s", s ? std::to_string(s->elementCount).c_str() : "not solved");
    std::printf("\n");
    for (int which = 0; which < 2; ++which) {
        auto outlet = [which](const GridSolution& s) {
            return which == 0 ? s.tubeOutlet : s.shellOutlet;
        };
        std::printf("  %-20s", which == 0 ? "tube fluid outlet" : "shell fluid outlet");
        for (const auto& s : grids) std::printf("%14s", s ? g(outlet(*s), 8).c_str() : "-");
        const std::optional<ErrorEstimate>& e = which == 0 ? d.tubeError : d.shellError;
        if (e) {
            std::printf("  %+14.3e  %s", e->error,
                        e->observedOrder ? g(*e->observedOrder, 3).c_str() : "none (1 taken)");
        }
        std::printf("\n");
    }
}

int adviseMain(int argc, char** argv) {
    CLI::App app(description(), "hxrate-advise");
    std::string folder = ".";
    app.add_option("FOLDER", folder, "the case folder (default: the working directory)");
    addVersionFlag(app);
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

    const std::string casePath = folder + "/" + caseFileName;
    try {
        // Another user's link, as the folder or the case file, is not
        // followed, and a FIFO is refused unread.
        if (std::string refusal = foreignLinkRefusal(folder); !refusal.empty())
            throw InputError(errorNumber::caseFileUnreadable,
                             "cannot read the case folder \"" + folder + "\": " + refusal, folder);
        InputFile input = readInputFile(casePath);
        if (!input.bytes)
            throw InputError(errorNumber::caseFileUnreadable,
                             "cannot read the case file \"" + casePath + "\": " + input.problem,
                             casePath);
        const Case c = parseCase(*input.bytes, casePath);
        const RateOptions options = rateOptions();
        Rating rating;
        std::optional<Check> rejected;
        try {
            rating = rate(c, options);
        } catch (const CaseRejected& stop) {
            // Rejected before the temperature profile: nothing to advise on.
            if (!stop.partial() || stop.partial()->stage < Stage::resistance) throw;
            rejected = stop.check();
            rating = *stop.partial();
        }
        // The rating stays while the assessment rates on finer grids.
        StorageReservation held(options.storageBudget);
        (void)held.reserve(profileBytes(rating));
        AssessOptions assessing;
        assessing.rejectedBy = rejected;
        assessing.rating = options;
        assessing.grids = 3;
        assessing.shooting = ShootingAnalysis::always;
        const Assessment a = assess(c, rating, assessing);
        std::cout << escapedText(casePath) << ": " << exchangerTitle(c.exchangerType) << "\n  "
                  << wholeElements(c) << " elements of " << g(c.elementLength)
                  << " in a tube length of " << g(c.tubeLength) << '\n';
        if (isCounterCurrent(c.exchangerType)) {
            adviseShooting(c, a, rejected);
        } else {
            std::cout << "  co-current: no shooting, the correction factor is not used\n";
        }
        adviseElementLength(a.discretisation);
        return 0;
    } catch (const CaseRejected& rejected) {
        complain({"hxrate rejects this case before its temperature profile: ", rejected.message()});
    } catch (const Error& failure) {
        complain({"run-time error ", std::to_string(failure.code()), ": ", failure.what()});
    }
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    return runTool("hxrate-advise", argc, argv, adviseMain);
}
