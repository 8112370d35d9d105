#include "chart_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace hxrate::tools {

std::vector<double> ticks(double low, double high, int wanted) {
    if (!(high > low)) {
        double pad = std::max(std::fabs(low) * 0.05, 0.5);
        low -= pad;
        high += pad;
    }
    double raw = (high - low) / wanted;
    double power = std::pow(10, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= raw) break;
    }
    std::vector<double> out;
    for (double t = std::floor(low / step) * step; t <= high + step * 0.999; t += step) {
        out.push_back(std::fabs(t) < step * 1e-9 ? 0 : t);
        if (t >= high) break;
    }
    return out;
}

std::string svgNumber(double x) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", x);
    return buffer;
}

}  // namespace hxrate::tools
