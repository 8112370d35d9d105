#include "plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "case_lines.h"
#include "colours.h"

namespace hxrate::tools {
namespace {

// Page and plot area, in SVG user units.
constexpr double pageWidth = 800, pageHeight = 540;
constexpr double left = 90, right = 770, top = 70, bottom = 400;

std::string number(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    std::string s = text;
    // A tick at zero reached through rounding shows no sign.
    bool negativeZero = s.starts_with("-") && s.find_first_not_of("-0.") == std::string::npos;
    return negativeZero ? s.substr(1) : s;
}

std::string coordinate(double v) {
    return number(v, 2);
}

// Decimals a tick label needs to tell neighbouring ticks apart.
int tickDecimals(const std::vector<double>& ticks) {
    if (ticks.size() < 2) return 0;
    double step = ticks[1] - ticks[0];
    return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
}

struct Scale {
    double low, high, from, to;
    double operator()(double v) const { return from + (v - low) / (high - low) * (to - from); }
};

std::string text(double x, double y, std::string_view content, std::string_view attributes) {
    return "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\" " +
           std::string(attributes) + ">" + xmlEscape(content) + "</text>\n";
}

std::string line(double x1, double y1, double x2, double y2, std::string_view attributes) {
    return "<line x1=\"" + coordinate(x1) + "\" y1=\"" + coordinate(y1) + "\" x2=\"" +
           coordinate(x2) + "\" y2=\"" + coordinate(y2) + "\" " + std::string(attributes) + "/>\n";
}

}  // namespace

std::vector<double> niceTicks(double low, double high, int wanted) {
    if (!(high > low)) {
        double pad = std::max(1.0, std::fabs(low) * 0.05);
        low -= pad;
        high += pad;
    }
    double rough = (high - low) / std::max(1, wanted);
    double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10;
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= rough) {
            step = m * power;
            break;
        }
    }
    // A step below one is 1/n for a whole n, and k/n is the decimal tick
    // rounded once; the ends are moved out until they cover the range.
    auto tick = [step](double k) { return step >= 1 ? k * step : k / std::round(1 / step); };
    double first = std::floor(low / step);
    double last = std::ceil(high / step);
    while (tick(first) > low) --first;
    while (tick(last) < high) ++last;
    std::vector<double> ticks;
    for (double k = first; k <= last; ++k) ticks.push_back(tick(k));
    return ticks;
}

