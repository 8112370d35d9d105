// hxrate/thermal_summary.h: the thermal results of a solved rating: duties,
// their direction, effectiveness, NTU and mean temperature difference.
#pragma once

#include <optional>
#include <string_view>

#include "hxrate/case.h"
#include "hxrate/rating.h"

namespace hxrate {

// Which way the heat goes, seen from the tube stream.
enum class DutyDirection {
    none,              // no duty formed, or none passed (equal inlets)
    tubeStreamCooled,  // the tube stream gives heat to the shell stream
    tubeStreamHeated,  // the tube stream takes heat from the shell stream
};
// "tube stream cooled", "tube stream heated", "none".
std::string_view dutyDirectionText(DutyDirection direction);

// Duties, effectiveness and mean temperature difference of a solved rating.
struct ThermalSummary {
    std::optional<double> duty;  // |tube duty|, W
    DutyDirection dutyDirection = DutyDirection::none;
    std::optional<double> tubeDuty, shellDuty;  // heat given off / taken up, signed, W
    std::optional<double> imbalance;            // |Qt - Qs| / max(|Qt|, |Qs|)
    std::optional<double> UA;                   // U A, W/K
    std::optional<double> effectiveness;        // from the outlets
    std::optional<double> ntu;                  // UA / Cmin
    std::optional<double> capacityRatio;        // Cmin / Cmax
    std::optional<double> idealEffectiveness;   // closed form with the same UA
    bool idealCounterCurrent = false;           // which closed form
    std::optional<double> lmtd;                 // K
};
ThermalSummary summariseThermal(const Case& c, const Rating& r);

// Effectiveness of an ideal co- or counter-current exchanger.
double idealEffectiveness(double ntu, double capacityRatio, bool counterCurrent);

}  // namespace hxrate
