#include "core/shell_flow.h"

#include "core/arithmetic.h"
#include "core/constants.h"
#include "core/failures.h"
#include "core/messages.h"

namespace hxrate {
namespace {

// The shell fluid flows along the tubes, between the shell and the bundle.
void computeAxialFlow(const CaseInput& in, const Geometry& geo, ShellSideResult& shell) {
    const Fluid& f = in.shellFluid;
    double Ds = in.shellInnerDiameter;
    double Do = geo.outerDiameter;
    double Nt = in.tubeCount;

    double A_o = checked((Ds * Ds - Nt * (Do * Do)) * (k::pi * 0.25), "axial shell flow area");
    // Four times the free area over the wetted perimeter (shell and tubes).
    double Dh_o = checked(4 * A_o / ((Nt * Do + Ds) * k::pi), "axial shell characteristic length");
    shell.flowArea = A_o;
    shell.characteristicLength = Dh_o;
    shell.reynolds = checked(f.volumetricFlow * f.density * Dh_o / (f.viscosity * A_o),
                             "axial shell Reynolds number");
}

// The shell fluid crosses the tube bank inside one baffle compartment.
void computeCrossFlow(const CaseInput& in, const Geometry& geo, ShellSideResult& shell) {
    const Fluid& f = in.shellFluid;
    double Do = geo.outerDiameter;
    double ST = in.transversePitch;
    double SD = geo.diagonalPitch;
    double compartments = static_cast<double>(std::int64_t{in.baffleCount} + 1);

    double A_o = checked(in.tubeLength * in.shellInnerDiameter / compartments, "cross-flow area");
    double Dh_o = Do;
    double V_o = checked(f.volumetricFlow / A_o, "cross-flow approach velocity");
    // In a bank the fluid speeds up through the narrowest gap.
    if (in.tubeCount > 2 && ST > Do) {
        if (in.bundleArrangement == BundleArrangement::Inline) {
            V_o = V_o * ST / (ST - Do);
        } else if (in.bundleArrangement == BundleArrangement::Staggered) {
            double halfSum = checked((ST + Do) / 2, "staggered transverse gap");
            if (halfSum < SD) {
                V_o = V_o * ST / (ST - Do);
            } else {
                V_o = V_o * ST * 0.5 / (SD - Do);
            }
        } else {
            terminateRun(Check::crossFlowArrangement);
        }
        V_o = checked(V_o, "cross-flow velocity in the narrowest gap");
    }
    shell.flowArea = A_o;
    shell.characteristicLength = Dh_o;
    shell.velocity = V_o;
    shell.reynolds =
        checked(f.density * V_o * Dh_o / f.viscosity, "cross-flow shell Reynolds number");
}

}  // namespace

void computeShellFlow(const CaseInput& in, const Geometry& geo, ShellSideResult& shell) {
    bool crossFlow = isCrossFlow(in.exchangerType);
    if (crossFlow) {
        computeCrossFlow(in, geo, shell);
    } else {
        computeAxialFlow(in, geo, shell);
    }

    if (shell.reynolds < k::stagnantReynolds) terminateRun(Check::stagnantFlow);
    const Fluid& f = in.shellFluid;
    shell.prandtl =
        checked(f.heatCapacity * f.viscosity / f.conductivity, "shell-side Prandtl number");
    if (crossFlow) {
        double peclet = checked(shell.prandtl * shell.reynolds, "shell-side Peclet number");
        if (peclet < k::minimumPeclet) terminateRun(Check::pecletRange);
    }
}

}  // namespace hxrate
