// Prints the water model's properties for the reference test against
// python3-iapws. Reads "temperature_degC pressure_Pa" pairs from standard
// input, one a line, and writes for each
//   T p density viscosity conductivity heatCapacity     (SI, 17 digits)
// or "T p refused" where the model gives no properties there.
#include <cstdio>
#include <iostream>

#include "hxrate/errors.h"
#include "hxrate/fluid_properties.h"

int main() {
    double temperature, pressure;
    while (std::cin >> temperature >> pressure) {
        hxrate::PropertyModel model{hxrate::PropertyModelKind::water, {}, pressure};
        try {
            hxrate::FluidProperties p = hxrate::propertiesAt(model, {}, temperature, "tube");
            std::printf("%.17g %.17g %.17g %.17g %.17g %.17g\n", temperature, pressure, p.density,
                        p.viscosity, p.conductivity, p.heatCapacity);
        } catch (const hxrate::PropertyRangeError&) {
            std::printf("%.17g %.17g refused\n", temperature, pressure);
        }
    }
    return std::cin.eof() ? 0 : 1;
}
