// Mean Nusselt number and Darcy friction factor of flow through a circular
// duct: laminar Graetz form, turbulent Gnielinski form with a Colebrook
// friction factor. Serves the tube side and the sparse axial shell bundle.
#pragma once

#include <string_view>

namespace hxrate {

struct PipeFlowResult {
    double nusselt;
    double friction;
};

// Rejects Re <= 0, a friction factor that does not converge (with
// `divergenceMessage`) and a turbulent Re above 5,000,000.
PipeFlowResult pipeFlowNusselt(double Re, double Pr, double D, double L, double eps,
                               std::string_view divergenceMessage);

// Colebrook friction factor from the Swamee-Jain start value; at most 1000
// steps, each compared strictly with the tolerance.
double colebrookFriction(double Re, double eps, double D, std::string_view divergenceMessage);

}  // namespace hxrate
