// The charts of the page as inline SVG: line charts along the tube of both
// streams' temperatures with the inlets and the directions of flow, and of
// the viscosities and the wall temperature the property models gave; a bar
// chart of each span's V/V_crit against the screening's limit.
#include "report_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "chart_scale.h"
#include "colours.h"
#include "markup.h"
#include "report_html.h"
#include "report_json.h"

namespace hxrate::report {
namespace {

using tools::svgNumber;
using tools::ticks;

// A span at or above the limit, as the page's errors are drawn.
constexpr const char* errorColour = "#b3261e";

// The chart's page geometry, the values at the plot area's edges and the
// nodes and ticks shown.
struct Chart {
    static constexpr double left = 70, right = 700, top = 20, bottom = 300;
    static constexpr double width = 720, height = 360;
    std::vector<std::size_t> nodes;  // at most 1500 of the profile's nodes
    std::vector<double> xTicks, yTicks;
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;  // location and temperature at the edges

    double X(double x) const { return left + (x - x0) / (x1 - x0) * (right - left); }
    double Y(double y) const { return bottom - (y - y0) / (y1 - y0) * (bottom - top); }
};

// One curve of a chart: its values at the profile's nodes.
struct Series {
    const std::vector<double>* values;
    const char* id;
    const char* colour;
    const char* label;
};

Chart chartOf(const std::vector<double>& location, const std::vector<Series>& series) {
    Chart ch;
    ch.nodes = shownNodes(location.size(), 1500);
    double xMin = location.front(), xMax = location.back();
    double yMin = series.front().values->front(), yMax = yMin;
    for (std::size_t i : ch.nodes) {
        for (const Series& c : series) {
            double y = (*c.values)[i];
            yMin = std::min(yMin, y);
            yMax = std::max(yMax, y);
        }
    }
    ch.xTicks = ticks(std::min(xMin, xMax), std::max(xMin, xMax), 6);
    // The value axis spans the data and a margin of 5 % of its span on each
    // side, not the next round ticks: changes of a fraction of a kelvin
    // would otherwise be flat lines.
    double pad = yMax > yMin ? (yMax - yMin) * 0.05 : std::max(std::fabs(yMin) * 0.05, 0.5);
    for (double t : ticks(yMin - pad, yMax + pad, 6))
        if (t >= yMin - pad && t <= yMax + pad) ch.yTicks.push_back(t);
    ch.x0 = ch.xTicks.front();
    ch.x1 = ch.xTicks.back();
    ch.y0 = yMin - pad;
    ch.y1 = yMax + pad;
    return ch;
}

// The background, the grid lines with their tick labels and the plot area's frame.
void writeGrid(std::ostringstream& s, const Chart& ch) {
    const double left = Chart::left, right = Chart::right, top = Chart::top, bottom = Chart::bottom;
    s << "<rect x=\"0\" y=\"0\" width=\"" << Chart::width << "\" height=\"" << Chart::height
      << "\" fill=\"white\"/>\n";
    for (double t : ch.xTicks) {
        s << "<line x1=\"" << svgNumber(ch.X(t)) << "\" y1=\"" << top << "\" x2=\""
          << svgNumber(ch.X(t)) << "\" y2=\"" << bottom << "\" stroke=\"#e3e6ea\"/>"
          << "<text x=\"" << svgNumber(ch.X(t)) << "\" y=\"" << bottom + 16
          << "\" text-anchor=\"middle\">" << tools::xmlEscape(formatNumber(t, 6)) << "</text>\n";
    }
    for (double t : ch.yTicks) {
        s << "<line x1=\"" << left << "\" y1=\"" << svgNumber(ch.Y(t)) << "\" x2=\"" << right
          << "\" y2=\"" << svgNumber(ch.Y(t)) << "\" stroke=\"#e3e6ea\"/>"
          << "<text x=\"" << left - 6 << "\" y=\"" << svgNumber(ch.Y(t) + 4)
          << "\" text-anchor=\"end\">" << tools::xmlEscape(formatNumber(t, 6)) << "</text>\n";
    }
    s << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << right - left << "\" height=\""
      << bottom - top << "\" fill=\"none\" stroke=\"#5b6470\"/>\n";
}

// One stream's temperatures along the tube.
void writeCurve(std::ostringstream& s, const Chart& ch, const std::vector<double>& location,
                const std::vector<double>& values, const char* id, const char* colour) {
    s << "<polyline id=\"" << id << "\" fill=\"none\" stroke=\"" << colour
      << "\" stroke-width=\"2\" points=\"";
    for (std::size_t i : ch.nodes)
        s << svgNumber(ch.X(location[i])) << ',' << svgNumber(ch.Y(values[i])) << ' ';
    s << "\"/>\n";
}

// Each stream's inlet as a dot and its direction of flow as an arrow head
// half way along: a stream enters at the end whose temperature is nearer
// its inlet temperature.
void writeFlowMarks(std::ostringstream& s, const Chart& ch, const Report& rep) {
    const Profile& p = rep.rating.profile;
    const std::size_t first = ch.nodes.front(), last = ch.nodes.back();
    auto entersFirst = [&](const std::vector<double>& values, double inlet) {
        return std::fabs(values[first] - inlet) <= std::fabs(values[last] - inlet);
    };
    auto mark = [&](const std::vector<double>& values, const char* id, const char* colour,
                    bool fromFirst) {
        std::size_t in = fromFirst ? first : last;
        s << "<circle id=\"" << id << "-inlet\" cx=\"" << svgNumber(ch.X(p.location[in]))
          << "\" cy=\"" << svgNumber(ch.Y(values[in])) << "\" r=\"5\" fill=\"" << colour
          << "\"><title>" << id << " inlet</title></circle>\n";
        std::size_t mid = ch.nodes[ch.nodes.size() / 2];
        double cx = ch.X(p.location[mid]), cy = ch.Y(values[mid]);
        double dir = fromFirst == (ch.X(p.location[last]) >= ch.X(p.location[first])) ? 1 : -1;
        s << "<path id=\"" << id << "-arrow\" d=\"M" << svgNumber(cx + 7 * dir) << ','
          << svgNumber(cy) << " L" << svgNumber(cx - 5 * dir) << ',' << svgNumber(cy - 6) << " L"
          << svgNumber(cx - 5 * dir) << ',' << svgNumber(cy + 6) << " Z\" fill=\"" << colour
          << "\"/>\n";
    };
    mark(p.tube, "tube", tools::tubeColour, entersFirst(p.tube, rep.input.tubeInletTemperature));
    // Across the passes the shell curve is each pass's inlet, not one stream.
    if (rep.input.exchangerType != ExchangerType::CrossFlowCounterCurrent)
        mark(p.shell, "shell", tools::shellColour,
             entersFirst(p.shell, rep.input.shellInletTemperature));
}

// The axis titles and the legend under the plot area.
void writeLegend(std::ostringstream& s, const Report& rep) {
    const double left = Chart::left, right = Chart::right, top = Chart::top, bottom = Chart::bottom;
    s << "<text x=\"" << (left + right) / 2 << "\" y=\"" << bottom + 36
      << "\" text-anchor=\"middle\">location along the tube x (m)</text>\n"
      << "<text transform=\"translate(16," << (top + bottom) / 2
      << ") rotate(-90)\" text-anchor=\"middle\">temperature (°C)</text>\n";
    bool passInlet = rep.input.exchangerType == ExchangerType::CrossFlowCounterCurrent;
    double ly = bottom + 52;
    s << "<line x1=\"" << left << "\" y1=\"" << ly << "\" x2=\"" << left + 24 << "\" y2=\"" << ly
      << "\" stroke=\"" << tools::tubeColour << "\" stroke-width=\"2\"/><text x=\"" << left + 30
      << "\" y=\"" << ly + 4 << "\">tube fluid</text>\n"
      << "<line x1=\"" << left + 150 << "\" y1=\"" << ly << "\" x2=\"" << left + 174 << "\" y2=\""
      << ly << "\" stroke=\"" << tools::shellColour << "\" stroke-width=\"2\"/><text x=\""
      << left + 180 << "\" y=\"" << ly + 4 << "\">"
      << (passInlet ? "shell-pass inlet" : "shell fluid") << "</text>\n"
      << "<circle cx=\"" << left + 330 << "\" cy=\"" << ly << "\" r=\"4\" fill=\"#5b6470\"/>"
      << "<text x=\"" << left + 340 << "\" y=\"" << ly + 4
      << "\">inlet; arrow heads: direction of flow</text>\n";
}

// A chart of quantities at the profile's nodes along the tube, drawn as the
// temperature chart is, with a legend of its curves.
std::string lineChartSvg(const char* id, const char* what, const std::vector<double>& location,
                         const std::vector<Series>& series, const char* valueAxis) {
    const Chart ch = chartOf(location, series);
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << Chart::width << ' '
      << Chart::height << "\" role=\"img\" aria-label=\"" << what << "\" font-size=\"12\" id=\""
      << id << "\" data-y-min=\"" << formatNumber(ch.y0, 9) << "\" data-y-max=\""
      << formatNumber(ch.y1, 9) << "\">\n";
    writeGrid(s, ch);
    for (const Series& c : series) writeCurve(s, ch, location, *c.values, c.id, c.colour);
    const double left = Chart::left, right = Chart::right, top = Chart::top, bottom = Chart::bottom;
    s << "<text x=\"" << (left + right) / 2 << "\" y=\"" << bottom + 36
      << "\" text-anchor=\"middle\">location along the tube x (m)</text>\n"
      << "<text transform=\"translate(16," << (top + bottom) / 2
      << ") rotate(-90)\" text-anchor=\"middle\">" << valueAxis << "</text>\n";
    const double ly = bottom + 52;
    double lx = left;
    for (const Series& c : series) {
        s << "<line x1=\"" << lx << "\" y1=\"" << ly << "\" x2=\"" << lx + 24 << "\" y2=\"" << ly
          << "\" stroke=\"" << c.colour << "\" stroke-width=\"2\"/><text x=\"" << lx + 30
          << "\" y=\"" << ly + 4 << "\">" << c.label << "</text>\n";
        lx += 180;
    }
    s << "</svg>\n";
    return s.str();
}

}  // namespace

std::string profileSvg(const Report& rep) {
    const Profile& p = rep.rating.profile;
    const Chart ch = chartOf(p.location, {{&p.tube, "tube", tools::tubeColour, ""},
                                          {&p.shell, "shell", tools::shellColour, ""}});
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << Chart::width << ' '
      << Chart::height
      << "\" role=\"img\" aria-label=\"temperature profile\" font-size=\"12\" id=\"profile-chart\""
      << " data-y-min=\"" << formatNumber(ch.y0, 9) << "\" data-y-max=\"" << formatNumber(ch.y1, 9)
      << "\">\n";
    writeGrid(s, ch);
    writeCurve(s, ch, p.location, p.tube, "tube", tools::tubeColour);
    writeCurve(s, ch, p.location, p.shell, "shell", tools::shellColour);
    writeFlowMarks(s, ch, rep);
    writeLegend(s, rep);
    s << "</svg>\n";
    return s.str();
}

std::string viscositySvg(const Report& rep, bool tube) {
    const PropertyProfile& q = *propertiesAlong(rep);
    // In mPa s: the axis labels of a water's 0.0005 Pa s would otherwise
    // be exponents.
    std::vector<double> mPas;
    for (double mu : tube ? q.tubeViscosity : q.shellViscosity) mPas.push_back(mu * 1000);
    return lineChartSvg(
        tube ? "tube-viscosity-chart" : "shell-viscosity-chart",
        tube ? "tube-fluid viscosity" : "shell-fluid viscosity", rep.rating.profile.location,
        {{&mPas, tube ? "tube-viscosity" : "shell-viscosity",
          tube ? tools::tubeColour : tools::shellColour, tube ? "tube fluid" : "shell fluid"}},
        "viscosity (mPa·s)");
}

std::string wallTemperatureSvg(const Report& rep) {
    const Profile& p = rep.rating.profile;
    const bool passInlet = rep.input.exchangerType == ExchangerType::CrossFlowCounterCurrent;
    return lineChartSvg(
        "wall-chart", "wall temperature", p.location,
        {{&p.tube, "wall-chart-tube", tools::tubeColour, "tube fluid"},
         {&propertiesAlong(rep)->wallTemperature, "wall", tools::wallColour, "shell-side wall"},
         {&p.shell, "wall-chart-shell", tools::shellColour,
          passInlet ? "shell-pass inlet" : "shell fluid"}},
        "temperature (°C)");
}

std::string vibrationSvg(const VibrationScreening& v) {
    // Wider than tall, and room right of the plot area for the limit's label.
    constexpr double left = 70, right = 600, top = 16, bottom = 180, width = 720, height = 220;
    // The value axis from 0 to above both the largest ratio and the limit,
    // so that the limit's line is always drawn.
    const bool limitShown = std::isfinite(v.velocityRatioLimit);
    double highest = limitShown ? v.velocityRatioLimit : 0;
    for (const VibrationSpan& span : v.spans)
        if (std::isfinite(span.velocityRatio)) highest = std::max(highest, span.velocityRatio);
    const std::vector<double> yTicks = ticks(0, highest > 0 ? highest * 1.05 : 1, 5);
    const double y1 = yTicks.back();
    auto Y = [&](double y) { return bottom - y / y1 * (bottom - top); };
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << width << ' ' << height
      << "\" role=\"img\" aria-label=\"V/V_crit of each span\" font-size=\"12\" "
         "id=\"vibration-chart\" data-y-max=\""
      << formatNumber(y1, 9) << "\">\n<rect x=\"0\" y=\"0\" width=\"" << width << "\" height=\""
      << height << "\" fill=\"white\"/>\n";
    for (double t : yTicks)
        s << "<line x1=\"" << left << "\" y1=\"" << svgNumber(Y(t)) << "\" x2=\"" << right
          << "\" y2=\"" << svgNumber(Y(t)) << "\" stroke=\"#e3e6ea\"/><text x=\"" << left - 6
          << "\" y=\"" << svgNumber(Y(t) + 4) << "\" text-anchor=\"end\">"
          << tools::xmlEscape(formatNumber(t, 6)) << "</text>\n";
    s << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << right - left << "\" height=\""
      << bottom - top << "\" fill=\"none\" stroke=\"#5b6470\"/>\n";
    // One slot per kind of span, inlet to outlet.
    const double slot =
        (right - left) / static_cast<double>(std::max<std::size_t>(v.spans.size(), 1));
    for (std::size_t i = 0; i < v.spans.size(); ++i) {
        const VibrationSpan& span = v.spans[i];
        const double ratio = std::isfinite(span.velocityRatio) ? span.velocityRatio : 0;
        // At or above the limit the span is unstable: its bar is drawn as an error.
        const bool over = span.velocityRatio >= v.velocityRatioLimit;
        const double x = left + slot * (static_cast<double>(i) + 0.25), y = Y(ratio);
        const double mid = x + slot * 0.25;
        std::string id = span.name;  // "window central" -> "window-central": ids have no spaces
        std::replace(id.begin(), id.end(), ' ', '-');
        s << "<rect id=\"vibration-bar-" << tools::xmlEscape(id) << "\" class=\""
          << (over ? "over" : "under") << "\" x=\"" << svgNumber(x) << "\" y=\"" << svgNumber(y)
          << "\" width=\"" << svgNumber(slot * 0.5) << "\" height=\"" << svgNumber(bottom - y)
          << "\" fill=\"" << (over ? errorColour : tools::shellColour) << "\"><title>"
          << tools::xmlEscape(span.name)
          << " span: V/V_crit = " << tools::xmlEscape(formatNumber(span.velocityRatio))
          << "</title></rect>\n"
          << "<text x=\"" << svgNumber(mid) << "\" y=\"" << svgNumber(y - 5)
          << "\" text-anchor=\"middle\"" << (over ? " font-weight=\"bold\"" : "") << ">"
          << tools::xmlEscape(formatNumber(span.velocityRatio)) << "</text>\n"
          << "<text x=\"" << svgNumber(mid) << "\" y=\"" << bottom + 16
          << "\" text-anchor=\"middle\">" << tools::xmlEscape(span.name)
          << (span.count > 1 ? " ×" + std::to_string(span.count) : std::string()) << ", "
          << tools::xmlEscape(formatNumber(span.length)) << " m</text>\n";
    }
    if (limitShown) {
        const double yLimit = Y(v.velocityRatioLimit);
        s << "<line id=\"vibration-limit\" x1=\"" << left << "\" y1=\"" << svgNumber(yLimit)
          << "\" x2=\"" << right << "\" y2=\"" << svgNumber(yLimit) << "\" stroke=\"" << errorColour
          << "\" stroke-width=\"2\" stroke-dasharray=\"8 4\"/>"
          << "<text id=\"vibration-limit-label\" x=\"" << right + 6 << "\" y=\""
          << svgNumber(yLimit + 4) << "\" fill=\"" << errorColour << "\">limit "
          << tools::xmlEscape(formatNumber(v.velocityRatioLimit)) << "</text>\n";
    }
    s << "<text x=\"" << (left + right) / 2 << "\" y=\"" << bottom + 34
      << "\" text-anchor=\"middle\">span kind, inlet to outlet</text>\n"
      << "<text transform=\"translate(16," << (top + bottom) / 2
      << ") rotate(-90)\" text-anchor=\"middle\">V/V_crit</text>\n</svg>\n";
    return s.str();
}

}  // namespace hxrate::report
