// hxrate/tube_count.h: how many tubes a shell holds: tube centres counted on
// the layout's lattice inside the outer tube limit, less the pass-partition
// lanes, beside Sinnott's bundle-diameter correlation for comparison.
#pragma once

#include <optional>
#include <vector>

#include "hxrate/errors.h"

namespace hxrate {

// A tube layout in a shell. x runs across the shell, y along the shell-side
// cross flow (from one baffle window to the other). The lattice is placed
// where it holds the most tubes: a tube at the shell's centre, or moved by
// half a column across the flow, half a row along it, or both.
struct TubeLayout {
    double shellDiameter = 0;      // Ds, shell inner diameter, m
    double tubeOuterDiameter = 0;  // Do, m
    double tubePitch = 0;          // Pt, centre to centre of neighbouring tubes, m
    // 30 (triangular), 60 (rotated triangular), 90 (square), 45 (rotated
    // square), measured as Taborek's layout angle against the cross flow.
    int layoutAngle = 30;
    int tubePasses = 1;                 // 1, 2, 4, 6 or 8
    double bundleToShellClearance = 0;  // Ds - Dotl, diametral, m
    // Clear width of each pass-partition lane (surface to surface of the
    // tubes either side of it), m; needed for more than one pass.
    double passLaneWidth = 0;
};

// What the layout holds.
struct TubeCount {
    int tubes = 0;              // tube centres counted, lanes removed
    int latticeTubes = 0;       // before the lanes are removed
    double outerTubeLimit = 0;  // Dotl = Ds - clearance, m
    double centreLimit = 0;     // Dctl = Dotl - Do: no tube centre beyond it, m
    // Tubes in each pass region, top to bottom and left before right (one
    // entry for one pass); their sum is `tubes`.
    std::vector<int> passTubes;
    // Sinnott's correlation at the bundle diameter Dotl, for comparison:
    // absent unless Pt = 1.25 Do (within 1 %), the pitch its constants fit.
    std::optional<double> correlationTubes;
};

// Counts the tubes of `layout`. Throws InvalidArgument naming the member
// (shellDiameter, tubeOuterDiameter, tubePitch, layoutAngle, tubePasses,
// bundleToShellClearance, passLaneWidth) for a value outside its domain.
TubeCount countTubes(const TubeLayout& layout);

// Sinnott (Coulson and Richardson's Chemical Engineering vol. 6, 4th ed.,
// 2005, eq. 12.3b and table 12.4): the bundle diameter Db = Do (Nt/K1)^(1/n1)
// of `tubes` tubes of outer diameter Do at Pt = 1.25 Do, m; the triangular
// constants for 30 and 60 degrees, the square ones for 45 and 90.
double sinnottBundleDiameter(int tubes, double tubeOuterDiameter, int layoutAngle, int tubePasses);
// Its inverse (eq. 12.3a), Nt = K1 (Db/Do)^n1, not rounded.
double sinnottTubeCount(double bundleDiameter, double tubeOuterDiameter, int layoutAngle,
                        int tubePasses);

}  // namespace hxrate
