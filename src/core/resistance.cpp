#include "core/resistance.h"

#include "core/arithmetic.h"
#include "core/constants.h"

namespace hxrate {

void computeResistancePerLength(const CaseInput& in, const DerivedGeometry& geo, ThermalModel& tm) {
    // Each term is a resistance of unit length times 2*pi.
    tm.resistancePerLength =
        checked((geo.wallResistance + tm.tubeFilmResistance + tm.shellFilmResistance) / (k::pi * 2),
                "resistance per unit length");
    tm.conductancePerLength = checked(1 / tm.resistancePerLength, "conductance per unit length");
    tm.tubeMassFlow =
        checked(in.tubeFluid.density * in.tubeFluid.volumetricFlow, "tube-side mass flow");
    tm.shellMassFlow =
        checked(in.shellFluid.density * in.shellFluid.volumetricFlow, "shell-side mass flow");
}

}  // namespace hxrate
