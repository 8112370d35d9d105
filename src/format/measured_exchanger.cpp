// The measured exchanger document: a case document inside, read by the
// case document's own reader, and the outlets measured on it.
#include "hxrate/measured_exchanger.h"

#include <string>
#include <vector>

#include "format/json_document.h"

namespace hxrate {
namespace {

constexpr std::string_view documentFormat = "hxrate-measured-exchanger";
constexpr int documentVersion = 1;
constexpr std::string_view kind = "measured exchanger";

}  // namespace

MeasuredExchanger parseMeasuredExchanger(std::string_view json, std::string_view sourceName) {
    using document::Json;
    using document::Reader;
    const std::string source(sourceName);
    return document::readGuarded(kind, source, [&] {
        const Json doc = document::parseTree(json, kind, source);
        std::vector<GivenQuantity> given;
        const Reader r(kind, source, "version 1 of the measured exchanger document", given);
        r.object(doc, "the document");
        r.onlyKnown(doc, "(top level)",
                    {"$schema", "format", "version", "exchanger", "tube_outlet_temperature",
                     "shell_outlet_temperature", "inside_share", "heat_balance_tolerance",
                     "relative_tolerance"});
        r.requireFormat(doc, "(top level)", documentFormat, documentVersion);
        MeasuredExchanger m;
        std::vector<GivenQuantity> exchangerGiven;
        const Reader inside(kind, source, "version 1 of the case document", exchangerGiven,
                            "exchanger");
        m.exchanger =
            document::readCaseDocument(inside, r.member(doc, "(top level)", "exchanger"), "");
        if (!doc.contains("tube_outlet_temperature") && !doc.contains("shell_outlet_temperature"))
            r.refuse("tube_outlet_temperature",
                     "required (or shell_outlet_temperature), but left out");
        if (doc.contains("tube_outlet_temperature"))
            m.measured.tubeOutletTemperature =
                r.quantity(doc["tube_outlet_temperature"], "tube_outlet_temperature", "degC");
        if (doc.contains("shell_outlet_temperature"))
            m.measured.shellOutletTemperature =
                r.quantity(doc["shell_outlet_temperature"], "shell_outlet_temperature", "degC");
        if (doc.contains("inside_share"))
            m.options.insideShare = r.real(doc["inside_share"], "inside_share");
        if (doc.contains("heat_balance_tolerance"))
            m.options.heatBalanceTolerance =
                r.real(doc["heat_balance_tolerance"], "heat_balance_tolerance");
        if (doc.contains("relative_tolerance"))
            m.options.relativeTolerance = r.real(doc["relative_tolerance"], "relative_tolerance");
        return m;
    });
}

}  // namespace hxrate
