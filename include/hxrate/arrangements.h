// hxrate/arrangements.h: the closed forms of flow arrangements beside the
// march: the temperature effectiveness of TEMA E shells and co-current shells
// in series (P-NTU), its inverse, and the LMTD correction factor F.
#pragma once

#include "hxrate/errors.h"

namespace hxrate {

// Side 1 is the shell-side stream: R1 = C1/C2 (its capacity rate over the
// tube stream's), NTU1 = UA/C1, P1 = (T1in - T1out)/(T1in - T2in) in
// absolute values.

// Temperature effectiveness P1 of the shell stream of `shells` identical
// TEMA E shells in series (overall counterflow), each with one shell pass and
// `tubePasses` tube passes (1, 2, 4, 6 or 8; 1 is pure counterflow); ntu1 is
// counted over all shells together.
double temaEP1(double r1, double ntu1, int tubePasses, int shells = 1);

// P1 of `shells` identical exchangers in series, overall counterflow, from
// the P1 of one of them (shells may be fractional: 1/N inverts the
// combination).
double shellsInSeriesP1(double p1OfOne, double r1, double shells);

// P1 of one co-current (parallel-flow) exchanger: (1 - exp(-NTU1 (1 + R1)))/(1 + R1).
double parallelFlowP1(double r1, double ntu1);

// P1 of `shells` identical co-current exchangers in series, coupled
// co-currently (both streams enter every shell at the same end), from the P1
// of one: 1 - P1 (1 + R1) is the product of the shells' 1 - P1,i (1 + R1).
// Throws where P1 (1 + R1) of one exceeds 1, which no co-current shell reaches.
double coCurrentShellsInSeriesP1(double p1OfOne, double r1, double shells);

// NTU1 of one 1-2 shell pass (any even number of tube passes on the 1-2
// form) that gives P1, over `shells` shells in series; throws where no such
// exchanger reaches P1.
double temaENtu1(double p1, double r1, int shells = 1);

// NTU1 of `shells` TEMA E shells in series with `tubePasses` tube passes
// (1: counterflow) that gives P1: the inverse of temaEP1. Throws where no
// such arrangement reaches P1.
double temaENtu1(double p1, double r1, int tubePasses, int shells);

// LMTD correction factor F of `shells` 1-2N shells in series from
// P = (Tco - Tci)/(Thi - Tci) and R = (Thi - Tho)/(Tco - Tci), also at R = 1.
double lmtdCorrectionPR(double p, double r, int shells = 1);

// The same from the four terminal temperatures (any consistent scale).
double lmtdCorrection(double tHotIn, double tHotOut, double tColdIn, double tColdOut,
                      int shells = 1);

// The outlets of a TEMA E arrangement rated by P-NTU.
struct EShellOutlets {
    double shellOutletTemperature = 0;  // T1out
    double tubeOutletTemperature = 0;   // T2out
    double duty = 0;                    // Q = P1 C1 (T1in - T2in), W: given off by the shell stream
    double p1 = 0;                      // shell-side temperature effectiveness
    double r1 = 0;                      // C1/C2
    double ntu1 = 0;                    // UA/C1, all shells
};
// Capacity rates m*cp in W/K, UA in W/K.
EShellOutlets temaEOutlets(double shellCapacityRate, double shellInletTemperature,
                           double tubeCapacityRate, double tubeInletTemperature, double ua,
                           int tubePasses, int shells = 1);

}  // namespace hxrate
