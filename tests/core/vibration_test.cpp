#include "hxrate/vibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "hxrate/exchanger.h"
#include "support/expect_error.h"

namespace hxrate {
namespace {

constexpr double pi = std::numbers::pi;

// Water across a bundle of 19 mm copper tubes at a triangular pitch of 1.25,
// 3 m long: spans of 0.5 m with five baffles, at a flow that does not
// vibrate.
Case bundle(int baffles = 5, double shellFlow = 0.01) {
    Case c;
    c.exchangerType = ExchangerType::CrossFlowCounterCurrent;
    c.tubeInnerDiameter = 0.016;
    c.innerRoughness = 1.5e-6;
    c.tubeLength = 3.0;
    c.elementLength = 0.05;
    c.shellInnerDiameter = 0.3;
    c.bundleArrangement = BundleArrangement::Staggered;
    c.tubeCount = 60;
    c.transversePitch = 0.02375;
    c.longitudinalPitch = 0.02375 * std::sqrt(3.0) / 2;
    c.baffleCount = baffles;
    c.wallMaterial = "Copper    ";
    c.wallConductivity = 380;
    c.wallThickness = 0.0015;
    c.tubeFluid = {"Water     ", 998, 0.001, 0.6, 4180, 0.004};
    c.shellFluid = {"Water     ", 998, 0.001, 0.6, 4180, shellFlow};
    c.tubeInletTemperature = 20;
    c.shellInletTemperature = 80;
    c.correctionFactor = 0.5;
    return c;
}

// The first root of a beam's frequency equation, by bisection on [a, b].
double root(const std::function<double(double)>& f, double a, double b) {
    for (int i = 0; i < 200; ++i) {
        double m = (a + b) / 2;
        (f(a) * f(m) <= 0 ? b : a) = m;
    }
    return (a + b) / 2;
}

// Each span's frequency is the closed form of a uniform beam with its ends:
// lambda L = pi pinned-pinned, the first roots of tan = tanh clamped-pinned
// and of cos cosh = 1 clamped-clamped.
TEST(Vibration, SpanFrequenciesAreTheBeamClosedForms) {
    const double clampedPinned =
        root([](double x) { return std::tan(x) - std::tanh(x); }, 3.5, 4.5);
    const double clampedClamped =
        root([](double x) { return std::cos(x) * std::cosh(x) - 1; }, 4.5, 5.0);
    struct Row {
        int baffles;
        std::size_t span;
        double lambda, length;
    } rows[] = {
        {0, 0, clampedClamped, 3.0},  // no baffle: the whole tube
        {1, 0, clampedPinned, 1.5},   // tubesheet to the one baffle
        {5, 1, pi, 0.5},              // between two baffles
        {5, 2, clampedPinned, 0.5},   // the outlet span
        {5, 4, pi, 1.0},              // a window tube over two spacings
        {1, 2, clampedClamped, 3.0},  // a window tube of one baffle: tubesheet to tubesheet
    };
    for (const Row& row : rows) {
        const VibrationScreening s = screenVibration(bundle(row.baffles), {});
        ASSERT_LT(row.span, s.spans.size());
        const VibrationSpan& span = s.spans[row.span];
        const double EI = s.elasticModulus * s.momentOfInertia;
        const double f = row.lambda * row.lambda / (2 * pi * row.length * row.length) *
                         std::sqrt(EI / s.effectiveMass);
        EXPECT_DOUBLE_EQ(span.length, row.length) << row.baffles;
        EXPECT_NEAR(span.naturalFrequency / f, 1, 1e-7) << row.baffles << " " << span.name;
    }
    // The central spans are counted once, with their number.
    const VibrationScreening s = screenVibration(bundle(5), {});
    ASSERT_EQ(s.spans.size(), 6u);  // three in the overlap, three in the windows
    EXPECT_EQ(s.spans[1].count, 4);
    EXPECT_EQ(s.spans[4].count, 3);
    EXPECT_TRUE(s.spans[4].inWindow);
    EXPECT_EQ(s.spans[0].startEnd, SpanEnd::clamped);
    EXPECT_EQ(s.spans[2].endEnd, SpanEnd::clamped);
}

// The masses, the critical velocity and the velocity ratio written out for
// the central span of the bundle.
TEST(Vibration, CriticalVelocityIsConnorsFormWrittenOut) {
    const Case c = bundle();
    const VibrationScreening s = screenVibration(c, {});
    const double Do = 0.019, Di = 0.016, P = 0.02375;
    EXPECT_EQ(s.layoutAngle, 30);
    EXPECT_DOUBLE_EQ(s.pitch, P);
    EXPECT_EQ(s.material, "carbon-steel");  // the default, whatever the wall's name
    const double E = 202e9, rhoT = 7850, rho = 998;
    const double I = pi * (std::pow(Do, 4) - std::pow(Di, 4)) / 64;
    const double x = P / Do, De = (0.96 + 0.5 * x) * x;
    const double Cm = (De * De + 1) / (De * De - 1);
    const double m =
        rhoT * pi * (Do * Do - Di * Di) / 4 + 998 * pi * Di * Di / 4 + Cm * rho * pi * Do * Do / 4;
    EXPECT_NEAR(s.effectiveMass / m, 1, 1e-6);
    EXPECT_NEAR(s.addedMassCoefficient / Cm, 1, 1e-6);
    const VibrationSpan& central = s.spans[1];
    const double f = pi * pi / (2 * pi * 0.25) * std::sqrt(E * I / m);
    const double delta = 0.03, K = 3.0;
    const double Vcrit = K * f * Do * std::sqrt(m * delta / (rho * Do * Do));
    // Through the gaps ST - Do of the compartment: Q/(Lbc Ds) ST/(ST - Do).
    const double V = 0.01 / (0.5 * 0.3) * P / (P - Do);
    EXPECT_NEAR(central.criticalVelocity / Vcrit, 1, 1e-6);
    EXPECT_NEAR(central.velocity / V, 1, 1e-12);
    EXPECT_NEAR(central.velocityRatio / (V / Vcrit), 1, 1e-6);
    EXPECT_EQ(s.spans[s.worstSpan].velocityRatio, s.worstVelocityRatio);
}

// Rated as documents: each case's warning codes among the rating's, the
// screening formed for the cross-flow types only.
TEST(Vibration, RatingsCarryTheirWarnings) {
    CaseDocument gas{bundle(11), {}, {}};
    gas.input.shellFluid = {"Air       ", 1.2, 1.8e-5, 0.026, 1007, 0.4};
    gas.vibration.speedOfSound = 500;
    CaseDocument resonant = gas;  // a heavy gas: its first mode near the shedding
    resonant.vibration.speedOfSound = 100;
    CaseDocument longSpans{bundle(1, 0.05), {}, {}};
    CaseDocument titanium{bundle(11), {}, {}};
    titanium.vibration.material = TubeMaterial::titanium;
    titanium.vibration.velocityRatioLimit = 0.4;
    CaseDocument along{bundle(), {}, {}};
    along.input.exchangerType = ExchangerType::CounterCurrent;
    struct Row {
        const char* name;
        CaseDocument document;
        std::vector<std::string> codes;
    } rows[] = {
        {"quiet", CaseDocument{bundle(11), {}, {}}, {}},
        {"long spans", longSpans, {"fluid-elastic-instability", "turbulent-buffeting"}},
        {"titanium, a margin of 0.4", titanium, {"fluid-elastic-instability"}},
        {"gas", gas, {}},
        {"heavy gas", resonant, {"acoustic-resonance"}},
        {"axial flow", along, {}},
    };
    ExchangerOptions o;
    o.assess = false;
    for (const Row& row : rows) {
        const ExchangerRating r = rate(row.document, o);
        ASSERT_TRUE(r.solved()) << row.name;
        std::vector<std::string> codes;
        for (const Warning& w : r.warnings)
            if (w.field.starts_with("vibration") && w.severity != Severity::info)
                codes.push_back(w.code);
        EXPECT_EQ(codes, row.codes) << row.name << ": " << r.vibration->worstVelocityRatio;
        EXPECT_EQ(r.vibration.has_value(), isCrossFlow(row.document.input.exchangerType))
            << row.name;
        if (r.vibration) {
            EXPECT_EQ(r.vibration->passes(), row.codes.empty()) << row.name;
        }
    }
}

// Every input outside its domain is refused by its field's name.
TEST(Vibration, InputsOutsideTheirDomainNameTheField) {
    struct Row {
        const char* field;
        std::function<void(VibrationInput&)> set;
    } rows[] = {
        {"vibration.elastic_modulus", [](VibrationInput& v) { v.elasticModulus = 0; }},
        {"vibration.tube_density", [](VibrationInput& v) { v.tubeDensity = -1; }},
        {"vibration.log_decrement", [](VibrationInput& v) { v.logDecrement = 7; }},
        {"vibration.connors_constant", [](VibrationInput& v) { v.connorsConstant = NAN; }},
        {"vibration.velocity_ratio_limit", [](VibrationInput& v) { v.velocityRatioLimit = 0; }},
        {"vibration.lift_coefficient", [](VibrationInput& v) { v.liftCoefficient = -0.1; }},
        {"vibration.allowed_gap_fraction", [](VibrationInput& v) { v.allowedGapFraction = 2; }},
        {"vibration.speed_of_sound", [](VibrationInput& v) { v.speedOfSound = INFINITY; }},
        {"vibration.heat_capacity_ratio", [](VibrationInput& v) { v.heatCapacityRatio = 1; }},
    };
    for (const Row& row : rows) {
        VibrationInput v;
        row.set(v);
        const auto e = testing::errorOf<InvalidArgument>([&] { validateVibrationInput(v); });
        ASSERT_TRUE(e) << row.field;
        EXPECT_EQ(e->argument(), row.field);
    }
}

}  // namespace
}  // namespace hxrate
