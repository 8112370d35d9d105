// The design search from Python: a design problem document searched on all
// cores with Ctrl-C, a chunk of it (for a Dask task), and the merge of the
// chunks; results as plain dicts and lists, which pickle anywhere.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding.h"
#include "hxrate/case_document.h"
#include "hxrate/design.h"
#include "hxrate/design_problem.h"

namespace hxrate_python {

using namespace pybind11::literals;

namespace {

using hxrate::Design;
using hxrate::DesignRefusal;
using hxrate::DesignResult;

// The numbers of a design under their keys, in one place for both ways.
struct DesignNumber {
    const char* key;
    double Design::*member;
};
constexpr DesignNumber designNumbers[] = {
    {"area", &Design::area},
    {"duty", &Design::duty},
    {"required_area", &Design::requiredArea},
    {"over_surface", &Design::overSurface},
    {"tube_pressure_drop", &Design::tubePressureDrop},
    {"shell_pressure_drop", &Design::shellPressureDrop},
    {"tube_velocity", &Design::tubeVelocity},
    {"shell_velocity", &Design::shellVelocity},
    {"overall_coefficient", &Design::overallCoefficient},
    {"pitch_ratio", &Design::pitchRatio},
    {"baffle_cut", &Design::baffleCut},
    {"velocity_ratio", &Design::velocityRatio},
};

py::dict designDict(const Design& d) {
    py::dict out;
    for (const DesignNumber& n : designNumbers) out[n.key] = d.*n.member;
    out["lmtd_correction"] = d.lmtdCorrection ? py::cast(*d.lmtdCorrection) : py::none();
    out["hot_in_tubes"] = d.hotInTubes;
    out["vibrates"] = d.vibrates;
    out["layout_angle"] = d.layoutAngle;
    out["candidate"] = d.candidate;
    out["confirmed"] = d.rating.has_value();
    const hxrate::Case& c = d.document.input;
    out["shell_diameter"] = c.shellInnerDiameter;
    out["tube_outer_diameter"] = c.tubeInnerDiameter + 2 * c.wallThickness;
    out["tube_count"] = c.tubeCount;
    out["tube_length"] = c.tubeLength;
    out["baffle_count"] = c.baffleCount;
    out["tube_passes"] = d.document.extensions.tubePasses;
    out["shells"] = d.document.extensions.shells;
    out["document"] = hxrate::caseDocumentJson(d.document);
    return out;
}

Design designFrom(const py::dict& d) {
    Design out;
    for (const DesignNumber& n : designNumbers) out.*n.member = d[n.key].cast<double>();
    if (!d["lmtd_correction"].is_none()) out.lmtdCorrection = d["lmtd_correction"].cast<double>();
    out.hotInTubes = d["hot_in_tubes"].cast<bool>();
    out.vibrates = d["vibrates"].cast<bool>();
    out.layoutAngle = d["layout_angle"].cast<int>();
    out.candidate = d["candidate"].cast<std::uint64_t>();
    out.document = hxrate::parseCaseDocument(d["document"].cast<std::string>());
    return out;
}

py::dict resultDict(const DesignResult& r) {
    py::dict out;
    out["duty"] = r.duty;
    out["candidates"] = r.candidates;
    py::list designs;
    for (const Design& d : r.designs) designs.append(designDict(d));
    out["designs"] = designs;
    py::dict refused;
    for (const auto& [why, n] : r.refused)
        refused[py::str(std::string(designRefusalName(why)))] = n;
    out["refused"] = refused;
    out["tube_front"] = r.tubeFront;
    out["shell_front"] = r.shellFront;
    out["advice"] = r.advice;
    return out;
}

// A chunk's dict back into its result.
DesignResult resultFrom(py::handle part) {
    if (!py::isinstance<py::dict>(part))
        throw py::type_error("_merge_designs() parts must be the dicts _design_search gives");
    auto d = py::reinterpret_borrow<py::dict>(part);
    DesignResult r;
    r.duty = d["duty"].cast<double>();
    r.candidates = d["candidates"].cast<std::uint64_t>();
    for (py::handle x : d["designs"])
        r.designs.push_back(designFrom(py::reinterpret_borrow<py::dict>(x)));
    const auto refused = d["refused"].cast<py::dict>();
    for (std::size_t k = 0; k <= static_cast<std::size_t>(DesignRefusal::ratingError); ++k) {
        const auto why = static_cast<DesignRefusal>(k);
        const py::str name(std::string(designRefusalName(why)));
        if (refused.contains(name))
            r.refused.emplace_back(why, refused[name].cast<std::uint64_t>());
    }
    return r;
}

hxrate::DesignOptions optionsOf(const hxrate::DesignProblemDocument& doc, unsigned threads,
                                std::size_t reported) {
    hxrate::DesignOptions o;
    o.shellSide = doc.shellSide;
    o.threads = threads;
    o.designsReported = reported;
    return o;
}

}  // namespace

void bindDesignSearch(py::module_& m) {
    m.def(
        "_design_search",
        [](const std::string& text, std::uint64_t first, std::uint64_t count, unsigned threads,
           std::size_t reported) {
            const hxrate::DesignProblemDocument doc = hxrate::parseDesignProblem(text);
            hxrate::DesignOptions o = optionsOf(doc, threads, reported);
            o.first = first;
            o.count = count;
            std::optional<DesignResult> result;
            runInterruptibly([&](const std::atomic<bool>* cancel) {
                o.cancel = cancel;
                result = hxrate::design(doc.problem, doc.space, o);
            });
            return resultDict(*result);
        },
        "problem"_a, "first"_a, "count"_a, "threads"_a, "reported"_a,
        "The design search of a design problem document (JSON text) over the candidates "
        "[first, first + count), as a dict; the whole space is ranked and its best rated "
        "again in full, a chunk is neither (hxrate.design() is the public form).");
    m.def(
        "_merge_designs",
        [](const std::string& text, const py::list& parts, unsigned threads, std::size_t reported) {
            const hxrate::DesignProblemDocument doc = hxrate::parseDesignProblem(text);
            std::vector<DesignResult> results;
            for (py::handle p : parts) results.push_back(resultFrom(p));
            hxrate::DesignOptions o = optionsOf(doc, threads, reported);
            std::optional<DesignResult> result;
            runInterruptibly([&](const std::atomic<bool>* cancel) {
                o.cancel = cancel;
                result = hxrate::mergeDesigns(doc.problem, doc.space, std::move(results), o);
            });
            return resultDict(*result);
        },
        "problem"_a, "parts"_a, "threads"_a, "reported"_a,
        "The chunks of a split design search merged into the whole search's result.");
    m.def(
        "_design_candidates",
        [](const std::string& text) {
            const hxrate::DesignProblemDocument doc = hxrate::parseDesignProblem(text);
            return hxrate::candidateCount(doc.problem, doc.space);
        },
        "problem"_a, "The number of candidates of a design problem document's space.");
}

}  // namespace hxrate_python
