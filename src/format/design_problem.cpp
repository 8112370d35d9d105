// The design problem document: the streams, the duty, the limits and the
// space of a design search as versioned JSON, read by the readers the case
// document uses, so that units and refusals read the same in both.
#include "hxrate/design_problem.h"

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "format/json_document.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

using document::Json;
using document::Reader;

constexpr std::string_view documentFormat = "hxrate-design-problem";
constexpr int documentVersion = 1;
constexpr std::string_view kind = "design problem";

// ---- reading ----------------------------------------------------------------

std::string plainText(const Reader& r, const Json& j, const std::string& path) {
    if (!j.is_string()) r.refuse(path, "must be a string, not " + Reader::typeOf(j));
    return j.get<std::string>();
}

// One of `names` at `path`, as its index.
std::size_t choice(const Reader& r, const Json& j, const std::string& path,
                   std::initializer_list<std::string_view> names) {
    std::size_t i = 0;
    std::string list;
    for (std::string_view n : names) {
        if (j == n) return i;
        list += (i == 0 ? "\"" : i + 1 == names.size() ? " or \"" : ", \"") + std::string(n) + "\"";
        ++i;
    }
    r.refuse(path, "must be " + list);
}

// Reads `name` of `object` (at `path`) with `read` when it is there.
template <class Read>
void optionalField(const Json& object, const std::string& path, std::string_view name, Read read) {
    if (auto it = object.find(name); it != object.end()) read(*it, Reader::join(path, name));
}

// One stream: its fluid as a case document's fluid takes it (the four
// values and an optional property model), its flow, inlet, allowable drop
// and fouling.
DesignStream readStream(const Reader& r, const Json& doc, const std::string& path) {
    const Json& s = r.object(r.member(doc, "", path), path);
    r.onlyKnown(s, path,
                {"name", "density", "viscosity", "conductivity", "heat_capacity", "model", "table",
                 "pressure", "mass_flow", "volumetric_flow", "inlet_temperature",
                 "allowable_pressure_drop", "fouling"});
    auto at = [&](std::string_view name) { return Reader::join(path, name); };
    auto q = [&](std::string_view name, std::string_view unit) {
        return r.quantity(r.member(s, path, name), at(name), unit);
    };
    DesignStream out;
    out.fluid.name = plainText(r, r.member(s, path, "name"), at("name"));
    out.fluid.density = q("density", "kg/m3");
    out.fluid.viscosity = q("viscosity", "Pa s");
    out.fluid.conductivity = q("conductivity", "W/(m K)");
    out.fluid.heatCapacity = q("heat_capacity", "J/(kg K)");
    out.properties = document::readPropertyModel(r, s, path, path);
    const bool mass = s.contains("mass_flow"), volume = s.contains("volumetric_flow");
    if (mass && volume) r.refuse(at("volumetric_flow"), "give the mass flow or this, not both");
    if (!mass && !volume) r.refuse(at("mass_flow"), "required (or volumetric_flow), but left out");
    if (mass) out.massFlow = q("mass_flow", "kg/s");
    if (volume) out.volumetricFlow = q("volumetric_flow", "m3/s");
    out.inletTemperature = q("inlet_temperature", "degC");
    out.allowablePressureDrop = q("allowable_pressure_drop", "Pa");
    optionalField(s, path, "fouling", [&](const Json& j, const std::string& p) {
        out.fouling = r.quantity(j, p, "m2 K/W");
    });
    return out;
}

// The duty, or the one outlet temperature that fixes it.
void readDuty(const Reader& r, const Json& doc, DesignProblem& p) {
    const char* given = nullptr;
    for (const char* name : {"duty", "hot_outlet_temperature", "cold_outlet_temperature"}) {
        if (!doc.contains(name)) continue;
        if (given)
            r.refuse(name, std::string("give one of duty, hot_outlet_temperature and "
                                       "cold_outlet_temperature, not both this and ") +
                               given);
        given = name;
    }
    if (!given)
        r.refuse("duty",
                 "required (or hot_outlet_temperature or cold_outlet_temperature), but left out");
    if (doc.contains("duty")) p.duty = r.quantity(doc["duty"], "duty", "W");
    if (doc.contains("hot_outlet_temperature"))
        p.hotOutletTemperature =
            r.quantity(doc["hot_outlet_temperature"], "hot_outlet_temperature", "degC");
    if (doc.contains("cold_outlet_temperature"))
        p.coldOutletTemperature =
            r.quantity(doc["cold_outlet_temperature"], "cold_outlet_temperature", "degC");
}

