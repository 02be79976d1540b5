// The solver against flows whose answer is known.
#include "SolverBuilders.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kalvex;
using namespace kalvex::test;

TEST(Physics, FlangedSlotOnItsAxis) {
    // Slot of width b sucking at V in an infinite wall: on the axis at distance x the
    // air moves towards the slot at (2V/pi) atan(b/(2x)).
    const double B = 0.1, V = 1.0;
    TCountEdges C;
    // Long tails: 60 elements growing by 1.25 reach about 1e5 m.
    C.Elements.DiscretizeGraded(FlangedSlot(B, V), 60, 0.001, 1.5, 0.1, 1.25);
    C.EnsureSolved();
    for (double X : {0.01, 0.05, 0.1, 0.2, 0.5, 1.0}) {
        const double Exact = 2 * V / M_PI * std::atan(B / (2 * X));
        const TRealPoint Vel = C.Velocity({0.0, X});
        EXPECT_NEAR(-Vel.Y, Exact, 2e-3 * Exact) << "x = " << X;
        EXPECT_NEAR(Vel.X, 0.0, 1e-9 * Exact);
    }
    // The default tails (15 elements, 1.8) are about 3.4 m long: good near the slot.
    TCountEdges D;
    D.Elements.DiscretizeGraded(FlangedSlot(B, V), 15, 0.0004, 2.0, 0.1, 1.8);
    D.EnsureSolved();
    const double Exact = 2 * V / M_PI * std::atan(B / (2 * 0.1));
    EXPECT_NEAR(-D.Speed({0, 1}, {0.0, 0.1}), Exact, 0.01 * Exact);
}

namespace {

// A wall along y = 0 (air above) and a cylinder of radius R turning at surface speed V
// with its centre at height H, discretised by equal elements of the cylinder's chord
// length. The exact flow has image vortices +-Gamma at +-i*c, c = sqrt(H^2 - R^2);
// returns the largest error of the velocity just above the wall, relative to the
// exact wall speed Gamma*c/(pi*(x^2 + c^2)).
double WallFlowError(int TailCount, double TailScaler, int Chords, double R, double H, double V) {
    const TEdges M = ModelOf(
        {Chain(ekSemiInfinite, {{1, 0}, {0.5, 0}, {-0.5, 0}, {-1, 0}}), Cylinder({0, H}, R, V)});
    TCountEdges C;
    C.Elements.DiscretizeEqual(M, TailCount, 2 * R * std::sin(M_PI / Chords), TailScaler);
    C.EnsureSolved();
    const double Gamma = 2 * M_PI * R * V;
    const double Cc = std::sqrt(H * H - R * R);
    double Worst = 0.0;
    for (double X : {0.0, 0.1, 0.2, 0.4}) {
        for (double Y : {0.02, 0.05}) {
            const TRealPoint P{X, Y};
            TRealPoint Exact;
            for (const auto& [Y0, G] : {std::pair{Cc, Gamma}, std::pair{-Cc, -Gamma}}) {
                const double Dx = P.X, Dy = P.Y - Y0;
                const double K = G / (2 * M_PI * (Dx * Dx + Dy * Dy));
                Exact.X += -K * Dy;
                Exact.Y += K * Dx;
            }
            const double OnWall = Gamma * Cc / (M_PI * (X * X + Cc * Cc));
            Worst = std::max(Worst, Distance(C.Velocity(P), Exact) / OnWall);
        }
    }
    return Worst;
}

} // namespace

TEST(Physics, RotatingCylinderAboveAWallConvergesToTheImageVortex) {
    const double R = 0.1, H = 0.25, V = 1.0;
    // Five tail elements (a wall of about 2.7 m): the truncated wall costs tens of
    // percent (measured 22 %).
    const double Short = WallFlowError(5, 1.8, 32, R, H, V);
    // 40 tail elements growing by 1.25 (and 1.5 at the first end, the equal method's
    // fixed factor), 32 chords: measured 0.36 %.
    const double Long = WallFlowError(40, 1.25, 32, R, H, V);
    // Longer still and 64 chords: measured 0.27 %.
    const double Fine = WallFlowError(60, 1.25, 64, R, H, V);
    EXPECT_GT(Short, 0.1);
    EXPECT_LT(Long, 0.005);
    EXPECT_LT(Fine, 0.005);
    EXPECT_LT(Long, Short / 20);
    RecordProperty("short_tails_error", std::to_string(Short));
    RecordProperty("long_tails_error", std::to_string(Long));
    RecordProperty("long_tails_64_chords_error", std::to_string(Fine));
}

TEST(Physics, IsolatedRotatingCylinder) {
    // The vortex is tangential, so the chords' normal velocity is 0: the intensities
    // vanish and the speed is R*V/r outside.
    const double R = 0.2, V = 3.0;
    TCountEdges C;
    C.Elements.DiscretizeGraded(ModelOf({Cylinder({0.5, -0.25}, R, V)}), 15, 0.0004, 2.0, 0.02,
                                1.8);
    C.EnsureSolved();
    for (double Q : C.Intensities)
        EXPECT_NEAR(Q, 0.0, 1e-13);
    for (double Rr : {0.25, 0.5, 2.0}) {
        for (double A : {0.0, 1.0, 4.0}) {
            const TRealPoint P{0.5 + Rr * std::cos(A), -0.25 + Rr * std::sin(A)};
            const TRealPoint Tangent{-std::sin(A), std::cos(A)};
            EXPECT_NEAR(C.Speed(Tangent, P), R * V / Rr, 1e-12);
            EXPECT_NEAR(C.Speed({std::cos(A), std::sin(A)}, P), 0.0, 1e-12);
        }
    }
}
