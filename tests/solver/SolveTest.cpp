#include "SolverBuilders.h"
#include "TestSupport.h"
#include "solver/uSystUr.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kalvex;
using namespace kalvex::test;

namespace {

void SetElements(TCountEdges& C, const TEdgeElementArray& Els) {
    C.Elements.Elements = Els;
    C.Elements.Count = static_cast<int>(Els.size());
    C.Elements.Touch();
    C.ClearIntensities();
}

double MaxRelDiff(const TRealArray& A, const TRealArray& B) {
    double MaxAbs = 0.0, MaxDiff = 0.0;
    for (std::size_t I = 0; I < A.size(); ++I) {
        MaxAbs = std::max(MaxAbs, std::fabs(B[I]));
        MaxDiff = std::max(MaxDiff, std::fabs(A[I] - B[I]));
    }
    return MaxDiff / MaxAbs;
}

} // namespace

TEST(SolveGauss, PlainEliminationSolves) {
    TRealMatr A = {{2, 1, -1, 8}, {-3, -1, 2, -11}, {-2, 1, 2, -3}};
    TRealArray X(3, 0.0);
    ASSERT_TRUE(SolveGauss(A, 3, X));
    EXPECT_NEAR(X[0], 2.0, 1e-14);
    EXPECT_NEAR(X[1], 3.0, 1e-14);
    EXPECT_NEAR(X[2], -1.0, 1e-14);
}

TEST(SolveGauss, ZeroPivotSwapsInTheFirstNonZeroRowNotTheLargest) {
    // Column 0 below the zero pivot: 0 (row 1), 1 (row 2), 100 (row 3).
    TRealMatr A = {{0, 1, 0, 0, 1}, {0, 0, 1, 1, 2}, {1, 1, 1, 0, 3}, {100, 0, 0, 1, 104}};
    EXPECT_EQ(FindPivotRow(A, 0, 4), 2);
    EXPECT_EQ(FindPivotRow({{0, 1}, {0, 2}}, 0, 2), -1);
    TRealMatr B = A;
    TRealArray X(4, 0.0);
    ASSERT_TRUE(SolveGauss(B, 4, X));
    // Row 2 went to the top: a partial-pivoting solver would have chosen row 3.
    EXPECT_EQ(B[0], A[2]);
    // Solution of the system: x = (1, 1, 1, 1)?  Check the residual instead.
    for (const TRealArray& Row : A) {
        double S = 0.0;
        for (int J = 0; J < 4; ++J)
            S += Row[J] * X[J];
        EXPECT_NEAR(S, Row[4], 1e-12);
    }
    // A tiny but non-zero pivot is used as it is.
    TRealMatr C = {{1e-300, 1, 1}, {1, 1, 2}};
    TRealArray Y(2, 0.0);
    ASSERT_TRUE(SolveGauss(C, 2, Y));
    EXPECT_EQ(C[0][0], 1e-300);
}

TEST(SolveGauss, SingularLeavesXUntouched) {
    TRealMatr A = {{1, 2, 3}, {2, 4, 6}};
    TRealArray X = {7.0, 8.0};
    EXPECT_FALSE(SolveGauss(A, 2, X));
    EXPECT_EQ(X, (TRealArray{7.0, 8.0}));
}