void readLimits(const Reader& r, const Json& j, DesignLimits& l) {
    const std::string path = "limits";
    r.object(j, path);
    r.onlyKnown(j, path,
                {"tube_velocity_min", "tube_velocity_max", "shell_velocity_max", "minimum_f",
                 "minimum_over_surface", "vibration"});
    for (const auto& entry : {std::pair{"tube_velocity_min", &DesignLimits::tubeVelocityMin},
                              std::pair{"tube_velocity_max", &DesignLimits::tubeVelocityMax},
                              std::pair{"shell_velocity_max", &DesignLimits::shellVelocityMax}})
        optionalField(j, path, entry.first, [&](const Json& v, const std::string& p) {
            l.*(entry.second) = r.quantity(v, p, "m/s");
        });
    optionalField(j, path, "minimum_f",
                  [&](const Json& v, const std::string& p) { l.minimumF = r.real(v, p); });
    optionalField(j, path, "minimum_over_surface", [&](const Json& v, const std::string& p) {
        l.minimumOverSurface = r.real(v, p);
    });
    optionalField(j, path, "vibration", [&](const Json& v, const std::string& p) {
        if (!v.is_boolean()) r.refuse(p, "must be true or false");
        l.vibration = v.get<bool>();
    });
}

void readWall(const Reader& r, const Json& j, DesignProblem& p) {
    const std::string path = "wall";
    r.object(j, path);
    r.onlyKnown(j, path, {"material", "conductivity"});
    optionalField(j, path, "material", [&](const Json& v, const std::string& at) {
        p.wallMaterial = plainText(r, v, at);
    });
    optionalField(j, path, "conductivity", [&](const Json& v, const std::string& at) {
        p.wallConductivity = r.quantity(v, at, "W/(m K)");
    });
}

std::vector<int> integers(const Reader& r, const Json& j, const std::string& path) {
    const Json& list = r.array(j, path);
    std::vector<int> out;
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(r.integer(list[i], path + "[" + std::to_string(i) + "]"));
    return out;
}

std::vector<double> reals(const Reader& r, const Json& j, const std::string& path) {
    const Json& list = r.array(j, path);
    std::vector<double> out;
    for (std::size_t i = 0; i < list.size(); ++i)
        out.push_back(r.real(list[i], path + "[" + std::to_string(i) + "]"));
    return out;
}

