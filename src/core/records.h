// What a run holds beside the public records: the case is the public Case,
// the quantities the model forms fill the public Rating, and the node
// temperatures live here until a solved rating takes them over.
#pragma once

#include <cstdint>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/rating.h"

namespace hxrate {

// The case is the public record: every value of the case file.
using CaseInput = Case;

// The values of one quantity at nodes 0..Nel. Its storage is a vector so
// that a solved rating takes it into the public Profile without a copy.
struct NodeArray {
    std::vector<double> values;
    double* get() { return values.data(); }
    const double* get() const { return values.data(); }
    double& operator[](std::int64_t i) { return values[static_cast<std::size_t>(i)]; }
    const double& operator[](std::int64_t i) const { return values[static_cast<std::size_t>(i)]; }
};

// Node temperatures, nodes 0..Nel at nodeLocation(i, dL). The grid step
// only checks that the nodes fit the storage limit; the solver allocates the
// arrays when it starts, so that a case rejected before it never touches
// them. The pass-inlet array exists for counter-current cross flow only, the
// one type that writes and reports it.
struct TemperatureProfile {
    std::int64_t nodeCount = 0;           // Nel + 1, and at least 1
    NodeArray tubeTemperature;            // Tt
    NodeArray shellTemperature;           // Ts
    NodeArray shellPassInletTemperature;  // Tsp
    // Cross flow: the shell temperature after the last compartment of the
    // last pass.
    double finalShellTemperature = 0;
};

// Where node i lies from the tube inlet end, m: formed afresh for each
// node, never summed element by element, wherever a location is needed.
inline double nodeLocation(std::int64_t i, double dL) {
    return static_cast<double>(i) * dL;
}

}  // namespace hxrate
