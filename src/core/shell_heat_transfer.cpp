#include "core/shell_heat_transfer.h"

#include <cmath>
#include <optional>

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/messages.h"
#include "core/pipe_flow.h"

namespace hxrate {

// Churchill and Bernstein (1977), J. Heat Transfer 99:300: the full form for Re >= 4e5, the
// form with [1 + (Re/282000)^(1/2)] for 1e4 <= Re < 4e5, and below 1e4 a shortened form
// without that bracket; one cylinder in cross flow, Re Pr > 0.2.
double singleCylinderNusselt(double Re, double Pr) {
    using std::pow;
    double F = k::cylinderFactor * std::sqrt(Re) * pow(Pr, k::cylinderPrandtlExponent) /
               pow(1 + pow(k::cylinderPrandtlRatio / Pr, k::cylinderRatioExponent), 0.25);
    checked(F, "single-cylinder Prandtl factor");
    double Nu;
    if (Re >= k::cylinderFullFormReynolds) {
        Nu = k::cylinderBase +
             F * pow(1 + pow(Re / k::cylinderReynoldsScale, 0.625), k::cylinderOuterExponent);
    } else if (Re >= k::cylinderMiddleFormReynolds) {
        Nu = k::cylinderBase + F * (1 + pow(Re / k::cylinderReynoldsScale, 0.5));
    } else {
        Nu = k::cylinderBase + F;
    }
    return checked(Nu, "single-cylinder Nusselt number");
}

// Zukauskas (1972), Adv. Heat Transfer 8:93, table of C and m per Reynolds row for banks of
// 20 rows or more, Nu = C Re^m Pr^0.36 (ST/SL)^p, without the wall-Prandtl factor
// (Pr/Pr_w)^(1/4); 0.7 < Pr < 500, 10 < Re < 2e6.
double tubeBankNusselt(std::int32_t arrangement, double ST, double SL, double Re, double Pr,
                       int* row) {
    double p = 0;
    double n = k::bankPrandtlExponent;
    int rowIndex;
    double c;
    double m;
    if (arrangement == BundleArrangement::Inline) {
        if (Re < 100) {
            c = k::inlineC1, rowIndex = 1, m = k::inlineM1;
        } else if (Re < 1000) {
            c = k::inlineC2, rowIndex = 2, m = k::inlineM2;
        } else if (Re < 200000) {
            c = k::inlineC3, rowIndex = 3, m = k::inlineM3;
        } else {
            c = k::inlineC4, rowIndex = 4, m = k::inlineM4, n = k::inlineHighPrandtlExponent;
        }
    } else if (arrangement == BundleArrangement::Staggered) {
        if (Re < 500) {
            c = k::staggeredC1, rowIndex = 1, m = k::staggeredM1;
        } else if (Re < 1000) {
            c = k::staggeredC2, rowIndex = 2, m = k::staggeredM2;
        } else if (Re < 200000) {
            c = k::staggeredC3, rowIndex = 3, m = k::staggeredM3, p = k::staggeredPitchExponent;
        } else {
            c = k::staggeredC4, rowIndex = 4, m = k::staggeredM4, p = k::staggeredPitchExponent;
        }
    } else {
        terminateRun(Check::bankArrangement);
    }
    if (row) *row = rowIndex;
    // The pitch factor is formed even for p = 0, where it is exactly 1.
    double Nu = std::pow(ST / SL, p) * std::pow(Re, m) * std::pow(Pr, n) * c;
    return checked(Nu, "tube-bank Nusselt number");
}

// Dense axial-bundle correlation, Nu = c_ax Re^m_ax Pr^(1/3) with c_ax and m_ax fitted in the
// bundle parameter x = Ds/(Do sqrt(Nt)); used for x <= 3.2 (origin of the fit not recorded).
AxialBundle axialBundleCoefficients(double Ds, double Do, std::int32_t Nt) {
    // Shell diameter over the diameter of a circle as large as all tube sections.
    double x =
        checked(std::sqrt(Ds * Ds / (Do * Do * static_cast<double>(Nt))), "bundle parameter");
    double m =
        checked(k::axialMFactor * std::exp(-k::axialMExponentFactor * x), "axial exponent m_ax");
    double x2 = x * x;
    double x3 = x2 * x;
    double c =
        k::axialCFactor * std::pow(x, k::axialCExponent) /
        (k::axialCubic * x3 - k::axialQuadratic * x2 + k::axialLinear * x - k::axialConstant);
    return {x, m, checked(c, "axial coefficient c_ax")};
}

void computeShellHeatTransfer(const CaseInput& in, const Geometry& geo, ShellSideResult& shell) {
    double Re = shell.reynolds;
    double Pr = shell.prandtl;
    double Do = geo.outerDiameter;
    double Dh_o = shell.characteristicLength;
    double ST = in.transversePitch;
    double SL = in.longitudinalPitch;

    // Cross-flow value first, for every type; the axial types replace it.
    bool bank = in.tubeCount > 2 && ST > Do && SL != 0;
    int bankRow = 0;
    double Nu = bank ? tubeBankNusselt(in.bundleArrangement, ST, SL, Re, Pr, &bankRow)
                     : singleCylinderNusselt(Re, Pr);
    Correlation correlation = Correlation::singleCylinder;
    std::optional<double> friction;  // the sparse bundle's duct form only
    if (bank) {
        correlation = in.bundleArrangement == BundleArrangement::Inline
                          ? Correlation::inlineBank
                          : Correlation::staggeredBank;
    }

    if (!isCrossFlow(in.exchangerType)) {
        AxialBundle ax = axialBundleCoefficients(in.shellInnerDiameter, Do, in.tubeCount);
        if (ax.bundleParameter <= k::sparseBundleLimit) {
            Nu = ax.c * std::pow(Re, ax.m) * std::pow(Pr, k::axialPrandtlExponent);
            correlation = Correlation::axialBundle;
        } else {
            // A sparse bundle behaves like a duct of the shell's
            // characteristic length, scaled by a bundle factor 0.86 x^0.16 (x > 3.2).
            PipeFlowResult duct =
                pipeFlowNusselt(Re, Pr, Dh_o, in.tubeLength, in.innerRoughness, shellPipeFlow);
            Nu = k::sparseBundleFactor * std::pow(ax.bundleParameter, k::sparseBundleExponent) *
                 duct.nusselt;
            friction = duct.friction;
            correlation =
                duct.turbulent ? Correlation::sparseTurbulent : Correlation::sparseLaminar;
        }
        checked(Nu, "axial-bundle Nusselt number");
        bankRow = 0;
    }
    shell.correlation = correlation;
    shell.friction = friction;
    shell.bankRow = bankRow;
    shell.nusselt = Nu;
    shell.filmCoefficient =
        checked(Nu * in.shellFluid.conductivity / Dh_o, "shell-side film coefficient");
    // 1/(h_o*r_o) with the outer radius Do/2.
    shell.filmResistance = checked(1 / (shell.filmCoefficient * Do * 0.5), "shell-side film term");
}

}  // namespace hxrate