// The lists of the space that the document gives, over the defaults.
void readSpace(const Reader& r, const Json& j, DesignSpace& s) {
    const std::string path = "space";
    r.object(j, path);
    r.onlyKnown(j, path,
                {"tubes", "layout_angles", "pitch_ratios", "tube_passes", "shells",
                 "shell_diameters", "tube_lengths", "free_length", "baffle_cuts", "baffle_spacings",
                 "bundle_to_shell_clearance", "pass_lane_width", "elements_per_length"});
    optionalField(j, path, "tubes", [&](const Json& v, const std::string& at) {
        const Json& list = r.array(v, at);
        s.tubes.clear();
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string row = at + "[" + std::to_string(i) + "]";
            r.object(list[i], row);
            r.onlyKnown(list[i], row, {"outer_diameter", "wall_thickness"});
            TubeSize t;
            t.outerDiameter =
                r.quantity(r.member(list[i], row, "outer_diameter"), row + ".outer_diameter", "m");
            t.wallThickness =
                r.quantity(r.member(list[i], row, "wall_thickness"), row + ".wall_thickness", "m");
            s.tubes.push_back(t);
        }
    });
    for (const auto& entry : {std::pair{"layout_angles", &DesignSpace::layoutAngles},
                              std::pair{"tube_passes", &DesignSpace::tubePasses},
                              std::pair{"shells", &DesignSpace::shells}})
        optionalField(j, path, entry.first, [&](const Json& v, const std::string& at) {
            s.*(entry.second) = integers(r, v, at);
        });
    for (const auto& entry : {std::pair{"pitch_ratios", &DesignSpace::pitchRatios},
                              std::pair{"baffle_cuts", &DesignSpace::baffleCuts},
                              std::pair{"baffle_spacings", &DesignSpace::baffleSpacings}})
        optionalField(j, path, entry.first, [&](const Json& v, const std::string& at) {
            s.*(entry.second) = reals(r, v, at);
        });
    for (const auto& entry : {std::pair{"shell_diameters", &DesignSpace::shellDiameters},
                              std::pair{"tube_lengths", &DesignSpace::tubeLengths}})
        optionalField(j, path, entry.first, [&](const Json& v, const std::string& at) {
            s.*(entry.second) = r.quantities(v, at, "m");
        });
    if (j.contains("tube_lengths") && j.contains("free_length"))
        r.refuse("space.free_length", "give tube_lengths or a free length, not both");
    optionalField(j, path, "free_length", [&](const Json& v, const std::string& at) {
        r.object(v, at);
        r.onlyKnown(v, at, {"minimum", "maximum"});
        s.freeLength = true;
        s.minimumLength = r.quantity(r.member(v, at, "minimum"), at + ".minimum", "m");
        s.maximumLength = r.quantity(r.member(v, at, "maximum"), at + ".maximum", "m");
    });
    for (const auto& entry :
         {std::pair{"bundle_to_shell_clearance", &DesignSpace::bundleToShellClearance},
          std::pair{"pass_lane_width", &DesignSpace::passLaneWidth}})
        optionalField(j, path, entry.first, [&](const Json& v, const std::string& at) {
            s.*(entry.second) = r.quantity(v, at, "m");
        });
    optionalField(j, path, "elements_per_length", [&](const Json& v, const std::string& at) {
        s.elementsPerLength = r.integer(v, at);
    });
}

// The field of the document an argument of design() stands for.
std::string fieldOf(const std::string& argument, const DesignProblem& p) {
    for (const char* stream : {"hot", "cold"}) {
        const DesignStream& s = std::string_view(stream) == "hot" ? p.hot : p.cold;
        if (argument == std::string(stream) + ".flow")
            return std::string(stream) + (s.massFlow ? ".mass_flow" : ".volumetric_flow");
        if (argument == std::string(stream) + ".fluid") return stream;
    }
    if (argument == "wall_conductivity") return "wall.conductivity";
    if (argument == "wall_material") return "wall.material";
    if (argument == "space.maximum_length") return "space.free_length";
    return argument;
}

// Refuses what design() would refuse of the problem and the space, naming
// the document's field: a search of no candidate validates both.
void checkDomain(const Reader& r, const DesignProblemDocument& d) {
    DesignOptions o;
    o.shellSide = d.shellSide;
    o.threads = 1;
    o.count = 0;
    try {
        (void)design(d.problem, d.space, o);
    } catch (const PropertyRangeError& e) {
        // A table that does not reach a temperature the search needs, or
        // water that is not liquid at the inlet.
        const DesignStream& s = e.stream() == "hot" ? d.problem.hot : d.problem.cold;
        r.refuse(
            e.stream() +
                (s.properties.kind == PropertyModelKind::table ? ".table" : ".inlet_temperature"),
            e.what());
    } catch (const InvalidArgument& e) {
        std::string why = e.what();
        if (why.starts_with(e.argument() + ": ")) why.erase(0, e.argument().size() + 2);
        r.refuse(fieldOf(e.argument(), d.problem), why);
    }
}

// ---- writing ----------------------------------------------------------------

Json quantity(double value, std::string_view unit, const std::string& path) {
    return document::quantityJson(value, unit, path, kind);
}

