// hxrate-advise: how the shooting on the shell outlet temperature of the
// counter-current types behaves for any correction factor, and how much the
// outlet temperatures owe to the element length. The analysis is the
// library's assessment (hxrate/assessment.h); the tool only words it.
#pragma once

#include <hxrate/hxrate.h>

#include <cstdint>
#include <string>

namespace hxrate::tools {

// How the tool rates: the program's pass limit and grid storage limit.
RateOptions rateOptions();

// What the shooting did or would do, in words: "finishes in 24 passes".
std::string verdictText(const ShootingForecast& f);

// A factor rounded to `digits` significant digits toward the inside of a
// range (up for its low end), so that a printed range holds only factors
// that finish.
double roundedInward(double v, int digits, bool up);

}  // namespace hxrate::tools
