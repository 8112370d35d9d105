// Liquid water from the IAPWS industrial formulations: density and heat
// capacities from IAPWS-IF97 region 1, the saturation line from region 4,
// viscosity from IAPWS R12-08 and thermal conductivity from IAPWS R15-11.
// Temperatures in K, pressures in Pa, everything else SI.
#pragma once

namespace hxrate::water {

// The bounds of IAPWS-IF97 region 1 (IAPWS R7-97(2012), section 4).
inline constexpr double region1MinTemperature = 273.15;  // K
inline constexpr double region1MaxTemperature = 623.15;  // K
inline constexpr double region1MaxPressure = 100e6;      // Pa

// The state of region 1 at (T, p) that the transport properties need.
struct Region1State {
    double density;             // kg/m3
    double heatCapacity;        // cp, J/(kg K)
    double isochoricCapacity;   // cv, J/(kg K)
    double densityPerPressure;  // (d rho/d p) at constant T, kg/(m3 Pa)
};

// The terms of the thermal conductivity as R15-11 tabulates them.
struct ConductivityTerms {
    double lambda0;  // dilute-gas limit, mW/(m K)
    double lambda1;  // residual factor, -
    double lambda2;  // critical enhancement, mW/(m K)
    double total;    // lambda0 lambda1 + lambda2, mW/(m K)
};

// Every property of liquid water at one state.
struct LiquidWater {
    Region1State state;
    double viscosity;  // Pa s
    ConductivityTerms conductivity;
};

// Saturation pressure at T (273.15 K to 647.096 K), Pa.
double saturationPressure(double temperature);
// Saturation temperature at p (611.213 Pa to 22.064 MPa), K.
double saturationTemperature(double pressure);
// Region 1 at T and p inside it.
Region1State region1(double temperature, double pressure);
// Viscosity at T and density with the critical enhancement mu2 = 1, Pa s.
double viscosity(double temperature, double density);
// Thermal conductivity at the state of region 1 (T, p), with viscosity mu (Pa s).
ConductivityTerms conductivity(double temperature, const Region1State& state, double mu);
// Thermal conductivity without the critical enhancement (lambda2 = 0), mW/(m K).
double conductivityWithoutEnhancement(double temperature, double density);
// All of them at T and p inside region 1; the caller checks the region.
LiquidWater liquidWater(double temperature, double pressure);

}  // namespace hxrate::water
