#include "report_json.h"

#include <cmath>

#include <hxrate/report.h>

#include "markup.h"

namespace hxrate::report {
namespace {

using nlohmann::json;

json number(double x) {
    return std::isfinite(x) ? json(x) : json(nullptr);
}
json number(const std::optional<double>& x) {
    return x ? number(*x) : json(nullptr);
}

json side(const SideResult& s) {
    return {{"reynolds", number(s.reynolds)},
            {"prandtl", number(s.prandtl)},
            {"nusselt", number(s.nusselt)},
            {"friction_factor", s.friction ? number(*s.friction) : json(nullptr)},
            {"film_coefficient", number(s.filmCoefficient)},
            {"film_resistance", number(s.filmResistance)},
            {"correlation", correlationName(s.correlation)},
            {"correlation_text", correlationText(s.correlation, s.bankRow)},
            {"bank_row", s.bankRow}};
}

json pressure(const std::optional<PressureDrop>& d) {
    if (!d) return nullptr;
    return {{"method", pressureDropMethodName(d->method)},
            {"estimate", d->estimate},
            {"pressure_drop", number(d->pressureDrop)},
            {"friction_factor", number(d->friction)},
            {"friction_source", frictionSourceName(d->frictionSource)},
            {"reynolds", number(d->reynolds)},
            {"diameter", number(d->diameter)},
            {"length", number(d->length)},
            {"velocity", number(d->velocity)},
            {"mass_velocity", number(d->massVelocity)},
            {"flow_area", number(d->flowArea)},
            {"viscosity_correction", number(d->viscosityCorrection)},
            {"corrected_pressure_drop", number(d->correctedPressureDrop)}};
}

// The extensions a case document gave, and what the extended rating formed.
json extensionsJson(const Report& rep) {
    const Extensions& e = *rep.extensions;
    json j = {
        {"fouling_inside", number(e.foulingInside)},
        {"fouling_outside", number(e.foulingOutside)},
        {"tube_passes", e.tubePasses},
        {"shells", e.shells},
        {"shell_side", e.shellSide == ShellSideMethod::bellDelaware ? "bell-delaware" : "program"},
        {"shell_wall_viscosity", number(e.shellWallViscosity)}};
    if (e.shellSide == ShellSideMethod::bellDelaware) {
        const BaffleGeometry& b = e.baffles;
        j["baffles"] = {{"baffle_cut", number(b.baffleCut)},
                        {"shell_to_baffle_clearance", number(b.shellToBaffleClearance)},
                        {"tube_to_baffle_clearance", number(b.tubeToBaffleClearance)},
                        {"bundle_to_shell_clearance", number(b.bundleToShellClearance)},
                        {"sealing_strip_pairs", b.sealingStripPairs},
                        {"inlet_baffle_spacing", number(b.inletBaffleSpacing)},
                        {"outlet_baffle_spacing", number(b.outletBaffleSpacing)},
                        {"layout_angle", b.layoutAngle ? json(*b.layoutAngle) : json(nullptr)}};
    }
    if (!rep.extended) {
        j["results"] = nullptr;
        return j;
    }
    const ExtendedQuantities& x = *rep.extended;
    j["results"] = {{"clean_coefficient", number(x.cleanCoefficient)},
                    {"service_coefficient", number(x.serviceCoefficient)},
                    {"cleanliness_factor", number(x.cleanlinessFactor)},
                    {"over_surface_percent", number(x.overSurfacePercent)},
                    {"target_duty", number(x.targetDuty)},
                    {"allowable_fouling", number(x.allowableFouling)},
                    {"lmtd_correction", number(x.lmtdCorrection)},
                    {"p1", number(x.p1)},
                    {"r1", number(x.r1)},
                    {"ntu1", number(x.ntu1)},
                    {"tube_velocity", number(x.tubeVelocity)},
                    {"tube_friction_drop", number(x.tubeFrictionDrop)},
                    {"tube_return_drop", number(x.tubeReturnDrop)},
                    {"tube_pressure_drop", number(x.tubePressureDrop)},
                    {"shell_pressure_drop",
                     x.bellDelaware ? number(x.bellDelaware->pressureDrop) : json(nullptr)}};
    return j;
}

// A stream's property model: its kind, and a table's rows and range or the
// water's pressure.
json modelJson(const PropertyModel& m) {
    switch (m.kind) {
        case PropertyModelKind::constant:
            return {{"kind", "constant"}};
        case PropertyModelKind::table:
            return {{"kind", "table"},
                    {"rows", m.table.size()},
                    {"temperature_low",
                     m.table.empty() ? json(nullptr) : number(m.table.front().temperature)},
                    {"temperature_high",
                     m.table.empty() ? json(nullptr) : number(m.table.back().temperature)}};
        case PropertyModelKind::water:
            break;
    }
    return {{"kind", "water"}, {"pressure", number(m.pressure)}};
}

// Where the streams' properties came from and where the rating took them.
json fluidPropertiesJson(const Report& rep) {
    return {{"properties_at", std::string(propertiesAtName(rep.propertiesAt))},
            {"tube_model", modelJson(rep.tubeProperties)},
            {"shell_model", modelJson(rep.shellProperties)},
            {"tube_property_temperature", number(rep.tubePropertyTemperature)},
            {"shell_property_temperature", number(rep.shellPropertyTemperature)},
            {"mean_iterations", rep.meanIterations},
            {"wall_temperature", number(rep.wallTemperature)},
            {"shell_wall_viscosity", number(rep.shellWallViscosity)}};
}

// The vibration screening: the inputs it took, each kind of span and, for a
// gas, the shell's acoustic check.
json vibrationJson(const VibrationScreening& v) {
    json spans = json::array();
    for (const VibrationSpan& s : v.spans)
        spans.push_back({{"name", s.name},
                         {"in_window", s.inWindow},
                         {"count", s.count},
                         {"length", number(s.length)},
                         {"start_end", std::string(spanEndName(s.startEnd))},
                         {"end_end", std::string(spanEndName(s.endEnd))},
                         {"frequency_factor", number(s.frequencyFactor)},
                         {"natural_frequency", number(s.naturalFrequency)},
                         {"velocity", number(s.velocity)},
                         {"critical_velocity", number(s.criticalVelocity)},
                         {"velocity_ratio", number(s.velocityRatio)},
                         {"vortex_frequency", number(s.vortexFrequency)},
                         {"vortex_amplitude", number(s.vortexAmplitude)},
                         {"buffeting_amplitude", number(s.buffetingAmplitude)}});
    json acoustic = nullptr;
    if (const std::optional<AcousticCheck>& a = v.acoustic) {
        json modes = json::array();
        for (double f : a->modes) modes.push_back(number(f));
        acoustic = {{"speed_of_sound", number(a->speedOfSound)},
                    {"effective_speed_of_sound", number(a->effectiveSpeedOfSound)},
                    {"modes", modes},
                    {"buffeting_frequency", number(a->buffetingFrequency)},
                    {"closest_margin", number(a->closestMargin)},
                    {"closest_source", a->closestSource},
                    {"closest_mode", a->closestMode}};
    }
    return {{"worst_velocity_ratio", number(v.worstVelocityRatio)},
            {"worst_span",
             v.worstSpan < v.spans.size() ? json(v.spans[v.worstSpan].name) : json(nullptr)},
            {"passes", v.passes()},
            {"material", v.material},
            {"elastic_modulus", number(v.elasticModulus)},
            {"tube_density", number(v.tubeDensity)},
            {"outer_diameter", number(v.outerDiameter)},
            {"moment_of_inertia", number(v.momentOfInertia)},
            {"layout_angle", v.layoutAngle},
            {"pitch", number(v.pitch)},
            {"gap", number(v.gap)},
            {"shell_density", number(v.shellDensity)},
            {"shell_phase", std::string(shellPhaseName(v.shellPhase))},
            {"tube_mass", number(v.tubeMass)},
            {"inside_mass", number(v.insideMass)},
            {"added_mass_coefficient", number(v.addedMassCoefficient)},
            {"added_mass", number(v.addedMass)},
            {"effective_mass", number(v.effectiveMass)},
            {"log_decrement", number(v.logDecrement)},
            {"connors_constant", number(v.connorsConstant)},
            {"mass_damping_parameter", number(v.massDampingParameter)},
            {"strouhal_number", number(v.strouhalNumber)},
            {"lift_coefficient", number(v.liftCoefficient)},
            {"buffeting_spectrum", number(v.buffetingSpectrum)},
            {"allowed_amplitude", number(v.allowedAmplitude)},
            {"velocity_ratio_limit", number(v.velocityRatioLimit)},
            {"spans", spans},
            {"acoustic", acoustic}};
}

// Replaces ill-formed UTF-8 in every string and key of `j`, in place.
void makeValidUtf8(json& j) {
    if (j.is_string()) {
        std::string& text = j.get_ref<std::string&>();
        text = tools::validUtf8(text);
    } else if (j.is_array()) {
        for (json& item : j) makeValidUtf8(item);
    } else if (j.is_object()) {
        json fixed = json::object();
        for (auto& [key, value] : j.items()) {
            makeValidUtf8(value);
            fixed[tools::validUtf8(key)] = std::move(value);
        }
        j = std::move(fixed);
    }
}

}  // namespace

std::vector<std::size_t> shownNodes(std::size_t nodeCount, std::size_t most) {
    std::vector<std::size_t> nodes;
    if (nodeCount == 0) return nodes;
    std::size_t stride = nodeCount <= most ? 1 : (nodeCount - 1 + most - 2) / (most - 1);
    for (std::size_t i = 0; i < nodeCount; i += stride) nodes.push_back(i);
    if (nodes.back() != nodeCount - 1) nodes.push_back(nodeCount - 1);
    return nodes;
}

const PropertyProfile* propertiesAlong(const Report& rep) {
    const std::optional<PropertyProfile>& q = rep.propertyProfile;
    const std::size_t n = rep.rating.profile.location.size();
    if (!q || n == 0 || rep.outcome != Outcome::solved) return nullptr;
    for (const std::vector<double>* v :
         {&q->tubeViscosity, &q->shellViscosity, &q->wallTemperature, &q->overallCoefficient})
        if (v->size() != n) return nullptr;
    return &*q;
}

json reportJson(const Report& rep) {
    const Case& c = rep.input;
    const Rating& r = rep.rating;
    json j;
    j["schema_version"] = schemaVersion;
    j["generator"] = {{"program", "hxrate-report"}, {"library_version", hxrate::version()}};
    j["case"] = {
        {"name", rep.caseName},
        {"path", rep.casePath},
        {"exchanger_type", c.exchangerType},
        {"exchanger_title", exchangerTitle(c.exchangerType)},
        {"exchanger_name",
         exchangerName(c.exchangerType, rep.extensions ? rep.extensions->tubePasses : 1,
                       rep.extensions ? rep.extensions->shells : 1)},
        {"units", rep.fromDocument
                      ? "SI, as the case document states them (m, kg, s, W, C)"
                      : "SI assumed: the case is read without conversion (m, kg, s, W, C)"}};
    j["status"] = rep.outcome == Outcome::solved ? "solved" : "rejected";
    j["verdict"] = verdict(rep);
    j["stage"] = stageName(r.stage);
    if (rep.rejectedBy) {
        json triggers = json::array();
        for (const Trigger& t : rep.triggers) {
            triggers.push_back({{"quantity", t.quantity},
                                {"value", number(t.value)},
                                {"limit", number(t.limit)},
                                {"relation", t.relation}});
        }
        j["rejection"] = {{"check", checkName(*rep.rejectedBy)},
                          {"log_message", checkMessage(*rep.rejectedBy)},
                          {"triggers", triggers}};
    } else {
        j["rejection"] = nullptr;
    }

    json inputs = json::array();
    for (const InputRow& row : describeInputs(rep)) {
        json item = {{"key", row.key},   {"label", row.label},        {"symbol", row.symbol},
                     {"unit", row.unit}, {"case_line", row.caseLine}, {"file_line", row.firstLine}};
        if (row.text) {
            item["value"] = *row.text;
        } else {
            item["value"] = number(row.value);
        }
        inputs.push_back(item);
    }
    j["inputs"] = inputs;

    const Geometry& g = r.geometry;
    j["geometry"] = reached(r, Stage::geometry)
                        ? json{{"outer_diameter", number(g.outerDiameter)},
                               {"element_count", g.elementCount},
                               {"compartment_count", g.compartmentCount},
                               {"elements_per_compartment", g.elementsPerCompartment},
                               {"baffle_spacing", number(g.baffleSpacing)},
                               {"diagonal_pitch", number(g.diagonalPitch)},
                               {"bundle_cell_size", number(g.bundleCellSize)},
                               {"wall_resistance", number(g.wallResistance)}}
                        : json(nullptr);
    j["tube_side"] = reached(r, Stage::tubeSide) ? side(r.tube) : json(nullptr);
    if (reached(r, Stage::shellHeatTransfer)) {
        json shell = side(r.shell);
        shell["flow_area"] = number(r.shell.flowArea);
        shell["characteristic_length"] = number(r.shell.characteristicLength);
        shell["velocity"] = isCrossFlow(c.exchangerType) ? number(r.shell.velocity) : json(nullptr);
        j["shell_side"] = shell;
    } else {
        j["shell_side"] = nullptr;
    }

    if (reached(r, Stage::resistance)) {
        json res = {{"resistance_per_length", number(r.resistancePerLength)},
                    {"conductance_per_length", number(r.conductancePerLength)},
                    {"tube_mass_flow", number(r.tubeMassFlow)},
                    {"shell_mass_flow", number(r.shellMassFlow)},
                    {"shooting_passes", r.shootingPasses}};
        if (rep.outcome == Outcome::solved) {
            const ThermalSummary& t = rep.thermal;
            res.update(
                {{"overall_coefficient", number(r.overallCoefficient)},
                 {"area", number(r.area)},
                 {"ua", number(t.UA)},
                 {"tube_outlet_temperature", number(r.tubeOutletTemperature)},
                 {"shell_outlet_temperature", number(r.shellOutletTemperature)},
                 {"shell_exit_temperature",
                  isCrossFlow(c.exchangerType) ? number(r.shellExitTemperature) : json(nullptr)},
                 {"duty", number(t.duty)},
                 {"duty_direction", std::string(dutyDirectionText(t.dutyDirection))},
                 {"tube_duty", number(t.tubeDuty)},
                 {"shell_duty", number(t.shellDuty)},
                 {"duty_imbalance", number(t.imbalance)},
                 {"effectiveness", number(t.effectiveness)},
                 {"ntu", number(t.ntu)},
                 {"capacity_ratio", number(t.capacityRatio)},
                 {"ideal_effectiveness", number(t.idealEffectiveness)},
                 {"ideal_flow", t.idealCounterCurrent ? "counter-current" : "co-current"},
                 {"lmtd", number(t.lmtd)}});
        }
        j["results"] = res;
    } else {
        j["results"] = nullptr;
    }

    j["pressure_drops"] = {
        {"note",
         "frictional only: nozzles, entry and exit losses and the baffle windows are not included"},
        {"tube", pressure(rep.tubePressureDrop)},
        {"shell", pressure(rep.shellPressureDrop)}};

    if (rep.extensions) j["extensions"] = extensionsJson(rep);
    j["fluid_properties"] = fluidPropertiesJson(rep);
    j["vibration"] = rep.vibration ? vibrationJson(*rep.vibration) : json(nullptr);

    const Discretisation& d = rep.discretisation;
    json numerics = {
        {"element_length", number(c.elementLength)},
        {"element_count", reached(r, Stage::geometry) ? json(g.elementCount) : json(nullptr)}};
    if (d.formed) {
        numerics["discretisation"] = {{"half_element_length", number(d.halfElementLength)},
                                      {"half_element_count", d.halfElementCount},
                                      {"tube_outlet_difference", number(d.tubeOutletDifference)},
                                      {"shell_outlet_difference", number(d.shellOutletDifference)},
                                      {"estimate", number(d.estimate)},
                                      {"note", d.note}};
    } else {
        numerics["discretisation"] = {{"estimate", nullptr},
                                      {"note", d.note.empty() ? "not formed" : d.note}};
    }
    const ShootingAdvice& s = rep.shooting;
    numerics["shooting"] =
        s.applies
            ? json{{"correction_factor", number(c.correctionFactor)},
                   {"passes", r.shootingPasses},
                   {"fastest_factor", number(s.fastestFactor)},
                   {"advised_factor", number(s.advisedFactor)},
                   {"advised_passes", s.advisedPasses ? json(*s.advisedPasses) : json(nullptr)}}
            : json(nullptr);
    j["numerics"] = numerics;

    if (rep.outcome == Outcome::solved) {
        const Profile& p = r.profile;
        const std::vector<std::size_t> nodes = shownNodes(p.location.size(), 10001);
        json location = json::array(), tube = json::array(), shell = json::array();
        for (std::size_t i : nodes) {
            location.push_back(number(p.location[i]));
            tube.push_back(number(p.tube[i]));
            shell.push_back(number(p.shell[i]));
        }
        j["profile"] = {{"node_count", p.location.size()},
                        {"shell_column", c.exchangerType == ExchangerType::CrossFlowCounterCurrent
                                             ? "shell-pass inlet temperature"
                                             : "shell-fluid temperature"},
                        {"location", location},
                        {"tube", tube},
                        {"shell", shell}};
        // The properties at the same nodes, where the models gave them.
        if (const PropertyProfile* q = propertiesAlong(rep)) {
            for (const auto& [key, values] :
                 {std::pair{"tube_viscosity", &q->tubeViscosity},
                  std::pair{"shell_viscosity", &q->shellViscosity},
                  std::pair{"wall_temperature", &q->wallTemperature},
                  std::pair{"overall_coefficient", &q->overallCoefficient}}) {
                json column = json::array();
                for (std::size_t i : nodes) column.push_back(number((*values)[i]));
                j["profile"][key] = column;
            }
        }
    } else {
        j["profile"] = nullptr;
    }

    json warnings = json::array();
    for (const Warning& w : rep.warnings) {
        warnings.push_back({{"code", w.code},
                            {"severity", severityName(w.severity)},
                            {"message", w.message},
                            {"case_line", w.caseLine > 0 ? json(w.caseLine) : json(nullptr)}});
    }
    j["warnings"] = warnings;
    makeValidUtf8(j);
    return j;
}

std::string reportText(const Report& r) {
    // Every string is valid already; replace keeps dump() from ever throwing.
    return reportJson(r).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace hxrate::report
