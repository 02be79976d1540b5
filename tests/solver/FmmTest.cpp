#include "SolverBuilders.h"
#include "TestSupport.h"
#include "solver/uFmm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// The cylinder example in equal elements: walls, slots and a rotating cylinder.
void Cylinder(TCountEdges& C, double Step) {
    TEdges M;
    M.LoadFromFile(ExamplePath("cylinder.asp"));
    C.Elements.DiscretizeEqual(M, 15, Step, 1.8);
}

std::vector<double> RandomVector(std::size_t N) {
    std::mt19937 Gen(7);
    std::uniform_real_distribution<double> U(-1.0, 1.0);
    std::vector<double> X(N);
    for (double& V : X)
        V = U(Gen);
    return X;
}

double RelativeError(const std::vector<double>& A, const std::vector<double>& B) {
    double D = 0.0, S = 0.0;
    for (std::size_t I = 0; I < A.size(); ++I) {
        D += (A[I] - B[I]) * (A[I] - B[I]);
        S += B[I] * B[I];
    }
    return std::sqrt(D / S);
}

} // namespace

TEST(Fmm, ProductFollowsTheDenseMatrixToTheRequestedAccuracy) {
    TCountEdges C;
    Cylinder(C, 0.0013);
    const std::size_t N = C.Elements.Elements.size();
    ASSERT_GT(N, 3500u);
    ASSERT_LT(N, 6000u);
    std::vector<double> A(N * N), B(N);
    C.AssembleFast(A.data(), B.data());
    const std::vector<double> X = RandomVector(N);
    std::vector<double> Dense(N, 0.0);
    for (std::size_t J = 0; J < N; ++J)
        for (std::size_t I = 0; I < N; ++I)
            Dense[I] += A[J * N + I] * X[J];
    double Last = 1.0;
    for (const double Accuracy : {1e-4, 1e-7, 1e-10}) {
        SCOPED_TRACE(Accuracy);
        TFmmSystem F(C.Elements.Elements, Accuracy, 2);
        ASSERT_TRUE(F.BuildNear());
        std::vector<double> Y(N, 1.0);
        ASSERT_TRUE(F.Apply(1.0, X.data(), 0.0, Y.data()));
        const double Error = RelativeError(Y, Dense);
        std::printf("accuracy %g: order %d, error %.3g\n", Accuracy, F.Order(), Error);
        EXPECT_LT(Error, Accuracy);
        EXPECT_LT(Error, Last / 100.0);
        Last = Error;
    }
}

TEST(Fmm, NearTermsAreTheDenseEntriesAndThreadsChangeNothing) {
    TCountEdges C;
    Cylinder(C, 0.004);
    const std::size_t N = C.Elements.Elements.size();
    ASSERT_GT(N, 600u);
    std::vector<double> A(N * N), B(N);
    C.AssembleFast(A.data(), B.data());
    TFmmSystem One(C.Elements.Elements, 1e-10, 1);
    TFmmSystem Two(C.Elements.Elements, 1e-10, 2);
    ASSERT_TRUE(One.BuildNear());
    ASSERT_TRUE(Two.BuildNear());
    for (const std::size_t J : {std::size_t{0}, N / 3, N - 1}) {
        // A unit vector: the far series are zero, the near terms are the column itself.
        std::vector<double> E(N, 0.0), Y1(N), Y2(N);
        E[J] = 1.0;
        ASSERT_TRUE(One.Apply(1.0, E.data(), 0.0, Y1.data()));
        ASSERT_TRUE(Two.Apply(1.0, E.data(), 0.0, Y2.data()));
        EXPECT_EQ(Y1, Y2);
        for (std::size_t I = J > 0 ? J - 1 : J; I <= std::min(N - 1, J + 1); ++I)
            EXPECT_EQ(Y1[I], A[J * N + I]) << I << " " << J;
    }
    // Every series in play: the workers split the tree by their number, the sums do not.
    std::vector<double> X(N), Y1(N), Y2(N);
    for (std::size_t I = 0; I < N; ++I)
        X[I] = std::sin(0.37 * static_cast<double>(I)) + 0.5;
    ASSERT_TRUE(One.Apply(1.0, X.data(), 0.0, Y1.data()));
    ASSERT_TRUE(Two.Apply(1.0, X.data(), 0.0, Y2.data()));
    EXPECT_EQ(Y1, Y2);
}

