// Nanoseconds per element of the temperature march, against a bare loop of
// the same arithmetic with no bookkeeping at all. The project's march should
// stay within 1.15 times the bare loop.
//
// Then real fluids: the element-by-element rating of the shipped example on
// a fine grid, with its oil as a table and with water on the tube side,
// against the same rating with constant properties (goal for the table: at
// most 3 times the constant march per element), and the iterations of the
// mean mode on the example.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/arithmetic.h"
#include "core/failures.h"
#include "core/geometry.h"
#include "core/temperature_profile.h"
#include "hxrate/case_files.h"
#include "hxrate/exchanger.h"
#include "hxrate/fluid_properties.h"
#include "support/example_streams.h"

namespace hxrate {
namespace {

constexpr std::int32_t elements = 1000;
constexpr std::int32_t passes = 200;

struct Records {
    CaseInput in;
    Rating rating;  // the geometry and the per-length terms the solver reads
    TemperatureProfile profile;
};

// A counter-current case whose correction factor 0 makes every pass repeat:
// the solver marches exactly `passes` passes, then stops the run.
Records counterCurrentCase(std::int32_t type, std::int32_t Nb) {
    Records r;
    r.in.exchangerType = type;
    r.in.tubeLength = 1.0;
    r.in.elementLength = 1.0 / elements;
    r.in.baffleCount = Nb;
    r.in.tubeCount = 37;
    r.in.tubeFluid.heatCapacity = 4180;
    r.in.shellFluid.heatCapacity = 2000;
    r.in.tubeInletTemperature = 20;
    r.in.shellInletTemperature = 90;
    r.in.correctionFactor = 0;
    r.rating.resistancePerLength = 0.05;
    r.rating.conductancePerLength = 20;
    r.rating.tubeMassFlow = 2;
    r.rating.shellMassFlow = 2.6;
    clearArithmeticFlags();
    computeElementGrid(r.in, r.rating.geometry, r.profile, std::uint64_t{1} << 30);
    computeBaffleCompartments(r.in, r.rating.geometry);
    return r;
}

void solveAll(Records& r) {
    try {
        solveTemperatureProfile(r.in, r.rating, r.profile, SolveOptions{.passLimit = passes});
    } catch (const CaseRejected&) {
        // The pass limit was reached, as intended.
    }
}

// Seconds per element, shown in nanoseconds.
void reportNanosecondsPerElement(benchmark::State& state) {
    state.counters["ns_per_element"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * passes * elements,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void AxialCounterCurrentMarch(benchmark::State& state) {
    Records r = counterCurrentCase(ExchangerType::CounterCurrent, 0);
    for (auto _ : state) {
        solveAll(r);
        benchmark::DoNotOptimize(r.profile.shellTemperature[elements]);
    }
    reportNanosecondsPerElement(state);
}

// The same passes as plain arithmetic over two arrays.
void AxialBareLoop(benchmark::State& state) {
    Records r = counterCurrentCase(ExchangerType::CounterCurrent, 0);
    MarchCoefficients c = marchCoefficients(r.in, r.rating, -1);
    std::vector<double> Tt(elements + 1), Ts(elements + 1);
    for (auto _ : state) {
        Tt[0] = r.in.tubeInletTemperature;
        Ts[0] = r.in.shellInletTemperature;
        for (int pass = 0; pass < passes; ++pass) {
            double tt = Tt[0], ts = Ts[0];
            for (int i = 1; i <= elements; ++i) {
                double next = tt - (tt - ts) * c.tubeCount / c.elementCapacity;
                ts = ts - (next - tt) * c.sign * c.tubeHeatCapacity * c.tubeMassFlow /
                              c.shellCapacityRate;
                tt = next;
                Tt[i] = tt;
                Ts[i] = ts;
            }
            benchmark::DoNotOptimize(Ts[elements]);
        }
    }
    reportNanosecondsPerElement(state);
}

void CrossFlowCounterCurrentMarch(benchmark::State& state) {
    Records r = counterCurrentCase(ExchangerType::CrossFlowCounterCurrent, 9);
    for (auto _ : state) {
        solveAll(r);
        benchmark::DoNotOptimize(r.profile.shellPassInletTemperature[elements]);
    }
    reportNanosecondsPerElement(state);
}

// Ten compartments of 100 elements, each at one shell temperature, with the
// compartment balance and the pass-inlet record, as plain arithmetic.
void CrossFlowBareLoop(benchmark::State& state) {
    Records r = counterCurrentCase(ExchangerType::CrossFlowCounterCurrent, 9);
    MarchCoefficients c = marchCoefficients(r.in, r.rating, -1);
    const int perCompartment = elements / 10;
    std::vector<double> Tt(elements + 1), Ts(elements + 1), Tsp(elements + 1);
    for (auto _ : state) {
        Tt[0] = r.in.tubeInletTemperature;
        for (int pass = 0; pass < passes; ++pass) {
            double Tsc = r.in.shellInletTemperature;
            for (int k0 = 0; k0 < elements; k0 += perCompartment) {
                int k1 = k0 + perCompartment;
                double tt = Tt[k0];
                for (int i = k0 + 1; i <= k1; ++i) {
                    Ts[i - 1] = Tsc;
                    tt = tt - (tt - Tsc) * c.tubeCount / c.elementCapacity;
                    Tt[i] = tt;
                }
                Ts[k1] = Tsc;
                Tsc = Tsc - (Tt[k1] - Tt[k0]) * c.sign * c.tubeHeatCapacity * c.tubeMassFlow /
                                c.shellCapacityRate;
                for (int i = k0; i <= k1; ++i) Tsp[i] = Tsc;
            }
            benchmark::DoNotOptimize(Tsp[elements]);
        }
    }
    reportNanosecondsPerElement(state);
}

// The shipped example on 3000 elements: the constant-property march is
// then most of its rating's time.
CaseDocument fineExample() {
    CaseDocument d{readCase(HXRATE_EXAMPLE_CASE), {}, {}};
    d.input.elementLength = d.input.tubeLength / 3000;
    return d;
}

using testing::engineOil;

// Rates `d` without the assessment; reports the time per element of every
// pass the march made (the element-by-element rating marches its solution
// once more to form its means, counted as a pass).
void rateDocument(benchmark::State& state, const CaseDocument& d) {
    ExchangerOptions o;
    o.assess = false;
    double elementPasses = 0;
    for (auto _ : state) {
        ExchangerRating r = rate(d, o);
        const double replay = d.propertiesAt == PropertiesAt::incremental ? 1 : 0;
        elementPasses = static_cast<double>(r.rating.geometry.elementCount) *
                        (static_cast<double>(r.rating.shootingPasses) + replay);
        benchmark::DoNotOptimize(r.rating.tubeOutletTemperature);
    }
    state.counters["ns_per_element"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * elementPasses,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void ExampleConstantProperties(benchmark::State& state) {
    rateDocument(state, fineExample());
}

void ExampleOilTableIncremental(benchmark::State& state) {
    CaseDocument d = fineExample();
    d.shellProperties = engineOil();
    d.propertiesAt = PropertiesAt::incremental;
    rateDocument(state, d);
}

void ExampleWaterIncremental(benchmark::State& state) {
    CaseDocument d = fineExample();
    d.tubeProperties = {PropertyModelKind::water, {}, 3e5};
    d.propertiesAt = PropertiesAt::incremental;
    rateDocument(state, d);
}

// The mean mode on the shipped example (its own grid), oil as a table and
// water at 3 bar: the re-ratings it makes before the outlets settle.
void ExampleMeanModeIterations(benchmark::State& state) {
    CaseDocument d{readCase(HXRATE_EXAMPLE_CASE), {}, {}};
    d.tubeProperties = {PropertyModelKind::water, {}, 3e5};
    d.shellProperties = engineOil();
    d.propertiesAt = PropertiesAt::mean;
    ExchangerOptions o;
    o.assess = false;
    int iterations = 0;
    for (auto _ : state) {
        ExchangerRating r = rate(d, o);
        iterations = r.meanIterations;
        benchmark::DoNotOptimize(r.rating.tubeOutletTemperature);
    }
    state.counters["mean_iterations"] = iterations;
}

BENCHMARK(AxialCounterCurrentMarch)->Unit(benchmark::kMillisecond);
BENCHMARK(AxialBareLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(CrossFlowCounterCurrentMarch)->Unit(benchmark::kMillisecond);
BENCHMARK(CrossFlowBareLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(ExampleConstantProperties)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExampleOilTableIncremental)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExampleWaterIncremental)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExampleMeanModeIterations)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hxrate

BENCHMARK_MAIN();
