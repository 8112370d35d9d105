#include "core/rate.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/geometry.h"
#include "core/resistance.h"
#include "core/shell_flow.h"
#include "core/shell_heat_transfer.h"
#include "core/tube_side.h"

namespace hxrate {
namespace {

// A product formed only for the caller's information: absent when it
// faults, and the fault flags are left as they were found clear.
std::optional<double> quietly(double value) {
    bool faulted = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW) != 0;
    clearArithmeticFlags();
    if (faulted) return std::nullopt;
    return value;
}

// The solved profile into the Rating without a copy: the tube array and the
// reported shell column move over, and the locations take a new array or,
// for counter-current cross flow, the shell array it does not report. Read
// the outlets before: the records' arrays are empty afterwards.
void moveProfile(CaseRecords& r, Rating& out) {
    TemperatureProfile& p = r.profile;
    const std::int64_t nodes = std::int64_t{r.geometry.elementCount} + 1;
    const bool passInlet =
        isCrossFlow(r.input.exchangerType) && isCounterCurrent(r.input.exchangerType);
    out.profile.tube = std::move(p.tubeTemperature.values);
    if (passInlet) {
        out.profile.shell = std::move(p.shellPassInletTemperature.values);
        out.profile.location = std::move(p.shellTemperature.values);
    } else {
        out.profile.shell = std::move(p.shellTemperature.values);
    }
    out.profile.location.resize(static_cast<std::size_t>(nodes));
    for (std::int64_t i = 0; i < nodes; ++i) {
        // Each position is formed afresh, as the report prints it.
        out.profile.location[static_cast<std::size_t>(i)] =
            static_cast<double>(i) * r.input.elementLength;
    }
}

}  // namespace

std::string_view correlationName(Correlation c) {
    switch (c) {
        case Correlation::laminarDuct:
            return "laminar-duct";
        case Correlation::turbulentDuct:
            return "turbulent-duct";
        case Correlation::singleCylinder:
            return "single-cylinder";
        case Correlation::inlineBank:
            return "inline-bank";
        case Correlation::staggeredBank:
            return "staggered-bank";
        case Correlation::axialBundle:
            return "axial-bundle";
        case Correlation::sparseLaminar:
            return "sparse-laminar";
        case Correlation::sparseTurbulent:
            return "sparse-turbulent";
        default:
            return "none";
    }
}

std::string_view stageName(Stage stage) {
    static constexpr std::string_view names[] = {
        "started",    "geometry", "tube-side", "shell-flow", "shell-heat-transfer",
        "resistance", "solved"};
    return names[static_cast<std::size_t>(stage)];
}

void computeGridAndGeometry(CaseRecords& r, std::uint64_t storageLimitBytes, int upToCaseLine) {
    const CaseInput& in = r.input;
    if (upToCaseLine == 5) {
        computeElementGrid(in, r.geometry, r.profile, storageLimitBytes);
    } else if (upToCaseLine == 10) {
        computeDiagonalPitch(in, r.geometry);
    } else if (upToCaseLine == 11) {
        computeBaffleCompartments(in, r.geometry);
    } else if (upToCaseLine == 13) {
        computeWallGeometry(in, r.geometry);
        r.stage = Stage::geometry;
    }
}

void computeTubeSideStep(CaseRecords& r) {
    computeTubeSide(r.input, r.model);
    r.stage = Stage::tubeSide;
}

void computeShellSideSteps(CaseRecords& r) {
    computeShellFlow(r.input, r.geometry, r.model);
    r.stage = Stage::shellFlow;
    computeShellHeatTransfer(r.input, r.geometry, r.model);
    r.stage = Stage::shellHeatTransfer;
    computeResistancePerLength(r.input, r.geometry, r.model);
    r.stage = Stage::resistance;
}

void solveStep(CaseRecords& r, const SolveOptions& options) {
    solveTemperatureProfile(r.input, r.geometry, r.model, r.profile, options);
    r.stage = Stage::solved;
}

const double* reportedShellColumn(const CaseRecords& r) {
    bool passInlet = isCrossFlow(r.input.exchangerType) && isCounterCurrent(r.input.exchangerType);
    return passInlet ? r.profile.shellPassInletTemperature.get() : r.profile.shellTemperature.get();
}

OverallResults computeOverallResults(const CaseRecords& r) {
    const CaseInput& in = r.input;
    OverallResults v;
    double Do = r.geometry.outerDiameter;
    v.overallCoefficient =
        checked(r.model.conductancePerLength / (k::pi * Do), "overall heat transfer coefficient");
    v.heatTransferArea = checked(static_cast<double>(in.tubeCount) * k::pi * in.tubeLength * Do,
                                 "heat transfer area");
    v.shellExitTemperature = in.exchangerType == ExchangerType::CrossFlowCounterCurrent
                                 ? r.profile.shellTemperature[0]
                                 : r.profile.finalShellTemperature;
    // Positions i*dL grow in magnitude with i: the last one bounds them all.
    checked(static_cast<double>(r.geometry.elementCount) * in.elementLength, "node position");
    return v;
}

