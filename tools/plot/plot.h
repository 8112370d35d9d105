// hxrate-plot: the temperature table of a results report drawn as an SVG
// line chart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "markup.h"
#include "results_file.h"

namespace hxrate::tools {

// Round tick values (steps of 1, 2 or 5 times a power of ten) covering
// [low, high], about `wanted` of them; a degenerate range is widened.
std::vector<double> niceTicks(double low, double high, int wanted);

// The whole SVG document: title, axes with ticks and labels (location in m,
// temperature in degrees Celsius: the SI units cases use), one polyline per
// temperature column with one point per table row, a legend and a caption
// with the overall coefficient. A non-empty `remark` is shown under the
// title (an earlier run's results).
std::string renderProfileSvg(const ResultsReport& report, std::string_view remark = {});

// Exchanger type and element count of the case file at `path` (case lines 1
// to 5), to tell whether a results file beside it is complete; nothing when
// the case cannot be read that far.
struct CaseGrid {
    std::int32_t exchangerType;
    std::int64_t elementCount;
};
std::optional<CaseGrid> caseGrid(const std::string& path);

// How the last run in a folder ended, from its run log: the results file
// is that run's only when it succeeded. `reason` is the first line of the
// log's message when it ended early.
enum class RunEnding {
    succeeded,   // the log says the calculation was processed
    endedEarly,  // a rejection or a failure, or a log left empty
    unknown,     // no run log
};
struct LastRun {
    RunEnding ending;
    std::string reason;
};
LastRun lastRunOf(const std::optional<std::string>& runLog);

}  // namespace hxrate::tools
