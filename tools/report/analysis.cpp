#include "analysis.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <hxrate/case_document.h>
#include <hxrate/case_fields.h>
#include <hxrate/program.h>

namespace hxrate::report {
namespace {

std::optional<double> finite(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    return x;
}

}  // namespace

bool reached(const Rating& r, Stage stage) {
    return static_cast<int>(r.stage) >= static_cast<int>(stage);
}

Report buildReport(std::string_view text, const std::string& casePath,
                   const std::string& caseName) {
    Report rep;
    rep.casePath = casePath;
    rep.caseName = caseName;
    std::string sourceName = std::filesystem::path(casePath).filename().string();
    rep.fromDocument = looksLikeCaseDocument(text);
    CaseDocument document;
    if (rep.fromDocument) {
        document = parseCaseDocument(text, sourceName);
        rep.given = document.given;
        if (!document.extensions.empty()) rep.extensions = document.extensions;
    } else {
        // The case keeps its text and line positions for the text checks.
        document.input = parseCase(text, sourceName, rep.source);
    }
    rep.tubeProperties = document.tubeProperties;
    rep.shellProperties = document.shellProperties;
    // The program's memory limit, shared by the rating and the
    // assessment's ratings on finer grids.
    ExchangerOptions options;
    options.rating = programRateOptions();
    ExchangerRating result = rate(document, options);
    // With a model the values shown are those rated, not the document's constants.
    rep.input = result.ratedCase ? std::move(*result.ratedCase) : document.input;
    rep.propertiesAt = result.propertiesAt;
    rep.tubePropertyTemperature = result.tubePropertyTemperature;
    rep.shellPropertyTemperature = result.shellPropertyTemperature;
    rep.meanIterations = result.meanIterations;
    rep.wallTemperature = result.wallTemperature;
    rep.shellWallViscosity = result.shellWallViscosity;
    rep.propertyProfile = std::move(result.propertyProfile);
    rep.vibration = std::move(result.vibration);
    rep.rating = std::move(result.rating);
    rep.rejectedBy = result.rejectedBy;
    rep.outcome = result.rejectedBy ? Outcome::rejected : Outcome::solved;
    if (rep.extensions) rep.extended = std::move(result.extended);
    static_cast<Assessment&>(rep) = std::move(*result.assessment);
    rep.warnings = std::move(result.warnings);
    return rep;
}

std::vector<InputRow> describeInputs(const Report& r) {
    const Case& c = r.input;
    std::vector<InputRow> rows;
    for (const CaseField& f : caseFields) {
        const CaseLineSource& s = r.source[static_cast<std::size_t>(f.caseLine - 1)];
        InputRow row{.key = std::string(f.name),
                     .field = std::string(f.name),
                     .label = std::string(f.description),
                     .symbol = std::string(f.symbol),
                     .unit = f.unit == "degC" ? "C" : std::string(f.unit),  // as the page spells it
                     .caseLine = f.caseLine,
                     .firstLine = s.firstLine,
                     .lastLine = s.lastLine,
                     .value = std::nullopt,
                     .text = std::nullopt,
                     .fromModel = false};
        std::replace(row.key.begin(), row.key.end(), '.', '_');  // "tube_fluid_density"
        switch (f.kind) {
            case CaseFieldKind::quantity:
            case CaseFieldKind::number:
                row.value = finite(f.real(c));
                break;
            case CaseFieldKind::integer:
                row.value = f.integer(c);
                break;
            case CaseFieldKind::text:
                row.text = f.text(c).substr(0, f.text(c).find_last_not_of(' ') + 1);
                break;
        }
        // Every quantity of a fluid but its name: the properties, and the
        // flow that keeps the inlet's mass flow at the density rated.
        const PropertyModel* model = f.fluid == &Case::tubeFluid    ? &r.tubeProperties
                                     : f.fluid == &Case::shellFluid ? &r.shellProperties
                                                                    : nullptr;
        row.fromModel = model && model->kind != PropertyModelKind::constant &&
                        f.kind == CaseFieldKind::quantity;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string verdict(const Report& r) {
    if (r.outcome == Outcome::rejected)
        return "rejected: " + std::string(checkMessage(*r.rejectedBy));
    int errors = 0, warnings = 0;
    for (const Warning& w : r.warnings) {
        errors += w.severity == Severity::error;
        warnings += w.severity == Severity::warning;
    }
    if (errors == 0 && warnings == 0) return "rated, no warnings or errors";
    std::string text = "rated, but read the ";
    if (errors > 0) text += std::to_string(errors) + (errors > 1 ? " errors" : " error");
    if (errors > 0 && warnings > 0) text += " and ";
    if (warnings > 0) text += std::to_string(warnings) + (warnings > 1 ? " warnings" : " warning");
    return text;
}

}  // namespace hxrate::report