TEST(Fmm, SolveGivesTheVelocitiesOfLu) {
    TCountEdges C;
    Cylinder(C, 0.0013);
    const std::vector<TRealPoint> Probes{{0.0, 0.2}, {0.1, 0.15}, {-0.1, 0.3}, {0.05, 0.05}};
    const auto Solve = [&](TSolverKind Kind) {
        C.SolverKind = Kind;
        C.ClearIntensities();
        C.Solve();
        std::vector<TRealPoint> V;
        for (const TRealPoint P : Probes)
            V.push_back(C.Velocity(P));
        return V;
    };
    const std::vector<TRealPoint> Lu = Solve(TSolverKind::skDirect);
    const TRealArray LuIntensities = C.Intensities;
    // Not converged within the bound: LU answers, exactly as on its own.
    C.IterationBound = 2;
    Solve(TSolverKind::skFmm);
    EXPECT_EQ(C.Iterations, 0);
    EXPECT_EQ(C.Intensities, LuIntensities);
    C.IterationBound = 300;
    Solve(TSolverKind::skIterative);
    const int Dense = C.Iterations;
    const std::vector<TRealPoint> Fast = Solve(TSolverKind::skFmm);
    // The same preconditioner on nearly the same products: as many steps.
    EXPECT_GT(C.Iterations, 0);
    EXPECT_LE(std::abs(C.Iterations - Dense), 1) << Dense;
    for (std::size_t K = 0; K < Probes.size(); ++K) {
        const double Scale = VectorLength(Lu[K]);
        ASSERT_GT(Scale, 1e-6) << K;
        EXPECT_LT(VectorLength(Fast[K] - Lu[K]) / Scale, 1e-8) << K;
    }
    // Many points at once through the tree, the same velocities as one by one.
    std::vector<TRealPoint> Grid;
    for (int I = 0; I < 30; ++I)
        for (int J = 0; J < 30; ++J)
            Grid.push_back({-0.2 + 0.4 * I / 29.0, 0.01 + 0.4 * J / 29.0});
    std::vector<TRealPoint> Many(Grid.size());
    C.Velocities(Grid, Many);
    for (std::size_t K = 0; K < Grid.size(); ++K) {
        const TRealPoint One = C.Velocity(Grid[K]);
        EXPECT_LT(VectorLength(Many[K] - One), 1e-9 * (1.0 + VectorLength(One))) << K;
    }
}

TEST(Fmm, AutomaticChoiceTakesItWhenTheMatrixDoesNotFit) {
    EXPECT_EQ(ChooseSolver(TSolverKind::skAuto, 500, {}), TSolverKind::skDirect);
    EXPECT_EQ(ChooseSolver(TSolverKind::skAuto, 1200, {}), TSolverKind::skIterative);
    EXPECT_EQ(ChooseSolver(TSolverKind::skAuto, 1200, 1e9), TSolverKind::skIterative);
    EXPECT_EQ(ChooseSolver(TSolverKind::skAuto, TCountEdges::FmmFrom, {}), TSolverKind::skFmm);
    EXPECT_EQ(ChooseSolver(TSolverKind::skAuto, 2000, 1e7), TSolverKind::skFmm);
    EXPECT_EQ(ChooseSolver(TSolverKind::skDirect, 2000, 1e7), TSolverKind::skDirect);
    // 4 MB: the matrix of these elements needs more, the solve without it less.
    TCountEdges C;
    Cylinder(C, 0.004);
    ASSERT_GT(DenseSolveBytes(C.Elements.Elements.size(), false), 4e6);
    C.MemoryProbe = [] { return std::optional<double>(4e6); };
    C.Solve();
    EXPECT_TRUE(C.Solved());
    EXPECT_GT(C.Iterations, 0);
}

TEST(Fmm, PumpIsOfferedAndAStopCancelsTheSolve) {
    TCountEdges C;
    Cylinder(C, 0.004);
    C.SolverKind = TSolverKind::skFmm;
    C.PumpInterval = {};
    int Calls = 0;
    C.ProcessEvents = [&] { ++Calls; };
    C.Solve();
    const TRealArray Quiet = C.Intensities;
    EXPECT_GT(Calls, C.Iterations);
    const int Last = Calls;
    int Seen = 0;
    C.ProcessEvents = [&] {
        if (++Seen == Last / 2)
            C.StopBuilding();
    };
    EXPECT_THROW(C.Solve(), TSolveStopped);
    EXPECT_FALSE(C.Solved());
    C.ProcessEvents = nullptr;
    C.Solve();
    EXPECT_EQ(C.Intensities, Quiet);
}

TEST(Fmm, TurningSlitsKeepTheStaticFactorWhereItFits) {
    TEdges M;
    M.LoadFromFile(ExamplePath("cylinder.asp"));
    TCountEdges C;
    C.Elements.DiscretizeEqual(M, 15, 0.0016, 1.8);
    ASSERT_GE(C.Elements.Elements.size(), TCountEdges::FmmFrom);
    ASSERT_TRUE(C.Elements.HasRotatingSlit);
    C.Elements.RotateCylindersByAngle(10.0);
    C.SolveTurned();
    EXPECT_EQ(C.Iterations, 0);
    const TRealArray Kept = C.Intensities;
    // Without the memory for the matrix the step is solved without it.
    C.MemoryProbe = [] { return std::optional<double>(3e7); };
    C.SolveTurned();
    EXPECT_GT(C.Iterations, 0);
    ASSERT_EQ(C.Intensities.size(), Kept.size());
    double Worst = 0.0, Largest = 0.0;
    for (std::size_t I = 0; I < Kept.size(); ++I) {
        Worst = std::max(Worst, std::fabs(C.Intensities[I] - Kept[I]));
        Largest = std::max(Largest, std::fabs(Kept[I]));
    }
    EXPECT_LT(Worst, 1e-8 * Largest);
}
