// The influence kernel of one boundary element, written without branches so that
// loops over many elements compile to vector code. Internal to the solver.
//
// For an element with unit tangent T and normal N and a point P, with
// eta_k = (P_k - P).N and xi_k = (P_k - P).T, the kernel needs
//   LogPart   = ln(r2/r1)       (r_k = |P_k - P|)
//   AnglePart = theta2 - theta1 (theta_k = atan(xi_k/eta_k), +-pi/2 when |eta_k| <= 1e-6)
// The logarithm and the angle difference are evaluated by polynomials accurate to
// a few units in the last place, so the result matches the library functions to
// about 1e-15 relative.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace kalvex::kernel {

inline constexpr double Pi = 3.14159265358979323846;
inline constexpr double EtaEps = 1e-6;

// Sum of C[k]*Z^k, k = 0..9, by Estrin's scheme: a short dependency chain, so that
// consecutive loop iterations overlap.
[[gnu::always_inline]] inline double Poly10(double Z, const double (&C)[10]) {
    const double Z2 = Z * Z;
    const double Z4 = Z2 * Z2;
    const double Z8 = Z4 * Z4;
    const double P01 = C[0] + C[1] * Z;
    const double P23 = C[2] + C[3] * Z;
    const double P45 = C[4] + C[5] * Z;
    const double P67 = C[6] + C[7] * Z;
    const double P89 = C[8] + C[9] * Z;
    const double P03 = P01 + Z2 * P23;
    const double P47 = P45 + Z2 * P67;
    return (P03 + Z4 * P47) + Z8 * P89;
}

// ln(A/B) for A, B in [1e-300, 1e300], without dividing A by B.
[[gnu::always_inline]] inline double LogRatio(double A, double B) {
    constexpr double Sqrt2 = 1.41421356237309504880;
    constexpr double Ln2Hi = 6.93147180369123816490e-01; // trailing zeros: E*Ln2Hi is exact
    constexpr double Ln2Lo = 1.90821492927058770002e-10;
    // 1/(2k+3): ln M = 2 atanh(S) = 2S(1 + Z/3 + Z^2/5 + ...), Z = S^2 <= 0.0295;
    // the series up to S^21 is exact to 1e-17.
    static constexpr double C[10] = {1.0 / 3,  1.0 / 5,  1.0 / 7,  1.0 / 9,  1.0 / 11,
                                     1.0 / 13, 1.0 / 15, 1.0 / 17, 1.0 / 19, 1.0 / 21};
    const std::uint64_t BitsA = std::bit_cast<std::uint64_t>(A);
    const std::uint64_t BitsB = std::bit_cast<std::uint64_t>(B);
    // Exponent fields as doubles without an integer conversion (vectorises on SSE2).
    const double ExpA =
        std::bit_cast<double>((BitsA >> 52) | 0x4330000000000000ULL) - 4503599627370496.0;
    const double ExpB =
        std::bit_cast<double>((BitsB >> 52) | 0x4330000000000000ULL) - 4503599627370496.0;
    // Mantissas in [1, 2); their ratio is brought into [1/sqrt2, sqrt2] by doubling one.
    const double MA =
        std::bit_cast<double>((BitsA & 0x000FFFFFFFFFFFFFULL) | 0x3FF0000000000000ULL);
    const double MB =
        std::bit_cast<double>((BitsB & 0x000FFFFFFFFFFFFFULL) | 0x3FF0000000000000ULL);
    const bool Up = MA > Sqrt2 * MB;
    const bool Down = MB > Sqrt2 * MA;
    const double MA2 = MA * (Down ? 2.0 : 1.0);
    const double MB2 = MB * (Up ? 2.0 : 1.0);
    const double E = (ExpA - ExpB) + ((Up ? 1.0 : 0.0) - (Down ? 1.0 : 0.0));
    // MA2 - MB2 is exact (the two are within a factor of 2).
    const double S = (MA2 - MB2) / (MA2 + MB2);
    const double Z = S * S;
    const double LnM = 2.0 * S + 2.0 * S * (Z * Poly10(Z, C));
    return E * Ln2Hi + (E * Ln2Lo + LnM);
}

// ln X for X in [1e-300, 1e300].
[[gnu::always_inline]] inline double Log(double X) {
    return LogRatio(X, 1.0);
}

