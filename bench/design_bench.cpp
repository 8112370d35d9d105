// Candidates per second of the design search on this machine's cores: the
// default space for the shipped example's streams (one tube pass marched,
// several in closed form), and a space of several passes only, rated in
// closed form (P-NTU). Goal: at least 100,000 a second for the latter.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "hxrate/design.h"
#include "support/example_streams.h"

namespace hxrate {
namespace {

using testing::oilCooler;

void search(benchmark::State& state, const DesignSpace& space) {
    const DesignProblem p = oilCooler();
    DesignOptions o;
    o.threads = static_cast<unsigned>(state.range(0));
    o.designsReported = 0;  // the search alone
    std::uint64_t candidates = 0, feasible = 0;
    for (auto _ : state) {
        DesignResult r = design(p, space, o);
        candidates = r.candidates;
        feasible = r.designs.size();
        benchmark::DoNotOptimize(r.designs.data());
    }
    state.counters["candidates_per_s"] = benchmark::Counter(
        static_cast<double>(candidates) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["candidates"] = static_cast<double>(candidates);
    state.counters["feasible"] = static_cast<double>(feasible);
}

void DefaultSpace(benchmark::State& state) {
    search(state, defaultDesignSpace());
}

void ClosedFormSpace(benchmark::State& state) {
    DesignSpace s = defaultDesignSpace();
    s.tubePasses = {2, 4, 6, 8};
    search(state, s);
}

BENCHMARK(DefaultSpace)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ClosedFormSpace)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace hxrate

BENCHMARK_MAIN();
