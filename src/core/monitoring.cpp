// The fouling of an exchanger in service from its measured outlets: the
// rated duty falls as the fouling grows, so the fouling that delivers the
// measured duty is bracketed from zero and found by bisection.
#include "hxrate/monitoring.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "core/refuse.h"

namespace hxrate {
namespace {

// A value for a message, to six significant digits.
std::string number(double t) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", t);
    return text;
}

// The first bracket of the total fouling, and how far it may be doubled,
// m2 K/W: 10 m2 K/W caps U at 0.1 W/(m2 K), far beyond any fouling.
constexpr double firstBracket = 1e-4;
constexpr double largestFouling = 10;
// Bracket width below which the bisection stops whatever the relative
// tolerance, m2 K/W.
constexpr double absoluteTolerance = 1e-12;

void requireMeasurement(const std::optional<double>& t, const char* argument, double low,
                        double high) {
    if (!t) return;
    if (!std::isfinite(*t) || *t < low || *t > high)
        refuse(argument, std::string(argument) + " " + number(*t) +
                             " degC lies outside the span of the inlets, " + number(low) + " to " +
                             number(high) + " degC");
}

// The search over the total fouling R: each step rates the document with
// R split between the two surfaces and forms the duty the fit compares.
class FoulingSearch {
  public:
    FoulingSearch(const CaseDocument& document, double insideShare, const Measurements& m,
                  const RateOptions& rating)
        : document_(document), share_(insideShare), m_(m) {
        options_.rating = rating;
        options_.assess = false;
        const Case& c = document.input;
        const double Di = c.tubeInnerDiameter;
        diameterRatio_ = Di / (Di + 2 * c.wallThickness);  // Di/Do
        hot_ = c.tubeInletTemperature > c.shellInletTemperature ? 1.0 : -1.0;
    }

    // Heat the hot stream gives off, W, when the tube stream leaves at `t`
    // (Q = rho V cp dT of the case's tube fluid) ...
    double tubeDuty(double t) const {
        const Case& c = document_.input;
        const Fluid& f = c.tubeFluid;
        return hot_ * (f.density * f.volumetricFlow * f.heatCapacity) *
               (c.tubeInletTemperature - t);
    }
    // ... and when the shell stream leaves at `t`.
    double shellDuty(double t) const {
        const Case& c = document_.input;
        const Fluid& f = c.shellFluid;
        return hot_ * (f.density * f.volumetricFlow * f.heatCapacity) *
               (t - c.shellInletTemperature);
    }
    // The duty the fit compares: of the measured outlet, or the mean of both.
    double fitted(double tubeOutlet, double shellOutlet) const {
        if (m_.tubeOutletTemperature && m_.shellOutletTemperature)
            return (tubeDuty(tubeOutlet) + shellDuty(shellOutlet)) / 2;
        return m_.tubeOutletTemperature ? tubeDuty(tubeOutlet) : shellDuty(shellOutlet);
    }
    double target() const {
        return fitted(m_.tubeOutletTemperature.value_or(0), m_.shellOutletTemperature.value_or(0));
    }

    // Rates the document carrying the total fouling R.
    ExchangerRating rateAt(double R) {
        ++ratings;
        CaseDocument d = document_;
        // R = Rf_o + Rf_i Do/Di, the inner share on the outer surface.
        d.extensions.foulingInside = share_ * R * diameterRatio_;
        d.extensions.foulingOutside = (1 - share_) * R;
        return rate(d, options_);
    }
    double dutyOf(const ExchangerRating& r) const {
        return fitted(r.rating.tubeOutletTemperature, r.rating.shellOutletTemperature);
    }
    double inside(double R) const { return share_ * R * diameterRatio_; }
    double outside(double R) const { return (1 - share_) * R; }

    int ratings = 0;

  private:
    const CaseDocument& document_;
    double share_;
    const Measurements& m_;
    ExchangerOptions options_;
    double diameterRatio_ = 1;
    double hot_ = 1;
};

void fillFrom(FoulingEstimate& e, const ExchangerRating& r) {
    if (r.extended) {
        e.cleanCoefficient = r.extended->cleanCoefficient;
        e.serviceCoefficient = r.extended->serviceCoefficient;
        e.cleanlinessFactor = r.extended->cleanlinessFactor;
    }
}

std::string rejection(const ExchangerRating& r, double R) {
    return "the rating at a total fouling of " + number(R) +
           " m2 K/W is rejected: " + std::string(checkMessage(*r.rejectedBy));
}

}  // namespace

