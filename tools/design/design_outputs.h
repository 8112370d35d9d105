// What hxrate-design makes of a design search and of a fouling search:
// the table of the feasible designs, the charts of area against each side's
// pressure drop, the search's section of the best design's page, and the
// lines it prints. No files, no console: text only.
#pragma once

#include <string>

#include <hxrate/design.h>
#include <hxrate/monitoring.h>

namespace hxrate::design_tool {

// The first line of designs.csv: the names of its columns.
std::string designsCsvHeader();
// designs.csv: the header and one row per feasible design, in rank order
// (smallest area first), every number in SI as the shortest decimal that
// reads back to the same double.
std::string designsCsv(const DesignResult& r);

// The candidates searched, the feasible found and the candidates refused
// by each limit, one line each; with the advice when nothing is feasible.
std::string searchSummary(const DesignResult& r);

// Which side's pressure drop a chart plots.
enum class Side { tube, shell };

// The feasible designs (at most 4000 of them, the Pareto front always) as
// an inline SVG scatter chart of area against the side's pressure drop,
// with that side's Pareto front, the best design and the allowable drop of
// the stream on that side. Needs at least one design.
std::string frontChartSvg(const DesignResult& r, const DesignProblem& p, Side side);

// The section of the best design's page that tells of the search: the
// problem's name and duty, the counts, the refusals, the designs rated in
// full and both charts. Needs at least one design.
std::string searchSectionHtml(const DesignResult& r, const DesignProblem& p,
                              const std::string& problemName);

// The fouling found from measured outlets, as hxrate-design prints it.
std::string foulingText(const FoulingEstimate& e, const Measurements& m);

}  // namespace hxrate::design_tool