TEST(Kernel, CollinearElementHasNoNormalPart) {
    TCountEdges C;
    // Element from (1, 0) to (0, 0): T = (-1, 0), N = (0, 1).
    SetElements(C, {{{1, 0}, {0, 0}, 0.0}});
    // A point on its line outside it: theta1 = theta2 = +-pi/2, D.T = 0 along y.
    EXPECT_EQ(C.InfluenceCoefficient(0, {2.0, 0.0}, {0, 1}), 0.0);
    EXPECT_EQ(C.InfluenceCoefficient(0, {-3.0, 0.0}, {0, 1}), 0.0);
    // Within 1e-6 of the line counts as on it.
    EXPECT_EQ(C.InfluenceCoefficient(0, {2.0, 5e-7}, {0, 1}), 0.0);
    // Along the line: -ln(r2/r1)/(2pi) (D.T), r1 = 1, r2 = 2 at x = 2.
    EXPECT_NEAR(C.InfluenceCoefficient(0, {2.0, 0.0}, {-1, 0}), -std::log(2.0) / (2 * M_PI), 1e-16);
    // On the element itself the normal part is -1/2 (the side opposite to N).
    EXPECT_NEAR(C.InfluenceCoefficient(0, {0.5, 0.0}, {0, 1}), -0.5, 1e-16);
    // Just off the element on the side of N: +1/2 minus the small angle beyond 1e-6.
    EXPECT_NEAR(C.InfluenceCoefficient(0, {0.5, 1e-3}, {0, 1}), 0.5, 1e-3);
    EXPECT_NEAR(C.InfluenceCoefficient(0, {0.5, -1e-3}, {0, 1}), -0.5, 1e-3);
    // At an end point the term is dropped instead of dividing by zero.
    EXPECT_EQ(C.InfluenceCoefficient(0, {1.0, 0.0}, {0, 1}), 0.0);
    // Two elements on one line: their mutual coefficients vanish.
    SetElements(C, {{{1, 0}, {0, 0}, 0.0}, {{3, 0}, {2, 0}, 0.0}});
    TRealMatr A;
    C.BuildSystem(A);
    EXPECT_EQ(A[0][1], 0.0);
    EXPECT_EQ(A[1][0], 0.0);
}

TEST(Solve, SingleElementGivesMinusTwoV) {
    TCountEdges C;
    SetElements(C, {{{1, 0}, {0, 0}, 1.5}});
    TRealMatr A;
    C.BuildSystem(A);
    ASSERT_EQ(A.size(), 1u);
    EXPECT_EQ(A[0], (TRealArray{-0.5, 1.5}));
    C.SolveLiteral();
    ASSERT_EQ(C.Intensities.size(), 1u);
    EXPECT_EQ(C.Intensities[0], -3.0);
    C.Solve();
    EXPECT_DOUBLE_EQ(C.Intensities[0], -3.0);
}

TEST(Solve, RestingCylindersLeaveTheRightHandSideExact) {
    TCountEdges C;
    C.Elements.DiscretizeGraded(ModelOf({FlangedSlotWall(0.1, 1.0), Cylinder({0, 0.5}, 0.1, 0.0)}),
                                5, 0.004, 2.0, 0.05, 1.8);
    TRealMatr A;
    C.BuildSystem(A);
    const std::size_t N = C.Elements.Elements.size();
    for (std::size_t I = 0; I < N; ++I) {
        EXPECT_EQ(A[I][N], C.Elements.Elements[I].V);
        EXPECT_EQ(A[I][I], -0.5);
    }
    // A turning cylinder adds the normal part of its vortex.
    C.Elements.CylInfos[0].V = 2.0;
    C.BuildSystem(A);
    const TEdgeElement& E0 = C.Elements.Elements[0];
    const TRealPoint M = (E0.P1 + E0.P2) / 2.0;
    const TRealPoint T = (E0.P2 - E0.P1) / Distance(E0.P1, E0.P2);
    const TRealPoint Nrm{T.Y, -T.X};
    const double Dx = M.X, Dy = M.Y - 0.5;
    EXPECT_NEAR(A[0][N], E0.V - 0.1 * 2.0 * (Dx * Nrm.Y - Dy * Nrm.X) / (Dx * Dx + Dy * Dy), 1e-15);
}

TEST(Solve, FastAssemblyMatchesTheLiteralSystem) {
    TCountEdges C;
    TEdges M;
    M.LoadFromFile(ExamplePath("cylinder.asp"));
    C.Elements.DiscretizeEqual(M, 15, 0.01, 1.8);
    const std::size_t N = C.Elements.Elements.size();
    // Enough elements for the threaded path and more than one block per column.
    ASSERT_GT(N, 512u);
    TRealMatr A;
    C.BuildSystem(A);
    std::vector<double> F(N * N), B(N);
    C.AssembleFast(F.data(), B.data());
    double MaxDiff = 0.0;
    for (std::size_t I = 0; I < N; ++I) {
        EXPECT_EQ(B[I], A[I][N]);
        for (std::size_t J = 0; J < N; ++J)
            MaxDiff = std::max(MaxDiff, std::fabs(F[J * N + I] - A[I][J]));
    }
    // The entries are at most 1/2; the plain formula loses a few digits where two
    // nearly equal arctangents are subtracted.
    EXPECT_LT(MaxDiff, 1e-13);
}

