// Rating a case: the model steps in the program's order, each filling its
// part of the public Rating, the solver, and the overall results.
#pragma once

#include <array>
#include <cstdint>
#include <new>

#include "core/records.h"
#include "core/temperature_profile.h"
#include "hxrate/errors.h"
#include "hxrate/rating.h"

namespace hxrate {

// What a rating holds while it runs: the case, the Rating the steps fill in
// place, and the node temperatures until the Rating takes them over.
struct CaseRecords {
    CaseInput input;
    Rating rating;  // rating.stage: the last step completed
    TemperatureProfile profile;
    StorageReservation storage;  // the profile's share of a StorageBudget, for the run
};

// The model steps before the solver, in the order every rating runs them.
enum class ModelStep {
    elementGrid,         // Nel and the node count, against the storage limit
    diagonalPitch,       // SD
    baffleCompartments,  // the baffle check, Npc, B
    wallGeometry,        // Do, the bundle cell, the tube-fit check, Rw: stage geometry
    tubeSide,            // stage tubeSide
    shellFlow,           // stage shellFlow
    shellHeatTransfer,   // stage shellHeatTransfer
    resistance,          // Rp, UAp and the mass flows: stage resistance
};

// A step and the last case line it needs: the program runs it as soon as
// that line has been read, and every rating in this order.
struct ScheduledStep {
    int afterCaseLine;
    ModelStep step;
};
inline constexpr std::array<ScheduledStep, 8> stepSchedule{{
    {5, ModelStep::elementGrid},
    {10, ModelStep::diagonalPitch},
    {11, ModelStep::baffleCompartments},
    {13, ModelStep::wallGeometry},
    {15, ModelStep::tubeSide},
    {caseLineCount, ModelStep::shellFlow},
    {caseLineCount, ModelStep::shellHeatTransfer},
    {caseLineCount, ModelStep::resistance},
}};

// Runs one step on the records and advances the stage; the element grid
// refuses a profile larger than `storageLimitBytes`, or than what is left
// of `budget` when one is given (kept in r.storage).
void runModelStep(CaseRecords& r, ModelStep step, std::uint64_t storageLimitBytes,
                  StorageBudget* budget = nullptr);
// The same with the limit and the budget of `options`.
inline void runModelStep(CaseRecords& r, ModelStep step, const RateOptions& options) {
    runModelStep(r, step, options.storageLimitBytes, options.storageBudget);
}

// The temperature solver: stage solved.
void solveStep(CaseRecords& r, const SolveOptions& options);

// A rejection caught while rating: rethrown with the rating so far as its
// partial rating, unless an arithmetic fault raised before the check
// decides (ArithmeticError).
[[noreturn]] void rejectWithPartialRating(const CaseRejected& rejected, CaseRecords& r);

// U, the area and the shell exit temperature of a solved rating, into the
// Rating, with the check that every node location fits a double; formed
// after the solver so that a fault cannot leave a report half written.
void computeOverallResults(CaseRecords& r);

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

// The third column of the report's table: the shell-pass inlet temperature
// of counter-current cross flow, the shell-fluid temperature otherwise.
const double* reportedShellColumn(const CaseRecords& r);

// The outlets, the duties and the profile of a solved rating with its
// overall results: the profile's arrays move out of the records into the
// Rating. Never raises a fault of its own: a duty that does not fit is left
// out.
void takeProfile(CaseRecords& r);

// Each stream's duty from its mass flow, the heat capacity of `in` and the
// outlets of `rt`; a duty that does not fit is left out, and the fault
// flags are left clear.
void computeDuties(const CaseInput& in, Rating& rt);

// The two passes of the march that show the shooting as an affine map, on
// records whose model steps have run (stage resistance).
ShootingMap mapShooting(CaseRecords& r, const RateOptions& options);

}  // namespace hxrate
