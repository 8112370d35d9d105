// Tube counts of a layout: the lattice points inside the circle of tube
// centres, less the tubes the pass-partition lanes take out, and Sinnott's
// bundle-diameter correlation beside them.
#include "hxrate/tube_count.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/refuse.h"

namespace hxrate {
namespace {

void requirePositive(double x, const char* argument) {
    if (!std::isfinite(x) || !(x > 0))
        refuse(argument, std::string(argument) + " must be a finite value above 0");
}

void requireLayoutAngle(int angle) {
    if (angle != 30 && angle != 45 && angle != 60 && angle != 90)
        refuse("layoutAngle",
               "layoutAngle must be 30, 45, 60 or 90 degrees, not " + std::to_string(angle));
}

void requireTubePasses(int passes) {
    if (passes != 1 && passes != 2 && passes != 4 && passes != 6 && passes != 8)
        refuse("tubePasses", "tubePasses must be 1, 2, 4, 6 or 8, not " + std::to_string(passes));
}

// Sinnott (2005), Coulson and Richardson's Chemical Engineering vol. 6, 4th
// ed., table 12.4: Nt = K1 (Db/Do)^n1 for Pt = 1.25 Do, 1 to 8 passes.
struct BundleConstants {
    int passes;
    double k1Triangular, n1Triangular, k1Square, n1Square;
};
constexpr BundleConstants bundleConstants[] = {
    {1, 0.319, 2.142, 0.215, 2.207},   {2, 0.249, 2.207, 0.156, 2.291},
    {4, 0.175, 2.285, 0.158, 2.263},   {6, 0.0743, 2.499, 0.0402, 2.617},
    {8, 0.0365, 2.675, 0.0331, 2.643},
};
// The pitch the constants were fitted for, Pt/Do, and how far from it the
// comparison is still offered.
constexpr double sinnottPitchRatio = 1.25;
constexpr double sinnottPitchTolerance = 0.01;

struct Constants {
    double k1, n1;
};
Constants constantsFor(int angle, int passes) {
    requireLayoutAngle(angle);
    requireTubePasses(passes);
    const bool triangular = angle == 30 || angle == 60;
    for (const BundleConstants& c : bundleConstants)
        if (c.passes == passes)
            return triangular ? Constants{c.k1Triangular, c.n1Triangular}
                              : Constants{c.k1Square, c.n1Square};
    refuse("tubePasses", "tubePasses has no bundle constants");
}

// The lattice of the layout angle: tubes every `a` along x in rows `b`
// apart in y, every other row shifted by a/2 where `staggered`.
struct Lattice {
    double a, b;
    bool staggered;
};
Lattice latticeFor(int angle, double Pt) {
    const double root2 = std::sqrt(2.0), root3 = std::sqrt(3.0);
    switch (angle) {
        case 30:
            return {Pt, Pt * root3 / 2, true};  // triangles with a side across the flow
        case 60:
            return {Pt * root3, Pt / 2, true};  // the same turned by 90 degrees
        case 45:
            return {Pt * root2, Pt / root2, true};
        default:
            return {Pt, Pt, false};  // 90: square, in line with the flow
    }
}

// The t = y/R at which the band |y| < t R of a circle of radius R holds
// `fraction` of its area: (2/pi)(t sqrt(1 - t^2) + asin t) = fraction, by
// bisection to the last bit. Six passes (fraction 1/3) give t = 0.265 and
// eight (1/2) t = 0.404, the lane positions of Phadke (1984), Chem. Eng.
// 91(19):65, for passes of equal area.
double equalAreaBand(double fraction) {
    const double pi = std::acos(-1.0);
    double lo = 0, hi = 1;
    while (true) {
        const double mid = lo + (hi - lo) / 2;
        if (!(mid > lo && mid < hi)) return mid;
        const double share = 2 / pi * (mid * std::sqrt(1 - mid * mid) + std::asin(mid));
        (share < fraction ? lo : hi) = mid;
    }
}

// The tubes of `layout` with the lattice's origin at (ox, oy) from the
// shell's centre; the lanes stay on the shell's centre lines.
TubeCount countAt(const TubeLayout& layout, const Lattice& lattice, double ox, double oy) {
    const double Do = layout.tubeOuterDiameter, Lp = layout.passLaneWidth;
    const int N = layout.tubePasses;
    const double R = (layout.shellDiameter - layout.bundleToShellClearance - Do) / 2;
    // A centre on the limit circle counts, within rounding of its coordinates.
    const double R2 = R * R * (1 + 1e-12);

    // Pass-partition lanes: one across the flow through the centre for 2
    // and 4 passes, two or three at the equal-area positions for 6 and 8
    // (each moved onto the nearest lattice row, which it then takes out),
    // and one along the flow through the centre for 4, 6 and 8 (quadrant
    // layouts). A lane of clear width Lp takes every tube whose centre lies
    // closer to its line than (Lp + Do)/2: that tube's wall would reach
    // into it.
    std::vector<double> lanesY;  // lanes across the flow, from the top down
    if (N == 2 || N == 4) lanesY = {0.0};
    if (N == 6 || N == 8) {
        const double c = equalAreaBand(N == 6 ? 1.0 / 3 : 0.5) * R;
        const auto onRow = [&](double y) {
            return oy + std::round((y - oy) / lattice.b) * lattice.b;
        };
        lanesY = N == 6 ? std::vector<double>{onRow(c), onRow(-c)}
                        : std::vector<double>{onRow(c), 0.0, onRow(-c)};
    }
    const bool laneX = N >= 4;
    const double reach = (Lp + Do) / 2;

    TubeCount count;
    const int sides = laneX ? 2 : 1;
    count.passTubes.assign((lanesY.size() + 1) * static_cast<std::size_t>(sides), 0);
    const auto rows = static_cast<std::int64_t>(std::floor(R / lattice.b)) + 2;
    const auto columns = static_cast<std::int64_t>(std::floor(R / lattice.a)) + 2;
    for (std::int64_t j = -rows; j <= rows; ++j) {
        const double y = oy + static_cast<double>(j) * lattice.b;
        const bool shifted = lattice.staggered && (j % 2 != 0);
        for (std::int64_t i = -columns; i <= columns; ++i) {
            // x = (i + 1/2) a on a shifted row, formed from the whole number 2i + 1.
            const double x = ox + (shifted ? static_cast<double>(2 * i + 1) * lattice.a / 2
                                           : static_cast<double>(i) * lattice.a);
            if (!(x * x + y * y <= R2)) continue;
            ++count.latticeTubes;
            bool removed = laneX && std::fabs(x) < reach;
            std::size_t band = 0;
            for (double yl : lanesY) {
                if (std::fabs(y - yl) < reach) removed = true;
                if (y < yl) ++band;
            }
            if (removed) continue;
            ++count.tubes;
            ++count.passTubes[band * static_cast<std::size_t>(sides) + (laneX && x > 0 ? 1 : 0)];
        }
    }
    return count;
}

// The most lattice rows or columns either side of the centre counted: a
// shell 2000 pitches across already holds some three million tubes.
constexpr double maxPitchesAcross = 2000;

}  // namespace

TubeCount countTubes(const TubeLayout& layout) {
    const double Ds = layout.shellDiameter, Do = layout.tubeOuterDiameter;
    const double Pt = layout.tubePitch, Lbb = layout.bundleToShellClearance;
    const int N = layout.tubePasses;
    requirePositive(Ds, "shellDiameter");
    requirePositive(Do, "tubeOuterDiameter");
    requirePositive(Pt, "tubePitch");
    if (!(Pt > Do))
        refuse("tubePitch", "tubePitch must exceed tubeOuterDiameter: tubes at " +
                                std::to_string(Pt) + " m centres of " + std::to_string(Do) +
                                " m would overlap");
    requireLayoutAngle(layout.layoutAngle);
    requireTubePasses(N);
    if (!std::isfinite(Lbb) || Lbb < 0)
        refuse("bundleToShellClearance",
               "bundleToShellClearance must be a finite value not below 0");
    const double Dotl = Ds - Lbb;
    if (!(Dotl >= Do))
        refuse("bundleToShellClearance",
               "bundleToShellClearance leaves an outer tube limit Ds - clearance = " +
                   std::to_string(Dotl) + " m, less than one tube of " + std::to_string(Do) + " m");
    const double Dctl = Dotl - Do;
    if (Dctl / Pt > maxPitchesAcross)
        refuse("shellDiameter", "shellDiameter is more than 2000 tube pitches across");
    const double Lp = layout.passLaneWidth;
    if (!std::isfinite(Lp) || Lp < 0 || (N > 1 && !(Lp > 0)))
        refuse("passLaneWidth",
               N > 1 ? "passLaneWidth must be a finite value above 0 for " + std::to_string(N) +
                           " passes"
                     : std::string("passLaneWidth must be a finite value not below 0"));
    if (N > 1 && !(Lp < Dctl))
        refuse("passLaneWidth", "passLaneWidth must be below the centre limit Dctl = " +
                                    std::to_string(Dctl) + " m");

    const Lattice lattice = latticeFor(layout.layoutAngle, Pt);
    // The lattice sits where it holds the most tubes, as a layout is drawn:
    // a tube at the shell's centre, or the lattice moved by half its column
    // spacing across the flow, half a row along it, or both.
    const double columnStep = lattice.staggered ? lattice.a / 2 : lattice.a;
    TubeCount best;
    for (int shift = 0; shift < 4; ++shift) {
        TubeCount count = countAt(layout, lattice, shift % 2 ? columnStep / 2 : 0.0,
                                  shift / 2 ? lattice.b / 2 : 0.0);
        if (shift == 0 || count.tubes > best.tubes) best = std::move(count);
    }
    best.outerTubeLimit = Dotl;
    best.centreLimit = Dctl;

    if (std::fabs(Pt / Do - sinnottPitchRatio) <= sinnottPitchTolerance * sinnottPitchRatio)
        best.correlationTubes = sinnottTubeCount(Dotl, Do, layout.layoutAngle, N);
    return best;
}

double sinnottBundleDiameter(int tubes, double tubeOuterDiameter, int layoutAngle, int tubePasses) {
    if (tubes < 1) refuse("tubes", "tubes must be at least 1");
    requirePositive(tubeOuterDiameter, "tubeOuterDiameter");
    const Constants c = constantsFor(layoutAngle, tubePasses);
    // Sinnott (2005), eq. 12.3b: Db = Do (Nt/K1)^(1/n1); Pt = 1.25 Do.
    return tubeOuterDiameter * std::pow(static_cast<double>(tubes) / c.k1, 1 / c.n1);
}

double sinnottTubeCount(double bundleDiameter, double tubeOuterDiameter, int layoutAngle,
                        int tubePasses) {
    requirePositive(bundleDiameter, "bundleDiameter");
    requirePositive(tubeOuterDiameter, "tubeOuterDiameter");
    const Constants c = constantsFor(layoutAngle, tubePasses);
    // Sinnott (2005), eq. 12.3a: Nt = K1 (Db/Do)^n1; Pt = 1.25 Do.
    const double Nt = c.k1 * std::pow(bundleDiameter / tubeOuterDiameter, c.n1);
    if (!std::isfinite(Nt))
        refuse("bundleDiameter", "bundleDiameter is too many tube diameters across to count");
    return Nt;
}

}  // namespace hxrate
