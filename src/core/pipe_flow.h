// Mean Nusselt number and Darcy friction factor of flow through a circular
// duct: laminar Graetz form, turbulent Gnielinski form with a Colebrook
// friction factor. Serves the tube side and the sparse axial shell bundle.
#pragma once

#include "hxrate/errors.h"
#include "hxrate/rating.h"

namespace hxrate {

struct PipeFlowResult {
    double nusselt;
    double friction;
    bool turbulent;
};

// The checks of the side the duct form serves, each with its own message.
struct PipeFlowChecks {
    Check flowParameters;
    Check frictionDivergence;
    Check nusseltRange;
};
inline constexpr PipeFlowChecks tubePipeFlow{
    Check::tubeFlowParameters, Check::tubeFrictionDivergence, Check::tubeNusseltRange};
inline constexpr PipeFlowChecks shellPipeFlow{
    Check::tubeFlowParameters, Check::shellFrictionDivergence, Check::shellNusseltRange};

// Rejects Re <= 0, a friction factor that does not converge and a turbulent
// Re above 5,000,000.
PipeFlowResult pipeFlowNusselt(double Re, double Pr, double D, double L, double eps,
                               const PipeFlowChecks& checks);

// Colebrook friction factor from the Swamee-Jain start value; at most 1000
// steps, each compared strictly with the tolerance.
double colebrookFriction(double Re, double eps, double D, Check divergence);

}  // namespace hxrate