TEST(Solve, FastSolveAgreesWithGaussOnTheExamples) {
    for (const char* Name : {"slot.asp", "hood.asp", "cylinder.asp", "hood_probe.asp"}) {
        SCOPED_TRACE(Name);
        TEdges M;
        M.LoadFromFile(ExamplePath(Name));
        for (bool Graded : {true, false}) {
            TCountEdges C;
            if (Graded)
                C.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
            else
                C.Elements.DiscretizeEqual(M, 15, 0.02, 1.8);
            C.SolveLiteral();
            const TRealArray Literal = C.Intensities;
            C.Solve();
            ASSERT_EQ(C.Intensities.size(), Literal.size());
            EXPECT_LT(MaxRelDiff(C.Intensities, Literal), 1e-9);
            // The prescribed normal velocity is met at every control point.
            for (std::size_t I = 0; I < Literal.size(); I += 7) {
                const TEdgeElement& E = C.Elements.Elements[I];
                const TRealPoint Mid = (E.P1 + E.P2) / 2.0;
                const TRealPoint T = (E.P2 - E.P1) / Distance(E.P1, E.P2);
                // On the element the velocity is the limit on the flow side; its
                // component along N is the prescribed one.
                EXPECT_NEAR(C.Speed({T.Y, -T.X}, Mid), E.V, 1e-9);
            }
        }
    }
}

TEST(Solve, IterativeSolveMatchesLuAndFallsBackBeyondItsBound) {
    TEdges M;
    M.LoadFromFile(ExamplePath("hood.asp"));
    TCountEdges C;
    C.Elements.DiscretizeEqual(M, 15, 0.01, 1.8);
    ASSERT_GT(C.Elements.Elements.size(), 300u);
    const std::vector<TRealPoint> Points{{0.01, 0.125}, {0.3, 0.1}, {0.1, 0.4}, {-0.2, 0.05}};
    const auto Velocities = [&](TSolverKind Kind) {
        C.SolverKind = Kind;
        C.ClearIntensities();
        C.Solve();
        std::vector<TRealPoint> V;
        for (const TRealPoint P : Points)
            V.push_back(C.Velocity(P));
        return V;
    };
    const std::vector<TRealPoint> Lu = Velocities(TSolverKind::skDirect);
    const TRealArray LuIntensities = C.Intensities;
    EXPECT_EQ(C.Iterations, 0);
    const std::vector<TRealPoint> Iterative = Velocities(TSolverKind::skIterative);
    EXPECT_GT(C.Iterations, 0);
    for (std::size_t K = 0; K < Points.size(); ++K) {
        const double Scale = VectorLength(Lu[K]);
        ASSERT_GT(Scale, 0.0);
        EXPECT_LT(VectorLength(Iterative[K] - Lu[K]) / Scale, 1e-9) << K;
    }
    // Not converged within the bound: LU answers, exactly as on its own.
    C.IterationBound = 2;
    Velocities(TSolverKind::skIterative);
    EXPECT_EQ(C.Iterations, 0);
    EXPECT_EQ(C.Intensities, LuIntensities);
}

TEST(Solve, OneEvaluatorSolvesSystemsOfChangingSize) {
    // The matrix memory is kept between solves: a smaller system inside a larger
    // buffer (other leading dimension, old entries left over), then one small enough
    // for the buffer to be given back, then a larger one again.
    TCountEdges C;
    for (double Step : {0.0017, 0.0025, 0.04, 0.005}) {
        SCOPED_TRACE(Step);
        C.Elements.DiscretizeEqual(FlangedSlot(0.1, 1.0), 15, Step, 1.8);
        C.ClearIntensities();
        C.SolveLiteral();
        const TRealArray Literal = C.Intensities;
        C.Solve();
        ASSERT_EQ(C.Intensities.size(), Literal.size());
        EXPECT_LT(MaxRelDiff(C.Intensities, Literal), 1e-9);
    }
}

