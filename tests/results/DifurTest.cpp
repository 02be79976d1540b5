#include "geometry/uBinaryIO.h"
#include "results/uDifur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

using namespace kalvex;

TEST(RungeKutta, ExponentialGivesTheFourthOrderTaylorSum) {
    TRungeKutta RK;
    RK.InitRungeKutta(1);
    TRealArray Y = {1.0};
    double T = 0;
    const TFunctionArray F = {[](const TRealArray& S, double) { return S[0]; }};
    RK.RungeKuttaStep(T, Y, F, 1, 0.1);
    EXPECT_NEAR(Y[0], 1.0 + 0.1 + 0.005 + 0.1 * 0.1 * 0.1 / 6 + 0.0001 / 24, 1e-15);
    EXPECT_NEAR(Y[0], 1.10517083, 1e-8);
    EXPECT_EQ(T, 0.1);
    RK.DoneRungeKutta(1);
}

TEST(RungeKutta, TimeDerivativeIsExactAndZeroStepChangesNothing) {
    TRungeKutta RK(1);
    TRealArray Y = {0.0};
    double T = 0;
    const TFunctionArray F = {[](const TRealArray&, double t) { return t; }};
    RK.RungeKuttaStep(T, Y, F, 1, 1.0);
    EXPECT_EQ(Y[0], 0.5);
    EXPECT_EQ(T, 1.0);

    TRealArray Z = {3.25};
    double T2 = 2;
    const TFunctionArray G = {[](const TRealArray& S, double) { return S[0] * 7; }};
    RK.RungeKuttaStep(T2, Z, G, 1, 0.0);
    EXPECT_EQ(Z[0], 3.25);
    EXPECT_EQ(T2, 2.0);
}

TEST(RungeKutta, EachStageIsCompleteBeforeTheNext) {
    // y0' = y1, y1' = -y0: every right-hand side reads the other component, so it must
    // see the stage state of both. Record what the second equation saw at stage 2.
    TRungeKutta RK(2);
    TRealArray Y = {0.0, 1.0};
    double T = 0;
    std::vector<double> SeenY0;
    std::vector<int> Order;
    const TFunctionArray F = {
        [&](const TRealArray& S, double) {
            Order.push_back(0);
            return S[1];
        },
        [&](const TRealArray& S, double) {
            Order.push_back(1);
            SeenY0.push_back(S[0]);
            return -S[0];
        },
    };
    const double H = 0.1;
    RK.RungeKuttaStep(T, Y, F, 2, H);
    EXPECT_EQ(Order, (std::vector<int>{0, 1, 0, 1, 0, 1, 0, 1}));
    ASSERT_EQ(SeenY0.size(), 4u);
    EXPECT_EQ(SeenY0[0], 0.0);
    EXPECT_DOUBLE_EQ(SeenY0[1], H / 2);               // y0 + k1/2, k1 = h
    EXPECT_DOUBLE_EQ(SeenY0[2], H / 2);               // y0 + k2/2, k2 = h
    EXPECT_DOUBLE_EQ(SeenY0[3], H * (1 - H * H / 4)); // y0 + k3
    // Against the exact rotation (sin, cos) the step is accurate to h^5.
    EXPECT_NEAR(Y[0], std::sin(H), 1e-6);
    EXPECT_NEAR(Y[1], std::cos(H), 1e-6);
}

TEST(RungeKutta, RefusesStepsLargerThanItsStorage) {
    TRungeKutta RK;
    TRealArray Y = {1.0};
    double T = 0;
    const TFunctionArray F = {[](const TRealArray& S, double) { return S[0]; }};
    EXPECT_THROW(RK.RungeKuttaStep(T, Y, F, 1, 0.1), TKalvexError);
    RK.InitRungeKutta(2);
    EXPECT_THROW(RK.RungeKuttaStep(T, Y, F, 2, 0.1), TKalvexError);
    EXPECT_THROW(RK.InitRungeKutta(-1), TKalvexError);
    RK.RungeKuttaStep(T, Y, F, 1, 0.1);
    EXPECT_GT(Y[0], 1.1);
}

TEST(RungeKutta, TwoIntegrationsDoNotShareStorage) {
    TRungeKutta A(1);
    TRungeKutta B(1);
    TRealArray Ya = {1.0};
    TRealArray Yb = {1.0};
    double Ta = 0;
    double Tb = 0;
    // A's right-hand side advances B in the middle of A's step.
    const TFunctionArray Fb = {[](const TRealArray& S, double) { return -S[0]; }};
    const TFunctionArray Fa = {[&](const TRealArray& S, double) {
        double Tt = Tb;
        TRealArray Yt = Yb;
        B.RungeKuttaStep(Tt, Yt, Fb, 1, 0.1);
        return S[0];
    }};
    A.RungeKuttaStep(Ta, Ya, Fa, 1, 0.1);
    EXPECT_NEAR(Ya[0], 1.10517083, 1e-8);
}
