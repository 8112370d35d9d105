#include "core/pipe_flow.h"

#include <cmath>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"

namespace hxrate {

// Colebrook (1939), J. Inst. Civ. Eng. 11:133, implicit 1/sqrt(f) = -2 log10(eps/(3.7 D) +
// 2.51/(Re sqrt(f))); turbulent duct flow, Re > 4000 (used here from 2300), 0 <= eps/D <= 0.05.
double colebrookFriction(double Re, double eps, double D, Check divergence) {
    const double tol = k::convergenceTolerance;
    int n = 0;
    // Relative roughness term, the same in the start value and every step.
    double roughness = checked((eps / D) / k::roughnessDivisor, "relative roughness eps/D");

    // Swamee and Jain (1976), J. Hydraul. Div. ASCE 102:657, explicit f = 0.25/log10(eps/(3.7 D) +
    // 5.74/Re^0.9)^2; 5e3 <= Re <= 1e8, 1e-6 <= eps/D <= 1e-2: the start value only.
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
        // Gnielinski (1976), Int. Chem. Eng. 16:359, Nu = (f/8)(Re-1000)Pr/(1+12.7 sqrt(f/8)
        // (Pr^(2/3)-1)); 0.5 < Pr < 2000, 3000 < Re < 5e6 (used here from 2300).
        double f8 = f / 8;
        double Nu = f8 * (Re - 1000) * Pr /
                    (1 + k::gnielinskiFactor * std::sqrt(f8) *
                             (std::pow(Pr, k::gnielinskiPrandtlExponent) - 1));
        return {checked(Nu, "turbulent pipe-flow Nusselt number"), f, true};
    }
    if (Re > 0) {
        // Hagen-Poiseuille f = 64/Re; mean Nu of developing flow at uniform wall temperature,
        // Edwards, Denny and Mills (1979) as in Cengel and Ghajar, Heat and Mass Transfer, ch. 8:
        // Nu = 3.66 + 0.065 Gz/(1 + 0.04 Gz^(2/3)), Gz = (D/L) Re Pr; Re <= 2300.
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
