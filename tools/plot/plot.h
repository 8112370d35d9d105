// hxrate-plot: the temperature table of a results report drawn as an SVG
// line chart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results_file.h"

namespace hxrate::tools {

// Round tick values (steps of 1, 2 or 5 times a power of ten) covering
// [low, high], about `wanted` of them; a degenerate range is widened.
std::vector<double> niceTicks(double low, double high, int wanted);

// Text with the five XML special characters replaced by their entities.
std::string xmlEscape(std::string_view text);

// The whole SVG document: title, axes with ticks and labels, one polyline
// per temperature column with one point per table row, a legend and a
// caption with the overall coefficient.
std::string renderProfileSvg(const ResultsReport& report);

// Exchanger type and element count of the case file at `path` (case lines 1
// to 5), to tell whether a results file beside it is complete; nothing when
// the case cannot be read that far.
struct CaseGrid {
    std::int32_t exchangerType;
    std::int64_t elementCount;
};
std::optional<CaseGrid> caseGrid(const std::string& path);

}  // namespace hxrate::tools
