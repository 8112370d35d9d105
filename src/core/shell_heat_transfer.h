// Shell-side Nusselt number (single cylinder, tube bank, axial bundle), film
// coefficient and film term.
#pragma once

#include "core/records.h"

namespace hxrate {

// Reads the shell side's flow quantities; fills its Nusselt number,
// correlation, film coefficient and film term.
void computeShellHeatTransfer(const CaseInput& in, const Geometry& geo, ShellSideResult& shell);

// The three correlations, exposed for their worked values.
double singleCylinderNusselt(double Re, double Pr);
// `row`, when given, receives the Reynolds-range row of the table (1..4).
double tubeBankNusselt(std::int32_t arrangement, double ST, double SL, double Re, double Pr,
                       int* row = nullptr);

struct AxialBundle {
    double bundleParameter;  // x
    double m;                // m_ax
    double c;                // c_ax
};
AxialBundle axialBundleCoefficients(double Ds, double Do, std::int32_t Nt);

}  // namespace hxrate
