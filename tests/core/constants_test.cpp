#include "core/constants.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

namespace hxrate {
namespace {

// Each constant against the double that the published single-precision
// value denotes; the literals below are written out independently.
TEST(Constants, CarryTheirSinglePrecisionValues) {
    struct Row {
        double value;
        double expected;
        const char* name;
    } rows[] = {
        {k::pi, 3.1415927410125732, "pi"},
        {k::piDouble, 3.141592653589793, "pi to double precision"},
        {k::turbulentMaxReynolds, 5e6, "Gnielinski's upper Reynolds number, exact"},
        {k::stagnantReynoldsStated, 1e-5, "stagnant Reynolds 1e-5 as stated"},
        {k::minimumPecletStated, 0.2, "Peclet 0.2 as stated"},
        {k::convergenceTolerance, 9.999999747378752e-06, "tolerance 1e-5"},
        {k::meanTemperatureTolerance, 1e-6, "mean-temperature tolerance, exact"},
        {k::stagnantReynolds, 9.999999747378752e-06, "stagnant Reynolds 1e-5"},
        {k::minimumPeclet, 0.20000000298023224, "Peclet 0.2"},
        {k::graetzFactor, 0.06499999761581421, "0.065"},
        {k::graetzDenominatorFactor, 0.03999999910593033, "0.04"},
        {k::graetzExponent, 0.6669999957084656, "0.667"},
        {k::laminarNusseltBase, 3.6600000858306885, "3.66"},
        {k::swameeJainFactor, 5.739999771118164, "5.74"},
        {k::swameeJainExponent, 0.8999999761581421, "0.9"},
        {k::roughnessDivisor, 3.700000047683716, "3.7"},
        {k::colebrookFactor, 2.509999990463257, "2.51"},
        {k::gnielinskiFactor, 12.699999809265137, "12.7"},
        {k::gnielinskiPrandtlExponent, 0.666700005531311, "0.6667"},
        {k::cylinderBase, 0.30000001192092896, "0.3"},
        {k::cylinderFactor, 0.6200000047683716, "0.62"},
        {k::cylinderPrandtlExponent, 0.33340001106262207, "0.3334"},
        {k::cylinderPrandtlRatio, 0.4000000059604645, "0.4"},
        {k::cylinderRatioExponent, 0.666700005531311, "0.6667"},
        {k::cylinderOuterExponent, 0.800000011920929, "0.8"},
        {k::bankPrandtlExponent, 0.36000001430511475, "0.36"},
        {k::inlineHighPrandtlExponent, 0.4000000059604645, "0.4"},
        {k::staggeredPitchExponent, 0.20000000298023224, "0.2"},
        {k::inlineC1, 0.8999999761581421, "0.9"},
        {k::inlineM1, 0.4000000059604645, "0.4"},
        {k::inlineC2, 0.5199999809265137, "0.52"},
        {k::inlineM2, 0.5, "0.5 exact"},
        {k::inlineC3, 0.27000001072883606, "0.27"},
        {k::inlineM3, 0.6299999952316284, "0.63"},
        {k::inlineC4, 0.032999999821186066, "0.033"},
        {k::inlineM4, 0.800000011920929, "0.8"},
        {k::staggeredC1, 1.0399999618530273, "1.04"},
        {k::staggeredM1, 0.4000000059604645, "0.4"},
        {k::staggeredC2, 0.7099999785423279, "0.71"},
        {k::staggeredM2, 0.5, "0.5 exact"},
        {k::staggeredC3, 0.3499999940395355, "0.35"},
        {k::staggeredM3, 0.6000000238418579, "0.6"},
        {k::staggeredC4, 0.03099999949336052, "0.031"},
        {k::staggeredM4, 0.800000011920929, "0.8"},
        {k::axialMFactor, 1.0130000114440918, "1.013"},
        {k::axialMExponentFactor, 0.06700000166893005, "0.067"},
        {k::axialCFactor, 0.003000000026077032, "0.003"},
        {k::axialCExponent, 1.8600000143051147, "1.86"},
        {k::axialCubic, 0.06300000101327896, "0.063"},
        {k::axialQuadratic, 0.6740000247955322, "0.674"},
        {k::axialLinear, 2.2249999046325684, "2.225"},
        {k::axialConstant, 1.156999945640564, "1.157"},
        {k::axialPrandtlExponent, 0.33329999446868896, "0.3333"},
        {k::sparseBundleLimit, 3.200000047683716, "3.2"},
        {k::sparseBundleFactor, 0.8600000143051147, "0.86"},
        {k::sparseBundleExponent, 0.1599999964237213, "0.16"},
        {k::laminarLimitReynolds, 2300.0, "2300 exact"},
        {k::turbulentMaxReynolds, 5000000.0, "5e6 exact"},
        {k::cylinderReynoldsScale, 282000.0, "282000 exact"},
        {k::bellLaminarReynolds, 100.0, "100 exact"},
        {k::tubeHoleClearance, 0.0007937499904073775, "1/32 in"},
        {k::closeTubeHoleClearance, 0.00039687499520368874, "1/64 in"},
        {k::closeHoleLargestTube, 0.03175000101327896, "1 1/4 in"},
        {k::closeHoleShortestSpan, 0.9143999814987183, "36 in"},
        {k::spacingFitTolerance, 9.999999717180685e-10, "1e-9"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(row.value),
                  std::bit_cast<std::uint64_t>(row.expected))
            << row.name << ": " << row.value;
    }
}

}  // namespace
}  // namespace hxrate
