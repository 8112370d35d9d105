// The four records a run fills, in the order of the run: what the case file
// says, what follows from its geometry, the rating, and the temperatures.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace hxrate {

// Exchanger type codes. The case may hold any 32-bit value; only the solver
// dispatch rejects one outside 0..3.
namespace ExchangerType {
constexpr std::int32_t CoCurrent = 0;
constexpr std::int32_t CounterCurrent = 1;
constexpr std::int32_t CrossFlowCoCurrent = 2;
constexpr std::int32_t CrossFlowCounterCurrent = 3;
}  // namespace ExchangerType

inline bool isCrossFlow(std::int32_t type) {
    return type == ExchangerType::CrossFlowCoCurrent ||
           type == ExchangerType::CrossFlowCounterCurrent;
}

// Bundle arrangement codes; other values are rejected where a bundle
// correlation needs them.
namespace BundleArrangement {
constexpr std::int32_t Inline = 0;
constexpr std::int32_t Staggered = 1;
}  // namespace BundleArrangement

// A name of the case file: always exactly ten characters, blank-filled.
using Text10 = std::string;
inline Text10 blankText10() {
    return Text10(10, ' ');
}

struct FluidProperties {
    Text10 name = blankText10();
    double density = 0;         // rho
    double viscosity = 0;       // mu, dynamic
    double conductivity = 0;    // k
    double heatCapacity = 0;    // cp
    double volumetricFlow = 0;  // Q, whole stream
};

// Every value of the case file, in case-line order. Fields start at zero or
// blanks so that a value left unset by a null value or a slash is defined.
struct CaseInput {
    std::int32_t exchangerType = 0;       // type, line 1
    double tubeInnerDiameter = 0;         // Di, line 2
    double innerRoughness = 0;            // eps, line 3
    double tubeLength = 0;                // L, line 4
    double elementLength = 0;             // dL, line 5
    double shellInnerDiameter = 0;        // Ds, line 6
    std::int32_t bundleArrangement = 0;   // arr, line 7
    std::int32_t tubeCount = 0;           // Nt, line 8
    double longitudinalPitch = 0;         // SL, line 9
    double transversePitch = 0;           // ST, line 10
    std::int32_t baffleCount = 0;         // Nb, line 11
    Text10 wallMaterial = blankText10();  // line 13
    double wallConductivity = 0;          // kw, line 13
    double wallThickness = 0;             // tw, line 13
    FluidProperties tubeFluid;            // _i, line 15
    FluidProperties shellFluid;           // _o, line 16
    double tubeInletTemperature = 0;      // Tt_in, line 18
    double shellInletTemperature = 0;     // Ts_in, line 19
    double correctionFactor = 0;          // corr, line 21
};

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
    // Per unit tube length, and the streams
    double resistancePerLength = 0;   // Rp
    double conductancePerLength = 0;  // UAp
    double tubeMassFlow = 0;          // mdot_i
    double shellMassFlow = 0;         // mdot_o
};

// Node temperatures, nodes 0..Nel at i*dL from the tube inlet. The arrays are
// allocated without being filled (a large grid must not touch every page
// before it is marched); the solver writes every node it reports.
struct TemperatureProfile {
    std::int64_t nodeCount = 0;                           // Nel + 1, and at least 1
    std::unique_ptr<double[]> tubeTemperature;            // Tt
    std::unique_ptr<double[]> shellTemperature;           // Ts
    std::unique_ptr<double[]> shellPassInletTemperature;  // Tsp
    double finalShellTemperature = 0;
};

}  // namespace hxrate
