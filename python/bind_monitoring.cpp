// The fouling of an exchanger in service from its measured outlets:
// FoulingEstimate and find_fouling(document, tube_outlet=..., shell_outlet=...).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "binding.h"
#include "hxrate/exchanger.h"
#include "hxrate/monitoring.h"

namespace hxrate_python {

using namespace pybind11::literals;

namespace {

using hxrate::FoulingEstimate;

// The rating at the fouling found, with its case, as the module's Rating.
struct FoulingEstimateObject {
    std::shared_ptr<const FoulingEstimate> estimate;
    hxrate::Case ratedCase;
};

// The keyword a C++ argument name stands for in find_fouling().
std::string keywordOf(const std::string& argument) {
    static const std::pair<const char*, const char*> names[] = {
        {"tubeOutletTemperature", "tube_outlet"},
        {"shellOutletTemperature", "shell_outlet"},
        {"measurements", "tube_outlet"},
        {"insideShare", "inside_share"},
        {"heatBalanceTolerance", "heat_balance_tolerance"},
        {"relativeTolerance", "relative_tolerance"},
        {"exchanger", "document"},
    };
    for (const auto& [cpp, python] : names)
        if (argument == cpp) return python;
    return argument;
}

// The message with each C++ name replaced by its keyword.
std::string withKeywords(std::string message) {
    for (const char* cpp : {"tubeOutletTemperature", "shellOutletTemperature", "insideShare",
                            "heatBalanceTolerance", "relativeTolerance"}) {
        const std::string python = keywordOf(cpp);
        for (std::size_t at = message.find(cpp); at != std::string::npos;
             at = message.find(cpp, at + python.size()))
            message.replace(at, std::string(cpp).size(), python);
    }
    return message;
}

// The most ratings a search makes: the bracket's doublings from 1e-4 to
// 10 m2 K/W, a bisection to 1e-7 and the last rating, with room to spare.
constexpr double searchRatings = 80;

const char* const findFoulingDoc =
    R"(find_fouling(document: CaseDocument, *, tube_outlet: float | None = None, shell_outlet: float | None = None, inside_share: float | None = None, heat_balance_tolerance: float = 0.05, relative_tolerance: float = 1e-7, shooting: str = "case", pass_limit: int = 10000) -> FoulingEstimate

The total fouling (m2 K/W, on the outer surface: Rf_o + Rf_i Do/Di) with
which the document's exchanger delivers the duty its measured outlet
temperatures (degC, at least one) show. The flows and inlets are the
document's case. Each step rates the document without assessment, the
fouling split by inside_share (the share on the inner surface, 0 to 1;
None: as the document's extensions split it, else all outside); the
bisection stops when its bracket is narrower than relative_tolerance of
its upper end. With both outlets the mean of their duties is fitted and
a disagreement beyond heat_balance_tolerance is reported. Outlets the
clean exchanger cannot reach give reproduced=False with a message.
Raises InvalidArgument (argument: the keyword) for no outlet, an outlet
outside the span of the inlets or a keyword outside its domain.)";

}  // namespace

void bindMonitoring(py::module_& m) {
    py::class_<FoulingEstimateObject, std::shared_ptr<FoulingEstimateObject>> estimate(
        m, "FoulingEstimate",
        "What measured outlets say of an exchanger's fouling (find_fouling()).");
    const auto field = [&](const char* name, auto get, const char* doc) {
        estimate.def_property_readonly(
            name, [get](const FoulingEstimateObject& x) { return get(*x.estimate); }, doc);
    };
    field(
        "reproduced", [](const FoulingEstimate& e) { return e.reproduced; },
        "Whether a fouling >= 0 reproduces the measurements.");
    field(
        "message", [](const FoulingEstimate& e) { return e.message; },
        "Why not (the clean exchanger cannot reach them, a rejection), or the heat-balance "
        "note; empty otherwise.");
    field(
        "total_fouling", [](const FoulingEstimate& e) { return e.totalFouling; },
        "Rf_o + Rf_i Do/Di found, on the outer surface, m2 K/W (0 when not reproduced).");
    field(
        "fouling_inside", [](const FoulingEstimate& e) { return e.foulingInside; },
        "Rf_i, m2 K/W.");
    field(
        "fouling_outside", [](const FoulingEstimate& e) { return e.foulingOutside; },
        "Rf_o, m2 K/W.");
    field(
        "clean_coefficient", [](const FoulingEstimate& e) { return e.cleanCoefficient; },
        "U without fouling, outer surface, W/(m2 K).");
    field(
        "service_coefficient", [](const FoulingEstimate& e) { return e.serviceCoefficient; },
        "U with the fouling found, W/(m2 K).");
    field(
        "cleanliness_factor", [](const FoulingEstimate& e) { return e.cleanlinessFactor; },
        "Service U / clean U.");
    field(
        "ratings", [](const FoulingEstimate& e) { return e.ratings; }, "Ratings the search made.");
    field(
        "measured_tube_duty", [](const FoulingEstimate& e) { return e.measuredTubeDuty; },
        "Duty of the measured tube outlet, rho V cp dT, W (None when not measured).");
    field(
        "measured_shell_duty", [](const FoulingEstimate& e) { return e.measuredShellDuty; },
        "Duty of the measured shell outlet, W (None when not measured).");
    field(
        "fitted_duty", [](const FoulingEstimate& e) { return e.fittedDuty; },
        "The duty fitted: the measured one, or the mean of both, W.");
    field(
        "clean_duty", [](const FoulingEstimate& e) { return e.cleanDuty; },
        "The duty of the clean exchanger, W.");
    field(
        "heat_balance_mismatch", [](const FoulingEstimate& e) { return e.heatBalanceMismatch; },
        "(Qt - Qs)/max(Qt, Qs) of the two measured duties (None with one outlet).");
    field(
        "heat_balance_mismatched", [](const FoulingEstimate& e) { return e.heatBalanceMismatched; },
        "Whether that exceeds heat_balance_tolerance.");
    estimate.def_property_readonly(
        "rating",
        [](const FoulingEstimateObject& x) -> py::object {
            if (!x.estimate->rating) return py::none();
            auto rating =
                std::shared_ptr<const hxrate::Rating>(x.estimate, &x.estimate->rating->rating);
            return py::cast(std::make_shared<RatingObject>(RatingObject{x.ratedCase, rating}));
        },
        "The Rating at the fouling found (at zero fouling when none is), or None.");
    estimate.def("__repr__", [](const FoulingEstimateObject& x) {
        const FoulingEstimate& e = *x.estimate;
        return "FoulingEstimate(reproduced=" + std::string(e.reproduced ? "True" : "False") +
               ", total_fouling=" + std::string(py::repr(py::float_(e.totalFouling))) +
               ", ratings=" + std::to_string(e.ratings) + ")";
    });

    py::options signatures;
    signatures.disable_function_signatures();
    m.def(
        "find_fouling",
        [](const hxrate::CaseDocument& document, py::handle tubeOutlet, py::handle shellOutlet,
           py::handle insideShare, py::handle heatBalanceTolerance, py::handle relativeTolerance,
           const std::string& shooting, py::handle passLimit) {
            hxrate::Measurements measured;
            if (!tubeOutlet.is_none())
                measured.tubeOutletTemperature = toReal(tubeOutlet, "tube_outlet");
            if (!shellOutlet.is_none())
                measured.shellOutletTemperature = toReal(shellOutlet, "shell_outlet");
            hxrate::FoulingOptions options;
            if (!insideShare.is_none()) options.insideShare = toReal(insideShare, "inside_share");
            options.heatBalanceTolerance = toReal(heatBalanceTolerance, "heat_balance_tolerance");
            options.relativeTolerance = toReal(relativeTolerance, "relative_tolerance");
            options.rating = rateOptions(shooting, passLimit);
            const hxrate::CaseDocument input = document;  // the Python object may change meanwhile
            auto result = std::make_shared<FoulingEstimateObject>();
            result->ratedCase = input.input;
            try {
                runInterruptibly(searchRatings * workBound(input.input, options.rating),
                                 [&](const std::atomic<bool>* cancel) {
                                     hxrate::FoulingOptions own = options;
                                     own.rating.cancel = cancel;
                                     result->estimate = std::make_shared<const FoulingEstimate>(
                                         hxrate::findFouling(input, measured, own));
                                 });
            } catch (const hxrate::InvalidArgument& e) {
                throw hxrate::InvalidArgument(keywordOf(e.argument()), withKeywords(e.what()));
            }
            return result;
        },
        "document"_a, py::kw_only(), "tube_outlet"_a = py::none(), "shell_outlet"_a = py::none(),
        "inside_share"_a = py::none(), "heat_balance_tolerance"_a = 0.05,
        "relative_tolerance"_a = 1e-7, "shooting"_a = "case",
        "pass_limit"_a = hxrate::defaultPassLimit, findFoulingDoc);
}

}  // namespace hxrate_python
