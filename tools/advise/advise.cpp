#include "advise.h"

#include <hxrate/program.h>

#include <cmath>

namespace hxrate::tools {

RateOptions rateOptions() {
    return programRateOptions();
}

std::string verdictText(const ShootingForecast& f) {
    switch (f.verdict) {
        case ShootingVerdict::finishes:
            return "finishes in " + std::to_string(f.passes) +
                   (f.passes == 1 ? " pass" : " passes");
        case ShootingVerdict::reduceFactor:
            return "stopped after pass " + std::to_string(f.passes) + " with \"" +
                   std::string(checkMessage(Check::shootingGrows)) + "\"";
        case ShootingVerdict::diverges:
            return "stopped after pass " + std::to_string(f.passes) + " with \"" +
                   std::string(checkMessage(Check::shootingLimit)) + "\"";
    }
    return {};
}

double roundedInward(double v, int digits, bool up) {
    if (v == 0 || !std::isfinite(v)) return v;
    double scale = std::pow(10.0, std::floor(std::log10(std::fabs(v))) - digits + 1);
    return (up ? std::ceil(v / scale) : std::floor(v / scale)) * scale;
}

}  // namespace hxrate::tools
