// The report as JSON (docs/report-schema.json describes it).
#pragma once

#include <nlohmann/json.hpp>

#include "analysis.h"

namespace hxrate::report {

inline constexpr int schemaVersion = 1;

// The whole report; every number is finite, an absent value is null.
nlohmann::json reportJson(const Report& r);

// The node indices a report shows: all up to `most`, else an even stride
// that keeps the first and the last node.
std::vector<std::size_t> shownNodes(std::size_t nodeCount, std::size_t most);

}  // namespace hxrate::report