// atan2(Y, X) for (X, Y) != (0, 0).
[[gnu::always_inline]] inline double Atan2(double Y, double X) {
    constexpr double Tan1_16 = 0.19891236737965800691; // tan(pi/16)
    constexpr double Tan3_16 = 0.66817863791929891999; // tan(3pi/16)
    constexpr double Tan1_8 = 0.41421356237309504880;  // tan(pi/8)
    constexpr double Pi8 = 0.39269908169872415481;
    constexpr double Pi4 = 0.78539816339744830962;
    constexpr double Pi2 = 1.57079632679489661923;
    const double AY = std::fabs(Y);
    const double AX = std::fabs(X);
    const bool Swap = AY > AX;
    const double Num = Swap ? AX : AY;
    const double Den = Swap ? AY : AX;
    // atan(t) = c + atan((t - tan c)/(1 + t tan c)) with c in {0, pi/8, pi/4}; one
    // division for the whole reduction, |U| <= tan(pi/16).
    const bool R1 = Num > Den * Tan1_16;
    const bool R2 = Num > Den * Tan3_16;
    const bool Mid = R1 & !R2;
    // Sums of selected constants (one of each pair is 0): no nested choice that the
    // compiler would turn into a branch.
    const double Tc = (Mid ? Tan1_8 : 0.0) + (R2 ? 1.0 : 0.0);
    const double Off = (Mid ? Pi8 : 0.0) + (R2 ? Pi4 : 0.0);
    const double U = (Num - Den * Tc) / (Den + Num * Tc);
    const double Z = U * U;
    // Taylor series up to U^21: the first omitted term is below 2e-17 relative.
    static constexpr double C[10] = {-1.0 / 3, 1.0 / 5,   -1.0 / 7, 1.0 / 9,   -1.0 / 11,
                                     1.0 / 13, -1.0 / 15, 1.0 / 17, -1.0 / 19, 1.0 / 21};
    const double A0 = Off + (U + U * (Z * Poly10(Z, C)));
    // Octant fix-ups as A -> Off + Sign*A with selected constants (exact: 0 + A = A,
    // 1*A = A), so no floating-point operation sits in a branch.
    const double A1 = (Swap ? Pi2 : 0.0) + (Swap ? -1.0 : 1.0) * A0;
    const double A2 = (X < 0.0 ? Pi : 0.0) + (X < 0.0 ? -1.0 : 1.0) * A1;
    return (Y < 0.0 ? -1.0 : 1.0) * A2;
}

inline double SignOf(double X) {
    return X > 0.0 ? 1.0 : (X < 0.0 ? -1.0 : 0.0);
}

// 1.0 where the condition holds, else 0.0. Conditions are combined as numbers
// (and = product, not = 1 - x), which keeps every operation of the loop on doubles.
[[gnu::always_inline]] inline double Mask(bool C) {
    return C ? 1.0 : 0.0;
}

// One element seen from one point. Skip: an end point coincides with the point (the
// term is taken as 0). Fixup: the two distances from the element's line fall on
// different sides of the 1e-6 threshold (or of zero); the caller recomputes such a
// rare term with the plain formula. In both cases LogPart and AnglePart are 0.
[[gnu::always_inline]] inline void Terms(double Eta1, double Xi1, double Eta2, double Xi2,
                                         double& LogPart, double& AnglePart, double& Fixup) {
    const double R1Sq = Xi1 * Xi1 + Eta1 * Eta1;
    const double R2Sq = Xi2 * Xi2 + Eta2 * Eta2;
    const double Valid = Mask(R1Sq > 0.0) * Mask(R2Sq > 0.0);
    // Invalid lanes compute ln(1/1); squares outside [1e-300, 1e300] are clamped.
    const double A0 = R2Sq * Valid + (1.0 - Valid);
    const double B0 = R1Sq * Valid + (1.0 - Valid);
    const double A1 = A0 < 1e-300 ? 1e-300 : A0;
    const double B1 = B0 < 1e-300 ? 1e-300 : B0;
    const double A = A1 > 1e300 ? 1e300 : A1;
    const double B = B1 > 1e300 ? 1e300 : B1;
    const double L = 0.5 * LogRatio(A, B);

    const double Small1 = Mask(std::fabs(Eta1) <= EtaEps);
    const double Small2 = Mask(std::fabs(Eta2) <= EtaEps);
    const double BothSmall = Small1 * Small2;
    const double Generic = (1.0 - Small1) * (1.0 - Small2) * Mask(Eta1 * Eta2 > 0.0);
    // theta2 - theta1 is the angle from (eta1, xi1) to (eta2, xi2).
    const double Cross = Xi2 * Eta1 - Xi1 * Eta2;
    const double Dot = Eta1 * Eta2 + Xi1 * Xi2;
    const double UseAtan = Generic * Valid;
    const double G = Atan2(Cross * UseAtan, Dot * UseAtan + (1.0 - UseAtan));
    const double OnLine = (SignOf(Xi2) - SignOf(Xi1)) * (0.5 * Pi);
    // Exactly one of the weights is 1 for a valid lane; the rest contribute 0.
    const double Bad = (1.0 - BothSmall) * (1.0 - Generic) * Valid;
    const double Keep = Valid * (1.0 - Bad);
    LogPart = L * Keep;
    AnglePart = (OnLine * BothSmall + G * Generic) * Keep;
    Fixup = Bad;
}

} // namespace kalvex::kernel
