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
    std::optional<double> shellWallViscosity;  // also without other extensions
    if (rep.fromDocument) {
        CaseDocument document = parseCaseDocument(text, sourceName);
        shellWallViscosity = document.extensions.shellWallViscosity;
        rep.input = std::move(document.input);
        rep.given = std::move(document.given);
        if (!document.extensions.empty()) rep.extensions = std::move(document.extensions);
    } else {
        rep.input = parseCase(text, sourceName, rep.source);
    }
    // The program's memory limit, shared by the rating and the
    // assessment's ratings on finer grids.
    const RateOptions rating = programRateOptions();
    StorageReservation held(rating.storageBudget);
    try {
        if (rep.extensions) {
            rep.extended = rateExtended(rep.input, *rep.extensions, rating);
            rep.rating = rep.extended->rating;
        } else {
            rep.rating = rate(rep.input, rating);
        }
        // Kept while the assessment rates again (the extended rating's copy too).
        (void)held.reserve(profileBytes(rep.rating) * (rep.extended ? 2 : 1));
    } catch (const CaseRejected& rejected) {
        rep.outcome = Outcome::rejected;
        rep.rejectedBy = rejected.check();
        if (rejected.partial()) rep.rating = *rejected.partial();
    }
    AssessOptions options;
    options.rating = rating;
    if (!rep.fromDocument) {
        options.text = text;
        options.source = rep.source;
    }
    // The discretisation estimate re-rates the case without its extensions,
    // so it would describe another exchanger than the one rated.
    if (rep.extensions) options.grids = 0;
    options.shellWallViscosity = shellWallViscosity;
    options.withExtensions = rep.extensions.has_value();
    if (rep.extended) options.bellDelaware = rep.extended->bellDelaware;
    options.rejectedBy = rep.rejectedBy;
    static_cast<Assessment&>(rep) = assess(rep.input, rep.rating, options);
    if (rep.extensions)
        rep.discretisation.note = "not formed: it would re-rate the case without its extensions";
    // The tube side through every pass and shell, as the extended rating
    // formed it: the assessment's own drop is that of one tube length at the
    // velocity of one pass through all the tubes, which belongs to neither.
    if (rep.extended && rep.tubePressureDrop) {
        const Extensions& x = *rep.extensions;
        rep.tubePressureDrop->pressureDrop = rep.extended->tubePressureDrop;
        rep.tubePressureDrop->velocity = rep.extended->tubeVelocity;
        rep.tubePressureDrop->length = x.tubePasses * x.shells * rep.input.tubeLength;
    }
    return rep;
}

std::vector<InputRow> describeInputs(const Case& c, const CaseSource& source) {
    std::vector<InputRow> rows;
    for (const CaseField& f : caseFields) {
        const CaseLineSource& s = source[static_cast<std::size_t>(f.caseLine - 1)];
        InputRow row{.key = std::string(f.name),
                     .field = std::string(f.name),
                     .label = std::string(f.description),
                     .symbol = std::string(f.symbol),
                     .unit = f.unit == "degC" ? "C" : std::string(f.unit),  // as the page spells it
                     .caseLine = f.caseLine,
                     .firstLine = s.firstLine,
                     .lastLine = s.lastLine,
                     .value = std::nullopt,
                     .text = std::nullopt};
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
