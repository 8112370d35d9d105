// The four records a run fills, in the order of the run: what the case file
// says, what follows from its geometry, the rating, and the temperatures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/rating.h"

namespace hxrate {

// The case is the public record: every value of the case file.
using CaseInput = Case;
using FluidProperties = Fluid;

struct DerivedGeometry {
    std::int32_t elementCount = 0;            // Nel
    double diagonalPitch = 0;                 // SD
    std::int32_t elementsPerCompartment = 0;  // Npc
    double baffleSpacing = 0;                 // B
    double outerDiameter = 0;                 // Do
    double bundleCellSize = 0;                // cell
    double wallResistance = 0;                // Rw = ln(Do/Di)/kw
};

struct ThermalModel {
    // Tube side
    double tubePrandtl = 0;          // Pr_i
    double tubeReynolds = 0;         // Re_i
    double tubeNusselt = 0;          // Nu_i
    double tubeFilmCoefficient = 0;  // h_i
    double tubeFilmResistance = 0;   // R_i
    double tubeFriction = 0;         // f_i, where the duct form formed one
    Correlation tubeCorrelation = Correlation::none;
    // Shell-side flow
    double shellFlowArea = 0;              // A_o
    double shellCharacteristicLength = 0;  // Dh_o
    double shellVelocity = 0;              // V_o (cross flow only)
    double shellReynolds = 0;              // Re_o
    double shellPrandtl = 0;               // Pr_o
    // Shell-side heat transfer
    double shellNusselt = 0;          // Nu_o
    double shellFilmCoefficient = 0;  // h_o
    double shellFilmResistance = 0;   // R_o
    double shellFriction = 0;         // f_o, where the sparse-bundle duct form formed one
    Correlation shellCorrelation = Correlation::none;
    int shellBankRow = 0;  // Reynolds-range row of the tube-bank table, 1..4
    // Per unit tube length, and the streams
    double resistancePerLength = 0;   // Rp
    double conductancePerLength = 0;  // UAp
    double tubeMassFlow = 0;          // mdot_i
    double shellMassFlow = 0;         // mdot_o
};

// The values of one quantity at nodes 0..Nel. Its storage is a vector so
// that a solved rating takes it into the public Profile without a copy.
struct NodeArray {
    std::vector<double> values;
    double* get() { return values.data(); }
    const double* get() const { return values.data(); }
    double& operator[](std::int64_t i) { return values[static_cast<std::size_t>(i)]; }
    const double& operator[](std::int64_t i) const { return values[static_cast<std::size_t>(i)]; }
};

// Node temperatures, nodes 0..Nel at i*dL from the tube inlet. The grid step
// only checks that the nodes fit the storage limit; the solver allocates the
// arrays when it starts, so that a case rejected before it never touches
// them. The pass-inlet array exists for counter-current cross flow only, the
// one type that writes and reports it.
struct TemperatureProfile {
    std::int64_t nodeCount = 0;           // Nel + 1, and at least 1
    NodeArray tubeTemperature;            // Tt
    NodeArray shellTemperature;           // Ts
    NodeArray shellPassInletTemperature;  // Tsp
    double finalShellTemperature = 0;
    std::int32_t shootingPasses = 0;  // marches made by the solver so far
};

}  // namespace hxrate
