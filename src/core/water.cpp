// Liquid water from the IAPWS industrial formulations. The coefficients are
// in one table, `iapws`, below; the formulas follow it, each beside the
// equation it implements.
#include "core/water.h"

#include <cmath>
#include <cstddef>
#include <numbers>

#include "core/arithmetic.h"

namespace hxrate::water {
namespace {

// The coefficients of the IAPWS releases, as the releases print them. They
// are doubles, not the single-precision literals of the project's constant
// table: that table holds the original program's constants, which were
// single precision; these decimals define the formulations themselves, and
// the releases' verification values (to nine digits) hold only with them as
// written.
namespace iapws {

// One term n (7.1 - pi)^I (tau - 1.222)^J of the region-1 Gibbs energy.
struct GibbsTerm {
    int I, J;
    double n;
};
// One term H (1/Tr - 1)^i (rhor - 1)^j of a residual transport factor.
struct ResidualTerm {
    int i, j;
    double H;
};

// IAPWS R7-97(2012) (IAPWS-IF97), eq. 1: the gas constant of water, J/(kg K).
constexpr double R = 461.526;
// IF97 eq. 7: reducing pressure (Pa) and temperature (K) of region 1.
constexpr double region1Pressure = 16.53e6;
constexpr double region1Temperature = 1386;
// IF97 table 2: coefficients and exponents of eq. 7.
constexpr GibbsTerm region1[] = {
    {0, -2, 0.14632971213167},        {0, -1, -0.84548187169114},
    {0, 0, -0.37563603672040e1},      {0, 1, 0.33855169168385e1},
    {0, 2, -0.95791963387872},        {0, 3, 0.15772038513228},
    {0, 4, -0.16616417199501e-1},     {0, 5, 0.81214629983568e-3},
    {1, -9, 0.28319080123804e-3},     {1, -7, -0.60706301565874e-3},
    {1, -1, -0.18990068218419e-1},    {1, 0, -0.32529748770505e-1},
    {1, 1, -0.21841717175414e-1},     {1, 3, -0.52838357969930e-4},
    {2, -3, -0.47184321073267e-3},    {2, 0, -0.30001780793026e-3},
    {2, 1, 0.47661393906987e-4},      {2, 3, -0.44141845330846e-5},
    {2, 17, -0.72694996297594e-15},   {3, -4, -0.31679644845054e-4},
    {3, 0, -0.28270797985312e-5},     {3, 6, -0.85205128120103e-9},
    {4, -5, -0.22425281908000e-5},    {4, -2, -0.65171222895601e-6},
    {4, 10, -0.14341729937924e-12},   {5, -8, -0.40516996860117e-6},
    {8, -11, -0.12734301741641e-8},   {8, -6, -0.17424871230634e-9},
    {21, -29, -0.68762131295531e-18}, {23, -31, 0.14478307828521e-19},
    {29, -38, 0.26335781662795e-22},  {30, -39, -0.11947622640071e-22},
    {31, -40, 0.18228094581404e-23},  {32, -41, -0.93537087292458e-25},
};
// IF97 table 34: coefficients n1..n10 of the saturation line, eqs. 29 to 31
// (index 0 unused, so that n[i] reads as in the release).
constexpr double saturation[] = {
    0,
    0.11670521452767e4,
    -0.72421316703206e6,
    -0.17073846940092e2,
    0.12020824702470e5,
    -0.32325550322333e7,
    0.14915108613530e2,
    -0.48232657361591e4,
    0.40511340542057e6,
    -0.23855557567849,
    0.65017534844798e3,
};

// IAPWS R12-08 and R15-11, section 2: reducing temperature (K), density
// (kg/m3) and pressure (Pa), the critical point of water.
constexpr double criticalTemperature = 647.096;
constexpr double criticalDensity = 322.0;
constexpr double criticalPressure = 22.064e6;

// R12-08 eq. 11, table 1: H0..H3 of the dilute-gas viscosity.
constexpr double viscosity0[] = {1.67752, 2.20462, 0.6366564, -0.241605};
// R12-08 eq. 12, table 2: the nonzero Hij of the residual viscosity factor.
constexpr ResidualTerm viscosity1[] = {
    {0, 0, 0.520094},     {1, 0, 0.850895e-1}, {2, 0, -0.108374e1}, {3, 0, -0.289555},
    {0, 1, 0.222531},     {1, 1, 0.999115},    {2, 1, 0.188797e1},  {3, 1, 0.126613e1},
    {5, 1, 0.120573},     {0, 2, -0.281378},   {1, 2, -0.906851},   {2, 2, -0.772479},
    {3, 2, -0.489837},    {4, 2, -0.257040},   {0, 3, 0.161913},    {1, 3, 0.257399},
    {0, 4, -0.325372e-1}, {3, 4, 0.698452e-1}, {4, 5, 0.872102e-2}, {3, 6, -0.435673e-2},
    {5, 6, -0.593264e-3},
};
// R12-08 section 2: reducing viscosity, Pa s.
constexpr double viscosityUnit = 1.00e-6;

// R15-11 eq. 16, table 1: L0..L4 of the dilute-gas conductivity.
constexpr double conductivity0[] = {2.443221e-3, 1.323095e-2, 6.770357e-3, -3.454586e-3,
                                    4.096266e-4};
// R15-11 eq. 17, table 2: the nonzero Lij of the residual conductivity factor.
constexpr ResidualTerm conductivity1[] = {
    {0, 0, 1.60397357},    {0, 1, -0.646013523},  {0, 2, 0.111443906},  {0, 3, 0.102997357},
    {0, 4, -0.0504123634}, {0, 5, 0.00609859258}, {1, 0, 2.33771842},   {1, 1, -2.78843778},
    {1, 2, 1.53616167},    {1, 3, -0.463045512},  {1, 4, 0.0832827019}, {1, 5, -0.00719201245},
    {2, 0, 2.19650529},    {2, 1, -4.54580785},   {2, 2, 3.55777244},   {2, 3, -1.40944978},
    {2, 4, 0.275418278},   {2, 5, -0.0205938816}, {3, 0, -1.21051378},  {3, 1, 1.60812989},
    {3, 2, -0.621178141},  {3, 3, 0.0716373224},  {4, 0, -2.7203370},   {4, 1, 4.57586331},
    {4, 2, -3.18369245},   {4, 3, 1.1168348},     {4, 4, -0.19268305},  {4, 5, 0.012913842},
};
// R15-11 section 2: the gas constant of IAPWS-95 that reduces cp, kJ/(kg K)
// taken as J/(kg K).
constexpr double conductivityGasConstant = 461.51805;
// R15-11 table 3: the critical-region constants Lambda, qD^-1 (nm), nu,
// gamma, xi0 (nm), Gamma0 and the reference temperature T_R / Tc.
constexpr double enhancementAmplitude = 177.8514;
constexpr double inverseCutoffWaveNumber = 0.40;
constexpr double exponentNu = 0.630;
constexpr double exponentGamma = 1.239;
constexpr double correlationLength0 = 0.13;
constexpr double susceptibilityAmplitude = 0.06;
constexpr double referenceTemperature = 1.5;
// R15-11 eq. 19: below this y the enhancement Z(y) is taken as 0.
constexpr double smallestY = 1.2e-7;
// R15-11 table 6: the upper reduced density of each column j of eq. 25, and
// its coefficients a_ij, i = 0..5, one row per column.
constexpr double compressibilityDensityLimit[] = {0.310559006, 0.776397516, 1.242236025,
                                                  1.863354037};
constexpr double compressibility[5][6] = {
    {6.53786807199516, -5.61149954923348, 3.39624167361325, -2.27492629730878, 10.2631854662709,
     1.97815050331519},
    {6.52717759281799, -6.30816983387575, 8.08379285492595, -9.82240510197603, 12.1358413791395,
     -5.54349664571295},
    {5.35500529896124, -3.96415689925446, 8.91990208918795, -12.0338729505790, 9.19494865194302,
     -2.16866274479712},
    {1.55225959906681, 0.464621290821181, 8.93237374861479, -11.0321960061126, 6.16780999933360,
     -0.965458722086812},
    {1.11999926419994, 0.595748562571649, 9.88952565078920, -10.3255051147040, 4.66861294457414,
     -0.503243546373828},
};

}  // namespace iapws

// sum over k of c[k] / x^k: the denominators of the dilute-gas limits.
template <std::size_t N>
double inversePowerSum(const double (&c)[N], double x) {
    double sum = 0;
    for (std::size_t k = 0; k < N; ++k) sum += c[k] / std::pow(x, static_cast<int>(k));
    return sum;
}

// sum of H (1/Tr - 1)^i (rhor - 1)^j: the exponents of the residual factors.
template <std::size_t N>
double residualSum(const iapws::ResidualTerm (&terms)[N], double Tr, double rhor) {
    double sum = 0;
    for (const iapws::ResidualTerm& t : terms)
        sum += t.H * std::pow(1 / Tr - 1, t.i) * std::pow(rhor - 1, t.j);
    return sum;
}

// lambda0 and lambda1 of the conductivity at T and density; lambda2 and total unset.
ConductivityTerms background(double temperature, double density) {
    double Tr = temperature / iapws::criticalTemperature;
    double rhor = density / iapws::criticalDensity;
    ConductivityTerms c{};
    // IAPWS R15-11 (2011) eq. 16: lambda0 = Tr^0.5 / sum_{k=0}^{4} Lk/Tr^k
    c.lambda0 = std::sqrt(Tr) / inversePowerSum(iapws::conductivity0, Tr);
    // R15-11 eq. 17: lambda1 = exp(rhor sum Lij (1/Tr - 1)^i (rhor - 1)^j)
    c.lambda1 = std::exp(rhor * residualSum(iapws::conductivity1, Tr, rhor));
    return c;
}

}  // namespace

double saturationPressure(double temperature) {
    const double* n = iapws::saturation;
    clearArithmeticFlags();
    // IF97 eq. 29b: theta = T/(1 K) + n9/(T/(1 K) - n10); 273.15 K <= T <= 647.096 K
    double theta = temperature + n[9] / (temperature - n[10]);
    double A = theta * theta + n[1] * theta + n[2];
    double B = n[3] * theta * theta + n[4] * theta + n[5];
    double C = n[6] * theta * theta + n[7] * theta + n[8];
    // IF97 eq. 30: ps/(1 MPa) = [2C / (-B + (B^2 - 4AC)^0.5)]^4
    double ratio = 2 * C / (-B + std::sqrt(B * B - 4 * A * C));
    return checked(std::pow(ratio, 4) * 1e6, "water saturation pressure (IAPWS-IF97 eq. 30)");
}

double saturationTemperature(double pressure) {
    const double* n = iapws::saturation;
    clearArithmeticFlags();
    // IF97 eq. 29a: beta = (ps/(1 MPa))^0.25; 611.213 Pa <= p <= 22.064 MPa
    double beta = std::pow(pressure / 1e6, 0.25);
    double E = beta * beta + n[3] * beta + n[6];
    double F = n[1] * beta * beta + n[4] * beta + n[7];
    double G = n[2] * beta * beta + n[5] * beta + n[8];
    double D = 2 * G / (-F - std::sqrt(F * F - 4 * E * G));
    // IF97 eq. 31: Ts/(1 K) = [n10 + D - ((n10 + D)^2 - 4(n9 + n10 D))^0.5] / 2
    double sum = n[10] + D;
    return checked((sum - std::sqrt(sum * sum - 4 * (n[9] + n[10] * D))) / 2,
                   "water saturation temperature (IAPWS-IF97 eq. 31)");
}

Region1State region1(double temperature, double pressure) {
    // IF97 eq. 7: g/(RT) = gamma(pi, tau) = sum n (7.1 - pi)^I (tau - 1.222)^J,
    // pi = p/16.53 MPa, tau = 1386 K/T; 273.15 K <= T <= 623.15 K, ps(T) <= p <= 100 MPa
    clearArithmeticFlags();
    double pi = pressure / iapws::region1Pressure;
    double tau = iapws::region1Temperature / temperature;
    double a = 7.1 - pi, b = tau - 1.222;
    // IF97 table 4: the derivatives of gamma that table 3 needs.
    double g_p = 0, g_pp = 0, g_tt = 0, g_pt = 0;
    for (const iapws::GibbsTerm& t : iapws::region1) {
        g_p += -t.n * t.I * std::pow(a, t.I - 1) * std::pow(b, t.J);
        g_pp += t.n * t.I * (t.I - 1) * std::pow(a, t.I - 2) * std::pow(b, t.J);
        g_tt += t.n * std::pow(a, t.I) * t.J * (t.J - 1) * std::pow(b, t.J - 2);
        g_pt += -t.n * t.I * std::pow(a, t.I - 1) * t.J * std::pow(b, t.J - 1);
    }
    Region1State s;
    // IF97 table 3: v p/(RT) = pi gamma_pi
    double v = pi * g_p * iapws::R * temperature / pressure;
    s.density = 1 / v;
    // IF97 table 3: cp/R = -tau^2 gamma_tautau
    s.heatCapacity = -tau * tau * g_tt * iapws::R;
    // IF97 table 3: cv/R = -tau^2 gamma_tautau + (gamma_pi - tau gamma_pitau)^2 / gamma_pipi
    double d = g_p - tau * g_pt;
    s.isochoricCapacity = (-tau * tau * g_tt + d * d / g_pp) * iapws::R;
    // IF97 table 3: kappa_T p = -pi gamma_pipi / gamma_pi; (d rho/d p)_T = rho kappa_T
    double kappaT = -pi * g_pp / g_p / pressure;
    s.densityPerPressure = s.density * kappaT;
    checkArithmetic("water in IAPWS-IF97 region 1 (eq. 7)");
    return s;
}

double viscosity(double temperature, double density) {
    clearArithmeticFlags();
    double Tr = temperature / iapws::criticalTemperature;
    double rhor = density / iapws::criticalDensity;
    // IAPWS R12-08 (2008) eq. 11: mu0 = 100 Tr^0.5 / sum_{i=0}^{3} Hi/Tr^i
    double mu0 = 100 * std::sqrt(Tr) / inversePowerSum(iapws::viscosity0, Tr);
    // R12-08 eq. 12: mu1 = exp(rhor sum Hij (1/Tr - 1)^i (rhor - 1)^j)
    double mu1 = std::exp(rhor * residualSum(iapws::viscosity1, Tr, rhor));
    // R12-08 eq. 10: mu = mu0 mu1 mu2 mu*, with the critical enhancement mu2 = 1 as the
    // release allows for industrial use: mu2 departs noticeably from 1 only near the critical
    // point (645.91 K < T < 650.77 K, 245.8 < rho < 405.3 kg/m3), far above region 1.
    return checked(mu0 * mu1 * iapws::viscosityUnit, "water viscosity (IAPWS R12-08 eq. 10)");
}

double conductivityWithoutEnhancement(double temperature, double density) {
    clearArithmeticFlags();
    ConductivityTerms c = background(temperature, density);
    return checked(c.lambda0 * c.lambda1, "water conductivity (IAPWS R15-11 eq. 10)");
}

ConductivityTerms conductivity(double temperature, const Region1State& state, double mu) {
    clearArithmeticFlags();
    ConductivityTerms c = background(temperature, state.density);
    double Tr = temperature / iapws::criticalTemperature;
    double rhor = state.density / iapws::criticalDensity;
    // R15-11 eq. 25, table 6 (industrial use with IAPWS-IF97): zeta at the
    // reference temperature T_R = 1.5 Tc, zeta(T_R) = 1 / sum_i a_ij rhor^i.
    std::size_t column = 0;
    while (column < 4 && rhor > iapws::compressibilityDensityLimit[column]) ++column;
    double sum = 0;
    for (int i = 0; i < 6; ++i) sum += iapws::compressibility[column][i] * std::pow(rhor, i);
    double zetaReference = 1 / sum;
    // R15-11: zeta = (d rhor / d pr)_Tr = (pc/rhoc) (d rho/d p)_T, from IF97
    double zeta = iapws::criticalPressure / iapws::criticalDensity * state.densityPerPressure;
    // R15-11 eqs. 20 to 22: Delta chi = rhor [zeta(Tr) - zeta(T_R) T_R/Tr] (0 when negative),
    // xi = xi0 (Delta chi/Gamma0)^(nu/gamma) (nm), y = qD xi
    double deltaChi = rhor * (zeta - zetaReference * iapws::referenceTemperature / Tr);
    if (deltaChi < 0) deltaChi = 0;
    double xi = iapws::correlationLength0 * std::pow(deltaChi / iapws::susceptibilityAmplitude,
                                                     iapws::exponentNu / iapws::exponentGamma);
    double y = xi / iapws::inverseCutoffWaveNumber;
    // R15-11 eq. 19: Z(y) = 2/(pi y) {[(1 - 1/kappa) arctan y + y/kappa]
    //                     - [1 - exp(-1/(1/y + y^2/(3 rhor^2)))]}, kappa = cp/cv; Z = 0
    //                     below 1.2e-7
    double Z = 0;
    if (y >= iapws::smallestY) {
        double kappaInverse = state.isochoricCapacity / state.heatCapacity;
        Z = 2 / (std::numbers::pi * y) *
            (((1 - kappaInverse) * std::atan(y) + kappaInverse * y) -
             (1 - std::exp(-1 / (1 / y + y * y / (3 * rhor * rhor)))));
    }
    // R15-11 eq. 18: lambda2 = Lambda rhor cpr Tr / mur Z(y), cpr = cp/R, mur = mu/(1e-6 Pa s)
    double cpr = state.heatCapacity / iapws::conductivityGasConstant;
    double mur = mu / iapws::viscosityUnit;
    c.lambda2 = iapws::enhancementAmplitude * rhor * cpr * Tr / mur * Z;
    // R15-11 eq. 10: lambda = lambda0 lambda1 + lambda2
    c.total = c.lambda0 * c.lambda1 + c.lambda2;
    checkArithmetic("water conductivity (IAPWS R15-11 eq. 10)");
    return c;
}

LiquidWater liquidWater(double temperature, double pressure) {
    LiquidWater w;
    w.state = region1(temperature, pressure);
    w.viscosity = viscosity(temperature, w.state.density);
    w.conductivity = conductivity(temperature, w.state, w.viscosity);
    return w;
}

}  // namespace hxrate::water
