// Rating a case from its record: the model steps in the program's order,
// the overall results, and the public Rating built from the records.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/temperature_profile.h"
#include "hxrate/rating.h"

namespace hxrate {

// The records a rating owns, filled in the order of the run.
struct CaseRecords {
    CaseInput input;
    DerivedGeometry geometry;
    ThermalModel model;
    TemperatureProfile profile;
    Stage stage = Stage::started;  // the last step completed
};

// The model steps between the case lines, as the program runs them while it
// reads the case. Each advances `stage`.
void computeGridAndGeometry(CaseRecords& r, std::uint64_t storageLimitBytes, int upToCaseLine);
void computeTubeSideStep(CaseRecords& r);
// Shell flow, shell heat transfer, resistance: the exchanger is rated.
void computeShellSideSteps(CaseRecords& r);
// The temperature solver.
void solveStep(CaseRecords& r, const SolveOptions& options);

// Values the report prints that are not in the records, formed after the
// solver so that a fault cannot leave a report half written.
struct OverallResults {
    double overallCoefficient;  // UAp/(pi*Do)
    double heatTransferArea;    // Nt*pi*L*Do
    double shellExitTemperature;
};
OverallResults computeOverallResults(const CaseRecords& r);

// The third column of the report's table: the shell-pass inlet temperature
// of counter-current cross flow, the shell-fluid temperature otherwise.
const double* reportedShellColumn(const CaseRecords& r);

// The public view of the records; the profile and the outlets only once
// solved, when the profile's arrays move out of the records into the
// Rating. Never raises a fault of its own: a duty that does not fit is left
// out.
Rating makeRating(CaseRecords& r);

}  // namespace hxrate
