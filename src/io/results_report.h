// The results report: the exchanger type, the overall results and the table
// of node temperatures.
#pragma once

#include "model/records.h"
#include "run/text_output_file.h"

namespace hxrate {

inline constexpr const char* resultsFileName = "48230007650350000606.txt";

// Every value the report prints that is not already in the records. They
// are formed before the results file is opened, so that an arithmetic
// failure cannot leave a report half written.
struct ReportValues {
    double overallCoefficient;  // UAp/(pi*Do)
    double heatTransferArea;    // Nt*pi*L*Do
    double shellExitTemperature;
};

ReportValues prepareResultsReport(const CaseInput& in, const DerivedGeometry& geo,
                                  const ThermalModel& tm, const TemperatureProfile& profile);

// Writes the whole report into an opened file.
void writeResultsReport(TextOutputFile& file, const CaseInput& in, const DerivedGeometry& geo,
                        const ThermalModel& tm, const TemperatureProfile& profile,
                        const ReportValues& values);

}  // namespace hxrate
