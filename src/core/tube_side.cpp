#include "core/tube_side.h"

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/pipe_flow.h"

namespace hxrate {

void computeTubeSide(const CaseInput& in, ThermalModel& tm) {
    const FluidProperties& f = in.tubeFluid;
    double Nt = in.tubeCount;
    double Di = in.tubeInnerDiameter;

    tm.tubePrandtl =
        checked(f.heatCapacity * f.viscosity / f.conductivity, "tube-side Prandtl number");
    // The stream is shared equally by the Nt tubes: rho*V*Di/mu of one tube.
    tm.tubeReynolds = checked(f.density * f.volumetricFlow * 4 / (Nt * f.viscosity * k::pi * Di),
                              "tube-side Reynolds number");
    PipeFlowResult duct = pipeFlowNusselt(tm.tubeReynolds, tm.tubePrandtl, Di, in.tubeLength,
                                          in.innerRoughness, tubePipeFlow);
    tm.tubeNusselt = duct.nusselt;
    tm.tubeFriction = duct.friction;
    tm.tubeCorrelation = duct.turbulent ? Correlation::turbulentDuct : Correlation::laminarDuct;
    tm.tubeFilmCoefficient =
        checked(f.conductivity * tm.tubeNusselt / Di, "tube-side film coefficient");
    // 1/(h_i*r_i) with the inner radius Di/2.
    tm.tubeFilmResistance = checked(1 / (tm.tubeFilmCoefficient * Di * 0.5), "tube-side film term");
}

}  // namespace hxrate
