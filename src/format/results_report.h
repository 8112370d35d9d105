// The results report: the exchanger type, the overall results and the table
// of node temperatures.
#pragma once

#include <cstdint>

#include "format/line_sink.h"

namespace hxrate {

// Every value the report prints, from the program's records or from a
// public Rating alike.
struct ReportView {
    std::int32_t exchangerType;
    double overallCoefficient;
    double heatTransferArea;
    double tubeFilmCoefficient;
    double tubeMassFlow;
    double shellMassFlow;
    double shellExitTemperature;
    std::int32_t elementCount;  // nodes 0..elementCount
    double elementLength;       // node i lies at i*dL
    const double* tube;         // tube-fluid temperatures
    const double* third;        // shell fluid, or shell-pass inlet for type 3
};

// Writes the whole report, line by line.
void writeResultsReport(const LineSink& sink, const ReportView& report);

}  // namespace hxrate