Rating makeRating(CaseRecords& r) {
    const CaseInput& in = r.input;
    const DerivedGeometry& g = r.geometry;
    const ThermalModel& tm = r.model;
    Rating out;
    out.stage = r.stage;
    out.geometry = {g.outerDiameter,          g.elementCount,  std::int64_t{in.baffleCount} + 1,
                    g.elementsPerCompartment, g.baffleSpacing, g.diagonalPitch,
                    g.bundleCellSize,         g.wallResistance};
    out.tube.reynolds = tm.tubeReynolds;
    out.tube.prandtl = tm.tubePrandtl;
    out.tube.nusselt = tm.tubeNusselt;
    if (tm.tubeCorrelation != Correlation::none) out.tube.friction = tm.tubeFriction;
    out.tube.filmCoefficient = tm.tubeFilmCoefficient;
    out.tube.filmResistance = tm.tubeFilmResistance;
    out.tube.correlation = tm.tubeCorrelation;
    out.shell.reynolds = tm.shellReynolds;
    out.shell.prandtl = tm.shellPrandtl;
    out.shell.nusselt = tm.shellNusselt;
    if (tm.shellCorrelation == Correlation::sparseLaminar ||
        tm.shellCorrelation == Correlation::sparseTurbulent) {
        out.shell.friction = tm.shellFriction;
    }
    out.shell.filmCoefficient = tm.shellFilmCoefficient;
    out.shell.filmResistance = tm.shellFilmResistance;
    out.shell.correlation = tm.shellCorrelation;
    out.shell.bankRow = tm.shellBankRow;
    out.shell.flowArea = tm.shellFlowArea;
    out.shell.characteristicLength = tm.shellCharacteristicLength;
    out.shell.velocity = tm.shellVelocity;
    out.resistancePerLength = tm.resistancePerLength;
    out.conductancePerLength = tm.conductancePerLength;
    out.tubeMassFlow = tm.tubeMassFlow;
    out.shellMassFlow = tm.shellMassFlow;
    out.shootingPasses = r.profile.shootingPasses;
    if (r.stage != Stage::solved) return out;

    OverallResults overall = computeOverallResults(r);
    out.overallCoefficient = overall.overallCoefficient;
    out.area = overall.heatTransferArea;
    out.shellExitTemperature = overall.shellExitTemperature;
    const std::int32_t Nel = g.elementCount;
    const double* Tt = r.profile.tubeTemperature.get();
    const double* Ts = r.profile.shellTemperature.get();
    out.tubeOutletTemperature = Tt[Nel];
    switch (in.exchangerType) {
        case ExchangerType::CoCurrent:
            out.shellOutletTemperature = Ts[Nel];
            break;
        case ExchangerType::CrossFlowCoCurrent:
            out.shellOutletTemperature = r.profile.finalShellTemperature;
            break;
        default:  // the counter-current types leave at node 0
            out.shellOutletTemperature = Ts[0];
            break;
    }
    moveProfile(r, out);
    clearArithmeticFlags();
    out.tubeDuty = quietly(tm.tubeMassFlow * in.tubeFluid.heatCapacity *
                           (in.tubeInletTemperature - out.tubeOutletTemperature));
    out.shellDuty = quietly(tm.shellMassFlow * in.shellFluid.heatCapacity *
                            (out.shellOutletTemperature - in.shellInletTemperature));
    return out;
}

namespace {

// Every step of a rating from a complete case, in the program's order; a
// rejection carries what was computed before it.
void rateRecords(CaseRecords& r, const RateOptions& options, bool solve) {
    clearArithmeticFlags();
    try {
        for (int line : {5, 10, 11, 13}) computeGridAndGeometry(r, options.storageLimitBytes, line);
        computeTubeSideStep(r);
        computeShellSideSteps(r);
        if (solve) solveStep(r, SolveOptions{options.passLimit, options.shooting, options.cancel});
    } catch (const CaseRejected& rejected) {
        // A fault raised before the check that rejected the case decides.
        checkArithmetic("the values of the check that rejected the case");
        throw CaseRejected(rejected.check(), std::make_shared<const Rating>(makeRating(r)));
    }
}

// Runs `work`, turning memory the machine refuses anywhere in a rating into
// a ResourceError, as the storage check would.
template <class Work>
auto refusingBadAlloc(Work work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        throw ResourceError(errorNumber::storageRefused,
                            "the rating needs more memory than the machine gives it");
    }
}

}  // namespace

Rating rate(const Case& c, const RateOptions& options) {
    return refusingBadAlloc([&] {
        CaseRecords r;
        r.input = c;
        rateRecords(r, options, true);
        return makeRating(r);
    });
}

ShootingMap analyseShooting(const Case& c, const RateOptions& options) {
    return refusingBadAlloc([&] {
        CaseRecords r;
        r.input = c;
        rateRecords(r, options, false);
        ShootingMap map;
        map.conductancePerLength = r.model.conductancePerLength;
        if (!isCounterCurrent(c.exchangerType) || r.geometry.elementCount < 0) return map;
        MarchCoefficients mc = marchCoefficients(r.input, r.model, -1);
        const double Ts_in = c.shellInletTemperature;
        allocateProfile(r.input, r.profile);
        r.profile.tubeTemperature[0] = c.tubeInletTemperature;
        auto pass = [&](double start) {
            return marchFromStart(r.input, r.geometry, mc, r.profile, start, options.cancel);
        };
        double end0 = pass(Ts_in);
        map.firstMismatch = checked(Ts_in - end0, "shooting mismatch");
        // A second start a whole mismatch (at least one degree) away.
        double delta =
            std::copysign(std::max(std::fabs(map.firstMismatch), 1.0), map.firstMismatch);
        double end1 = pass(Ts_in + delta);
        map.slope = checked((end1 - end0) / delta, "shooting slope");
        return map;
    });
}

}  // namespace hxrate