FoulingEstimate findFouling(const CaseDocument& exchanger, const Measurements& m,
                            const FoulingOptions& options) {
    const Case& c = exchanger.input;
    if (!m.tubeOutletTemperature && !m.shellOutletTemperature)
        refuse("measurements", "measurements must give the tube or the shell outlet temperature");
    const double tIn = c.tubeInletTemperature, sIn = c.shellInletTemperature;
    if (!std::isfinite(tIn) || !std::isfinite(sIn) || tIn == sIn)
        refuse("exchanger", "the exchanger's inlets must differ for heat to pass");
    const double low = std::min(tIn, sIn), high = std::max(tIn, sIn);
    requireMeasurement(m.tubeOutletTemperature, "tubeOutletTemperature", low, high);
    requireMeasurement(m.shellOutletTemperature, "shellOutletTemperature", low, high);
    if (options.insideShare && !(std::isfinite(*options.insideShare) && *options.insideShare >= 0 &&
                                 *options.insideShare <= 1))
        refuse("insideShare", "insideShare must lie between 0 and 1");
    if (!std::isfinite(options.heatBalanceTolerance) || options.heatBalanceTolerance < 0)
        refuse("heatBalanceTolerance", "heatBalanceTolerance must be a finite value not below 0");
    if (!std::isfinite(options.relativeTolerance) || !(options.relativeTolerance > 0) ||
        options.relativeTolerance > 0.1)
        refuse("relativeTolerance", "relativeTolerance must lie above 0 and not above 0.1");

    // The share on the inner surface: as asked, else as the extensions give it.
    double share = 0;
    if (options.insideShare) {
        share = *options.insideShare;
    } else {
        const double Di = c.tubeInnerDiameter, Do = Di + 2 * c.wallThickness;
        const double inner = exchanger.extensions.foulingInside * (Do / Di);
        const double total = exchanger.extensions.foulingOutside + inner;
        if (std::isfinite(total) && total > 0) share = inner / total;
    }

    FoulingSearch search(exchanger, share, m, options.rating);
    FoulingEstimate e;
    if (m.tubeOutletTemperature) e.measuredTubeDuty = search.tubeDuty(*m.tubeOutletTemperature);
    if (m.shellOutletTemperature) e.measuredShellDuty = search.shellDuty(*m.shellOutletTemperature);
    if (e.measuredTubeDuty && e.measuredShellDuty) {
        const double qt = *e.measuredTubeDuty, qs = *e.measuredShellDuty;
        const double larger = std::max(qt, qs);
        e.heatBalanceMismatch = larger > 0 ? (qt - qs) / larger : 0.0;
        e.heatBalanceMismatched = std::fabs(*e.heatBalanceMismatch) > options.heatBalanceTolerance;
    }
    const double target = search.target();
    if (!std::isfinite(target))
        refuse("exchanger", "the measured duty rho V cp dT does not fit a double");
    e.fittedDuty = target;
    const auto finish = [&](ExchangerRating&& r) {
        e.ratings = search.ratings;
        e.rating = std::move(r);
        return e;
    };

    ExchangerRating clean = search.rateAt(0);
    if (!clean.solved()) {
        e.message = rejection(clean, 0);
        return finish(std::move(clean));
    }
    e.cleanDuty = search.dutyOf(clean);
    fillFrom(e, clean);
    if (e.cleanDuty < target) {
        e.message = "the clean exchanger delivers " + number(e.cleanDuty) + " W, less than the " +
                    number(target) + " W the measurements show: no fouling reproduces them";
        return finish(std::move(clean));
    }
    if (!(target > 0)) {
        e.message = "the measurements show no heat passed: no finite fouling reproduces them";
        return finish(std::move(clean));
    }
    if (e.cleanDuty == target) {
        e.reproduced = true;
        return finish(std::move(clean));
    }

    // Bracket: the duty at `hi` falls below the target, at `lo` it does not.
    double lo = 0, hi = firstBracket;
    while (true) {
        ExchangerRating r = search.rateAt(hi);
        if (!r.solved()) {
            e.message = rejection(r, hi);
            return finish(std::move(r));
        }
        if (search.dutyOf(r) < target) break;
        lo = hi;
        hi *= 2;
        if (hi > largestFouling) {
            e.message = "even a total fouling of " + number(lo) +
                        " m2 K/W leaves more duty than the measurements show";
            return finish(std::move(r));
        }
    }
    while (hi - lo > std::max(options.relativeTolerance * hi, absoluteTolerance)) {
        const double mid = lo + (hi - lo) / 2;
        ExchangerRating r = search.rateAt(mid);
        if (!r.solved()) {
            e.message = rejection(r, mid);
            return finish(std::move(r));
        }
        (search.dutyOf(r) < target ? hi : lo) = mid;
    }
    const double R = lo + (hi - lo) / 2;
    ExchangerRating found = search.rateAt(R);
    if (!found.solved()) {
        e.message = rejection(found, R);
        return finish(std::move(found));
    }
    e.reproduced = true;
    e.totalFouling = R;
    e.foulingInside = search.inside(R);
    e.foulingOutside = search.outside(R);
    fillFrom(e, found);
    if (e.heatBalanceMismatched)
        e.message = "the measured duties differ by " +
                    number(100 * std::fabs(*e.heatBalanceMismatch)) +
                    " %: the fouling fits their mean";
    return finish(std::move(found));
}

}  // namespace hxrate
