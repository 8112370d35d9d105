// hxrate/design.h: design mode. A duty between two streams, pressure-drop
// and velocity limits, and a space of standard geometries in; the
// exchangers of that space that meet the duty within every limit out,
// ranked by area, with the Pareto fronts of area against each side's drop.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/exchanger.h"
#include "hxrate/fluid_properties.h"

namespace hxrate {

// One stream of a design problem.
struct DesignStream {
    // Its properties: the four values (and the name) of `fluid`, or those of
    // `properties` where that model is not constant. fluid.volumetricFlow is
    // ignored: the flow is one of the two below.
    Fluid fluid;
    PropertyModel properties{};
    std::optional<double> massFlow;        // kg/s
    std::optional<double> volumetricFlow;  // m3/s, at the inlet
    double inletTemperature = 0;           // degC
    double allowablePressureDrop = 0;      // Pa, through the whole exchanger
    double fouling = 0;                    // m2 K/W, on the surface it wets
};

// Which stream flows in the tubes.
enum class TubeStream {
    hot,
    cold,
    either,  // both ways are tried
};

// Published practice for velocities and arrangements: Sinnott (2005),
// Coulson and Richardson's Chemical Engineering vol. 6, 4th ed., sec. 12.7
// (liquids in tubes 1 to 2 m/s, up to 4 m/s against fouling; on the shell
// side 0.3 to 1 m/s) and sec. 12.6 (F of at least 0.75).
struct DesignLimits {
    double tubeVelocityMin = 1.0;   // m/s
    double tubeVelocityMax = 4.0;   // m/s
    double shellVelocityMax = 1.0;  // m/s, at the bundle's cross-flow area
    double minimumF = 0.75;         // LMTD correction of several passes
    double minimumOverSurface = 0;  // per cent of area beyond what the duty needs
    // Refuse a design whose tubes the flow-induced vibration screening finds
    // at risk (any of its warnings: fluid-elastic instability, vortex
    // shedding, turbulent buffeting, acoustic resonance). Off, those
    // warnings are kept on the design's rating but refuse nothing.
    bool vibration = true;
};

// What is to be designed.
struct DesignProblem {
    DesignStream hot, cold;
    TubeStream tubeStream = TubeStream::either;
    // The duty, W (a positive magnitude), or one outlet temperature (degC)
    // that fixes it: exactly one of the three.
    std::optional<double> duty;
    std::optional<double> hotOutletTemperature;
    std::optional<double> coldOutletTemperature;
    DesignLimits limits;
    // The tube wall: its conductivity (W/(m K)) and material name (ten
    // characters at most). Plain carbon steel at 300 K: Incropera and
    // DeWitt (2002), Fundamentals of Heat and Mass Transfer, table A.1.
    double wallConductivity = 60.5;
    std::string wallMaterial = "steel";
    double innerRoughness = 4.5e-5;  // m, commercial steel: Moody (1944)
    // Where the models are evaluated (several passes or shells: the mean).
    PropertiesAt propertiesAt = PropertiesAt::mean;
    // The tube material and the constants of the vibration screening, for
    // every candidate.
    VibrationInput vibration{};
};

// A tube size: outer diameter and wall thickness, m.
struct TubeSize {
    double outerDiameter = 0;
    double wallThickness = 0;
    bool operator==(const TubeSize&) const = default;
};

// The geometries searched: every combination of the lists (and both tube
// streams where the problem leaves the choice). Defaults from published
// practice, each cited in defaultDesignSpace().
struct DesignSpace {
    std::vector<TubeSize> tubes;
    std::vector<int> layoutAngles;           // 30, 45, 60, 90
    std::vector<double> pitchRatios;         // Pt/Do
    std::vector<int> tubePasses;             // 1, 2, 4, 6, 8
    std::vector<int> shells;                 // in series, at least 1
    std::vector<double> shellDiameters;      // inner, m
    std::vector<double> tubeLengths;         // m; ignored where freeLength
    bool freeLength = false;                 // solve each length for the duty
    double minimumLength = 1.0;              // m, the range a free length is sought in
    double maximumLength = 8.0;              // m
    std::vector<double> baffleCuts;          // fraction of Ds
    std::vector<double> baffleSpacings;      // fractions of Ds, within TEMA's bounds
    double bundleToShellClearance = 0.0125;  // Ds - Dotl, m, fixed-tubesheet
    double passLaneWidth = 0.016;            // m, clear width of a pass lane
    int elementsPerLength = 20;              // march elements of one-pass designs
};

// The defaults of every list of DesignSpace.
DesignSpace defaultDesignSpace();

// What a design search is told besides the problem and the space.
struct DesignOptions {
    ShellSideMethod shellSide = ShellSideMethod::bellDelaware;
    // Every feasible design is rated again in full with the assessment (one
    // whose warnings carry an error is no design); the best designsReported
    // keep that rating (Design::rating).
    std::size_t designsReported = 10;
    unsigned threads = 0;                       // 0: every core the machine has
    const std::atomic<bool>* cancel = nullptr;  // set by another thread: Cancelled
    // Called now and then from one thread: candidates done, of all, and
    // feasible found so far. May be empty.
    std::function<void(std::uint64_t done, std::uint64_t total, std::uint64_t feasible)> progress;
    // Keep the area and drops of every candidate a limit refused after its
    // rating (DesignResult::refusedDesigns), for a picture of the trade-off.
    bool keepRefused = false;
    // The candidates searched, in the space's order: [first, first + count).
    // Anything less than the whole space is a chunk of a split search: its
    // result is neither ranked nor confirmed, for mergeDesigns().
    std::uint64_t first = 0;
    std::uint64_t count = std::numeric_limits<std::uint64_t>::max();
};

// Why a candidate was refused: the first limit it breaks, in this order.
enum class DesignRefusal {
    noTubes,        // the layout holds no tube, or fewer than the passes
    baffleSpacing,  // outside TEMA's bounds for the shell and tube
    notRated,       // the rating failed or rejected the case
    duty,           // short of the duty (over-surface below the minimum)
    length,         // no free length within the range meets the duty
    tubeVelocityLow,
    tubeVelocityHigh,
    shellVelocity,
    correctionFactor,  // F below the minimum
    tubePressureDrop,
    shellPressureDrop,
    vibration,    // the vibration screening's warnings (DesignLimits::vibration)
    ratingError,  // the full rating of a design carries an error warning
};

// The stable name of a refusal ("tube-pressure-drop").
std::string_view designRefusalName(DesignRefusal r);

// One candidate that meets every limit.
struct Design {
    CaseDocument document;     // what rate() rates: the exchanger designed
    TubeSize tube;             // of the space's list
    double baffleSpacing = 0;  // the space's fraction of Ds (the case's spacing is L/(Nb+1))
    bool hotInTubes = false;
    int layoutAngle = 30;
    double pitchRatio = 1.25;
    double baffleCut = 0.25;
    double area = 0;                       // m2, outer tube surface of all shells
    double duty = 0;                       // W, what it transfers
    double requiredArea = 0;               // m2, what the duty needs at its U
    double overSurface = 0;                // per cent
    double tubePressureDrop = 0;           // Pa
    double shellPressureDrop = 0;          // Pa
    double tubeVelocity = 0;               // m/s
    double shellVelocity = 0;              // m/s
    std::optional<double> lmtdCorrection;  // F, several passes
    double overallCoefficient = 0;         // service U, W/(m2 K)
    // V/V_crit of the worst span, and whether any vibration limit is passed.
    double velocityRatio = 0;
    bool vibrates = false;
    std::uint64_t candidate = 0;  // its index in the space's order
    // The full rating with its assessment, for the designs reported.
    std::optional<ExchangerRating> rating;
};

// A candidate rated and then refused by a limit: where it lies.
struct RefusedDesign {
    double area = 0;               // m2
    double tubePressureDrop = 0;   // Pa
    double shellPressureDrop = 0;  // Pa
    DesignRefusal refusal = DesignRefusal::duty;
    std::uint64_t candidate = 0;
};

struct DesignResult {
    double duty = 0;  // W, what the problem asks
    std::uint64_t candidates = 0;
    std::uint64_t feasibleCount = 0;
    // The feasible designs, smallest area first (ties: the space's order);
    // each was rated again in full, the first designsReported keep that rating.
    std::vector<Design> designs;
    // Candidates refused, by the first limit each broke (DesignRefusal order).
    std::vector<std::pair<DesignRefusal, std::uint64_t>> refused;
    // With DesignOptions::keepRefused: the candidates refused after their
    // rating (duty to shell-side drop), in the space's order.
    std::vector<RefusedDesign> refusedDesigns;
    // Indexes into `designs` of the Pareto fronts: no other design has both
    // a smaller area and a smaller drop of that side. Smallest area first.
    std::vector<std::size_t> tubeFront, shellFront;
    // Where nothing is feasible: what stopped most candidates and what to
    // relax, in words.
    std::string advice;
};

// Searches `space` for exchangers that meet `problem`. Throws
// InvalidArgument naming the field for a problem or space outside its
// domain (no duty or two of them, a duty the streams cannot exchange, an
// empty list, a value out of range), Cancelled when options.cancel is set.
DesignResult design(const DesignProblem& problem, const DesignSpace& space = defaultDesignSpace(),
                    const DesignOptions& options = {});

// The result of a search split into chunks (design() with `first` and
// `count`, anywhere, in any order), as design() gives it for the whole
// space: the same ranking, the best rated again in full. Throws
// InvalidArgument ("parts") unless the parts hold the space's candidate count.
DesignResult mergeDesigns(const DesignProblem& problem, const DesignSpace& space,
                          std::vector<DesignResult> parts, const DesignOptions& options = {});

// The number of candidates of `space` for `problem` (both tube streams where
// it leaves the choice).
std::uint64_t candidateCount(const DesignProblem& problem, const DesignSpace& space);

}  // namespace hxrate