Json number(double value, const std::string& path) {
    if (!std::isfinite(value)) document::cannotWrite(kind, path, "JSON has no infinity or NaN");
    return value;
}

Json streamJson(const DesignStream& s, const std::string& path) {
    Json j;
    j["name"] = document::textJson(s.fluid.name, path + ".name", kind);
    j["density"] = quantity(s.fluid.density, "kg/m3", path + ".density");
    j["viscosity"] = quantity(s.fluid.viscosity, "Pa s", path + ".viscosity");
    j["conductivity"] = quantity(s.fluid.conductivity, "W/(m K)", path + ".conductivity");
    j["heat_capacity"] = quantity(s.fluid.heatCapacity, "J/(kg K)", path + ".heat_capacity");
    document::modelJson(s.properties, path, j, kind);
    if (s.massFlow) j["mass_flow"] = quantity(*s.massFlow, "kg/s", path + ".mass_flow");
    if (s.volumetricFlow)
        j["volumetric_flow"] = quantity(*s.volumetricFlow, "m3/s", path + ".volumetric_flow");
    j["inlet_temperature"] = quantity(s.inletTemperature, "degC", path + ".inlet_temperature");
    j["allowable_pressure_drop"] =
        quantity(s.allowablePressureDrop, "Pa", path + ".allowable_pressure_drop");
    j["fouling"] = quantity(s.fouling, "m2 K/W", path + ".fouling");
    return j;
}

Json spaceJson(const DesignSpace& s) {
    Json j;
    Json tubes = Json::array();
    for (std::size_t i = 0; i < s.tubes.size(); ++i) {
        const std::string at = "space.tubes[" + std::to_string(i) + "]";
        tubes.push_back(
            {{"outer_diameter", quantity(s.tubes[i].outerDiameter, "m", at + ".outer_diameter")},
             {"wall_thickness", quantity(s.tubes[i].wallThickness, "m", at + ".wall_thickness")}});
    }
    j["tubes"] = std::move(tubes);
    j["layout_angles"] = s.layoutAngles;
    auto reals = [](const std::vector<double>& v, const std::string& path) {
        Json list = Json::array();
        for (std::size_t i = 0; i < v.size(); ++i)
            list.push_back(number(v[i], path + "[" + std::to_string(i) + "]"));
        return list;
    };
    auto lengths = [&](const std::vector<double>& v, const std::string& path) {
        return Json{{"values", reals(v, path + ".values")}, {"unit", "m"}};
    };
    j["pitch_ratios"] = reals(s.pitchRatios, "space.pitch_ratios");
    j["tube_passes"] = s.tubePasses;
    j["shells"] = s.shells;
    j["shell_diameters"] = lengths(s.shellDiameters, "space.shell_diameters");
    if (s.freeLength)
        j["free_length"] = {
            {"minimum", quantity(s.minimumLength, "m", "space.free_length.minimum")},
            {"maximum", quantity(s.maximumLength, "m", "space.free_length.maximum")}};
    else
        j["tube_lengths"] = lengths(s.tubeLengths, "space.tube_lengths");
    j["baffle_cuts"] = reals(s.baffleCuts, "space.baffle_cuts");
    j["baffle_spacings"] = reals(s.baffleSpacings, "space.baffle_spacings");
    j["bundle_to_shell_clearance"] =
        quantity(s.bundleToShellClearance, "m", "space.bundle_to_shell_clearance");
    j["pass_lane_width"] = quantity(s.passLaneWidth, "m", "space.pass_lane_width");
    j["elements_per_length"] = s.elementsPerLength;
    return j;
}

}  // namespace

