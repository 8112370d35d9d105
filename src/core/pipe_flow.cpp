#include "core/pipe_flow.h"

#include <cmath>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"

namespace hxrate {

double colebrookFriction(double Re, double eps, double D, Check divergence) {
    const double tol = k::convergenceTolerance;
    int n = 0;
    // Relative roughness term, the same in the start value and every step.
    double roughness = checked((eps / D) / k::roughnessDivisor, "relative roughness eps/D");

    double t0 =
        2 * std::log10(k::swameeJainFactor / std::pow(Re, k::swameeJainExponent) + roughness);
    double f0 = checked(1 / (t0 * t0), "Swamee-Jain friction factor");
    double smoothTerm = k::colebrookFactor / Re;
    while (true) {
        double t = 2 * std::log10(smoothTerm / std::sqrt(f0) + roughness);
        double f = checked(1 / (t * t), "Colebrook friction factor");
        if (std::fabs(f - f0) < tol) return f;
        f0 = f;
        n = n + 1;
        if (n >= k::frictionIterationLimit) terminateRun(divergence);
    }
}

PipeFlowResult pipeFlowNusselt(double Re, double Pr, double D, double L, double eps,
                               const PipeFlowChecks& checks) {
    if (Re > k::laminarLimitReynolds) {
        double f = colebrookFriction(Re, eps, D, checks.frictionDivergence);
        if (Re > k::turbulentMaxReynolds) terminateRun(checks.nusseltRange);
        double f8 = f / 8;
        double Nu = f8 * (Re - 1000) * Pr /
                    (1 + k::gnielinskiFactor * std::sqrt(f8) *
                             (std::pow(Pr, k::gnielinskiPrandtlExponent) - 1));
        return {checked(Nu, "turbulent pipe-flow Nusselt number"), f, true};
    }
    if (Re > 0) {
        double f = 64 / Re;
        double Gz = D * Re * Pr / L;
        double Nu = k::laminarNusseltBase +
                    k::graetzFactor * Gz /
                        (1 + k::graetzDenominatorFactor * std::pow(Gz, k::graetzExponent));
        return {checked(Nu, "laminar pipe-flow Nusselt number"), f, false};
    }
    terminateRun(checks.flowParameters);
}

}  // namespace hxrate
