// The streams the tests and benchmarks of real fluids and design mode take:
// the shipped example's engine oil as a table of properties, and its oil and
// water as a design problem.
#pragma once

#include "hxrate/design.h"
#include "hxrate/fluid_properties.h"

namespace hxrate::testing {

// Engine oil (unused), saturated liquid, at 273-370 K; illustrative values
// after Incropera and DeWitt (2002), Fundamentals of Heat and Mass Transfer,
// table A.5 (cp in J/(kg K), mu in Pa s).
inline PropertyModel engineOil() {
    struct Row {
        double kelvin, rho, cp, mu, k;
    } rows[] = {{273, 899.1, 1796, 3.85, 0.147},   {280, 895.3, 1827, 2.17, 0.144},
                {290, 890.0, 1868, 0.999, 0.145},  {300, 884.1, 1909, 0.486, 0.145},
                {310, 877.9, 1951, 0.253, 0.145},  {320, 871.8, 1993, 0.141, 0.143},
                {330, 865.8, 2035, 0.0836, 0.141}, {340, 859.9, 2076, 0.0531, 0.139},
                {350, 853.9, 2118, 0.0356, 0.138}, {360, 847.8, 2161, 0.0252, 0.138},
                {370, 841.8, 2206, 0.0186, 0.137}};
    PropertyModel m{PropertyModelKind::table, {}, 0};
    for (const Row& r : rows) m.table.push_back({r.kelvin - 273.15, {r.rho, r.mu, r.k, r.cp}});
    return m;
}

// The shipped example's streams, engine oil cooled by water at its flows and
// inlets, water in the tubes: a duty of 20 kW within 70 kPa each side.
inline DesignProblem oilCooler() {
    DesignProblem p;
    p.hot.fluid = {"EngineOil", 870.0, 0.08, 0.14, 2000.0, 0};
    p.hot.volumetricFlow = 0.003;
    p.hot.inletTemperature = 90;
    p.hot.allowablePressureDrop = 70e3;
    p.cold.fluid = {"Water", 998.0, 0.001, 0.6, 4180.0, 0};
    p.cold.volumetricFlow = 0.002;
    p.cold.inletTemperature = 20;
    p.cold.allowablePressureDrop = 70e3;
    p.duty = 20e3;
    p.tubeStream = TubeStream::cold;
    return p;
}

}  // namespace hxrate::testing
