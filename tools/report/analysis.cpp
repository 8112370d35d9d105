#include "analysis.h"

#include <cmath>
#include <filesystem>

#include <hxrate/case_document.h>

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
        if (!document.extensions.empty()) rep.extensions = std::move(document.extensions);
    } else {
        rep.input = parseCase(text, sourceName, rep.source);
    }
    try {
        if (rep.extensions) {
            rep.extended = rateExtended(rep.input, *rep.extensions);
            rep.rating = rep.extended->rating;
        } else {
            rep.rating = rate(rep.input);
        }
    } catch (const CaseRejected& rejected) {
        rep.outcome = Outcome::rejected;
        rep.rejectedBy = rejected.check();
        if (rejected.partial()) rep.rating = *rejected.partial();
    }
    AssessOptions options;
    if (!rep.fromDocument) {
        options.text = text;
        options.source = rep.source;
    }
    // The discretisation estimate re-rates the case without its extensions,
    // so it would describe another exchanger than the one rated.
    if (rep.extensions) options.grids = 0;
    options.shellWallViscosity = shellWallViscosity;
    options.rejectedBy = rep.rejectedBy;
    static_cast<Assessment&>(rep) = assess(rep.input, rep.rating, options);
    if (rep.extensions)
        rep.discretisation.note = "not formed: it would re-rate the case without its extensions";
    return rep;
}

std::vector<InputRow> describeInputs(const Case& c, const CaseSource& source) {
    std::vector<InputRow> rows;
    auto add = [&](int line, std::string key, std::string label, std::string symbol,
                   std::string unit, double value) {
        const CaseLineSource& s = source[static_cast<std::size_t>(line - 1)];
        rows.push_back({std::move(key), std::move(label), std::move(symbol), std::move(unit), line,
                        s.firstLine, s.lastLine, finite(value), std::nullopt});
    };
    auto addText = [&](int line, std::string key, std::string label, const std::string& text) {
        const CaseLineSource& s = source[static_cast<std::size_t>(line - 1)];
        std::string trimmed = text.substr(0, text.find_last_not_of(' ') + 1);
        rows.push_back({std::move(key), std::move(label), "", "", line, s.firstLine, s.lastLine,
                        std::nullopt, trimmed});
    };
    add(1, "exchanger_type", "exchanger type", "", "", c.exchangerType);
    add(2, "tube_inner_diameter", "tube inner diameter", "Di", "m", c.tubeInnerDiameter);
    add(3, "inner_roughness", "inner roughness", "eps", "m", c.innerRoughness);
    add(4, "tube_length", "tube length", "L", "m", c.tubeLength);
    add(5, "element_length", "element length", "dL", "m", c.elementLength);
    add(6, "shell_inner_diameter", "shell inner diameter", "Ds", "m", c.shellInnerDiameter);
    add(7, "bundle_arrangement", "bundle arrangement (0 inline, 1 staggered)", "", "",
        c.bundleArrangement);
    add(8, "tube_count", "tube count", "Nt", "", c.tubeCount);
    add(9, "longitudinal_pitch", "longitudinal pitch", "SL", "m", c.longitudinalPitch);
    add(10, "transverse_pitch", "transverse pitch", "ST", "m", c.transversePitch);
    add(11, "baffle_count", "baffle count", "Nb", "", c.baffleCount);
    addText(13, "wall_material", "wall material", c.wallMaterial);
    add(13, "wall_conductivity", "wall conductivity", "kw", "W/(m K)", c.wallConductivity);
    add(13, "wall_thickness", "wall thickness", "tw", "m", c.wallThickness);
    for (int side = 0; side < 2; ++side) {
        const Fluid& f = side == 0 ? c.tubeFluid : c.shellFluid;
        int line = side == 0 ? 15 : 16;
        std::string key = side == 0 ? "tube_fluid_" : "shell_fluid_";
        std::string who = side == 0 ? "tube fluid " : "shell fluid ";
        std::string sub = side == 0 ? "_i" : "_o";
        addText(line, key + "name", who + "name", f.name);
        add(line, key + "density", who + "density", "rho" + sub, "kg/m3", f.density);
        add(line, key + "viscosity", who + "viscosity", "mu" + sub, "Pa s", f.viscosity);
        add(line, key + "conductivity", who + "conductivity", "k" + sub, "W/(m K)", f.conductivity);
        add(line, key + "heat_capacity", who + "heat capacity", "cp" + sub, "J/(kg K)",
            f.heatCapacity);
        add(line, key + "volumetric_flow", who + "volumetric flow (whole stream)", "Q" + sub,
            "m3/s", f.volumetricFlow);
    }
    add(18, "tube_inlet_temperature", "tube inlet temperature", "Tt_in", "C",
        c.tubeInletTemperature);
    add(19, "shell_inlet_temperature", "shell inlet temperature", "Ts_in", "C",
        c.shellInletTemperature);
    add(21, "correction_factor", "correction factor of the shooting", "corr", "W/(m K)",
        c.correctionFactor);
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