DesignProblemDocument parseDesignProblem(std::string_view json, std::string_view sourceName) {
    const std::string source(sourceName);
    return document::readGuarded(kind, source, [&] {
        const Json doc = document::parseTree(json, kind, source);
        std::vector<GivenQuantity> given;
        const Reader r(kind, source, "version 1 of the design problem document", given);
        r.object(doc, "the document");
        r.onlyKnown(doc, "(top level)",
                    {"$schema", "format", "version", "hot", "cold", "tube_stream", "duty",
                     "hot_outlet_temperature", "cold_outlet_temperature", "limits", "wall",
                     "inner_roughness", "properties_at", "shell_side", "space", "vibration"});
        r.requireFormat(doc, "(top level)", documentFormat, documentVersion);
        DesignProblemDocument d;
        DesignProblem& p = d.problem;
        p.hot = readStream(r, doc, "hot");
        p.cold = readStream(r, doc, "cold");
        optionalField(doc, "", "tube_stream", [&](const Json& v, const std::string& at) {
            p.tubeStream = static_cast<TubeStream>(choice(r, v, at, {"hot", "cold", "either"}));
        });
        readDuty(r, doc, p);
        if (doc.contains("limits")) readLimits(r, doc["limits"], p.limits);
        if (doc.contains("wall")) readWall(r, doc["wall"], p);
        optionalField(doc, "", "inner_roughness", [&](const Json& v, const std::string& at) {
            p.innerRoughness = r.quantity(v, at, "m");
        });
        optionalField(doc, "", "properties_at", [&](const Json& v, const std::string& at) {
            p.propertiesAt = document::readPropertiesAt(r, v, at);
        });
        optionalField(doc, "", "shell_side", [&](const Json& v, const std::string& at) {
            d.shellSide = choice(r, v, at, {"bell-delaware", "program"}) == 0
                              ? ShellSideMethod::bellDelaware
                              : ShellSideMethod::program;
        });
        if (doc.contains("space")) readSpace(r, doc["space"], d.space);
        if (doc.contains("vibration")) p.vibration = document::readVibration(r, doc["vibration"]);
        checkDomain(r, d);
        return d;
    });
}

std::string designProblemJson(const DesignProblemDocument& d) {
    const DesignProblem& p = d.problem;
    Json doc;
    doc["format"] = documentFormat;
    doc["version"] = documentVersion;
    doc["hot"] = streamJson(p.hot, "hot");
    doc["cold"] = streamJson(p.cold, "cold");
    doc["tube_stream"] = p.tubeStream == TubeStream::hot    ? "hot"
                         : p.tubeStream == TubeStream::cold ? "cold"
                                                            : "either";
    if (p.duty) doc["duty"] = quantity(*p.duty, "W", "duty");
    if (p.hotOutletTemperature)
        doc["hot_outlet_temperature"] =
            quantity(*p.hotOutletTemperature, "degC", "hot_outlet_temperature");
    if (p.coldOutletTemperature)
        doc["cold_outlet_temperature"] =
            quantity(*p.coldOutletTemperature, "degC", "cold_outlet_temperature");
    const DesignLimits& l = p.limits;
    doc["limits"] = {
        {"tube_velocity_min", quantity(l.tubeVelocityMin, "m/s", "limits.tube_velocity_min")},
        {"tube_velocity_max", quantity(l.tubeVelocityMax, "m/s", "limits.tube_velocity_max")},
        {"shell_velocity_max", quantity(l.shellVelocityMax, "m/s", "limits.shell_velocity_max")},
        {"minimum_f", number(l.minimumF, "limits.minimum_f")},
        {"minimum_over_surface", number(l.minimumOverSurface, "limits.minimum_over_surface")},
        {"vibration", l.vibration}};
    doc["wall"] = {{"material", document::textJson(p.wallMaterial, "wall.material", kind)},
                   {"conductivity", quantity(p.wallConductivity, "W/(m K)", "wall.conductivity")}};
    doc["inner_roughness"] = quantity(p.innerRoughness, "m", "inner_roughness");
    doc["properties_at"] = std::string(propertiesAtName(p.propertiesAt));
    doc["shell_side"] = d.shellSide == ShellSideMethod::bellDelaware ? "bell-delaware" : "program";
    doc["space"] = spaceJson(d.space);
    if (!(p.vibration == VibrationInput{}))
        doc["vibration"] = document::vibrationJson(p.vibration, kind);
    return doc.dump(2) + "\n";
}

}  // namespace hxrate
