#include "design_outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "chart_scale.h"
#include "colours.h"
#include "markup.h"
#include "report_html.h"
#include "results_file.h"

namespace hxrate::design_tool {
namespace {

using report::formatNumber;
using tools::svgNumber;
using tools::ticks;

// A number of the table: the shortest decimal that reads back the same;
// empty where there is none (the table never holds an infinity or NaN).
std::string csvNumber(double x) {
    return std::isfinite(x) ? tools::shortestDecimal(x) : std::string{};
}

std::string csvNumber(const std::optional<double>& x) {
    return x ? csvNumber(*x) : std::string{};
}

// The baffle spacing the case was built with: the tube length over its
// compartments, m.
double baffleSpacing(const Case& k) {
    return k.tubeLength / (k.baffleCount + 1);
}

bool onFront(const std::vector<std::size_t>& front, std::size_t i) {
    return std::binary_search(front.begin(), front.end(), i);
}

// ---- the charts -------------------------------------------------------------

struct Chart {
    static constexpr double left = 70, right = 700, top = 20, bottom = 300;
    static constexpr double width = 720, height = 370;
    std::vector<double> xTicks, yTicks;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;  // drop (kPa) and area (m2) at the edges

    double X(double x) const { return left + (x - x0) / (x1 - x0) * (right - left); }
    double Y(double y) const { return bottom - (y - y0) / (y1 - y0) * (bottom - top); }
};

// The designs shown: every one up to `most`, else an even share of them
// with the front's and the best always among them.
std::vector<std::size_t> shownDesigns(std::size_t count, const std::vector<std::size_t>& front,
                                      std::size_t most) {
    std::vector<std::size_t> shown;
    const std::size_t stride = count <= most ? 1 : (count + most - 1) / most;
    for (std::size_t i = 0; i < count; ++i)
        if (i % stride == 0 || onFront(front, i)) shown.push_back(i);
    return shown;
}

}  // namespace

std::string designsCsvHeader() {
    return "rank,area,required_area,over_surface,duty,overall_coefficient,tube_pressure_drop,"
           "shell_pressure_drop,tube_velocity,shell_velocity,lmtd_correction,tube_stream,"
           "shell_diameter,tube_outer_diameter,tube_wall_thickness,tube_count,tube_passes,"
           "shells,tube_length,layout_angle,pitch_ratio,baffle_cut,baffle_spacing,baffle_count,"
           "tube_front,shell_front,velocity_ratio,candidate\n";
}

std::string designsCsv(const DesignResult& r) {
    std::string out = designsCsvHeader();
    for (std::size_t i = 0; i < r.designs.size(); ++i) {
        const Design& d = r.designs[i];
        const Case& k = d.document.input;
        const double Do = k.tubeInnerDiameter + 2 * k.wallThickness;
        const std::string fields[] = {std::to_string(i + 1),
                                      csvNumber(d.area),
                                      csvNumber(d.requiredArea),
                                      csvNumber(d.overSurface),
                                      csvNumber(d.duty),
                                      csvNumber(d.overallCoefficient),
                                      csvNumber(d.tubePressureDrop),
                                      csvNumber(d.shellPressureDrop),
                                      csvNumber(d.tubeVelocity),
                                      csvNumber(d.shellVelocity),
                                      csvNumber(d.lmtdCorrection),
                                      d.hotInTubes ? "hot" : "cold",
                                      csvNumber(k.shellInnerDiameter),
                                      csvNumber(Do),
                                      csvNumber(k.wallThickness),
                                      std::to_string(k.tubeCount),
                                      std::to_string(d.document.extensions.tubePasses),
                                      std::to_string(d.document.extensions.shells),
                                      csvNumber(k.tubeLength),
                                      std::to_string(d.layoutAngle),
                                      csvNumber(d.pitchRatio),
                                      csvNumber(d.baffleCut),
                                      csvNumber(baffleSpacing(k)),
                                      std::to_string(k.baffleCount),
                                      onFront(r.tubeFront, i) ? "yes" : "no",
                                      onFront(r.shellFront, i) ? "yes" : "no",
                                      csvNumber(d.velocityRatio),
                                      std::to_string(d.candidate)};
        for (const std::string& f : fields) out += f + ',';
        out.back() = '\n';
    }
    return out;
}

std::string searchSummary(const DesignResult& r) {
    std::ostringstream s;
    s << r.candidates << " candidates, " << r.feasibleCount << " feasible\n";
    if (!r.refused.empty()) s << "refused by the first limit each broke:\n";
    for (const auto& [why, n] : r.refused) {
        std::string name(designRefusalName(why));
        name.resize(std::max<std::size_t>(name.size(), 22), ' ');
        s << "  " << name << ' ' << n << '\n';
    }
    if (r.designs.empty()) s << r.advice << '\n';
    return s.str();
}

std::string frontChartSvg(const DesignResult& r, const DesignProblem& p, Side side) {
    const bool tube = side == Side::tube;
    const std::vector<std::size_t>& front = tube ? r.tubeFront : r.shellFront;
    auto drop = [&](const Design& d) {
        return (tube ? d.tubePressureDrop : d.shellPressureDrop) / 1000;  // kPa
    };
    // The allowable drop of the stream on this side; both streams' where
    // designs put either stream on it.
    double allowed = 0;
    bool hotSeen = false, coldSeen = false;
    for (const Design& d : r.designs) (d.hotInTubes == tube ? hotSeen : coldSeen) = true;
    if (hotSeen) allowed = std::max(allowed, p.hot.allowablePressureDrop / 1000);
    if (coldSeen) allowed = std::max(allowed, p.cold.allowablePressureDrop / 1000);

    const std::vector<std::size_t> shown = shownDesigns(r.designs.size(), front, 4000);
    Chart ch;
    double xMax = allowed, yMin = r.designs.front().area, yMax = yMin;
    for (std::size_t i : shown) {
        xMax = std::max(xMax, drop(r.designs[i]));
        yMin = std::min(yMin, r.designs[i].area);
        yMax = std::max(yMax, r.designs[i].area);
    }
    // The refused candidates near the feasible ones: drops up to twice the
    // allowed, areas up to twice the largest feasible; at most 4000 of them,
    // evenly taken.
    auto refusedDrop = [&](const hxrate::RefusedDesign& d) {
        return (tube ? d.tubePressureDrop : d.shellPressureDrop) / 1000;
    };
    std::vector<const hxrate::RefusedDesign*> near;
    const double dropLimit = 2 * xMax, areaLimit = 2 * yMax;
    for (const hxrate::RefusedDesign& d : r.refusedDesigns)
        if (refusedDrop(d) <= dropLimit && d.area <= areaLimit && d.area > 0) near.push_back(&d);
    const std::size_t step = near.size() / 4000 + 1;
    std::vector<const hxrate::RefusedDesign*> refusedShown;
    for (std::size_t i = 0; i < near.size(); i += step) refusedShown.push_back(near[i]);
    for (const hxrate::RefusedDesign* d : refusedShown) {
        xMax = std::max(xMax, refusedDrop(*d));
        yMin = std::min(yMin, d->area);
        yMax = std::max(yMax, d->area);
    }
    ch.xTicks = ticks(0, xMax, 6);
    ch.yTicks = ticks(yMin, yMax, 6);
    ch.x0 = ch.xTicks.front();
    ch.x1 = ch.xTicks.back();
    ch.y0 = ch.yTicks.front();
    ch.y1 = ch.yTicks.back();

    const char* id = tube ? "tube-front-chart" : "shell-front-chart";
    const char* colour = tube ? tools::tubeColour : tools::shellColour;
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << Chart::width << ' '
      << Chart::height << "\" role=\"img\" aria-label=\"area against the "
      << (tube ? "tube" : "shell") << "-side pressure drop\" font-size=\"12\" id=\"" << id
      << "\" data-points=\"" << shown.size() << "\" data-front=\"" << front.size()
      << "\" data-refused=\"" << refusedShown.size() << "\">\n"
      << "<rect x=\"0\" y=\"0\" width=\"" << Chart::width << "\" height=\"" << Chart::height
      << "\" fill=\"white\"/>\n";
    for (double t : ch.xTicks)
        s << "<line x1=\"" << svgNumber(ch.X(t)) << "\" y1=\"" << Chart::top << "\" x2=\""
          << svgNumber(ch.X(t)) << "\" y2=\"" << Chart::bottom
          << "\" stroke=\"#e3e6ea\"/><text x=\"" << svgNumber(ch.X(t)) << "\" y=\""
          << Chart::bottom + 16 << "\" text-anchor=\"middle\">"
          << tools::xmlEscape(formatNumber(t, 6)) << "</text>\n";
    for (double t : ch.yTicks)
        s << "<line x1=\"" << Chart::left << "\" y1=\"" << svgNumber(ch.Y(t)) << "\" x2=\""
          << Chart::right << "\" y2=\"" << svgNumber(ch.Y(t)) << "\" stroke=\"#e3e6ea\"/><text x=\""
          << Chart::left - 6 << "\" y=\"" << svgNumber(ch.Y(t) + 4) << "\" text-anchor=\"end\">"
          << tools::xmlEscape(formatNumber(t, 6)) << "</text>\n";
    s << "<rect x=\"" << Chart::left << "\" y=\"" << Chart::top << "\" width=\""
      << Chart::right - Chart::left << "\" height=\"" << Chart::bottom - Chart::top
      << "\" fill=\"none\" stroke=\"#5b6470\"/>\n";
    // The allowable drop: no feasible design lies to its right.
    s << "<line id=\"" << id << "-allowed\" x1=\"" << svgNumber(ch.X(allowed)) << "\" y1=\""
      << Chart::top << "\" x2=\"" << svgNumber(ch.X(allowed)) << "\" y2=\"" << Chart::bottom
      << "\" stroke=\"#b3261e\" stroke-dasharray=\"6 4\"/>\n";
    s << "<g class=\"refused\" fill=\"#e8a29c\" fill-opacity=\"0.5\">\n";
    for (const hxrate::RefusedDesign* d : refusedShown)
        s << "<circle cx=\"" << svgNumber(ch.X(refusedDrop(*d))) << "\" cy=\""
          << svgNumber(ch.Y(d->area)) << "\" r=\"2\"/>\n";
    s << "</g>\n";
    s << "<g class=\"feasible\" fill=\"#9aa3ad\" fill-opacity=\"0.6\">\n";
    for (std::size_t i : shown)
        s << "<circle cx=\"" << svgNumber(ch.X(drop(r.designs[i]))) << "\" cy=\""
          << svgNumber(ch.Y(r.designs[i].area)) << "\" r=\"2.5\"/>\n";
    s << "</g>\n<polyline id=\"" << id << "-front\" fill=\"none\" stroke=\"" << colour
      << "\" stroke-width=\"2\" points=\"";
    for (std::size_t i : front)
        s << svgNumber(ch.X(drop(r.designs[i]))) << ',' << svgNumber(ch.Y(r.designs[i].area))
          << ' ';
    s << "\"/>\n<g fill=\"" << colour << "\">\n";
    for (std::size_t i : front)
        s << "<circle cx=\"" << svgNumber(ch.X(drop(r.designs[i]))) << "\" cy=\""
          << svgNumber(ch.Y(r.designs[i].area)) << "\" r=\"4\"><title>rank " << i + 1 << ": "
          << tools::xmlEscape(formatNumber(r.designs[i].area)) << " m², "
          << tools::xmlEscape(formatNumber(drop(r.designs[i]))) << " kPa</title></circle>\n";
    s << "</g>\n<circle id=\"" << id << "-best\" cx=\"" << svgNumber(ch.X(drop(r.designs.front())))
      << "\" cy=\"" << svgNumber(ch.Y(r.designs.front().area))
      << "\" r=\"8\" fill=\"none\" stroke=\"#1b1f24\" stroke-width=\"2\"/>\n";
    // Axis titles and the legend.
    const double ly = Chart::bottom + 56;
    s << "<text x=\"" << (Chart::left + Chart::right) / 2 << "\" y=\"" << Chart::bottom + 36
      << "\" text-anchor=\"middle\">" << (tube ? "tube" : "shell")
      << "-side pressure drop (kPa)</text>\n<text transform=\"translate(16,"
      << (Chart::top + Chart::bottom) / 2
      << ") rotate(-90)\" text-anchor=\"middle\">heat transfer area (m²)</text>\n"
      << "<circle cx=\"" << Chart::left + 6 << "\" cy=\"" << ly
      << "\" r=\"3\" fill=\"#9aa3ad\"/><text x=\"" << Chart::left + 14 << "\" y=\"" << ly + 4
      << "\">feasible design</text>\n<line x1=\"" << Chart::left + 130 << "\" y1=\"" << ly
      << "\" x2=\"" << Chart::left + 154 << "\" y2=\"" << ly << "\" stroke=\"" << colour
      << "\" stroke-width=\"2\"/><text x=\"" << Chart::left + 160 << "\" y=\"" << ly + 4
      << "\">Pareto front</text>\n<circle cx=\"" << Chart::left + 266 << "\" cy=\"" << ly
      << "\" r=\"6\" fill=\"none\" stroke=\"#1b1f24\" stroke-width=\"2\"/><text x=\""
      << Chart::left + 278 << "\" y=\"" << ly + 4 << "\">best (smallest area)</text>\n<line x1=\""
      << Chart::left + 420 << "\" y1=\"" << ly << "\" x2=\"" << Chart::left + 444 << "\" y2=\""
      << ly << "\" stroke=\"#b3261e\" stroke-dasharray=\"6 4\"/><text x=\"" << Chart::left + 450
      << "\" y=\"" << ly + 4 << "\">allowable drop</text>\n<circle cx=\"" << Chart::left + 560
      << "\" cy=\"" << ly << "\" r=\"3\" fill=\"#e8a29c\"/><text x=\"" << Chart::left + 568
      << "\" y=\"" << ly + 4 << "\">refused</text>\n</svg>\n";
    return s.str();
}

std::string searchSectionHtml(const DesignResult& r, const DesignProblem& p,
                              const std::string& problemName) {
    std::ostringstream h;
    auto esc = [](const std::string& t) { return tools::xmlEscape(t); };
    h << "<section id=\"design-search\">\n<h2>Design search</h2>\n<p>The exchanger above is the "
         "smallest of the feasible designs of "
      << esc(problemName) << ": " << r.feasibleCount << " of " << r.candidates
      << " candidates met the duty of " << esc(formatNumber(r.duty)) << " W within every limit "
      << "(tube velocity " << esc(formatNumber(p.limits.tubeVelocityMin)) << " to "
      << esc(formatNumber(p.limits.tubeVelocityMax)) << " m/s, shell velocity up to "
      << esc(formatNumber(p.limits.shellVelocityMax)) << " m/s, F at least "
      << esc(formatNumber(p.limits.minimumF)) << ", pressure drops up to "
      << esc(formatNumber(p.hot.allowablePressureDrop)) << " Pa hot and "
      << esc(formatNumber(p.cold.allowablePressureDrop)) << " Pa cold).</p>\n";
    h << "<table id=\"refusals\">\n<tr><th>refused by</th><th>candidates</th></tr>\n";
    for (const auto& [why, n] : r.refused)
        h << "<tr><td>" << esc(std::string(designRefusalName(why))) << "</td><td class=\"num\">"
          << n << "</td></tr>\n";
    h << "</table>\n<p class=\"note\">Each refused candidate is counted by the first limit it "
         "breaks. The charts show the feasible designs and, in red, the candidates a limit "
         "refused after their rating, with drops up to twice and areas up to twice the "
         "feasible ones'.</p>\n";
    h << "<h2>Designs rated in full</h2>\n<table id=\"ranked\">\n<tr><th>rank</th><th>area "
         "(m²)</th><th>tube Δp (Pa)</th><th>shell Δp (Pa)</th><th>tubes</th><th>Do (m)</th>"
         "<th>Ds (m)</th><th>L (m)</th><th>passes</th><th>shells</th><th>layout</th>"
         "<th>in tubes</th></tr>\n";
    for (std::size_t i = 0; i < r.designs.size() && r.designs[i].rating; ++i) {
        const Design& d = r.designs[i];
        const Case& k = d.document.input;
        h << "<tr><td>" << i + 1 << "</td><td class=\"num\">" << esc(formatNumber(d.area))
          << "</td><td class=\"num\">" << esc(formatNumber(d.tubePressureDrop))
          << "</td><td class=\"num\">" << esc(formatNumber(d.shellPressureDrop))
          << "</td><td class=\"num\">" << k.tubeCount << "</td><td class=\"num\">"
          << esc(formatNumber(k.tubeInnerDiameter + 2 * k.wallThickness))
          << "</td><td class=\"num\">" << esc(formatNumber(k.shellInnerDiameter))
          << "</td><td class=\"num\">" << esc(formatNumber(k.tubeLength))
          << "</td><td class=\"num\">" << d.document.extensions.tubePasses
          << "</td><td class=\"num\">" << d.document.extensions.shells << "</td><td>"
          << d.layoutAngle << "°</td><td>" << (d.hotInTubes ? "hot" : "cold") << "</td></tr>\n";
    }
    h << "</table>\n<h2>Area against pressure drop</h2>\n<figure>\n"
      << frontChartSvg(r, p, Side::tube) << "</figure>\n<figure>\n"
      << frontChartSvg(r, p, Side::shell) << "</figure>\n</section>\n";
    return h.str();
}

std::string foulingText(const FoulingEstimate& e, const Measurements& m) {
    std::ostringstream s;
    auto line = [&](const char* label, const std::string& value) {
        std::string l = label;
        l.resize(std::max<std::size_t>(l.size(), 34), ' ');
        s << l << value << '\n';
    };
    auto number = [](double x, const char* unit) { return formatNumber(x, 6) + " " + unit; };
    if (m.tubeOutletTemperature)
        line("measured tube outlet", number(*m.tubeOutletTemperature, "degC"));
    if (m.shellOutletTemperature)
        line("measured shell outlet", number(*m.shellOutletTemperature, "degC"));
    line("reproduced", e.reproduced ? "yes" : "no");
    if (e.reproduced) {
        line("total fouling (outer surface)", number(e.totalFouling, "m2 K/W"));
        line("  fouling inside", number(e.foulingInside, "m2 K/W"));
        line("  fouling outside", number(e.foulingOutside, "m2 K/W"));
        line("service U", number(e.serviceCoefficient, "W/(m2 K)"));
        line("cleanliness factor", formatNumber(e.cleanlinessFactor, 6));
    }
    line("clean U", number(e.cleanCoefficient, "W/(m2 K)"));
    if (e.measuredTubeDuty) line("duty of the tube outlet", number(*e.measuredTubeDuty, "W"));
    if (e.measuredShellDuty) line("duty of the shell outlet", number(*e.measuredShellDuty, "W"));
    line("duty fitted", number(e.fittedDuty, "W"));
    line("duty of the clean exchanger", number(e.cleanDuty, "W"));
    if (e.heatBalanceMismatch)
        line("heat balance mismatch",
             formatNumber(*e.heatBalanceMismatch * 100, 4) + " %" +
                 (e.heatBalanceMismatched ? " (beyond the tolerance)" : ""));
    line("ratings", std::to_string(e.ratings));
    if (!e.message.empty()) line("note", e.message);
    return s.str();
}

}  // namespace hxrate::design_tool
