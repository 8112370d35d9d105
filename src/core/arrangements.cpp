// Temperature effectiveness of TEMA E shells and the LMTD correction factor.
// Side 1 is the shell stream; every form is written so that R1 = 1 needs no
// branch of its own (log1p/expm1 quotients carry the limit).
#include <cmath>
#include <limits>
#include <string>

#include "core/arrangements.h"

#include "core/arithmetic.h"
#include "core/refuse.h"
#include "hxrate/arrangements.h"
#include "hxrate/errors.h"

namespace hxrate {
namespace {

void requireFinite(double x, const char* argument) {
    if (!std::isfinite(x)) refuse(argument, std::string(argument) + " must be finite");
}

void requireNonNegative(double x, const char* argument) {
    requireFinite(x, argument);
    if (x < 0) refuse(argument, std::string(argument) + " must not be negative");
}

void requireShells(int shells) {
    if (shells < 1) refuse("shells", "shells must be at least 1, got " + std::to_string(shells));
}

// A temperature effectiveness that some exchanger of the kind can reach:
// below counterflow's limits P1 < 1 and R1 P1 < 1.
void requireReachableP1(double p1, double r1, int shells) {
    requireNonNegative(r1, "r1");
    requireNonNegative(p1, "p1");
    requireShells(shells);
    if (!(p1 < 1) || !(r1 * p1 < 1))
        refuse("p1", "P1 = " + std::to_string(p1) + " at R1 = " + std::to_string(r1) +
                         " is beyond counterflow (P1 < 1 and R1 P1 < 1)");
}

// expm1(z)/z, continued by 1 at z = 0.
double expm1Ratio(double z) {
    return z == 0 ? 1.0 : std::expm1(z) / z;
}

// log1p(u)/u, continued by 1 at u = 0.
double log1pRatio(double u) {
    return u == 0 ? 1.0 : std::log1p(u) / u;
}

// Pure counterflow, P1 = (1 - e)/(1 - R1 e), e = exp(-NTU1 (1 - R1)), as
// h/(h + e) with h = (1 - e)/(1 - R1); P1 = NTU1/(1 + NTU1) at R1 = 1.
// Kays and London (1984), Compact Heat Exchangers, eq. 2-13.
double counterflowP1(double r1, double ntu1) {
    double z = ntu1 * (1 - r1);
    double e = std::exp(-z);
    double h = expm1Ratio(-z) * ntu1;
    return h / (h + e);
}

// One shell pass, two tube passes, shell fluid mixed:
// P1 = 2/(1 + R1 + E coth(E NTU1/2)), E = (1 + R1^2)^(1/2), written with tanh.
// Shah and Sekulic (2003), Fundamentals of Heat Exchanger Design, table 3.6,
// eq. III.1.1 (Bowman, Mueller and Nagle 1940; TEMA); exact for two passes,
// and the form TEMA's charts use for any even number.
double oneTwoP1(double r1, double ntu1) {
    double E = std::sqrt(1 + r1 * r1);
    double t = std::tanh(E * ntu1 / 2);
    return 2 * t / ((1 + r1) * t + E);
}

// One shell pass, four tube passes, both fluids mixed at each cross-section:
// P1 = 4/(2(1 + R1) + D coth(D NTU1/4) + R1 tanh(R1 NTU1/4)), D = (4 + R1^2)^(1/2).
// Shah and Sekulic (2003), table 3.6, eq. III.1.3 (Pignotti 1984).
double oneFourP1(double r1, double ntu1) {
    double D = std::sqrt(4 + r1 * r1);
    double t = std::tanh(D * ntu1 / 4);
    return 4 * t / (2 * (1 + r1) * t + D + r1 * std::tanh(r1 * ntu1 / 4) * t);
}

// NTU of counterflow that gives P at R: ln((1 - R P)/(1 - P))/(1 - R).
double counterflowNtu(double p, double r) {
    double u = (1 - r) * p / (1 - p);
    return log1pRatio(u) * p / (1 - p);
}

// NTU1 of one 1-2 shell: ln((2 - P1(1 + R1 - E))/(2 - P1(1 + R1 + E)))/E,
// Shah and Sekulic (2003), table 3.6, eq. III.1.1 inverted; 1 + R1 - E is
// 2 R1/(1 + R1 + E), which keeps its digits at small R1.
double oneTwoNtu1(double p1, double r1, const char* argument) {
    double E = std::sqrt(1 + r1 * r1);
    double far = 2 - p1 * (1 + r1 + E);
    if (!(far > 0))
        refuse(argument,
               "no 1-2 shell reaches P = " + std::to_string(p1) + " at R = " + std::to_string(r1) +
                   " (temperature cross beyond the shell's limit): use more shells in series");
    // ln(near/far) as log1p((near - far)/far): small P keeps its digits.
    double sum = 1 + r1 + E;
    double gap = p1 * (sum - 2 * r1 / sum);
    return std::log1p(gap / far) / E;
}

}  // namespace

double shellsInSeriesP1(double p1OfOne, double r1, double shells) {
    // Overall counterflow of N equal exchangers:
    // P = (X^N - 1)/(X^N - R1), X = (1 - R1 P1)/(1 - P1); N P1/(1 + (N - 1) P1)
    // at R1 = 1. Kays and London (1984), eq. 2-17; here as g/(1 + g) with
    // g = (X^N - 1)/(1 - R1).
    if (p1OfOne >= 1) return p1OfOne;
    double u = (1 - r1) * p1OfOne / (1 - p1OfOne);
    double z = shells * std::log1p(u);
    if (z > 700) return 1.0;  // X^N beyond any double: the series reaches P = 1
    double g = expm1Ratio(z) * log1pRatio(u) * shells * p1OfOne / (1 - p1OfOne);
    return checked(g / (1 + g), "P of shells in series");
}

double parallelFlowP1(double r1, double ntu1) {
    requireNonNegative(r1, "r1");
    requireNonNegative(ntu1, "ntu1");
    clearArithmeticFlags();
    // Parallel flow, P1 = (1 - exp(-NTU1 (1 + R1)))/(1 + R1); Incropera and
    // DeWitt (2002), Fundamentals of Heat and Mass Transfer, table 11.3; any
    // R1 >= 0 (1 + R1 >= 1 needs no branch).
    double sum = 1 + r1;
    return checked(-std::expm1(-ntu1 * sum) / sum, "parallel-flow P1");
}

double coCurrentShellsInSeriesP1(double p1OfOne, double r1, double shells) {
    requireNonNegative(r1, "r1");
    requireNonNegative(p1OfOne, "p1");
    requireFinite(shells, "shells");
    if (!(shells > 0)) refuse("shells", "shells must be above 0");
    // A co-current shell leaves the difference of the streams' temperatures
    // at 1 - P1 (1 + R1) of what it met (each stream's balance over the
    // shell); the next shell starts from that difference, so for N shells
    // 1 - P1 (1 + R1) is the product of the shells' 1 - P1,i (1 + R1).
    clearArithmeticFlags();
    double reach = checked(p1OfOne * (1 + r1), "P1 (1 + R1)");
    // 1 itself is the limit of an endless shell (both streams at one
    // temperature); one rounding step above it is that limit too.
    if (!(reach <= 1 + std::numeric_limits<double>::epsilon()))
        refuse("p1", "P1 = " + std::to_string(p1OfOne) + " at R1 = " + std::to_string(r1) +
                         " is beyond co-current flow (P1 (1 + R1) <= 1)");
    if (shells == 1) return p1OfOne;
    if (reach >= 1) return p1OfOne;
    // (1 - reach)^N as exp(N log1p(-reach)): a small P1 keeps its digits.
    double z = shells * std::log1p(-reach);
    return checked(-std::expm1(z) / (1 + r1), "P1 of co-current shells in series");
}

double temaEP1(double r1, double ntu1, int tubePasses, int shells) {
    requireNonNegative(r1, "r1");
    requireNonNegative(ntu1, "ntu1");
    requireShells(shells);
    clearArithmeticFlags();
    if (tubePasses == 1) return checked(counterflowP1(r1, ntu1), "counterflow P1");
    if (tubePasses != 2 && tubePasses != 4 && tubePasses != 6 && tubePasses != 8)
        refuse("tubePasses",
               "tube passes must be 1, 2, 4, 6 or 8, got " + std::to_string(tubePasses));
    double ntuOfOne = ntu1 / shells;
    double p1 = tubePasses == 4 ? oneFourP1(r1, ntuOfOne) : oneTwoP1(r1, ntuOfOne);
    checked(p1, "TEMA E P1 of one shell");
    if (shells == 1) return p1;
    return shellsInSeriesP1(p1, r1, shells);
}

double temaENtu1(double p1, double r1, int shells) {
    requireReachableP1(p1, r1, shells);
    clearArithmeticFlags();
    double pOfOne = shells == 1 ? p1 : shellsInSeriesP1(p1, r1, 1.0 / shells);
    return checked(shells * oneTwoNtu1(pOfOne, r1, "p1"), "NTU1 of 1-2 shells");
}

double temaENtu1(double p1, double r1, int tubePasses, int shells) {
    if (tubePasses == 2 || tubePasses == 6 || tubePasses == 8) return temaENtu1(p1, r1, shells);
    requireReachableP1(p1, r1, shells);
    clearArithmeticFlags();
    // Counterflow of the whole NTU, whatever the shell count.
    if (tubePasses == 1) return checked(counterflowNtu(p1, r1), "counterflow NTU1");
    temaEP1(r1, 0, tubePasses, shells);  // refuses a pass count outside 1, 2, 4, 6, 8
    // The 1-4 form has no closed inverse; P1 rises monotonically with NTU1,
    // so bracket and bisect to the last representable step.
    double lo = 0, hi = 1;
    while (temaEP1(r1, hi, tubePasses, shells) < p1) {
        lo = hi;
        hi *= 2;
        if (hi > 1e6)
            refuse("p1", "no 1-4 shell arrangement reaches P1 = " + std::to_string(p1) +
                             " at R1 = " + std::to_string(r1));
    }
    for (int i = 0; i < 200; ++i) {
        double mid = lo + (hi - lo) / 2;
        if (!(mid > lo && mid < hi)) break;
        (temaEP1(r1, mid, tubePasses, shells) < p1 ? lo : hi) = mid;
    }
    return hi;
}

double lmtdCorrectionPR(double p, double r, int shells) {
    requireNonNegative(p, "p");
    requireNonNegative(r, "r");
    requireShells(shells);
    if (!(p > 0)) refuse("p", "P must be above 0: no heat is exchanged");
    if (!(p < 1) || !(r * p < 1))
        refuse("p", "P = " + std::to_string(p) + " at R = " + std::to_string(r) +
                        " is beyond counterflow (P < 1 and R P < 1): no F exists");
    clearArithmeticFlags();
    // F is the counterflow NTU over the 1-2 shell's NTU for the same P and R;
    // for N shells both are those of one shell at its own P (Bowman, Mueller
    // and Nagle 1940, Trans. ASME 62:283; Kays and London 1984, eq. 2-17).
    double pOfOne = shells == 1 ? p : shellsInSeriesP1(p, r, 1.0 / shells);
    double F = counterflowNtu(pOfOne, r) / oneTwoNtu1(pOfOne, r, "p");
    return checked(F, "LMTD correction factor F");
}

double lmtdCorrection(double tHotIn, double tHotOut, double tColdIn, double tColdOut, int shells) {
    requireFinite(tHotIn, "tHotIn");
    requireFinite(tHotOut, "tHotOut");
    requireFinite(tColdIn, "tColdIn");
    requireFinite(tColdOut, "tColdOut");
    if (!(tHotIn > tHotOut)) refuse("tHotOut", "the hot stream must cool: tHotOut below tHotIn");
    if (!(tColdOut > tColdIn))
        refuse("tColdOut", "the cold stream must warm: tColdOut above tColdIn");
    if (!(tHotIn > tColdIn)) refuse("tColdIn", "tColdIn must lie below tHotIn");
    if (!(tHotOut > tColdIn))
        refuse("tHotOut",
               "the hot outlet must stay above the cold inlet: no counterflow arrangement "
               "reaches these temperatures");
    clearArithmeticFlags();
    double P = checked((tColdOut - tColdIn) / (tHotIn - tColdIn), "P");
    double R = checked((tHotIn - tHotOut) / (tColdOut - tColdIn), "R");
    return lmtdCorrectionPR(P, R, shells);
}

EShellOutlets temaEOutlets(double shellCapacityRate, double shellInletTemperature,
                           double tubeCapacityRate, double tubeInletTemperature, double ua,
                           int tubePasses, int shells) {
    return seriesOutlets(shellCapacityRate, shellInletTemperature, tubeCapacityRate,
                         tubeInletTemperature, ua, tubePasses, shells, SeriesCoupling::counterflow);
}

EShellOutlets seriesOutlets(double shellCapacityRate, double shellInletTemperature,
                            double tubeCapacityRate, double tubeInletTemperature, double ua,
                            int tubePasses, int shells, SeriesCoupling coupling) {
    requireFinite(shellInletTemperature, "shellInletTemperature");
    requireFinite(tubeInletTemperature, "tubeInletTemperature");
    requireNonNegative(ua, "ua");
    requireFinite(shellCapacityRate, "shellCapacityRate");
    requireFinite(tubeCapacityRate, "tubeCapacityRate");
    if (!(shellCapacityRate > 0)) refuse("shellCapacityRate", "C1 must be above 0");
    if (!(tubeCapacityRate > 0)) refuse("tubeCapacityRate", "C2 must be above 0");
    clearArithmeticFlags();
    EShellOutlets out;
    out.r1 = checked(shellCapacityRate / tubeCapacityRate, "R1 = C1/C2");
    out.ntu1 = checked(ua / shellCapacityRate, "NTU1 = UA/C1");
    if (coupling == SeriesCoupling::coCurrent) {
        if (tubePasses != 1)
            refuse("tubePasses", "co-current shells in series have one tube pass, got " +
                                     std::to_string(tubePasses));
        requireShells(shells);
        // Each shell a co-current exchanger of NTU1/N, coupled co-currently.
        double p1OfOne = parallelFlowP1(out.r1, out.ntu1 / shells);
        out.p1 = coCurrentShellsInSeriesP1(p1OfOne, out.r1, shells);
    } else {
        out.p1 = temaEP1(out.r1, out.ntu1, tubePasses, shells);
    }
    double span = shellInletTemperature - tubeInletTemperature;
    // The shell stream gives P1 of the largest change it could make.
    out.shellOutletTemperature = shellInletTemperature - out.p1 * span;
    out.duty = out.p1 * shellCapacityRate * span;
    out.tubeOutletTemperature = tubeInletTemperature + out.duty / tubeCapacityRate;
    checked(out.tubeOutletTemperature, "E-shell outlets");
    return out;
}

}  // namespace hxrate
