// Reading back the results file that hxrate writes: the title, the four lines
// of overall results, the shell exit temperature of the cross-flow types and
// the temperature table, each value kept as printed and as a number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"

namespace hxrate::tools {

// A value of the report: the characters of its field (blanks removed) and
// the number they show; NaN when the field overflowed into asterisks.
struct PrintedValue {
    std::string text;
    double value = 0;
};

struct TableRow {
    PrintedValue location;
    PrintedValue tubeTemperature;
    PrintedValue thirdColumn;  // shell fluid, or shell-pass inlet for cross flow
};

struct ResultsReport {
    std::int32_t exchangerType = 0;
    std::string title;
    PrintedValue overallCoefficient;
    PrintedValue heatTransferArea;
    PrintedValue tubeFilmCoefficient;
    PrintedValue tubeMassFlow;
    PrintedValue shellMassFlow;
    std::optional<PrintedValue> shellExitTemperature;  // cross-flow types only
    std::string thirdColumnTitle;
    std::vector<TableRow> rows;
};

// Why a file is not a complete results report.
struct ResultsFileError {
    std::string message;
};

// The memory that reading and parsing a results file of `bytes` takes at
// its peak, bytes: its text and its parsed table.
std::uint64_t resultsParseBytes(std::uint64_t bytes);

// Parses the bytes of a results file; throws ResultsFileError naming the
// first line that does not match the report's layout.
ResultsReport parseResultsReport(std::string_view bytes);

// The shortest decimal text that reads back as the same double ("36.76",
// "0", "1e+100"); an empty text for NaN.
std::string shortestDecimal(double value);

// Values that the table shows at the ends of the grid: the tube fluid at
// the last node, and the third column at the end where the shell fluid
// leaves (node 0 for the counter-current types, the last node otherwise).
struct OutletTemperatures {
    PrintedValue tubeOutlet;
    PrintedValue shellOutlet;
};
OutletTemperatures outletTemperatures(const ResultsReport& report);

}  // namespace hxrate::tools
