#include "SolverBuilders.h"
#include "TestSupport.h"
#include "solver/uKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// Velocity scale for relative comparisons: the speed, but not below a small part
// of the intensities (a component that vanishes by symmetry has no relative error).
double Scale(const TCountEdges& C, TRealPoint P) {
    double Q = 0.0;
    for (double X : C.Intensities)
        Q = std::max(Q, std::fabs(X));
    return std::max(std::hypot(C.SpeedLiteral({1, 0}, P), C.SpeedLiteral({0, 1}, P)), 1e-3 * Q);
}

} // namespace

TEST(KernelPolynomials, MatchTheLibrary) {
    std::mt19937_64 Rng(42);
    std::uniform_real_distribution<double> Exp(-300.0, 300.0);
    std::uniform_real_distribution<double> U(-1.0, 1.0);
    double MaxLog = 0.0, MaxAtan = 0.0;
    for (int I = 0; I < 200000; ++I) {
        const double X = std::pow(10.0, Exp(Rng));
        const double L = kernel::Log(X);
        MaxLog =
            std::max(MaxLog, std::fabs(L - std::log(X)) / std::max(1.0, std::fabs(std::log(X))));
        const double Near = 1.0 + U(Rng) * 1e-3;
        MaxLog = std::max(MaxLog, std::fabs(kernel::Log(Near) - std::log(Near)) /
                                      std::fabs(std::log(Near)));
        const double Y = U(Rng) * std::pow(10.0, 3 * U(Rng));
        const double Xa = U(Rng) * std::pow(10.0, 3 * U(Rng));
        const double A = std::atan2(Y, Xa);
        MaxAtan =
            std::max(MaxAtan, std::fabs(kernel::Atan2(Y, Xa) - A) / std::max(std::fabs(A), 1e-300));
    }
    EXPECT_LT(MaxLog, 1e-15);
    EXPECT_LT(MaxAtan, 1e-15);
    // Quadrants and axes.
    EXPECT_DOUBLE_EQ(kernel::Atan2(1, 0), M_PI / 2);
    EXPECT_DOUBLE_EQ(kernel::Atan2(0, -1), M_PI);
    EXPECT_DOUBLE_EQ(kernel::Atan2(-1, -1), -3 * M_PI / 4);
    EXPECT_EQ(kernel::Log(1.0), 0.0);
}

class SpeedOnExamples : public ::testing::TestWithParam<const char*> {};

TEST_P(SpeedOnExamples, FastAndLiteralAgree) {
    TEdges M;
    M.LoadFromFile(ExamplePath(GetParam()));
    TCountEdges C;
    C.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    C.EnsureSolved();
    std::mt19937_64 Rng(7);
    std::uniform_real_distribution<double> U(-1.2, 1.2);
    double Worst = 0.0;
    for (int I = 0; I < 300; ++I) {
        const TRealPoint P{U(Rng), 0.6 + U(Rng)};
        const double S = Scale(C, P);
        for (TRealPoint D : {TRealPoint{1, 0}, TRealPoint{0, 1}, TRealPoint{0.3, -0.7}})
            Worst = std::max(Worst, std::fabs(C.Speed(D, P) - C.SpeedLiteral(D, P)) / S);
    }
    EXPECT_LT(Worst, 1e-12);
    // Points on element lines, at control points and at end points.
    for (std::size_t J = 0; J < C.Elements.Elements.size(); J += 3) {
        const TEdgeElement& E = C.Elements.Elements[J];
        for (TRealPoint P : {(E.P1 + E.P2) / 2.0, E.P1, 1.5 * E.P1 - 0.5 * E.P2}) {
            const double S = Scale(C, P);
            const TRealPoint V = C.Velocity(P);
            ASSERT_TRUE(std::isfinite(V.X) && std::isfinite(V.Y));
            EXPECT_NEAR(V.X, C.SpeedLiteral({1, 0}, P), 1e-12 * S);
            EXPECT_NEAR(V.Y, C.SpeedLiteral({0, 1}, P), 1e-12 * S);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, SpeedOnExamples,
                         ::testing::Values("slot.asp", "hood.asp", "cylinder.asp",
                                           "hood_probe.asp"));

TEST(Speed, DirectionIsNormalisedAndLinear) {
    TEdges M;
    M.LoadFromFile(ExamplePath("hood.asp"));
    TCountEdges C;
    C.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    C.EnsureSolved();
    const TRealPoint P{0.3, 0.4};
    const double Sx = C.Speed({1, 0}, P);
    EXPECT_NEAR(C.Speed({2, 0}, P), Sx, 1e-15 * std::fabs(Sx));
    EXPECT_EQ(C.Speed({-1, 0}, P), -Sx);
    const double Sy = C.Speed({0, 1}, P);
    EXPECT_NEAR(C.Speed({3, 4}, P), 0.6 * Sx + 0.8 * Sy, 1e-14);
    EXPECT_NE(Sx, 0.0);
}

TEST(Speed, CylinderVortexPart) {
    // No elements: only the vortex of the turning cylinder.
    TCountEdges C;
    C.Elements.CylInfos.push_back({{1, 2}, 0.1, 2.0, 0, 0, 0});
    C.Elements.CylCount = 1;
    C.EnsureSolved();
    EXPECT_DOUBLE_EQ(C.Speed({0, 1}, {2, 2}), 0.2);
    EXPECT_EQ(C.Speed({1, 0}, {2, 2}), 0.0);
    // At the centre there is no direction: 0 instead of NaN.
    EXPECT_EQ(C.Speed({0, 1}, {1, 2}), 0.0);
    C.Elements.CylInfos[0].V = 0.0;
    EXPECT_EQ(C.Speed({0, 1}, {2, 2}), 0.0);
}

TEST(Speed, GuardsAtCentresAndEndPoints) {
    TEdges M;
    M.LoadFromFile(ExamplePath("cylinder.asp"));
    TCountEdges C;
    C.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    C.EnsureSolved();
    const TCylInfo Cyl = C.Elements.CylInfos.at(0);
    for (TRealPoint P : {Cyl.Center, C.Elements.Elements[0].P1, C.Elements.Elements[0].P2,
                         C.Elements.Elements[Cyl.FirstElement].P2}) {
        const TRealPoint V = C.Velocity(P);
        EXPECT_TRUE(std::isfinite(V.X) && std::isfinite(V.Y));
        EXPECT_TRUE(std::isfinite(C.SpeedLiteral({1, 0}, P)));
    }
}

TEST(Speed, StaleDataIsNeverUsed) {
    TEdges M;
    M.LoadFromFile(ExamplePath("cylinder.asp"));
    TCountEdges C;
    C.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    C.EnsureSolved();
    const TRealPoint P{0.1, 0.2};
    // Turning the slit without solving again: the velocity follows the current
    // elements (as the plain formula would), never the precomputed ones.
    C.Elements.RotateCylindersByAngle(40.0);
    EXPECT_EQ(C.Speed({1, 0}, P), C.SpeedLiteral({1, 0}, P));
    // EnsureSolved notices the change and solves again.
    C.EnsureSolved();
    TCountEdges Fresh;
    Fresh.Elements = C.Elements;
    Fresh.Solve();
    EXPECT_DOUBLE_EQ(C.Speed({1, 0}, P), Fresh.Speed({1, 0}, P));
    // Asking an unsolved model is a programming error, not a number.
    C.ClearIntensities();
    EXPECT_THROW(C.Speed({1, 0}, P), TKalvexError);
}