TEST(Solve, SingularSystemIsReportedAndNothingStaleKept) {
    TCountEdges C;
    // The same segment twice with opposite orientation: two equal rows up to sign.
    SetElements(C, {{{1, 0}, {0, 0}, 1.0}, {{0, 0}, {1, 0}, 1.0}});
    C.Intensities = {5.0, 6.0};
    EXPECT_THROW(C.Solve(), TSolveError);
    EXPECT_TRUE(C.Intensities.empty());
    EXPECT_FALSE(C.Solved());
    C.Intensities = {5.0, 6.0};
    EXPECT_THROW(C.SolveLiteral(), TSolveError);
    EXPECT_TRUE(C.Intensities.empty());
    try {
        C.Solve();
    } catch (const TSolveError& E) {
        EXPECT_NE(std::string(E.what()).find("вырождена"), std::string::npos);
    }
}

TEST(Solve, EmptyModelHasNoVelocity) {
    TCountEdges C;
    C.EnsureSolved();
    EXPECT_EQ(C.Speed({1, 0}, {1, 1}), 0.0);
    EXPECT_EQ(C.Velocity({1, 1}).X, 0.0);
}

namespace {

// The hood discretised finely enough for several panels and assembly pieces.
void FineHood(TCountEdges& C) {
    TEdges M;
    M.LoadFromFile(ExamplePath("hood.asp"));
    C.Elements.DiscretizeEqual(M, 15, 0.01, 1.8);
    ASSERT_GT(C.Elements.Elements.size(), 300u);
}

} // namespace

TEST(Solve, RefusedBeforeAssemblyWhenTheMemoryIsNotAvailable) {
    TCountEdges C;
    FineHood(C);
    const std::size_t N = C.Elements.Elements.size();
    bool Pumped = false;
    C.PumpInterval = {};
    C.ProcessEvents = [&] { Pumped = true; };
    C.MemoryProbe = [] { return std::optional<double>(64.0 * 1024); };
    for (const TSolverKind Kind : {TSolverKind::skDirect, TSolverKind::skIterative}) {
        C.SolverKind = Kind;
        try {
            C.Solve();
            ADD_FAILURE() << "solved without the memory";
        } catch (const TSolveMemoryError& E) {
            const std::string Text = E.what();
            EXPECT_NE(Text.find("Недостаточно памяти для решения системы из " + std::to_string(N) +
                                " уравнений: нужно "),
                      std::string::npos)
                << Text;
            EXPECT_NE(Text.find(" МБ, свободно 1 МБ."), std::string::npos) << Text;
            EXPECT_NE(E.CliText().find("MB needed, 1 MB available"), std::string::npos);
        }
        EXPECT_FALSE(C.Solved());
    }
    EXPECT_THROW(C.SolveLiteral(), TSolveMemoryError);
    // Nothing was assembled: the refusal came first.
    EXPECT_FALSE(Pumped);
    C.MemoryProbe = [] { return std::optional<double>(1e12); };
    C.Solve();
    EXPECT_TRUE(C.Solved());
}

TEST(Solve, PumpIsOfferedThroughoutAndAStopCancelsTheSolve) {
    TCountEdges C;
    FineHood(C);
    C.PumpInterval = {};
    for (const TSolverKind Kind : {TSolverKind::skDirect, TSolverKind::skIterative}) {
        SCOPED_TRACE(static_cast<int>(Kind));
        C.SolverKind = Kind;
        C.ProcessEvents = nullptr;
        C.ClearIntensities();
        C.Solve();
        const TRealArray Quiet = C.Intensities;
        // Pumped at every chance: after the assembly (one piece at this size) and
        // inside the factorisation or the iteration, with the same intensities.
        int Calls = 0;
        C.ProcessEvents = [&] { ++Calls; };
        C.ClearIntensities();
        C.Solve();
        EXPECT_EQ(C.Intensities, Quiet);
        EXPECT_GT(Calls, 1);
        // A stop asked at the last chance, past the assembly: nothing is kept.
        const int Last = Calls;
        int Seen = 0;
        C.ProcessEvents = [&] {
            if (++Seen == Last)
                C.StopBuilding();
        };
        C.ClearIntensities();
        EXPECT_THROW(C.Solve(), TSolveStopped);
        EXPECT_FALSE(C.Solved());
        EXPECT_EQ(Seen, Last);
        // The stop is not left over for the next solve.
        C.ProcessEvents = nullptr;
        C.Solve();
        EXPECT_EQ(C.Intensities, Quiet);
    }
}