std::string renderProfileSvg(const ResultsReport& report, std::string_view remark) {
    double xMin = std::numeric_limits<double>::infinity(), xMax = -xMin, yMin = xMin, yMax = -xMin;
    for (const TableRow& r : report.rows) {
        for (double y : {r.tubeTemperature.value, r.thirdColumn.value}) {
            if (std::isfinite(y)) yMin = std::min(yMin, y), yMax = std::max(yMax, y);
        }
        if (std::isfinite(r.location.value))
            xMin = std::min(xMin, r.location.value), xMax = std::max(xMax, r.location.value);
    }
    if (!std::isfinite(xMin)) xMin = xMax = 0;
    if (!std::isfinite(yMin)) yMin = yMax = 0;
    std::vector<double> xTicks = niceTicks(xMin, xMax, 8);
    // The temperature axis spans the data with a margin of 5 % of its span
    // on each side rather than the next round ticks, which can leave a band
    // of the chart empty and flatten changes of a fraction of a kelvin.
    double pad = yMax > yMin ? (yMax - yMin) * 0.05 : std::max(std::fabs(yMin) * 0.05, 0.5);
    std::vector<double> yTicks;
    for (double t : niceTicks(yMin - pad, yMax + pad, 6))
        if (t >= yMin - pad && t <= yMax + pad) yTicks.push_back(t);
    Scale x{xTicks.front(), xTicks.back(), left, right};
    Scale y{yMin - pad, yMax + pad, bottom, top};

    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
        coordinate(pageWidth) + "\" height=\"" + coordinate(pageHeight) + "\" viewBox=\"0 0 " +
        coordinate(pageWidth) + " " + coordinate(pageHeight) +
        "\" font-family=\"sans-serif\" font-size=\"13\">\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + coordinate(pageWidth) + "\" height=\"" +
           coordinate(pageHeight) + "\" fill=\"white\"/>\n";
    svg += text(pageWidth / 2, 35, report.title,
                "text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\"");
    if (!remark.empty())
        svg += text(pageWidth / 2, 55, remark,
                    "id=\"remark\" text-anchor=\"middle\" fill=\"#c0392b\"");

    int xDecimals = tickDecimals(xTicks), yDecimals = tickDecimals(yTicks);
    for (double t : xTicks) {
        svg += line(x(t), top, x(t), bottom, "stroke=\"#e5e5e5\"");
        svg += line(x(t), bottom, x(t), bottom + 6, "stroke=\"black\"");
        svg += text(x(t), bottom + 22, number(t, xDecimals), "text-anchor=\"middle\"");
    }
    for (double t : yTicks) {
        svg += line(left, y(t), right, y(t), "stroke=\"#e5e5e5\"");
        svg += line(left - 6, y(t), left, y(t), "stroke=\"black\"");
        svg += text(left - 10, y(t) + 4, number(t, yDecimals), "text-anchor=\"end\"");
    }
    svg += "<rect x=\"" + coordinate(left) + "\" y=\"" + coordinate(top) + "\" width=\"" +
           coordinate(right - left) + "\" height=\"" + coordinate(bottom - top) +
           "\" fill=\"none\" stroke=\"black\"/>\n";
    svg += text((left + right) / 2, bottom + 45, "Location along the tube (m)",
                "text-anchor=\"middle\"");
    svg += text(25, (top + bottom) / 2, "Temperature (\u00b0C)",
                "text-anchor=\"middle\" transform=\"rotate(-90 25 " +
                    coordinate((top + bottom) / 2) + ")\"");

    // One polyline per column; a row whose value overflowed its field is left out.
    auto series = [&](std::string_view id, const char* colour, auto column) {
        std::string points;
        for (const TableRow& r : report.rows) {
            double v = column(r);
            if (!std::isfinite(v) || !std::isfinite(r.location.value)) continue;
            if (!points.empty()) points += ' ';
            points += coordinate(x(r.location.value)) + ',' + coordinate(y(v));
        }
        return "<polyline id=\"" + std::string(id) + "\" fill=\"none\" stroke=\"" + colour +
               "\" stroke-width=\"2\" stroke-linejoin=\"round\" points=\"" + points + "\"/>\n";
    };
    svg +=
        series("tube-fluid", tubeColour, [](const TableRow& r) { return r.tubeTemperature.value; });
    svg +=
        series("shell-fluid", shellColour, [](const TableRow& r) { return r.thirdColumn.value; });

    double legendY = bottom + 75;
    svg += line(left, legendY, left + 30, legendY,
                std::string("stroke=\"") + tubeColour + "\" stroke-width=\"2\"");
    svg += text(left + 38, legendY + 4, "Tube Fluid Temperature", "");
    svg += line(left + 300, legendY, left + 330, legendY,
                std::string("stroke=\"") + shellColour + "\" stroke-width=\"2\"");
    svg += text(left + 338, legendY + 4, report.thirdColumnTitle, "");

    std::string caption = "Overall Heat Transfer Coefficient = " + report.overallCoefficient.text +
                          " W/(m\u00b2\u00b7K)";
    if (report.shellExitTemperature)
        caption += ";  Shell Exit Temperature = " + report.shellExitTemperature->text + " \u00b0C";
    svg +=
        text(pageWidth / 2, legendY + 40, caption, "text-anchor=\"middle\" font-style=\"italic\"");
    return svg + "</svg>\n";
}

std::optional<CaseGrid> caseGrid(const std::string& path) {
    std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes) return std::nullopt;
    std::optional<Case> c = leadingCaseLines(*bytes, 5);
    if (!c) return std::nullopt;
    double count = std::trunc(c->tubeLength / c->elementLength);
    if (!std::isfinite(count) || std::fabs(count) > 2147483647.0) return std::nullopt;
    return CaseGrid{c->exchangerType, static_cast<std::int64_t>(count)};
}

LastRun lastRunOf(const std::optional<std::string>& runLog) {
    if (!runLog) return {RunEnding::unknown, {}};
    std::string_view log = *runLog;
    std::string_view first = log.substr(0, log.find_first_of("\r\n"));
    if (first == " Calculation processed successfully") return {RunEnding::succeeded, {}};
    if (first.empty() || first == " ") return {RunEnding::endedEarly, "the run log is empty"};
    // The log holds the reason in free-form lines; the first one names it.
    return {RunEnding::endedEarly, std::string(first.substr(1))};
}

}  // namespace hxrate::tools
