#include "report_html.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <sstream>

#include <hxrate/report.h>

#include "markup.h"
#include "report_chart.h"
#include "report_json.h"

namespace hxrate::report {
namespace {

std::string withUnit(std::optional<double> x, std::string_view unit, int digits = 4) {
    std::string text = formatNumber(x, digits);
    if (x && std::isfinite(*x) && !unit.empty()) text += " " + std::string(unit);
    return tools::xmlEscape(text);
}

// Units as the page writes them.
std::string prettyUnit(std::string unit) {
    auto replace = [&](std::string_view from, std::string_view to) {
        for (std::size_t at = unit.find(from); at != std::string::npos;
             at = unit.find(from, at + to.size()))
            unit.replace(at, from.size(), to);
    };
    replace("m3", "m³");
    replace("m2", "m²");
    replace("C", "°C");
    replace("Pa s", "Pa·s");
    return unit;
}

const char* style = R"(
:root { --ink: #1b1f24; --muted: #5b6470; --line: #d0d5db; --error: #b3261e; --warning: #9a6700;
        --info: #1f5fa8; }
* { box-sizing: border-box; }
body { font: 10.5pt/1.4 "DejaVu Sans", "Helvetica", "Arial", sans-serif; color: var(--ink);
       margin: 0 auto; padding: 12px 16px; max-width: 190mm; }
h1 { font-size: 16pt; margin: 0 0 2px; }
h2 { font-size: 12.5pt; margin: 18px 0 6px; border-bottom: 1px solid var(--line);
     padding-bottom: 2px; }
p.sub { margin: 0 0 10px; color: var(--muted); }
table { border-collapse: collapse; width: 100%; font-size: 9.5pt; }
th, td { text-align: left; padding: 2px 6px; border-bottom: 1px solid var(--line);
         vertical-align: top; }
th { background: #f2f4f6; font-weight: 600; }
td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
.summary { display: grid; grid-template-columns: repeat(4, 1fr); gap: 6px; margin: 8px 0; }
.summary div { border: 1px solid var(--line); border-radius: 4px; padding: 4px 8px; }
.summary .k { display: block; color: var(--muted); font-size: 8.5pt; }
.summary .v { display: block; font-weight: 600; font-size: 11pt; }
.verdict { padding: 6px 10px; border-radius: 4px; font-weight: 600; margin: 6px 0; }
.verdict.ok { background: #e6f4ea; color: #1e6b34; }
.verdict.warn { background: #fff4d6; color: var(--warning); }
.verdict.bad { background: #fde7e6; color: var(--error); }
ul.warnings { list-style: none; padding: 0; margin: 0; }
ul.warnings li { border-left: 5px solid; padding: 3px 8px; margin: 3px 0; }
li.error { border-color: var(--error); background: #fde7e6; }
li.warning { border-color: var(--warning); background: #fff4d6; }
li.info { border-color: var(--info); background: #e8f0fb; }
.sev { font-weight: 700; text-transform: uppercase; font-size: 8.5pt; margin-right: 6px; }
li.error .sev { color: var(--error); }
li.warning .sev { color: var(--warning); }
li.info .sev { color: var(--info); }
code { font-size: 9pt; }
header.titleblock { border: 1px solid var(--ink); margin: 0 0 8px; }
header.titleblock table { font-size: 9pt; }
header.titleblock th { width: 22%; }
tr.flagged td { background: #fde7e6; font-weight: 600; }
tr.flagged td:first-child { border-left: 4px solid var(--error); }
td.over { color: var(--error); font-weight: 600; }
.note { color: var(--muted); font-size: 9pt; }
svg { width: 100%; height: auto; }
@page { size: A4; margin: 14mm 12mm; }
@media print {
  body { padding: 0; max-width: none; font-size: 9pt; }
  table { font-size: 8pt; }
  th, td { padding: 0 4px; }
  h2 { font-size: 11pt; margin: 8px 0 3px; }
  .summary .v { font-size: 9.5pt; }
  svg { max-height: 75mm; }
  section, table, figure, .summary { break-inside: avoid; }
  h2 { break-after: avoid; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)";

struct Row {
    std::string label;
    std::string value;  // already escaped
    std::string note;
};

void table(std::ostringstream& h, const std::vector<Row>& rows, const char* id = nullptr) {
    h << "<table" << (id ? std::string(" id=\"") + id + "\"" : "") << ">\n";
    for (const Row& r : rows) {
        h << "<tr><th>" << tools::xmlEscape(r.label) << "</th><td class=\"num\">" << r.value
          << "</td><td>" << tools::xmlEscape(r.note) << "</td></tr>\n";
    }
    h << "</table>\n";
}

std::string pressureText(const std::optional<PressureDrop>& d) {
    if (!d) return "not formed";
    return withUnit(d->pressureDrop, "Pa") + (d->estimate ? " (estimate)" : "");
}

// A duty as a magnitude with its direction in words: the sign of the
// assessment's duty says whether the stream gave heat off (positive for the
// tube stream) or took it up (positive for the shell stream).
std::string dutyText(std::optional<double> duty, bool positiveGivesOff, const char* stream) {
    if (!duty) return "not formed";
    std::string text = withUnit(std::fabs(*duty), "W");
    if (*duty == 0) return text;
    bool givesOff = (*duty > 0) == positiveGivesOff;
    return text + " (" + stream + (givesOff ? " stream cooled)" : " stream heated)");
}

// The exchanger with its passes and shells, as it was rated.
std::string typeName(const Report& rep) {
    const Extensions arrangement = rep.extensions.value_or(Extensions{});
    return exchangerName(rep.input.exchangerType, arrangement.tubePasses, arrangement.shells);
}

}  // namespace

std::string propertyModelText(const PropertyModel& m) {
    switch (m.kind) {
        case PropertyModelKind::constant:
            return "constant (the case's values)";
        case PropertyModelKind::table:
            if (m.table.empty()) return "table";
            return "table of " + std::to_string(m.table.size()) + " rows, " +
                   formatNumber(m.table.front().temperature, 6) + " to " +
                   formatNumber(m.table.back().temperature, 6) + " °C";
        case PropertyModelKind::water:
            break;
    }
    return "water (IAPWS-IF97) at " + formatNumber(m.pressure, 6) + " Pa";
}

std::string utcText(long long secondsSinceEpoch) {
    std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm parts{};
    char buffer[64];
    if (!gmtime_r(&t, &parts) ||
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0)
        return {};
    return buffer;
}

std::vector<ResistanceShare> resistanceBreakdown(const Report& rep) {
    const Rating& r = rep.rating;
    if (!reached(r, Stage::shellHeatTransfer)) return {};
    // Every term per unit tube length times 2 pi, as the rating sums them:
    // each fouling layer is Rf over its own surface's radius.
    std::vector<ResistanceShare> parts = {{"tube film", r.tube.filmResistance, 0}};
    const Case& c = rep.input;
    double Do = r.geometry.outerDiameter;
    if (rep.extensions)
        parts.push_back(
            {"fouling inside", rep.extensions->foulingInside / (c.tubeInnerDiameter * 0.5), 0});
    parts.push_back({"wall", r.geometry.wallResistance, 0});
    if (rep.extensions)
        parts.push_back({"fouling outside", rep.extensions->foulingOutside / (Do * 0.5), 0});
    parts.push_back({"shell film", r.shell.filmResistance, 0});
    double total = 0;
    for (const ResistanceShare& p : parts) total += p.perLength;
    if (!(total > 0) || !std::isfinite(total)) return {};
    for (ResistanceShare& p : parts) p.percent = p.perLength / total * 100;
    return parts;
}

std::string formatNumber(std::optional<double> x, int digits) {
    if (!x || !std::isfinite(*x)) return "—";
    char buffer[40];
    double a = std::fabs(*x);
    if (a != 0 && (a < 1e-3 || a >= 1e6)) {
        std::snprintf(buffer, sizeof buffer, "%.*E", digits - 1, *x);
        // Trailing zeros of the mantissa say nothing: 5.000E+06 is 5E+06.
        std::string text = buffer;
        std::size_t e = text.find('E');
        std::size_t last = text.find_last_not_of('0', e - 1);
        if (text[last] == '.') --last;
        return text.substr(0, last + 1) + text.substr(e);
    }
    // Plain decimals in between, `digits` significant and no trailing zeros:
    // 98180 and 3259 alike, never 9.818e+04 beside 3259.
    int exponent = a == 0 ? 0 : static_cast<int>(std::floor(std::log10(a)));
    int decimals = digits - 1 - exponent;
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals > 0 ? decimals : 0, *x);
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

namespace {

// Writes the document head: title, style and a policy that forbids every network request.
void writeHead(std::ostringstream& h, const Report& rep, const PageHeader& header) {
    std::string title = header.title.empty() ? "hxrate report: " + rep.caseName : header.title;
    h << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "style-src 'unsafe-inline'; img-src data:; form-action 'none'; base-uri 'none'\">\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      << "<title>" << tools::xmlEscape(title) << "</title>\n<style>" << style
      << "</style>\n</head>\n<body>\n";
}

// Writes the title block: what was rated, when and by what.
void writeTitleBlock(std::ostringstream& h, const Report& rep, const PageHeader& header) {
    const Case& c = rep.input;
    h << "<header class=\"titleblock\" id=\"titleblock\">\n<h1 id=\"header-title\">"
      << tools::xmlEscape(header.title.empty() ? "Exchanger rating: " + rep.caseName : header.title)
      << "</h1>\n<table>\n";
    auto headerRow = [&](const char* id, const char* key, const std::string& value) {
        if (value.empty()) return;
        h << "<tr><th>" << key << "</th><td id=\"" << id << "\">" << tools::xmlEscape(value)
          << "</td></tr>\n";
    };
    headerRow("header-project", "project", header.project);
    headerRow("header-revision", "revision", header.revision);
    headerRow("header-case", "case file", header.caseFile.empty() ? rep.casePath : header.caseFile);
    headerRow("header-sha256", "SHA-256 of the case file", header.sha256);
    headerRow("header-date", "rated", header.ratedAt);
    headerRow("header-type", "exchanger type",
              typeName(rep) + " (type " + std::to_string(c.exchangerType) + ")");
    headerRow("header-version", "program", "hxrate " + std::string(hxrate::version()));
    h << "</table>\n</header>\n<p class=\"sub\">"
      << (rep.given.empty() ? "SI units: the case is read without conversion"
                            : std::to_string(rep.given.size()) +
                                  " of the document's quantities were given in other units and "
                                  "converted to SI (see the inputs)")
      << "</p>\n";
}

// Writes the verdict and the headline results.
void writeSummary(std::ostringstream& h, const Report& rep) {
    const Rating& r = rep.rating;
    const ThermalSummary& t = rep.thermal;
    bool solved = rep.outcome == Outcome::solved;
    int errors = 0, warnings = 0;
    for (const Warning& w : rep.warnings) {
        errors += w.severity == Severity::error;
        warnings += w.severity == Severity::warning;
    }
    const char* verdictClass = !solved || errors > 0 ? "bad" : (warnings > 0 ? "warn" : "ok");
    h << "<section id=\"summary\">\n<div class=\"verdict " << verdictClass << "\" id=\"verdict\">"
      << tools::xmlEscape(verdict(rep)) << "</div>\n<div class=\"summary\">\n";
    auto cell = [&](const char* id, const char* key, const std::string& value) {
        h << "<div><span class=\"k\">" << key << "</span><span class=\"v\" id=\"" << id << "\">"
          << value << "</span></div>\n";
    };
    // A rejected case forms no outlets, no U and no pressure drop worth
    // showing: what the steps before the check left behind is not a result.
    const std::string notFormed = "not formed";
    cell("summary-type", "exchanger type", tools::xmlEscape(typeName(rep)));
    cell("summary-duty", "heat duty", solved ? dutyText(t.tubeDuty, true, "tube") : notFormed);
    cell("summary-u", "overall coefficient U",
         solved ? withUnit(r.overallCoefficient, "W/(m²·K)") : notFormed);
    cell("summary-area", "heat transfer area", solved ? withUnit(r.area, "m²") : notFormed);
    cell("summary-tube-outlet", "tube outlet",
         solved ? withUnit(r.tubeOutletTemperature, "°C") : notFormed);
    cell("summary-shell-outlet", "shell outlet",
         solved ? withUnit(r.shellOutletTemperature, "°C") : notFormed);
    cell("summary-tube-dp", "tube-side ΔP",
         solved ? pressureText(rep.tubePressureDrop) : notFormed);
    cell("summary-shell-dp", "shell-side ΔP",
         solved ? pressureText(rep.shellPressureDrop) : notFormed);
    h << "</div>\n</section>\n";
}

// Writes the assessment's warnings, errors first.
void writeWarnings(std::ostringstream& h, const Report& rep) {
    h << "<section id=\"warnings\">\n<h2>Warnings</h2>\n";
    if (rep.warnings.empty()) {
        h << "<p>None.</p>\n";
    } else {
        h << "<ul class=\"warnings\">\n";
        for (const Warning& w : rep.warnings) {
            std::string sev(severityName(w.severity));
            h << "<li class=\"" << sev << "\" data-code=\"" << tools::xmlEscape(w.code)
              << "\"><span class=\"sev\">" << sev << "</span><code>" << tools::xmlEscape(w.code)
              << "</code> "
              << (w.caseLine > 0 ? "(case line " + std::to_string(w.caseLine) + ") " : "")
              << tools::xmlEscape(w.message) << "</li>\n";
        }
        h << "</ul>\n";
    }
    h << "</section>\n";
}

// Writes the check that rejected the case and the values that made it.
void writeRejection(std::ostringstream& h, const Report& rep) {
    if (rep.rejectedBy) {
        h << "<section id=\"rejection\">\n<h2>Rejected</h2>\n<p>Run log: <code>"
          << tools::xmlEscape(checkMessage(*rep.rejectedBy)) << "</code> (check <code>"
          << tools::xmlEscape(checkName(*rep.rejectedBy))
          << "</code>). Everything below was computed before the check.</p>\n";
        std::vector<Row> rows;
        for (const Trigger& tr : rep.triggers) {
            std::string note = tr.relation;
            if (tr.limit) note += (note.empty() ? "" : " ") + formatNumber(tr.limit, 6);
            rows.push_back({tr.quantity, tools::xmlEscape(formatNumber(tr.value, 6)), note});
        }
        table(h, rows, "triggers");
        h << "</section>\n";
    }
}

// Writes the case's values line by line, flagging the lines a warning
// concerns; a document's values are labelled by their document field, and
// those it gives in other units are shown as given too.
void writeInputs(std::ostringstream& h, const Report& rep) {
    h << "<section id=\"inputs\">\n<h2>Inputs</h2>\n<table>\n<tr>"
      << (rep.fromDocument ? "<th>document field</th>" : "<th>case line</th><th>file line</th>")
      << "<th>quantity</th><th>symbol</th><th class=\"num\">value</th><th>unit</th>"
      << (rep.fromDocument ? "<th>as given</th>" : "") << "</tr>\n";
    std::set<int> flaggedLines;
    for (const Warning& w : rep.warnings)
        if (w.caseLine > 0 && w.severity != Severity::info) flaggedLines.insert(w.caseLine);
    std::map<std::string, const GivenQuantity*> given;
    for (const GivenQuantity& q : rep.given) given[q.field] = &q;
    bool anyFromModel = false;
    for (const InputRow& row : describeInputs(rep)) {
        bool flagged = row.caseLine > 0 && flaggedLines.contains(row.caseLine);
        anyFromModel |= row.fromModel;
        h << (flagged ? "<tr class=\"flagged\" data-case-line=\"" + std::to_string(row.caseLine) +
                            "\" title=\"a warning concerns this line\">"
                      : std::string("<tr>"));
        if (rep.fromDocument)
            h << "<td><code>case." << tools::xmlEscape(row.field) << "</code></td>";
        else
            h << "<td>" << row.caseLine << "</td><td>" << row.firstLine << "</td>";
        h << "<td>" << tools::xmlEscape(row.label)
          << (row.fromModel ? " <span class=\"note\" data-from-model>(as rated)</span>" : "")
          << "</td><td>" << tools::xmlEscape(row.symbol) << "</td><td class=\"num\">"
          << (row.text ? tools::xmlEscape(*row.text) : tools::xmlEscape(formatNumber(row.value, 6)))
          << "</td><td>" << tools::xmlEscape(prettyUnit(row.unit)) << "</td>";
        if (rep.fromDocument) {
            auto q = given.find("case." + row.field);
            h << "<td>"
              << (q == given.end()
                      ? std::string()
                      : tools::xmlEscape(formatNumber(q->second->value, 6) + " " + q->second->unit))
              << "</td>";
        }
        h << "</tr>\n";
    }
    h << "</table>\n";
    if (anyFromModel)
        h << "<p class=\"note\">Values marked (as rated) come from the stream's property model "
             "at the temperature its properties were taken at (see Fluid properties), the flow "
             "at that density with the inlet's mass flow; the document's constant values are "
             "not used.</p>\n";
    // The extensions' quantities given in other units (the case's are above).
    std::vector<std::vector<std::string>> rows;
    for (const GivenQuantity& q : rep.given)
        if (!q.field.starts_with("case."))
            rows.push_back({tools::xmlEscape(q.field),
                            tools::xmlEscape(formatNumber(q.value, 6) + " " + q.unit),
                            tools::xmlEscape(formatNumber(q.si, 6) + " " + prettyUnit(q.siUnit))});
    if (!rows.empty()) {
        h << "<h3>Extensions given in other units</h3>\n<table id=\"given-units\">\n<tr><th>"
             "document field</th><th>as given</th><th>in SI</th></tr>\n";
        for (const auto& r : rows)
            h << "<tr><td><code>" << r[0] << "</code></td><td>" << r[1] << "</td><td>" << r[2]
              << "</td></tr>\n";
        h << "</table>\n";
    }
    h << "</section>\n";
}

// Writes where each stream's properties came from, where the rating took
// them and the fluids as rated, when a model is not constant.
void writeFluidProperties(std::ostringstream& h, const Report& rep) {
    if (!rep.fromModels()) return;
    h << "<section id=\"fluid-properties\">\n<h2>Fluid properties</h2>\n<table "
         "id=\"fluid-properties-table\">\n<tr><th></th><th>tube side</th><th>shell "
         "side</th></tr>\n";
    auto both = [&](const char* label, const std::string& tube, const std::string& shell) {
        h << "<tr><th>" << label << "</th><td>" << tube << "</td><td>" << shell << "</td></tr>\n";
    };
    both("property model", tools::xmlEscape(propertyModelText(rep.tubeProperties)),
         tools::xmlEscape(propertyModelText(rep.shellProperties)));
    auto takenAt = [](const std::optional<double>& t) {
        return t ? withUnit(t, "°C") : std::string("— (constant)");
    };
    both("properties taken at", takenAt(rep.tubePropertyTemperature),
         takenAt(rep.shellPropertyTemperature));
    const Fluid &t = rep.input.tubeFluid, &s = rep.input.shellFluid;
    both("density ρ", withUnit(t.density, "kg/m³"), withUnit(s.density, "kg/m³"));
    both("viscosity μ", withUnit(t.viscosity, "Pa·s"), withUnit(s.viscosity, "Pa·s"));
    both("conductivity k", withUnit(t.conductivity, "W/(m·K)"),
         withUnit(s.conductivity, "W/(m·K)"));
    both("heat capacity cp", withUnit(t.heatCapacity, "J/(kg·K)"),
         withUnit(s.heatCapacity, "J/(kg·K)"));
    both("volumetric flow", withUnit(t.volumetricFlow, "m³/s"), withUnit(s.volumetricFlow, "m³/s"));
    h << "</table>\n";
    std::string mode;
    switch (rep.propertiesAt) {
        case PropertiesAt::inlet:
            mode = "at each stream's inlet temperature";
            break;
        case PropertiesAt::mean:
            mode =
                "at each stream's bulk mean temperature (inlet + outlet)/2, " +
                std::string(rep.outcome == Outcome::solved ? "settled after " : "rejected after ") +
                std::to_string(rep.meanIterations) +
                (rep.meanIterations == 1 ? " re-rating" : " re-ratings");
            break;
        case PropertiesAt::incremental:
            mode =
                "element by element along the march, from each element's upstream node (the "
                "values above are at the bulk mean temperatures, as the assessment takes them)";
            break;
    }
    std::vector<Row> rows = {
        {"properties taken", tools::xmlEscape(std::string(propertiesAtName(rep.propertiesAt))),
         mode},
        {"shell-side wall temperature",
         rep.wallTemperature ? withUnit(rep.wallTemperature, "°C") : "not formed",
         "film, wall and fouling resistances in series at the streams' mean temperatures"},
        {"shell wall viscosity μw",
         rep.shellWallViscosity ? withUnit(rep.shellWallViscosity, "Pa·s") : "not used",
         "of the (μ/μw)^0.14 corrections"}};
    table(h, rows, "fluid-mode-table");
    h << "</section>\n";
}

// Writes the charts of the properties along the tube that the models gave.
void writePropertyProfile(std::ostringstream& h, const Report& rep) {
    if (!propertiesAlong(rep)) return;
    // Two charts a row, so that the section prints on one sheet.
    h << "<section id=\"property-profile\">\n<h2>Properties along the tubes</h2>\n<div "
         "style=\"display: grid; grid-template-columns: 1fr 1fr; gap: 0 12px\">\n";
    if (rep.tubeProperties.kind != PropertyModelKind::constant)
        h << "<figure style=\"margin: 0\">\n" << viscositySvg(rep, true) << "</figure>\n";
    if (rep.shellProperties.kind != PropertyModelKind::constant)
        h << "<figure style=\"margin: 0\">\n" << viscositySvg(rep, false) << "</figure>\n";
    h << "<figure style=\"margin: 0\">\n"
      << wallTemperatureSvg(rep) << "</figure>\n</div>\n</section>\n";
}

// Writes the geometry the model derived.
void writeGeometry(std::ostringstream& h, const Report& rep) {
    const Rating& r = rep.rating;
    if (reached(r, Stage::geometry)) {
        const Geometry& g = r.geometry;
        h << "<section id=\"geometry\">\n<h2>Derived geometry</h2>\n";
        table(h, {{"tube outer diameter Do", withUnit(g.outerDiameter, "m"), "Di + 2 tw"},
                  {"elements Nel", std::to_string(g.elementCount), "trunc(L/dL)"},
                  {"compartments", std::to_string(g.compartmentCount), "Nb + 1"},
                  {"elements per compartment", std::to_string(g.elementsPerCompartment), ""},
                  {"baffle spacing B", withUnit(g.baffleSpacing, "m"), "L/(Nb + 1)"},
                  {"diagonal pitch SD", withUnit(g.diagonalPitch, "m"), ""},
                  {"bundle cell", withUnit(g.bundleCellSize, "m"), "largest of Do, SL, ST, SD"},
                  {"wall term ln(Do/Di)/kw", withUnit(g.wallResistance, "m·K/W"), ""}});
        h << "</section>\n";
    }
}

// Writes both sides' dimensionless numbers, films and correlations.
void writeFilmCoefficients(std::ostringstream& h, const Report& rep) {
    const Case& c = rep.input;
    const Rating& r = rep.rating;
    if (reached(r, Stage::tubeSide)) {
        bool shell = reached(r, Stage::shellHeatTransfer);
        h << "<section id=\"sides\">\n<h2>Film coefficients</h2>\n<table>\n<tr><th></th>"
             "<th class=\"num\">tube side</th><th class=\"num\">shell side</th></tr>\n";
        auto both = [&](const char* label, std::optional<double> a, std::optional<double> b,
                        const char* unit) {
            h << "<tr><th>" << label << "</th><td class=\"num\">" << withUnit(a, unit)
              << "</td><td class=\"num\">" << (shell ? withUnit(b, unit) : "—") << "</td></tr>\n";
        };
        both("Reynolds number Re", r.tube.reynolds, r.shell.reynolds, "");
        both("Prandtl number Pr", r.tube.prandtl, r.shell.prandtl, "");
        both("Nusselt number Nu", r.tube.nusselt, r.shell.nusselt, "");
        both("friction factor f", r.tube.friction, r.shell.friction, "");
        both("film coefficient h", r.tube.filmCoefficient, r.shell.filmCoefficient, "W/(m²·K)");
        both("film term 1/(h r)", r.tube.filmResistance, r.shell.filmResistance, "m·K/W");
        h << "<tr><th>correlation</th><td>"
          << tools::xmlEscape(correlationText(r.tube.correlation, 0)) << "</td><td>"
          << (shell ? tools::xmlEscape(correlationText(r.shell.correlation, r.shell.bankRow)) : "—")
          << "</td></tr>\n</table>\n";
        if (shell) {
            h << "<p class=\"note\">Shell flow area " << withUnit(r.shell.flowArea, "m²")
              << ", characteristic length " << withUnit(r.shell.characteristicLength, "m");
            if (isCrossFlow(c.exchangerType))
                h << ", velocity in the narrowest gap " << withUnit(r.shell.velocity, "m/s");
            h << ".</p>\n";
        }
        h << "</section>\n";
    }
}

// Writes the solved rating's results and thermal summary.
void writeResults(std::ostringstream& h, const Report& rep) {
    const Case& c = rep.input;
    const Rating& r = rep.rating;
    const ThermalSummary& t = rep.thermal;
    bool solved = rep.outcome == Outcome::solved;
    if (solved) {
        std::vector<Row> rows = {
            {"overall coefficient U (outer surface)", withUnit(r.overallCoefficient, "W/(m²·K)"),
             ""},
            {"heat transfer area A", withUnit(r.area, "m²"), "Nt π L Do"},
            {"UA", withUnit(t.UA, "W/K"), ""},
            {"conductance per length UA'", withUnit(r.conductancePerLength, "W/(m·K)"), ""},
            {"tube mass flow", withUnit(r.tubeMassFlow, "kg/s"), ""},
            {"shell mass flow", withUnit(r.shellMassFlow, "kg/s"), ""},
            {"tube outlet temperature", withUnit(r.tubeOutletTemperature, "°C"), ""},
            {"shell outlet temperature", withUnit(r.shellOutletTemperature, "°C"), ""}};
        if (isCrossFlow(c.exchangerType))
            rows.push_back({"shell exit temperature (as the results file prints it)",
                            withUnit(r.shellExitTemperature, "°C"), ""});
        rows.push_back({"duty of the tube stream", dutyText(t.tubeDuty, true, "tube"), ""});
        rows.push_back({"duty of the shell stream", dutyText(t.shellDuty, false, "shell"), ""});
        rows.push_back(
            {"balance |Qt − Qs| / max",
             withUnit(t.imbalance ? std::optional<double>(*t.imbalance * 100) : std::nullopt, "%"),
             ""});
        rows.push_back({"effectiveness ε (from the outlets)", withUnit(t.effectiveness, ""), ""});
        rows.push_back(
            {"ideal ε, same UA", withUnit(t.idealEffectiveness, ""),
             t.idealCounterCurrent ? "counter-current closed form" : "co-current closed form"});
        rows.push_back({"NTU = UA/Cmin", withUnit(t.ntu, ""), ""});
        rows.push_back({"capacity ratio Cmin/Cmax", withUnit(t.capacityRatio, ""), ""});
        rows.push_back({"log-mean temperature difference", withUnit(t.lmtd, "K"), ""});
        rows.push_back({"shooting passes", std::to_string(r.shootingPasses), ""});
        h << "<section id=\"results\">\n<h2>Results</h2>\n";
        table(h, rows);
        h << "</section>\n";
    }
}

// Writes the shares of the overall thermal resistance.
void writeResistance(std::ostringstream& h, const Report& rep) {
    bool solved = rep.outcome == Outcome::solved;
    if (std::vector<ResistanceShare> shares = resistanceBreakdown(rep); solved && !shares.empty()) {
        h << "<section id=\"resistance\">\n<h2>Thermal resistance</h2>\n<table "
             "id=\"resistance-table\">\n<tr><th>part</th><th class=\"num\">per length × 2π "
             "(m·K/W)</th><th class=\"num\">share</th></tr>\n";
        for (const ResistanceShare& p : shares)
            h << "<tr><th>" << p.part << "</th><td class=\"num\">"
              << tools::xmlEscape(formatNumber(p.perLength)) << "</td><td class=\"num\">"
              << tools::xmlEscape(formatNumber(p.percent, 3)) << " %</td></tr>\n";
        h << "</table>\n</section>\n";
    }
}

// Writes the extensions and what they gave.
void writeExtensions(std::ostringstream& h, const Report& rep) {
    if (rep.extensions) {
        const Extensions& e = *rep.extensions;
        std::vector<Row> rows = {
            {"fouling resistance inside Rf_i", withUnit(e.foulingInside, "m²·K/W"),
             "on the tube's inner surface"},
            {"fouling resistance outside Rf_o", withUnit(e.foulingOutside, "m²·K/W"),
             "on the tube's outer surface"},
            {"tube passes", std::to_string(e.tubePasses), ""},
            {"shells in series", std::to_string(e.shells), ""},
            {"shell-side method",
             tools::xmlEscape(e.shellSide == ShellSideMethod::bellDelaware ? "Bell–Delaware"
                                                                           : "the program's"),
             ""}};
        if (const std::optional<ExtendedQuantities>& x = rep.extended) {
            rows.push_back({"clean U", withUnit(x->cleanCoefficient, "W/(m²·K)"), "outer surface"});
            rows.push_back({"service U", withUnit(x->serviceCoefficient, "W/(m²·K)"),
                            "with fouling; cleanliness " + formatNumber(x->cleanlinessFactor)});
            rows.push_back({"over-surface", withUnit(x->overSurfacePercent, "%"), ""});
            rows.push_back({"LMTD correction F", withUnit(x->lmtdCorrection, ""),
                            "P1 = " + formatNumber(x->p1) + ", R1 = " + formatNumber(x->r1) +
                                ", NTU1 = " + formatNumber(x->ntu1)});
            rows.push_back({"tube-side pressure drop over the passes",
                            withUnit(x->tubePressureDrop, "Pa"),
                            "friction " + formatNumber(x->tubeFrictionDrop) + " Pa, returns " +
                                formatNumber(x->tubeReturnDrop) + " Pa"});
        }
        h << "<section id=\"extensions\">\n<h2>Extensions</h2>\n";
        table(h, rows, "extensions-table");
        h << "</section>\n";
    }
}

// Writes both sides' frictional pressure drops and how they were formed.
void writePressureDrops(std::ostringstream& h, const Report& rep) {
    bool solved = rep.outcome == Outcome::solved;
    h << "<section id=\"pressure\">\n<h2>Pressure drops</h2>\n<p class=\"note\">Frictional only: "
         "nozzles, entry and exit losses are not included.</p>\n";
    {
        std::vector<Row> rows;
        auto add = [&](const char* side, const std::optional<PressureDrop>& d) {
            if (!d || !solved) {
                rows.push_back({side, "—", "not formed"});
                return;
            }
            const Extensions arrangement = rep.extensions.value_or(Extensions{});
            std::string how;
            if (d->method == PressureDropMethod::bellDelaware) {
                how =
                    "Bell–Delaware: cross flow, windows and end zones with the leakage and "
                    "bypass corrections, Re = " +
                    formatNumber(d->reynolds);
            } else if (d->method == PressureDropMethod::kern) {
                how = "Kern's method (estimate), f = exp(0.576 − 0.19 ln Re_s), De = " +
                      formatNumber(d->diameter) + " m, G = " + formatNumber(d->massVelocity) +
                      " kg/(m²·s), Re_s = " + formatNumber(d->reynolds) +
                      ", no wall-viscosity correction";
            } else {
                how = "Darcy–Weisbach f (L/D) ρ v²/2 on D = " + formatNumber(d->diameter) +
                      " m, L = " + formatNumber(d->length) +
                      " m, v = " + formatNumber(d->velocity) +
                      " m/s, Re = " + formatNumber(d->reynolds);
                if (std::string_view(side) == "tube side" && !arrangement.empty())
                    how += ", with 4 velocity heads a pass for the returns";
            }
            if (std::string_view(side) == "shell side" && arrangement.shells > 1)
                how += "; through " + std::to_string(arrangement.shells) + " shells";
            // Bell-Delaware forms its drops from the ideal-bank f of each section.
            if (d->method != PressureDropMethod::bellDelaware)
                how += "; f = " + formatNumber(d->friction) + " from " +
                       std::string(frictionSourceText(d->frictionSource));
            rows.push_back({side, withUnit(d->pressureDrop, "Pa"), how});
        };
        add("tube side", rep.tubePressureDrop);
        add("shell side", rep.shellPressureDrop);
        table(h, rows, "pressure-table");
    }
    h << "</section>\n";
}

// The value a warning of the vibration screening names, if it is among them.
std::optional<double> warningValue(const VibrationScreening& v, std::string_view code,
                                   std::string_view name) {
    for (const Warning& w : v.warnings)
        if (w.code == code)
            for (const WarningValue& x : w.values)
                if (x.name == name) return x.value;
    return std::nullopt;
}

// Writes the flow-induced vibration screening: each kind of span against
// its limits, the tube and fluids the screening took, the chart of
// V/V_crit and, for a gas, the shell's acoustic check.
void writeVibration(std::ostringstream& h, const Report& rep) {
    if (!rep.vibration) return;
    const VibrationScreening& v = *rep.vibration;
    h << "<section id=\"vibration\">\n<h2>Flow-induced vibration</h2>\n<p "
         "id=\"vibration-verdict\">";
    if (v.worstSpan < v.spans.size()) {
        const VibrationSpan& worst = v.spans[v.worstSpan];
        h << "Worst span: " << tools::xmlEscape(worst.name)
          << ", V/V<sub>crit</sub> = " << tools::xmlEscape(formatNumber(worst.velocityRatio))
          << " against the limit " << tools::xmlEscape(formatNumber(v.velocityRatioLimit)) << ". ";
    }
    h << (v.passes() ? "The screening passes."
                     : "<strong>The screening fails</strong>: see the warnings.")
      << "</p>\n<table id=\"vibration-spans\">\n<tr><th>span</th><th class=\"num\">L (m)</th>"
         "<th>ends</th><th class=\"num\">f<sub>n</sub> (Hz)</th><th class=\"num\">f<sub>vs</sub> "
         "(Hz)</th><th class=\"num\">V (m/s)</th><th class=\"num\">V<sub>crit</sub> "
         "(m/s)</th><th class=\"num\">V/V<sub>crit</sub></th><th class=\"num\">vortex "
         "(mm)</th><th class=\"num\">buffeting rms (mm)</th></tr>\n";
    auto millimetres = [](double x) { return tools::xmlEscape(formatNumber(x * 1000, 3)); };
    // An amplitude is red where its warning names it: vortex shedding only
    // where it locks in near the span's frequency, buffeting wherever it
    // passes the allowed amplitude.
    const std::optional<double> vortexNamed = warningValue(v, "vortex-shedding", "amplitude");
    const bool buffets = warningValue(v, "turbulent-buffeting", "amplitude").has_value();
    auto amplitude = [&](double x, bool over) {
        return std::string(over ? "<td class=\"num over\">" : "<td class=\"num\">") +
               millimetres(x) + "</td>";
    };
    for (const VibrationSpan& span : v.spans) {
        const bool over = span.velocityRatio >= v.velocityRatioLimit;
        h << (over ? "<tr class=\"flagged\" title=\"at or above the limit of V/V_crit\">" : "<tr>")
          << "<td>" << tools::xmlEscape(span.name)
          << (span.count > 1 ? " ×" + std::to_string(span.count) : std::string())
          << "</td><td class=\"num\">" << tools::xmlEscape(formatNumber(span.length)) << "</td><td>"
          << spanEndName(span.startEnd) << "–" << spanEndName(span.endEnd)
          << "</td><td class=\"num\">" << tools::xmlEscape(formatNumber(span.naturalFrequency))
          << "</td><td class=\"num\">" << tools::xmlEscape(formatNumber(span.vortexFrequency))
          << "</td><td class=\"num\">" << tools::xmlEscape(formatNumber(span.velocity))
          << "</td><td class=\"num\">" << tools::xmlEscape(formatNumber(span.criticalVelocity))
          << "</td><td class=\"num\">" << tools::xmlEscape(formatNumber(span.velocityRatio))
          << "</td>" << amplitude(span.vortexAmplitude, vortexNamed == span.vortexAmplitude)
          << amplitude(span.buffetingAmplitude,
                       buffets && span.buffetingAmplitude > v.allowedAmplitude)
          << "</tr>\n";
    }
    h << "</table>\n<p class=\"note\">Amplitudes at mid-span; allowed "
      << millimetres(v.allowedAmplitude)
      << " mm. Vortex shedding counts only where f<sub>vs</sub> is within 20 % of the span's "
         "f<sub>n</sub>.</p>\n";
    // Two quantities a row, so that the section prints on one sheet.
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"tube material", tools::xmlEscape(v.material)},
        {"elastic modulus E", withUnit(v.elasticModulus, "Pa")},
        {"tube density", withUnit(v.tubeDensity, "kg/m³")},
        {"moment of inertia I", withUnit(v.momentOfInertia, "m⁴")},
        {"pitch", withUnit(v.pitch, "m") + " (" + std::to_string(v.layoutAngle) + "° layout)"},
        {"smallest gap", withUnit(v.gap, "m")},
        {"shell fluid",
         withUnit(v.shellDensity, "kg/m³") + ", " + std::string(shellPhaseName(v.shellPhase))},
        {"limit of V/V_crit", withUnit(v.velocityRatioLimit, "")},
        {"tube metal", withUnit(v.tubeMass, "kg/m")},
        {"tube fluid inside", withUnit(v.insideMass, "kg/m")},
        {"added mass", withUnit(v.addedMass, "kg/m") + " (C<sub>m</sub> = " +
                           tools::xmlEscape(formatNumber(v.addedMassCoefficient)) + ")"},
        {"effective mass m", withUnit(v.effectiveMass, "kg/m")},
        {"log decrement δ", withUnit(v.logDecrement, "")},
        {"Connors constant K", withUnit(v.connorsConstant, "")},
        {"mass-damping m δ/(ρ Do²)", withUnit(v.massDampingParameter, "")},
        {"Strouhal number St", withUnit(v.strouhalNumber, "")},
        {"lift coefficient C<sub>L</sub>", withUnit(v.liftCoefficient, "")},
        {"buffeting spectrum", withUnit(v.buffetingSpectrum, "")},
    };
    h << "<table id=\"vibration-inputs\">\n";
    for (std::size_t i = 0; i < inputs.size(); i += 2) {
        h << "<tr><th>" << inputs[i].first << "</th><td class=\"num\">" << inputs[i].second
          << "</td>";
        if (i + 1 < inputs.size())
            h << "<th>" << inputs[i + 1].first << "</th><td class=\"num\">" << inputs[i + 1].second
              << "</td>";
        h << "</tr>\n";
    }
    h << "</table>\n<figure style=\"margin: 6px 0 0\">\n" << vibrationSvg(v) << "</figure>\n";
    if (const std::optional<AcousticCheck>& a = v.acoustic) {
        std::string modes;
        for (double f : a->modes) modes += (modes.empty() ? "" : ", ") + formatNumber(f);
        table(h,
              {{"speed of sound c", withUnit(a->speedOfSound, "m/s"),
                "through the bundle " + formatNumber(a->effectiveSpeedOfSound) + " m/s"},
               {"acoustic modes f_a", tools::xmlEscape(modes + " Hz"),
                "transverse, across the shell"},
               {"turbulent buffeting f_tb", withUnit(a->buffetingFrequency, "Hz"),
                "of the central span's velocity"},
               {"nearest to a mode", withUnit(a->closestMargin * 100, "%", 3),
                a->closestSource + " and mode " + std::to_string(a->closestMode) +
                    "; within 20 % it may resonate"}},
              "vibration-acoustic");
    } else if (v.shellPhase == ShellPhase::gas) {
        h << "<p class=\"note\">The shell's acoustic resonance is not screened: give the gas's "
             "speed of sound or its pressure.</p>\n";
    }
    h << "</section>\n";
}

// Writes the grid, the discretisation estimate and the shooting.
void writeNumerics(std::ostringstream& h, const Report& rep) {
    const Case& c = rep.input;
    const Rating& r = rep.rating;
    h << "<section id=\"numerics\">\n<h2>Numerics</h2>\n";
    {
        const Discretisation& d = rep.discretisation;
        std::vector<Row> rows = {
            {"element length dL", withUnit(c.elementLength, "m"), ""},
            {"elements",
             reached(r, Stage::geometry) ? std::to_string(r.geometry.elementCount) : "—", ""}};
        if (d.formed) {
            rows.push_back(
                {"discretisation estimate", withUnit(d.estimate, "K", 3),
                 "largest outlet change from dL to dL/2 = " + formatNumber(d.halfElementLength) +
                     " m (tube " + formatNumber(d.tubeOutletDifference, 3) + " K, shell " +
                     formatNumber(d.shellOutletDifference, 3) + " K)"});
        } else {
            rows.push_back(
                {"discretisation estimate", "—", d.note.empty() ? "not formed" : d.note});
        }
        const ShootingAdvice& s = rep.shooting;
        if (s.applies) {
            rows.push_back({"correction factor", withUnit(c.correctionFactor, "", 6),
                            std::to_string(r.shootingPasses) + " shooting passes"});
            if (s.advisedFactor) {
                rows.push_back({"advised correction factor", withUnit(s.advisedFactor, "", 6),
                                (s.advisedPasses ? std::to_string(*s.advisedPasses) + " passes; "
                                                 : std::string()) +
                                    "fastest UA'/slope = " + formatNumber(s.fastestFactor, 6)});
            }
        }
        table(h, rows, "numerics-table");
    }
    h << "</section>\n";
}

}  // namespace

std::string reportHtml(const Report& rep, const PageHeader& header) {
    const Rating& r = rep.rating;
    bool solved = rep.outcome == Outcome::solved;
    std::ostringstream h;
    writeHead(h, rep, header);
    writeTitleBlock(h, rep, header);
    writeSummary(h, rep);
    writeWarnings(h, rep);
    writeRejection(h, rep);
    writeInputs(h, rep);
    writeFluidProperties(h, rep);
    writeGeometry(h, rep);
    writeFilmCoefficients(h, rep);
    writeResults(h, rep);
    writeResistance(h, rep);
    writeExtensions(h, rep);
    writePressureDrops(h, rep);
    writeVibration(h, rep);
    if (solved && !r.profile.location.empty()) {
        h << "<section id=\"profile\">\n<h2>Temperature profile</h2>\n<figure>\n"
          << profileSvg(rep) << "</figure>\n</section>\n";
    }
    writePropertyProfile(h, rep);
    writeNumerics(h, rep);
    h << header.appendix << "</body>\n</html>\n";
    // Every text of the case is escaped; this keeps the page valid UTF-8 whatever slips by.
    return tools::validUtf8(h.str());
}

}  // namespace hxrate::report
