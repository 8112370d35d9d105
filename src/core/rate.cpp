#include "core/rate.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <memory>
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
void moveProfile(CaseRecords& r) {
    TemperatureProfile& p = r.profile;
    Profile& out = r.rating.profile;
    const std::int64_t nodes = std::int64_t{r.rating.geometry.elementCount} + 1;
    const bool passInlet =
        isCrossFlow(r.input.exchangerType) && isCounterCurrent(r.input.exchangerType);
    out.tube = std::move(p.tubeTemperature.values);
    if (passInlet) {
        out.shell = std::move(p.shellPassInletTemperature.values);
        out.location = std::move(p.shellTemperature.values);
    } else {
        out.shell = std::move(p.shellTemperature.values);
    }
    out.location.resize(static_cast<std::size_t>(nodes));
    for (std::int64_t i = 0; i < nodes; ++i)
        out.location[static_cast<std::size_t>(i)] = nodeLocation(i, r.input.elementLength);
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

bool StorageBudget::tryReserve(std::uint64_t bytes) noexcept {
    std::uint64_t taken = reserved_.load();
    do {
        if (bytes > limit_ - taken) return false;
    } while (!reserved_.compare_exchange_weak(taken, taken + bytes));
    return true;
}

void StorageBudget::release(std::uint64_t bytes) noexcept {
    reserved_.fetch_sub(bytes);
}

StorageReservation::StorageReservation(StorageReservation&& other) noexcept
    : budget_(other.budget_), bytes_(std::exchange(other.bytes_, 0)) {}

StorageReservation& StorageReservation::operator=(StorageReservation&& other) noexcept {
    if (this != &other) {
        reset();
        budget_ = other.budget_;
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

bool StorageReservation::reserve(std::uint64_t bytes) noexcept {
    if (budget_ == nullptr || bytes <= bytes_) return true;
    if (!budget_->tryReserve(bytes - bytes_)) return false;
    bytes_ = bytes;
    return true;
}

void StorageReservation::reset() noexcept {
    if (budget_ != nullptr && bytes_ != 0) budget_->release(bytes_);
    bytes_ = 0;
}

std::uint64_t profileBytes(const Rating& rating) {
    const Profile& p = rating.profile;
    return (p.location.size() + p.tube.size() + p.shell.size()) * sizeof(double);
}

void runModelStep(CaseRecords& r, ModelStep step, std::uint64_t storageLimitBytes,
                  StorageBudget* budget) {
    const CaseInput& in = r.input;
    Rating& rt = r.rating;
    switch (step) {
        case ModelStep::elementGrid:
            computeElementGrid(in, rt.geometry, r.profile, storageLimitBytes);
            r.storage = StorageReservation(budget);
            reserveProfileStorage(r.profile, r.storage);
            break;
        case ModelStep::diagonalPitch:
            computeDiagonalPitch(in, rt.geometry);
            break;
        case ModelStep::baffleCompartments:
            computeBaffleCompartments(in, rt.geometry);
            break;
        case ModelStep::wallGeometry:
            computeWallGeometry(in, rt.geometry);
            rt.stage = Stage::geometry;
            break;
        case ModelStep::tubeSide:
            computeTubeSide(in, rt.tube);
            rt.stage = Stage::tubeSide;
            break;
        case ModelStep::shellFlow:
            computeShellFlow(in, rt.geometry, rt.shell);
            rt.stage = Stage::shellFlow;
            break;
        case ModelStep::shellHeatTransfer:
            computeShellHeatTransfer(in, rt.geometry, rt.shell);
            rt.stage = Stage::shellHeatTransfer;
            break;
        case ModelStep::resistance:
            computeResistancePerLength(in, rt);
            rt.stage = Stage::resistance;
            break;
    }
}

void solveStep(CaseRecords& r, const SolveOptions& options) {
    solveTemperatureProfile(r.input, r.rating, r.profile, options);
    r.rating.stage = Stage::solved;
}

void rejectWithPartialRating(const CaseRejected& rejected, CaseRecords& r) {
    checkFaultBeforeRejection();
    throw CaseRejected(rejected.check(), std::make_shared<const Rating>(std::move(r.rating)));
}

const double* reportedShellColumn(const CaseRecords& r) {
    bool passInlet = isCrossFlow(r.input.exchangerType) && isCounterCurrent(r.input.exchangerType);
    return passInlet ? r.profile.shellPassInletTemperature.get() : r.profile.shellTemperature.get();
}

void computeOverallResults(CaseRecords& r) {
    const CaseInput& in = r.input;
    Rating& rt = r.rating;
    const double Do = rt.geometry.outerDiameter;
    rt.overallCoefficient =
        checked(rt.conductancePerLength / (k::pi * Do), "overall heat transfer coefficient");
    rt.area = checked(static_cast<double>(in.tubeCount) * k::pi * in.tubeLength * Do,
                      "heat transfer area");
    rt.shellExitTemperature = in.exchangerType == ExchangerType::CrossFlowCounterCurrent
                                  ? r.profile.shellTemperature[0]
                                  : r.profile.finalShellTemperature;
    // Locations grow in magnitude with i: the last one bounds them all.
    checked(nodeLocation(rt.geometry.elementCount, in.elementLength), "node position");
}

void takeProfile(CaseRecords& r) {
    const CaseInput& in = r.input;
    Rating& rt = r.rating;
    const std::int32_t Nel = rt.geometry.elementCount;
    const double* Tt = r.profile.tubeTemperature.get();
    const double* Ts = r.profile.shellTemperature.get();
    rt.tubeOutletTemperature = Tt[Nel];
    switch (in.exchangerType) {
        case ExchangerType::CoCurrent:
            rt.shellOutletTemperature = Ts[Nel];
            break;
        case ExchangerType::CrossFlowCoCurrent:
            rt.shellOutletTemperature = r.profile.finalShellTemperature;
            break;
        default:  // the counter-current types leave at node 0
            rt.shellOutletTemperature = Ts[0];
            break;
    }
    moveProfile(r);
    computeDuties(in, rt);
}

void computeDuties(const CaseInput& in, Rating& rt) {
    clearArithmeticFlags();
    rt.tubeDuty = quietly(rt.tubeMassFlow * in.tubeFluid.heatCapacity *
                          (in.tubeInletTemperature - rt.tubeOutletTemperature));
    rt.shellDuty = quietly(rt.shellMassFlow * in.shellFluid.heatCapacity *
                           (rt.shellOutletTemperature - in.shellInletTemperature));
}

namespace {

// Every step of a rating from a complete case, in the program's order; a
// rejection carries what was computed before it.
void rateRecords(CaseRecords& r, const RateOptions& options, bool solve) {
    clearArithmeticFlags();
    try {
        for (const ScheduledStep& s : stepSchedule) runModelStep(r, s.step, options);
        if (solve) solveStep(r, SolveOptions{options.passLimit, options.shooting, options.cancel});
    } catch (const CaseRejected& rejected) {
        rejectWithPartialRating(rejected, r);
    }
}

}  // namespace

Rating rate(const Case& c, const RateOptions& options) {
    return refusingBadAlloc([&] {
        CaseRecords r;
        r.input = c;
        rateRecords(r, options, true);
        computeOverallResults(r);
        takeProfile(r);
        return std::move(r.rating);
    });
}

ShootingMap mapShooting(CaseRecords& r, const RateOptions& options) {
    const Case& c = r.input;
    ShootingMap map;
    map.conductancePerLength = r.rating.conductancePerLength;
    if (!isCounterCurrent(c.exchangerType) || r.rating.geometry.elementCount < 0) return map;
    MarchCoefficients mc = marchCoefficients(r.input, r.rating, -1);
    const double Ts_in = c.shellInletTemperature;
    allocateProfile(r.input, r.profile);
    r.profile.tubeTemperature[0] = c.tubeInletTemperature;
    auto pass = [&](double start) {
        return marchFromStart(r.input, r.rating.geometry, mc, r.profile, start, options.cancel);
    };
    double end0 = pass(Ts_in);
    map.firstMismatch = checked(Ts_in - end0, "shooting mismatch");
    // A second start a whole mismatch (at least one degree) away.
    double delta = std::copysign(std::max(std::fabs(map.firstMismatch), 1.0), map.firstMismatch);
    double end1 = pass(Ts_in + delta);
    map.slope = checked((end1 - end0) / delta, "shooting slope");
    return map;
}

ShootingMap analyseShooting(const Case& c, const RateOptions& options) {
    return refusingBadAlloc([&] {
        CaseRecords r;
        r.input = c;
        rateRecords(r, options, false);
        return mapShooting(r, options);
    });
}

}  // namespace hxrate
