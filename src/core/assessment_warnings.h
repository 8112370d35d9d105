// The warnings of an assessment, one function per kind of evidence: the
// case's text, its values, the rating, the correlation branches, the
// pressure drop and the numerics of the march.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/extended_rating.h"
#include "hxrate/assessment.h"
#include "hxrate/extensions.h"
#include "hxrate/shell_side.h"

namespace hxrate {

// Whether the stage of a partial rating formed a step.
inline bool reached(const Rating& r, Stage stage) {
    return static_cast<int>(r.stage) >= static_cast<int>(stage);
}

// A value as a message shows it: four significant digits.
std::string shortNumber(double x);

// Text of the case file: decimal commas and labels that are not line numbers.
std::vector<Warning> checkCaseText(std::string_view text, const CaseSource& source);
// The values: unused values (naming the shell branch `r` used), overlapping
// tubes, unit scale.
std::vector<Warning> checkCaseValues(const Case& c, const Rating& r);
// A rating, whole or partial: correlation ranges, energy balance,
// temperature cross, unit scale of the results.
// The shell side's ranges only where the program's own shell side was used.
std::vector<Warning> checkRating(const Case& c, const Rating& r, const ThermalSummary& thermal,
                                 bool programShellSide = true);
// Outlets no exchanger can reach: effectiveness above 1, an outlet outside
// the span of the two inlets, or crossed outlets in co-current flow.
std::vector<Warning> checkSecondLaw(const Case& c, const Rating& r, const ThermalSummary& thermal);
// A correlation branch boundary near the case across which U jumps, the
// case rated again with the extensions of `r` (the program's shell-side
// boundaries only where its own shell side was used).
std::vector<Warning> checkCorrelationSwitch(const Case& c, const Rating& r,
                                            const RateOptions& options,
                                            const detail::Arrangement& ext = {});
// A Bell-Delaware shell side near Re = 100, where its laminar forms give
// way to the turbulent ones and the window drop jumps.
std::vector<Warning> checkBellDelawareHandOver(const BellDelawareResult& bd);
// Kern's friction outside its fit.
std::vector<Warning> checkPressureDrop(const std::optional<PressureDrop>& shell);
std::vector<Warning> checkNumerics(const Case& c, const Rating& r, const Discretisation& d,
                                   const ShootingAdvice& s, bool shootingRejected);

}  // namespace hxrate
