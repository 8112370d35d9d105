#include "core/tube_side.h"

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/pipe_flow.h"

namespace hxrate {

void computeTubeSide(const CaseInput& in, SideResult& tube) {
    const Fluid& f = in.tubeFluid;
    double Nt = in.tubeCount;
    double Di = in.tubeInnerDiameter;

    tube.prandtl =
        checked(f.heatCapacity * f.viscosity / f.conductivity, "tube-side Prandtl number");
    // The stream is shared equally by the Nt tubes: rho*V*Di/mu of one tube.
    tube.reynolds = checked(f.density * f.volumetricFlow * 4 / (Nt * f.viscosity * k::pi * Di),
                            "tube-side Reynolds number");
    PipeFlowResult duct = pipeFlowNusselt(tube.reynolds, tube.prandtl, Di, in.tubeLength,
                                          in.innerRoughness, tubePipeFlow);
    tube.nusselt = duct.nusselt;
    tube.friction = duct.friction;
    tube.correlation = duct.turbulent ? Correlation::turbulentDuct : Correlation::laminarDuct;
    tube.filmCoefficient =
        checked(f.conductivity * tube.nusselt / Di, "tube-side film coefficient");
    // 1/(h_i*r_i) with the inner radius Di/2.
    tube.filmResistance = checked(1 / (tube.filmCoefficient * Di * 0.5), "tube-side film term");
}

}  // namespace hxrate
