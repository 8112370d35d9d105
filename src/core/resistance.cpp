#include "core/resistance.h"

#include "core/arithmetic.h"
#include "core/constants.h"

namespace hxrate {

void computeResistancePerLength(const CaseInput& in, Rating& r) {
    // Each term is a resistance of unit length times 2*pi.
    r.resistancePerLength = checked(
        (r.geometry.wallResistance + r.tube.filmResistance + r.shell.filmResistance) / (k::pi * 2),
        "resistance per unit length");
    r.conductancePerLength = checked(1 / r.resistancePerLength, "conductance per unit length");
    r.tubeMassFlow =
        checked(in.tubeFluid.density * in.tubeFluid.volumetricFlow, "tube-side mass flow");
    r.shellMassFlow =
        checked(in.shellFluid.density * in.shellFluid.volumetricFlow, "shell-side mass flow");
}

}  // namespace hxrate
