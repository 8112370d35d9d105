// The domain of a Bell-Delaware geometry, checked value by value under the
// names its caller knows (the struct's members for bellDelawareShellSide,
// the case document's fields for a rating with extensions).
#pragma once

#include <string>

#include "hxrate/shell_side.h"

namespace hxrate {

// What a refusal calls each value of a BellDelawareGeometry.
struct BellDelawareNames {
    std::string shellDiameter = "shellDiameter";
    std::string tubeOuterDiameter = "tubeOuterDiameter";
    std::string tubePitch = "tubePitch";
    std::string layoutAngle = "layoutAngle";
    std::string tubeCount = "tubeCount";
    std::string baffleCut = "baffleCut";
    std::string centralBaffleSpacing = "centralBaffleSpacing";
    std::string inletBaffleSpacing = "inletBaffleSpacing";
    std::string outletBaffleSpacing = "outletBaffleSpacing";
    std::string baffleCount = "baffleCount";
    std::string shellToBaffleClearance = "shellToBaffleClearance";
    std::string tubeToBaffleClearance = "tubeToBaffleClearance";
    std::string bundleToShellClearance = "bundleToShellClearance";
    std::string sealingStripPairs = "sealingStripPairs";
};

// Throws InvalidArgument, naming the value by `names` with the value and
// its bound, unless every value of `g` lies in the method's domain and
// together they describe a bundle whose window and leakage areas exist:
// Do < Ds, Do < Ltp < Ds, 0.15 <= Bc <= 0.45, 0 <= Lbb < 2 Bc Ds - Do (the
// cut reaches the outer tube centres), 0 <= Lsb < Lbb + Do (the baffle's rim
// reaches past them), 0 <= Ltb < min(Ltp - Do, Do) (a ligament is left
// between the holes, and a hole guides its tube), end spacings not below 0
// (0: the central spacing), and tubes that leave the window a flow area.
void checkBellDelawareGeometry(const BellDelawareGeometry& g, const BellDelawareNames& names);

// The net flow area of one baffle window, Sw = Swg - Swt, m2 (as
// bellDelawareShellSide forms it). Throws as checkBellDelawareGeometry().
double windowFlowArea(const BellDelawareGeometry& g);

// The longest length a tube of a segmentally baffled bundle runs between two
// supports, from the baffle count and the inlet, central and outlet spacings.
double longestUnsupportedSpan(int baffles, double Lbi, double Lbc, double Lbo);

// TEMA's diametral tube-hole clearance in baffles for a tube of outer
// diameter Do over its longest unsupported span, m.
double temaTubeToBaffleClearance(double Do, double span);

// A value as a refusal shows it: six significant digits.
std::string refusalNumber(double x);

}  // namespace hxrate
