#include "results/uParticle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace kalvex;

namespace {

constexpr double Pi = std::numbers::pi;

// Cd·A·W as the drag law states it, for comparison.
double LiteralKDrag(double W, double D, double RhoAir, double Mu, double Chi) {
    const double A = (Pi * D * D / 4) * RhoAir * Chi / 2;
    const double Re = RhoAir * D * W / Mu;
    return DragCoefficient(Re) * A * W;
}

} // namespace

TEST(DragLaw, ThresholdsBelongToTheUpperLaw) {
    EXPECT_EQ(DragLawFor(0.0), TDragLaw::dlStokes);
    EXPECT_EQ(DragLawFor(std::nextafter(0.2, 0.0)), TDragLaw::dlStokes);
    EXPECT_EQ(DragLawFor(0.2), TDragLaw::dlKlyachko);
    EXPECT_EQ(DragLawFor(std::nextafter(1000.0, 0.0)), TDragLaw::dlKlyachko);
    EXPECT_EQ(DragLawFor(1000.0), TDragLaw::dlAdamov);
    EXPECT_EQ(DragLawName(TDragLaw::dlStokes), " (Стокс)");
    EXPECT_EQ(DragLawName(TDragLaw::dlKlyachko), " (Клячко)");
    EXPECT_EQ(DragLawName(TDragLaw::dlAdamov), " (Адамов)");
}

TEST(DragLaw, CoefficientsOnBothSidesOfTheThresholds) {
    // Stokes just below 0.2: 24/Re = 120.
    EXPECT_NEAR(DragCoefficient(std::nextafter(0.2, 0.0)), 120.0, 1e-9);
    // Klyachko at 0.2: 120·(1 + 0.2^(2/3)/6) = 120·1.0569992...
    EXPECT_NEAR(DragCoefficient(0.2), 126.83990, 1e-4);
    // Klyachko just below 1000: 0.024·(1 + 100/6).
    EXPECT_NEAR(DragCoefficient(std::nextafter(1000.0, 0.0)), 0.424, 1e-9);
    // Adamov at 1000: 0.024·(1 + 6.5)^1.5.
    EXPECT_NEAR(DragCoefficient(1000.0), 0.024 * std::sqrt(7.5 * 7.5 * 7.5), 1e-12);
}

TEST(DragFactor, MatchesCdAWInEveryLaw) {
    const double D = 1e-4, Rho = 1.205, Mu = 1.78e-5, Chi = 1.3;
    // W giving Re of about 0.01, 5 and 3000.
    for (double W : {0.0015, 0.75, 450.0}) {
        const double K = DragFactor(W, D, Rho, Mu, Chi);
        EXPECT_NEAR(K, LiteralKDrag(W, D, Rho, Mu, Chi), 1e-12 * K) << W;
    }
}

TEST(DragFactor, FiniteLimitForAParticleAtRest) {
    const double D = 1e-5, Rho = 1.205, Mu = 1.78e-5, Chi = 1.0;
    const double K0 = DragFactor(0.0, D, Rho, Mu, Chi);
    EXPECT_TRUE(std::isfinite(K0));
    EXPECT_NEAR(K0, 3 * Pi * Mu * D * Chi, 1e-25);
    // Continuous: the literal law at a tiny relative speed gives the same value.
    EXPECT_NEAR(LiteralKDrag(1e-9, D, Rho, Mu, Chi), K0, 1e-12 * K0);
    EXPECT_NEAR(DragFactor(1e-300, D, Rho, Mu, Chi), K0, 1e-12 * K0);
}

TEST(Rebound, FiguresOnAWallAlongX) {
    const TRealPoint P1{0, 0};
    const TRealPoint P2{1, 0};
    TRealPoint W = ReboundVelocity({1, -1}, P1, P2, 0.5, 0.5);
    EXPECT_NEAR(W.X, 1 - 2.0 / 7, 1e-12); // 0.714
    EXPECT_NEAR(W.Y, 0.5, 1e-12);
    W = ReboundVelocity({-1, -1}, P1, P2, 0.5, 0.5);
    EXPECT_NEAR(W.X, -(1 - 2.0 / 7), 1e-12);
    EXPECT_NEAR(W.Y, 0.5, 1e-12);
    // Not symmetric in the sign of Wt: min(3.81, 1) = 1 but min(-3.81, 1) = -3.81.
    W = ReboundVelocity({1, -0.1}, P1, P2, 0.5, 0.5);
    EXPECT_NEAR(W.X, 0.925, 1e-12);
    EXPECT_NEAR(W.Y, 0.05, 1e-12);
    W = ReboundVelocity({-1, -0.1}, P1, P2, 0.5, 0.5);
    EXPECT_NEAR(W.X, -1 + 0.075 * (2.0 / 0.525), 1e-12); // -0.714
    EXPECT_NEAR(W.X, -0.7142857, 1e-6);
    EXPECT_NEAR(W.Y, 0.05, 1e-12);
}

TEST(Rebound, WithoutFrictionTheTangentialSpeedStays) {
    TRealPoint W = ReboundVelocity({2, -1}, {0, 0}, {1, 0}, 0.5, 0.0);
    EXPECT_NEAR(W.X, 2.0, 1e-12);
    EXPECT_NEAR(W.Y, 0.5, 1e-12);
    // A purely tangential hit also has Q = 0.
    W = ReboundVelocity({3, 0}, {0, 0}, {1, 0}, 0.5, 0.5);
    EXPECT_NEAR(W.X, 3.0, 1e-12);
    EXPECT_NEAR(W.Y, 0.0, 1e-12);
    EXPECT_TRUE(std::isfinite(W.X) && std::isfinite(W.Y));
}

TEST(Rebound, TurnedWallGivesTheTurnedAnswer) {
    // The same hit on a wall at 30 degrees, and on a wall running the other way.
    const double A = Pi / 6;
    const TRealPoint Flat = ReboundVelocity({1, -1}, {0, 0}, {1, 0}, 0.5, 0.5);
    const TRealPoint Dir = RotateVector(TRealPoint{1, 0}, A);
    const TRealPoint V = RotateVector(TRealPoint{1, -1}, A);
    const TRealPoint Turned = ReboundVelocity(V, {0, 0}, Dir, 0.5, 0.5);
    const TRealPoint Expected = RotateVector(Flat, A);
    EXPECT_NEAR(Turned.X, Expected.X, 1e-12);
    EXPECT_NEAR(Turned.Y, Expected.Y, 1e-12);
    // A wall going down-right (P2.Y < P1.Y) uses the negative angle.
    const TRealPoint Down = RotateVector(TRealPoint{1, 0}, -A);
    const TRealPoint V2 = RotateVector(TRealPoint{1, -1}, -A);
    const TRealPoint T2 = ReboundVelocity(V2, {0, 0}, Down, 0.5, 0.5);
    const TRealPoint E2 = RotateVector(Flat, -A);
    EXPECT_NEAR(T2.X, E2.X, 1e-12);
    EXPECT_NEAR(T2.Y, E2.Y, 1e-12);
}

TEST(Rebound, VerticalWallReflectsTheNormalComponent) {
    const TRealPoint W = ReboundVelocity({-1, 0}, {0, 0}, {0, 1}, 0.5, 0.5);
    EXPECT_NEAR(W.X, 0.5, 1e-12);
    EXPECT_NEAR(W.Y, 0.0, 1e-12);
}
