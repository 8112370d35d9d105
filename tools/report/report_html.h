// The report as one self-contained HTML page: inline style, the profile as
// inline SVG, no script, and a policy that forbids every network request.
#pragma once

#include <string>
#include <vector>

#include "analysis.h"

namespace hxrate::report {

// The title block of the page: what was rated, when and by what. Empty
// fields are left out.
struct PageHeader {
    std::string caseFile;  // the case file's name as the user gave it
    std::string sha256;    // of the case file's bytes
    std::string ratedAt;   // date and time of the rating, UTC
    std::string title, project, revision;
    // Sections another tool adds after the report's own (HTML, escaped by
    // that tool): hxrate-design's search beside the best design's rating.
    std::string appendix;
};

std::string reportHtml(const Report& r, const PageHeader& header = {});

// Shares of the overall thermal resistance, in per cent of the sum, in the
// order tube film, fouling inside, wall, fouling outside, shell film; the
// fouling rows only when the case has extensions. Empty when the film
// terms were not formed.
struct ResistanceShare {
    std::string part;
    double perLength;  // per unit length x 2 pi, m K/W
    double percent;
};
std::vector<ResistanceShare> resistanceBreakdown(const Report& r);

// A stream's property model as the page names it: "constant (the case's
// values)", "table of 11 rows, -0.15 to 96.85 °C", "water (IAPWS-IF97) at
// 300000 Pa".
std::string propertyModelText(const PropertyModel& m);

// Date and time in UTC as the page's header gives it: 2026-12-08 15:03:00 UTC.
std::string utcText(long long secondsSinceEpoch);

// A number as the page shows it: `digits` significant digits, or a dash
// when absent or not finite.
std::string formatNumber(std::optional<double> x, int digits = 4);

}  // namespace hxrate::report
