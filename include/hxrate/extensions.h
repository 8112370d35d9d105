// hxrate/extensions.h: what a case's 21 lines cannot hold (fouling, tube
// passes and shells in series, the Bell-Delaware shell side) and a rating
// that applies it. With empty Extensions the rating is rate()'s, bit for bit.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hxrate/arrangements.h"
#include "hxrate/case.h"
#include "hxrate/errors.h"
#include "hxrate/rating.h"
#include "hxrate/shell_side.h"
#include "hxrate/warnings.h"

namespace hxrate {

// Which correlation gives the shell-side film coefficient.
enum class ShellSideMethod {
    program,       // the program's own correlations (default)
    bellDelaware,  // Bell-Delaware on the case's baffled bundle (cross-flow types)
};

// Bell-Delaware geometry beyond the case: each value left unset takes the
// default documented in docs/extensions.md (TEMA clearances).
struct BaffleGeometry {
    double baffleCut = 0.25;                       // Bc, fraction of Ds
    std::optional<double> shellToBaffleClearance;  // Lsb, diametral, m
    std::optional<double> tubeToBaffleClearance;   // Ltb, diametral, m
    std::optional<double> bundleToShellClearance;  // Lbb = Ds - Dotl, m
    int sealingStripPairs = 0;                     // Nss
    std::optional<double> inletBaffleSpacing;      // Lbi, m; default the central spacing
    std::optional<double> outletBaffleSpacing;     // Lbo, m; default the central spacing
    std::optional<int> layoutAngle;                // 30, 45, 90; default from the arrangement

    bool operator==(const BaffleGeometry&) const = default;
};

struct Extensions {
    double foulingInside = 0;   // Rf_i on the tube's inner surface, m2 K/W
    double foulingOutside = 0;  // Rf_o on the tube's outer surface, m2 K/W
    int tubePasses = 1;         // 1, 2, 4, 6 or 8
    int shells = 1;             // identical shells in series
    ShellSideMethod shellSide = ShellSideMethod::program;
    BaffleGeometry baffles;                    // for ShellSideMethod::bellDelaware
    std::optional<double> shellWallViscosity;  // mu_w of the shell fluid, Pa s

    // Whether nothing is asked beyond the case (the rating is rate()'s).
    bool empty() const;
    bool operator==(const Extensions&) const = default;
};

// What an arrangement adds to its rating: the clean and service U, the
// fouling it carries, the tube side of one pass, the P-NTU view and the
// Bell-Delaware shell side.
struct ExtendedQuantities {
    double cleanCoefficient = 0;    // U without fouling, outer surface, W/(m2 K)
    double serviceCoefficient = 0;  // U with fouling, W/(m2 K)
    double cleanlinessFactor = 1;   // service U / clean U
    // Per cent over-surface: (clean U / service U - 1) x 100, the area the
    // clean exchanger has beyond what the service one needs for its duty.
    double overSurfacePercent = 0;
    // The duty the case's own rating (rate(c): one pass, clean, the
    // program's shell side) delivers, W, and the total fouling resistance on
    // the outer surface (Rf_o + Rf_i Do/Di, m2 K/W) this arrangement could
    // carry and still deliver it: 1/U_required - 1/U_clean, U_required from
    // the P-NTU relation of the arrangement. Negative: even clean it falls
    // short by that much. Absent where the case's rating fails or no U
    // reaches that duty.
    std::optional<double> targetDuty;
    std::optional<double> allowableFouling;
    // Tube side of one pass (Nt/N tubes) and its pressure drop through all
    // the shells, Pa: friction over N tube lengths plus 4 velocity heads per
    // pass for the returns, N the passes of all shells together.
    double tubeVelocity = 0;      // V in one tube, m/s
    double tubeFrictionDrop = 0;  // f (N L/Di) rho V^2/2
    double tubeReturnDrop = 0;    // 4 N rho V^2/2
    double tubePressureDrop = 0;  // the sum, nozzles excluded
    // P-NTU view of the arrangement (side 1 = shell): formed for several
    // passes or shells, and for one pass as a check on the march.
    double p1 = 0, r1 = 0, ntu1 = 0;
    std::optional<double> lmtdCorrection;  // F of the outlets, where one exists
    std::optional<BellDelawareResult> bellDelaware;
};

// The rating of a case with extensions.
struct ExtendedRating : ExtendedQuantities {
    // The rating with the extensions applied: the march (one pass, one
    // shell) or the P-NTU outlets (several passes or shells; no profile).
    // Its area and U·A are those of all the shells together.
    Rating rating;
    // What the arrangement's outlets say: "temperature-cross",
    // "lmtd-correction-low" (F below 0.75), "lmtd-correction-none".
    std::vector<Warning> warnings;
};

// Rates `c` with `ext`. Throws as rate() does, and InvalidArgument for
// extensions outside their domain. (A name of its own: rate(c, {}) would
// otherwise be ambiguous with rate(const Case&, const RateOptions&).)
ExtendedRating rateExtended(const Case& c, const Extensions& ext, const RateOptions& options = {});

}  // namespace hxrate
