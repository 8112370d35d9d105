// The report as JSON (docs/report-schema.json describes it).
#pragma once

#include <nlohmann/json.hpp>

#include "analysis.h"

namespace hxrate::report {

inline constexpr int schemaVersion = 1;

// The whole report; every number is finite, an absent value is null.
// Every string is valid UTF-8: each ill-formed sequence of the case's bytes
// or its file name is replaced by U+FFFD (tools::validUtf8).
nlohmann::json reportJson(const Report& r);

// The JSON file's text: reportJson() indented by 2, with a final line feed.
std::string reportText(const Report& r);

// The node indices a report shows: all up to `most`, else an even stride
// that keeps the first and the last node.
std::vector<std::size_t> shownNodes(std::size_t nodeCount, std::size_t most);

// The properties along the tubes of a solved rating, node for node with its
// profile; null where the models formed none.
const PropertyProfile* propertiesAlong(const Report& r);

}  // namespace hxrate::report
