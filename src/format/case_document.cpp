// The case document: a case and its extensions as versioned JSON. Reading
// and writing both walk the one table of case fields (hxrate/case_fields.h),
// so the two cannot drift apart.
#include "hxrate/case_document.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "format/case_reader.h"
#include "format/json_document.h"
#include "format/units.h"
#include "hxrate/case_fields.h"
#include "hxrate/errors.h"
#include "hxrate/fluid_properties.h"
#include "hxrate/vibration.h"

namespace hxrate {

namespace document {
namespace {

constexpr std::string_view documentFormat = "hxrate-case";
constexpr std::string_view kind = "case document";
// The keys of a fluid's property model, beside its case values.
constexpr std::array<std::string_view, 3> modelKeys = {"model", "table", "pressure"};

// ---- reading ----------------------------------------------------------------

// The stream's density, read before its flow, for a flow given by mass.
const double* massFlowDensity(Case& c, const CaseField& f) {
    if (f.unit != "m3/s" || f.record().empty()) return nullptr;
    std::string name = std::string(f.record()) + ".density";
    const CaseField* density = findCaseField(name);
    return density != nullptr ? &density->real(c) : nullptr;
}

// Reads field `f` from `object` (at `path`) into the case.
void fill(const Reader& r, Case& c, const Json& object, const std::string& path,
          const CaseField& f) {
    const Json& v = r.member(object, path, f.member(), f.caseLine);
    std::string at = Reader::join(path, f.member());
    switch (f.kind) {
        case CaseFieldKind::number:
            f.real(c) = r.real(v, at, f.caseLine);
            break;
        case CaseFieldKind::quantity:
            f.real(c) = r.quantity(v, at, f.unit, f.caseLine, massFlowDensity(c, f));
            break;
        case CaseFieldKind::integer:
            f.integer(c) = r.integer(v, at, f.caseLine);
            break;
        case CaseFieldKind::text:
            f.text(c) = r.text(v, at, f.caseLine);
            break;
    }
}

// The case object: the case's own fields, and each fluid's as an object of
// its own under the fluid's name.
Case readCaseValues(const Reader& r, const Json& j) {
    const std::string path = "case";
    r.object(j, path);
    Case c;
    std::vector<std::string_view> known;        // the keys of the case object
    std::vector<std::string_view> recordKnown;  // those of the fluid being read
    std::string_view record;
    const Json* object = &j;
    std::string at = path;
    for (const CaseField& f : caseFields) {
        if (f.record() != record) {
            if (!record.empty()) r.onlyKnown(*object, at, recordKnown);
            record = f.record();
            // A fluid's property model beside its case values (readModel).
            recordKnown.assign(modelKeys.begin(), modelKeys.end());
            object = &j;
            at = path;
            if (!record.empty()) {
                known.push_back(record);
                at = Reader::join(path, record);
                object = &r.object(r.member(j, path, record, f.caseLine), at, f.caseLine);
            }
        }
        (record.empty() ? known : recordKnown).push_back(f.member());
        fill(r, c, *object, at, f);
    }
    if (!record.empty()) r.onlyKnown(*object, at, recordKnown);
    r.onlyKnown(j, path, known);
    return c;
}

// The fluid's property model under the fluid's object `record` of the case
// object.
PropertyModel readModel(const Reader& r, const Json& caseObject, std::string_view record) {
    return readPropertyModel(r, caseObject[std::string(record)], "case." + std::string(record),
                             record.substr(0, record.find('_')));
}

// A stream's flow given as a mass flow: the reader turned it into a
// volumetric flow through the case's density, but a stream with a property
// model has the model's density at its inlet, and the mass flow given must
// stay the stream's (the rating keeps rho(T_in) Q_in). `record` is the
// fluid's, `inlet` its inlet temperature, degC.
void massFlowThroughModel(const Reader& r, std::string_view record, const PropertyModel& m,
                          Fluid& f, double inlet) {
    if (m.kind == PropertyModelKind::constant) return;
    const std::string path = "case." + std::string(record) + ".volumetric_flow";
    for (GivenQuantity& g : r.given()) {
        if (g.field != path) continue;
        UnitConversion mass = convertToSi(g.value, g.unit, "kg/s");
        if (!mass.converted) return;  // given as a volumetric flow
        double rho = 0;
        try {
            rho = propertiesAt(m, f, inlet, record.substr(0, record.find('_'))).density;
        } catch (const InvalidArgument& e) {
            r.refuse(path, std::string("a mass flow needs the stream's density at its inlet: ") +
                               e.what());
        }
        // Q = m / rho(T_in), as the reader does with a constant density.
        f.volumetricFlow = mass.value / rho;
        g.si = f.volumetricFlow;
        return;
    }
}

// The vibration object's fields with a unit, and those without one.
struct VibrationQuantity {
    const char* name;
    std::optional<double> VibrationInput::*member;
    const char* unit;
};
constexpr VibrationQuantity vibrationQuantities[] = {
    {"elastic_modulus", &VibrationInput::elasticModulus, "Pa"},
    {"tube_density", &VibrationInput::tubeDensity, "kg/m3"},
    {"speed_of_sound", &VibrationInput::speedOfSound, "m/s"},
    {"pressure", &VibrationInput::pressure, "Pa"},
};
constexpr std::pair<const char*, std::optional<double> VibrationInput::*> vibrationNumbers[] = {
    {"log_decrement", &VibrationInput::logDecrement},
    {"connors_constant", &VibrationInput::connorsConstant},
    {"strouhal_number", &VibrationInput::strouhalNumber},
    {"lift_coefficient", &VibrationInput::liftCoefficient},
    {"buffeting_spectrum", &VibrationInput::buffetingSpectrum},
    {"allowed_gap_fraction", &VibrationInput::allowedGapFraction},
};
const std::vector<std::string_view> vibrationFields = {"material",
                                                       "shell_phase",
                                                       "elastic_modulus",
                                                       "tube_density",
                                                       "speed_of_sound",
                                                       "pressure",
                                                       "log_decrement",
                                                       "connors_constant",
                                                       "strouhal_number",
                                                       "lift_coefficient",
                                                       "buffeting_spectrum",
                                                       "allowed_gap_fraction",
                                                       "velocity_ratio_limit",
                                                       "heat_capacity_ratio"};

BaffleGeometry readBaffles(const Reader& r, const Json& j) {
    const std::string path = "extensions.baffles";
    r.object(j, path);
    r.onlyKnown(j, path,
                {"baffle_cut", "shell_to_baffle_clearance", "tube_to_baffle_clearance",
                 "bundle_to_shell_clearance", "sealing_strip_pairs", "inlet_baffle_spacing",
                 "outlet_baffle_spacing", "layout_angle"});
    BaffleGeometry b;
    auto at = [&](std::string_view name) { return Reader::join(path, name); };
    if (j.contains("baffle_cut")) b.baffleCut = r.real(j["baffle_cut"], at("baffle_cut"), 0);
    if (j.contains("sealing_strip_pairs"))
        b.sealingStripPairs = r.integer(j["sealing_strip_pairs"], at("sealing_strip_pairs"), 0);
    if (j.contains("layout_angle"))
        b.layoutAngle = r.integer(j["layout_angle"], at("layout_angle"), 0);
    for (auto [name, member] :
         {std::pair{"shell_to_baffle_clearance", &BaffleGeometry::shellToBaffleClearance},
          std::pair{"tube_to_baffle_clearance", &BaffleGeometry::tubeToBaffleClearance},
          std::pair{"bundle_to_shell_clearance", &BaffleGeometry::bundleToShellClearance},
          std::pair{"inlet_baffle_spacing", &BaffleGeometry::inletBaffleSpacing},
          std::pair{"outlet_baffle_spacing", &BaffleGeometry::outletBaffleSpacing}}) {
        if (j.contains(name)) b.*member = r.quantity(j[name], at(name), "m", 0);
    }
    return b;
}

Extensions readExtensions(const Reader& r, const Json& j) {
    const std::string path = "extensions";
    r.object(j, path);
    r.onlyKnown(j, path,
                {"fouling_inside", "fouling_outside", "tube_passes", "shells", "shell_side",
                 "baffles", "shell_wall_viscosity"});
    Extensions e;
    auto at = [&](std::string_view name) { return Reader::join(path, name); };
    if (j.contains("fouling_inside"))
        e.foulingInside = r.quantity(j["fouling_inside"], at("fouling_inside"), "m2 K/W", 0);
    if (j.contains("fouling_outside"))
        e.foulingOutside = r.quantity(j["fouling_outside"], at("fouling_outside"), "m2 K/W", 0);
    if (j.contains("tube_passes")) e.tubePasses = r.integer(j["tube_passes"], at("tube_passes"), 0);
    if (j.contains("shells")) e.shells = r.integer(j["shells"], at("shells"), 0);
    if (j.contains("shell_side")) {
        const Json& s = j["shell_side"];
        if (s == "bell-delaware")
            e.shellSide = ShellSideMethod::bellDelaware;
        else if (s != "program")
            r.refuse(at("shell_side"), "must be \"program\" or \"bell-delaware\"");
    }
    if (j.contains("baffles")) e.baffles = readBaffles(r, j["baffles"]);
    if (j.contains("shell_wall_viscosity")) {
        // A viscosity is a positive property; Kern's correction divides by it.
        const double mu_w =
            r.quantity(j["shell_wall_viscosity"], at("shell_wall_viscosity"), "Pa s", 0);
        if (!(mu_w > 0)) r.refuse(at("shell_wall_viscosity.value"), "must be above 0 Pa s");
        e.shellWallViscosity = mu_w;
    }
    return e;
}

}  // namespace

// The vibration screening's inputs: each field left out keeps its default.
VibrationInput readVibration(const Reader& r, const Json& j) {
    const std::string path = "vibration";
    r.object(j, path);
    r.onlyKnown(j, path, vibrationFields);
    VibrationInput v;
    auto at = [&](std::string_view name) { return Reader::join(path, name); };
    if (j.contains("material")) {
        // The name as written: Reader::text pads a case's names to their
        // field width, which would refuse "copper" and "titanium".
        const Json& given = j["material"];
        const std::string name =
            given.is_string() ? given.get<std::string>() : r.text(given, at("material"));
        try {
            v.material = tubeMaterialNamed(name);
        } catch (const InvalidArgument& e) {
            r.refuse(at("material"), e.what());
        }
    }
    if (j.contains("shell_phase")) {
        const Json& p = j["shell_phase"];
        if (p == "gas")
            v.shellPhase = ShellPhase::gas;
        else if (p == "liquid")
            v.shellPhase = ShellPhase::liquid;
        else
            r.refuse(at("shell_phase"), "must be \"liquid\" or \"gas\"");
    }
    for (auto [name, member, unit] : vibrationQuantities)
        if (j.contains(name)) v.*member = r.quantity(j[name], at(name), unit, 0);
    for (auto [name, member] : vibrationNumbers)
        if (j.contains(name)) v.*member = r.real(j[name], at(name), 0);
    if (j.contains("velocity_ratio_limit"))
        v.velocityRatioLimit = r.real(j["velocity_ratio_limit"], at("velocity_ratio_limit"), 0);
    if (j.contains("heat_capacity_ratio"))
        v.heatCapacityRatio = r.real(j["heat_capacity_ratio"], at("heat_capacity_ratio"), 0);
    try {
        validateVibrationInput(v);
    } catch (const InvalidArgument& e) {
        r.refuse(e.argument(), e.what());
    }
    return v;
}

CaseDocument readCaseDocument(const Reader& r, const Json& doc, const std::string& top) {
    CaseDocument out;
    r.object(doc, top == "(top level)" ? "the document" : top);
    r.onlyKnown(
        doc, top,
        {"$schema", "format", "version", "case", "extensions", "properties_at", "vibration"});
    r.requireFormat(doc, top, documentFormat, caseDocumentVersion);
    const Json& values = r.member(doc, top, "case", 0);
    out.input = readCaseValues(r, values);
    out.tubeProperties = readModel(r, values, "tube_fluid");
    out.shellProperties = readModel(r, values, "shell_fluid");
    massFlowThroughModel(r, "tube_fluid", out.tubeProperties, out.input.tubeFluid,
                         out.input.tubeInletTemperature);
    massFlowThroughModel(r, "shell_fluid", out.shellProperties, out.input.shellFluid,
                         out.input.shellInletTemperature);
    if (doc.contains("extensions")) out.extensions = readExtensions(r, doc["extensions"]);
    if (doc.contains("properties_at"))
        out.propertiesAt = readPropertiesAt(r, doc["properties_at"], "properties_at");
    if (doc.contains("vibration")) out.vibration = readVibration(r, doc["vibration"]);
    out.given = r.given();
    return out;
}

namespace {

// ---- writing ----------------------------------------------------------------

// The case object, a fluid's fields in an object under the fluid's name.
Json caseJson(const Case& c) {
    Json values;
    for (const CaseField& f : caseFields) {
        Json& out = f.record().empty() ? values : values[std::string(f.record())];
        std::string at = "case." + std::string(f.name);
        std::string key(f.member());
        switch (f.kind) {
            case CaseFieldKind::number:
                if (!std::isfinite(f.real(c))) cannotWrite(kind, at, "JSON has no infinity or NaN");
                out[key] = f.real(c);
                break;
            case CaseFieldKind::quantity:
                out[key] = quantityJson(f.real(c), f.unit, at, kind);
                break;
            case CaseFieldKind::integer:
                out[key] = f.integer(c);
                break;
            case CaseFieldKind::text:
                out[key] = textJson(f.text(c), at, kind);
                break;
        }
    }
    return values;
}

Json extensionsJson(const Extensions& e) {
    Json j = Json::object();
    const std::string path = "extensions";
    if (e.foulingInside != 0 || std::signbit(e.foulingInside))
        j["fouling_inside"] =
            quantityJson(e.foulingInside, "m2 K/W", path + ".fouling_inside", kind);
    if (e.foulingOutside != 0 || std::signbit(e.foulingOutside))
        j["fouling_outside"] =
            quantityJson(e.foulingOutside, "m2 K/W", path + ".fouling_outside", kind);
    j["tube_passes"] = e.tubePasses;
    j["shells"] = e.shells;
    j["shell_side"] = e.shellSide == ShellSideMethod::bellDelaware ? "bell-delaware" : "program";
    const BaffleGeometry& b = e.baffles;
    if (!(b == BaffleGeometry{})) {
        Json bj;
        const std::string at = path + ".baffles";
        if (!std::isfinite(b.baffleCut))
            cannotWrite(kind, at + ".baffle_cut", "JSON has no infinity or NaN");
        bj["baffle_cut"] = b.baffleCut;
        bj["sealing_strip_pairs"] = b.sealingStripPairs;
        if (b.layoutAngle) bj["layout_angle"] = *b.layoutAngle;
        for (auto [name, member] :
             {std::pair{"shell_to_baffle_clearance", &BaffleGeometry::shellToBaffleClearance},
              std::pair{"tube_to_baffle_clearance", &BaffleGeometry::tubeToBaffleClearance},
              std::pair{"bundle_to_shell_clearance", &BaffleGeometry::bundleToShellClearance},
              std::pair{"inlet_baffle_spacing", &BaffleGeometry::inletBaffleSpacing},
              std::pair{"outlet_baffle_spacing", &BaffleGeometry::outletBaffleSpacing}}) {
            if (b.*member) bj[name] = quantityJson(*(b.*member), "m", at + "." + name, kind);
        }
        j["baffles"] = bj;
    }
    if (e.shellWallViscosity)
        j["shell_wall_viscosity"] =
            quantityJson(*e.shellWallViscosity, "Pa s", path + ".shell_wall_viscosity", kind);
    return j;
}

}  // namespace

Json vibrationJson(const VibrationInput& v, std::string_view kind) {
    Json j = Json::object();
    const std::string path = "vibration";
    auto number = [&](const char* name, double x) {
        if (!std::isfinite(x)) cannotWrite(kind, path + "." + name, "JSON has no infinity or NaN");
        j[name] = x;
    };
    if (v.material != TubeMaterial::carbonSteel)
        j["material"] = std::string(tubeMaterialName(v.material));
    if (v.shellPhase) j["shell_phase"] = std::string(shellPhaseName(*v.shellPhase));
    for (auto [name, member, unit] : vibrationQuantities)
        if (v.*member) j[name] = quantityJson(*(v.*member), unit, path + "." + name, kind);
    for (auto [name, member] : vibrationNumbers)
        if (v.*member) number(name, *(v.*member));
    const VibrationInput defaults;
    if (v.velocityRatioLimit != defaults.velocityRatioLimit)
        number("velocity_ratio_limit", v.velocityRatioLimit);
    if (v.heatCapacityRatio != defaults.heatCapacityRatio)
        number("heat_capacity_ratio", v.heatCapacityRatio);
    return j;
}

}  // namespace document

using document::Json;

CaseDocument parseCaseDocument(std::string_view json, std::string_view sourceName) {
    const std::string source(sourceName);
    return document::readGuarded(document::kind, source, [&] {
        const Json doc = document::parseTree(json, document::kind, source);
        std::vector<GivenQuantity> given;
        const document::Reader r(document::kind, source, "version 1 of the case document", given);
        return document::readCaseDocument(r, doc, "(top level)");
    });
}

std::string caseDocumentJson(const Case& c, const Extensions& extensions) {
    return caseDocumentJson(CaseDocument{c, extensions, {}});
}

std::string caseDocumentJson(const CaseDocument& document) {
    using namespace document;
    Json doc;
    doc["format"] = documentFormat;
    doc["version"] = caseDocumentVersion;
    doc["case"] = caseJson(document.input);
    modelJson(document.tubeProperties, "case.tube_fluid", doc["case"]["tube_fluid"], kind);
    modelJson(document.shellProperties, "case.shell_fluid", doc["case"]["shell_fluid"], kind);
    doc["extensions"] = extensionsJson(document.extensions);
    if (document.propertiesAt != PropertiesAt::inlet)
        doc["properties_at"] = std::string(propertiesAtName(document.propertiesAt));
    if (!(document.vibration == VibrationInput{}))
        doc["vibration"] = vibrationJson(document.vibration, kind);
    return doc.dump(2) + "\n";
}

bool looksLikeCaseDocument(std::string_view text) {
    const document::Encoding encoding = document::encodingOf(text);
    for (std::size_t i = encoding.markBytes; i + encoding.unit <= text.size(); i += encoding.unit) {
        std::uint32_t ch = 0;  // the code unit, of one, two or four bytes
        for (std::size_t k = 0; k < encoding.unit; ++k) {
            const std::size_t byte = encoding.bigEndian ? k : encoding.unit - 1 - k;
            ch = ch << 8 | static_cast<unsigned char>(text[i + byte]);
        }
        if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') continue;
        return ch == '{';
    }
    return false;
}

}  // namespace hxrate
