#include "ResultsModels.h"
#include "TestSupport.h"
#include "results/uDifur.h"
#include "results/uParticle.h"
#include "solver/uCountEdges.h"
#include "solver/uDiscretization.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

using namespace kalvex;
using namespace kalvex::test;

namespace {

constexpr double Pi = std::numbers::pi;

TParticleParams Release(TRealPoint At, double D, double Rho, double H, double TMax) {
    TParticleParams P;
    P.Start = At;
    P.D = D;
    P.RhoParticle = Rho;
    P.H = H;
    P.TMax = TMax;
    return P;
}

// Stokes' terminal speed g·ρ·d²/(18·μ·χ).
double StokesTerminal(const TParticleParams& P) {
    return Gravity * P.RhoParticle * P.D * P.D / (18 * P.Mu * P.Chi);
}

class StillAir : public ::testing::Test {
protected:
    void SetUp() override { Prepare(E, Box()); }
    TCountEdges E;
};

} // namespace

TEST_F(StillAir, ReleaseAtRestFallsStraightDown) {
    std::vector<std::string> Re;
    E.ReLabel = [&](const std::string& T) { Re.push_back(T); };
    TColorPointArray Line;
    const TParticleResult R = TraceParticleEx(E, Line, Release({1, 1}, 0.0001, 3500, 0.005, 0.2));
    ASSERT_EQ(Re.size(), 1u);
    EXPECT_EQ(Re[0], "0.000 (Стокс)");
    EXPECT_EQ(R.End, TParticleEnd::peTime);
    ASSERT_GT(Line.size(), 30u);
    EXPECT_EQ(Line[0].Color, 0u);
    for (std::size_t I = 1; I < Line.size(); ++I) {
        EXPECT_EQ(Line[I].Color, TrajectoryColor);
        EXPECT_EQ(Line[I].Position.X, 1.0);
        EXPECT_LT(Line[I].Position.Y, Line[I - 1].Position.Y);
    }
    // The first step falls with the drag of a particle at rest, Stokes' law:
    // g·(τ·h − τ²·(1 − exp(−h/τ))) with τ = ρ·d²/(18·μ).
    const double Tau = 3500 * 0.0001 * 0.0001 / (18 * 0.0000178);
    const double H = 0.005;
    const double Drop = Gravity * (Tau * H - Tau * Tau * (1 - std::exp(-H / Tau)));
    EXPECT_NEAR(1 - Line[1].Position.Y, Drop, 1e-5 * Drop); // RK4 truncation ~(h/τ)^5
}

TEST_F(StillAir, FineDustReachesStokesTerminalSpeedAlsoAtTheDefaultStep) {
    for (double H : {0.001, 0.005}) {
        TParticleParams P = Release({1, 1}, 10e-6, 3500, H, 0.1);
        const double Vt = StokesTerminal(P);
        EXPECT_NEAR(Vt, 0.0107, 1e-4);
        // τ ≈ 1.09 ms: the default step is past the stability bound of the plain step.
        const double Mass = Pi * P.RhoParticle * std::pow(P.D, 3) / 6;
        const double Rate = DragFactor(0, P.D, P.RhoAir, P.Mu, P.Chi) / Mass;
        EXPECT_NEAR(1 / Rate, 1.09e-3, 1e-5);
        if (H == 0.005) {
            EXPECT_GT(H * Rate, RungeKuttaStableLimit);
        }
        TColorPointArray Line;
        TraceParticleEx(E, Line, P);
        ASSERT_GT(Line.size(), 15u) << H;
        for (std::size_t I = Line.size() - 5; I < Line.size(); ++I) {
            const double V = (Line[I - 1].Position.Y - Line[I].Position.Y) / H;
            EXPECT_NEAR(V, Vt, 1e-6 * Vt) << "H = " << H << ", point " << I;
        }
        EXPECT_GT(Line.back().Position.Y, 0.99);
    }
}

TEST_F(StillAir, TimeLimitBelowTheStepGivesOnePointAndZero) {
    TColorPointArray Line = {{1, {5, 5}}, {2, {6, 6}}};
    const double T = TraceParticle(E, Line, {1, 1}, {0, 0}, 0.0001, 1.205, 3500, 0.0000178, 1, 0.5,
                                   0.5, 0.005, 0.001);
    EXPECT_EQ(T, 0.0);
    ASSERT_EQ(Line.size(), 1u);
    EXPECT_EQ(Line[0].Position.X, 1.0);
    EXPECT_EQ(Line[0].Position.Y, 1.0);
}

TEST_F(StillAir, TimeLabelEveryTwentySteps) {
    std::vector<std::string> Times;
    E.TimeLabel = [&](const std::string& T) { Times.push_back(T); };
    int Pumped = 0;
    E.ProcessEvents = [&] { ++Pumped; };
    TColorPointArray Line;
    // Just above 40 steps, so that rounding of the accumulated time cannot drop one.
    const TParticleResult R =
        TraceParticleEx(E, Line, Release({1, 1}, 0.0001, 3500, 0.005, 0.2025));
    ASSERT_EQ(Times.size(), 3u);
    EXPECT_EQ(Times[0], "0.000");
    EXPECT_EQ(Times[1], "0.100");
    EXPECT_EQ(Times[2], "0.200");
    EXPECT_EQ(Pumped, static_cast<int>(Times.size()));
    // Ended by time: the last stored point is the time returned.
    EXPECT_NEAR(R.Time, (Line.size() - 1) * 0.005, 1e-12);
    EXPECT_NEAR(R.Time, 0.2, 1e-9);
}

TEST_F(StillAir, StopRequestEndsTheTraceAtTheNextCheck) {
    int Calls = 0;
    E.ProcessEvents = [&] {
        if (++Calls == 2)
            E.StopBuilding();
    };
    TColorPointArray Line;
    const TParticleResult R = TraceParticleEx(E, Line, Release({1, 1}, 0.0001, 3500, 0.005, 5));
    EXPECT_EQ(R.End, TParticleEnd::peStopped);
    // Checks after steps 1 and 21; the 21st step's point is not stored.
    EXPECT_EQ(Line.size(), 21u);
    EXPECT_NEAR(R.Time, 20 * 0.005, 1e-12);
    EXPECT_TRUE(E.Stopped);
}

TEST_F(StillAir, DustOfTenNanometresSettlesAtItsTerminalSpeed) {
    // τ ≈ 1 ns: over a million stable sub-steps per step, so every step is exact.
    TParticleParams P = Release({1, 1}, 1e-8, 3500, 0.005, 0.05);
    const double Vt = StokesTerminal(P);
    TColorPointArray Line;
    const TParticleResult R = TraceParticleEx(E, Line, P);
    EXPECT_EQ(R.End, TParticleEnd::peTime);
    ASSERT_GE(Line.size(), 10u);
    for (std::size_t I = 1; I < Line.size(); ++I) {
        EXPECT_EQ(Line[I].Position.X, 1.0);
        const double V = (Line[I - 1].Position.Y - Line[I].Position.Y) / P.H;
        EXPECT_NEAR(V, Vt, 1e-3 * Vt) << "point " << I; // the drops are ~5e-12 m
    }
}

TEST(ParticleStep, ExactFrozenStepAgreesWithManySmallRungeKuttaSteps) {
    const TRealPoint U{0.5, -1.5};
    const double H = 0.005;
    for (double Rate : {50.0, 2000.0, 1e5}) {
        TRealArray Exact = {0.3, 1.0, -0.2, 2.0};
        FrozenDragStep(Exact, U, Rate, H);

        TRealArray Y = {0.3, 1.0, -0.2, 2.0};
        const TFunctionArray F = {
            [&](const TRealArray& S, double) { return -Rate * (S[0] - U.X); },
            [](const TRealArray& S, double) { return S[0]; },
            [&](const TRealArray& S, double) { return -Gravity - Rate * (S[2] - U.Y); },
            [](const TRealArray& S, double) { return S[2]; },
        };
        TRungeKutta RK(4);
        const int N = 20000; // h·Rate ≤ 0.025
        double t = 0;
        for (int K = 0; K < N; ++K)
            RK.RungeKuttaStep(t, Y, F, 4, H / N);
        for (std::size_t I = 0; I < 4; ++I)
            EXPECT_NEAR(Exact[I], Y[I], 1e-11) << "Rate " << Rate << ", component " << I;
    }
    // Far past the stable bound it lands on the settling velocity.
    TRealArray Y = {3.0, 0.0, 3.0, 0.0};
    FrozenDragStep(Y, U, 1e9, H);
    EXPECT_DOUBLE_EQ(Y[0], U.X);
    EXPECT_DOUBLE_EQ(Y[2], U.Y - Gravity / 1e9);
    EXPECT_NEAR(Y[1], U.X * H + (3.0 - U.X) / 1e9, 1e-15); // the lag covers (v0 − U)/Rate
}

TEST_F(StillAir, HeavyParticleReboundsFromTheFloorWithTheRestitutionLaw) {
    for (double Restitution : {0.5, 0.8}) {
        // One bounce: the apex is reached before 0.6 s, the second bounce comes later.
        TParticleParams P = Release({1, 0.5}, 0.01, 11000, 1e-4, 0.6);
        P.Restitution = Restitution;
        TColorPointArray Line;
        const TParticleResult R = TraceParticleEx(E, Line, P);
        EXPECT_EQ(R.End, TParticleEnd::peTime);
        auto Lowest = std::min_element(
            Line.begin(), Line.end(), [](auto& A, auto& B) { return A.Position.Y < B.Position.Y; });
        ASSERT_NE(Lowest, Line.end());
        EXPECT_NEAR(Lowest->Position.Y, 0.0, 1e-12); // stored on the floor
        auto Apex = std::max_element(Lowest, Line.end(),
                                     [](auto& A, auto& B) { return A.Position.Y < B.Position.Y; });
        // Height after the bounce over the drop height: e², up to a little drag.
        const double Ratio = Apex->Position.Y / 0.5;
        EXPECT_NEAR(Ratio, Restitution * Restitution, 0.03 * Restitution * Restitution)
            << Restitution;
        EXPECT_GT(Apex - Lowest, 100);
        // A straight fall stays straight after the bounce.
        EXPECT_NEAR(Apex->Position.X, 1.0, 1e-9);
    }
}

TEST(ParticleTrace, CaughtAtAnOpeningAfterKMinusOneSteps) {
    TCountEdges E;
    Prepare(E, Box(0.001, -0.001));
    TColorPointArray Line;
    TParticleParams P = Release({1, 0.3}, 0.001, 3500, 0.01, 5);
    const TParticleResult R = TraceParticleEx(E, Line, P);
    EXPECT_EQ(R.End, TParticleEnd::peCaught);
    ASSERT_GE(Line.size(), 3u);
    EXPECT_NEAR(Line.back().Position.Y, 0.0, 1e-12);
    EXPECT_GT(Line[Line.size() - 2].Position.Y, 0.0);
    const std::size_t K = Line.size() - 1; // steps taken
    EXPECT_NEAR(R.Time, (K - 1) * 0.01, 1e-12);
    EXPECT_LT(R.Time, P.TMax);
}

TEST(ParticleTrace, WallInsteadOfOpeningRebounds) {
    TCountEdges E;
    Prepare(E, Box());
    // Restitution 0 leaves no velocity off the floor (at rest, or sliding along it):
    // the particle is set off the wall by the offset instead of falling through it.
    struct TCase {
        double Restitution, Friction, Vx;
    };
    for (const TCase C :
         {TCase{0.5, 0.5, 0.0}, TCase{0.0, 0.5, 0.0}, TCase{0.0, 0.5, 0.3}, TCase{0.0, 0.0, 0.3}}) {
        TParticleParams P = Release({1, 0.3}, 0.001, 3500, 0.01, 1.005);
        P.Restitution = C.Restitution;
        P.Friction = C.Friction;
        P.StartVelocity = {C.Vx, 0.0};
        TColorPointArray Line;
        const TParticleResult R = TraceParticleEx(E, Line, P);
        EXPECT_EQ(R.End, TParticleEnd::peTime);
        EXPECT_NEAR(R.Time, 1.0, 1e-9);
        // It touched the floor and stayed above it afterwards.
        bool Touched = false;
        for (const auto& Pt : Line) {
            EXPECT_GE(Pt.Position.Y, -1e-12) << C.Restitution << " " << C.Vx;
            if (Touched && C.Restitution == 0) {
                EXPECT_LE(Pt.Position.Y, ReboundOffset + 1e-12);
            }
            Touched = Touched || std::abs(Pt.Position.Y) < 1e-12;
        }
        EXPECT_TRUE(Touched);
    }
}

TEST(ParticleTrace, DrawsOnBothTargetsInTheTrajectoryColour) {
    TCountEdges E;
    Prepare(E, Box());
    TRecordingSurface Screen;
    TRecordingSurface Buffer;
    E.Canvas = &Screen;
    E.BufferCanvas = &Buffer;
    E.OriginX = 10;
    E.OriginY = 500;
    TColorPointArray Line;
    TraceParticleEx(E, Line, Release({1, 1}, 0.0001, 3500, 0.005, 0.05));
    for (TRecordingSurface* S : {&Screen, &Buffer}) {
        ASSERT_EQ(S->Of("MoveTo").size(), 1u);
        EXPECT_EQ(S->Of("MoveTo")[0].Args, (std::vector<int>{10 + 250, 500 - 250}));
        auto L = S->Of("LineTo");
        ASSERT_EQ(L.size(), Line.size() - 1);
        for (std::size_t I = 0; I < L.size(); ++I) {
            EXPECT_EQ(L[I].PenColor, TrajectoryColor);
            EXPECT_EQ(L[I].Args[1], 500 - RoundEven(Line[I + 1].Position.Y / 0.004));
        }
    }
    // Without a visible canvas nothing is drawn, not even on the buffer.
    E.Canvas = nullptr;
    Buffer.Clear();
    TraceParticleEx(E, Line, Release({1, 1}, 0.0001, 3500, 0.005, 0.05));
    EXPECT_TRUE(Buffer.Calls.empty());
}

TEST(ParticleTrace, FloatingPointFaultThrowsAndKeepsTheOldLine) {
    TCountEdges E;
    Prepare(E, Box());
    TParticleParams P = Release({1, 1}, 0.0001, 3500, 0.005, 1);
    P.Mu = 0; // Re infinite: the drag becomes NaN
    TColorPointArray Line = {{7, {3, 4}}};
    EXPECT_THROW(TraceParticleEx(E, Line, P), TCalcError);
    ASSERT_EQ(Line.size(), 1u);
    EXPECT_EQ(Line[0].Color, 7u);
    TDrawLines Store;
    EXPECT_THROW(BuildParticleTrace(E, Store, P), TCalcError);
    EXPECT_EQ(Store.Count, 0);
    try {
        TraceParticleEx(E, Line, P);
    } catch (const TCalcError& Err) {
        EXPECT_STREQ(Err.what(), "Произошла ошибка в вычислениях.\rВозможно, выбран маленький "
                                 "шаг интегрирования.");
    }
}

TEST(ParticleTrace, StepBelowTheLimitIsRefused) {
    TCountEdges E;
    Prepare(E, Box());
    TDrawLines Store;
    TParticleParams P = Release({1, 1}, 0.0001, 3500, 1e-11, 1);
    try {
        BuildParticleTrace(E, Store, P);
        ADD_FAILURE() << "a step of 1e-11 s was accepted";
    } catch (const TKalvexError& Err) {
        EXPECT_STREQ(Err.what(), "Слишком маленький шаг интегрирования.");
    }
    EXPECT_EQ(Store.Count, 0);
    P.H = 1e-10;
    P.TMax = 5.5e-10;
    const TParticleResult R = BuildParticleTrace(E, Store, P);
    EXPECT_EQ(Store.Count, 1);
    EXPECT_EQ(Store.Lines[0].size(), 6u);
    EXPECT_NEAR(R.Time, 5e-10, 1e-20);
}

class RotatingSlit : public ::testing::Test {
protected:
    void SetUp() override {
        Model = SlitCylinder();
        Prepare(E, Model);
        ASSERT_TRUE(E.Elements.HasRotatingSlit);
        E.Model = &Model;
        E.RedrawCylinders = [this] { ++Redraws; };
    }
    double SlitStart() const { return Model.Item(1).GetSegment(1).P1.X; }
    TRealPoint CylPoint() const {
        const TCylInfo C = E.Elements.GetCylInfo(0);
        return E.Elements.GetElement(C.FirstElement).P2;
    }
    TEdges Model;
    TCountEdges E;
    int Redraws = 0;
};

TEST_F(RotatingSlit, SolvesThenTurnsElementsAndModelEveryStep) {
    const TRealPoint Before = CylPoint();
    const double Angle0 = std::atan2(Before.Y - 0.5, Before.X);
    TRealPoint Drawn;
    E.RedrawCylinders = [&] {
        ++Redraws;
        Drawn = CylPoint();
    };
    TColorPointArray Line;
    const double H = 0.005;
    const TParticleResult R = TraceParticleEx(E, Line, Release({1, 1}, 0.0001, 3500, H, 0.05));
    const int Steps = static_cast<int>(std::lround(R.Time / H));
    EXPECT_GT(Steps, 5);
    // Drawn when the window is due a repaint, and as they end.
    EXPECT_GE(Redraws, 1);
    EXPECT_LE(Redraws, Steps + 1);
    EXPECT_EQ(Drawn.X, CylPoint().X);
    EXPECT_EQ(Drawn.Y, CylPoint().Y);
    // Turned by V/R·T: 1/0.2·T radians, in the model's degrees and in the elements.
    EXPECT_NEAR(SlitStart(), 240.0 + 5 * R.Time * 180 / Pi, 1e-9);
    const TRealPoint After = CylPoint();
    EXPECT_NEAR(std::atan2(After.Y - 0.5, After.X) - Angle0, 5 * R.Time, 1e-9);
    // The intensities held are those solved before the last turn.
    const TRealArray Held = E.Intensities;
    E.Elements.RotateCylinders(-H);
    E.ClearIntensities();
    E.Solve();
    ASSERT_EQ(Held.size(), E.Intensities.size());
    for (std::size_t I = 0; I < Held.size(); ++I)
        EXPECT_NEAR(Held[I], E.Intensities[I], 1e-9 * (1 + std::abs(Held[I])));
}

// The static elements' factors kept from step to step: the intensities of a full solve
// at every step, and the trajectory of one.
TEST_F(RotatingSlit, KeptStaticFactorGivesTheFullSolve) {
    E.Elements.DiscretizeEqual(Model, 15, 0.02, 1.8);
    const TCylInfo C = E.Elements.GetCylInfo(0);
    ASSERT_LT(C.ElementCount * 2, E.Elements.Count) << "the complement would not be used";
    for (int Step = 0; Step < 36; ++Step) {
        E.Elements.RotateCylinders(0.005);
        E.SolveTurned();
        const TRealArray Turned = E.Intensities;
        E.Solve();
        ASSERT_EQ(Turned.size(), E.Intensities.size());
        double Scale = 0;
        for (double Q : E.Intensities)
            Scale = std::max(Scale, std::abs(Q));
        for (std::size_t I = 0; I < Turned.size(); ++I)
            ASSERT_NEAR(Turned[I], E.Intensities[I], 1e-9 * Scale) << "step " << Step;
    }

    TEdges FullModel = SlitCylinder();
    TCountEdges Full;
    Prepare(Full, FullModel);
    Full.Model = &FullModel;
    Full.KeepStaticFactor = false;
    TCountEdges Kept;
    TEdges KeptModel = SlitCylinder();
    Prepare(Kept, KeptModel);
    Kept.Model = &KeptModel;
    const TParticleParams P = Release({0.6, 0.9}, 0.0001, 3500, 0.005, 0.2);
    TColorPointArray A;
    TColorPointArray B;
    TraceParticleEx(Full, A, P);
    TraceParticleEx(Kept, B, P);
    ASSERT_GT(A.size(), 30u);
    ASSERT_EQ(A.size(), B.size());
    for (std::size_t I = 0; I < A.size(); ++I)
        EXPECT_LE(Distance(A[I].Position, B[I].Position), 1e-9) << I;
}

// A fine floor well below the cylinder: the steps then take the turning elements'
// influence on it through its far field, and the kernel's 1e-6 band (a turning
// element's line through a floor control point) through the static factors.
TEST_F(RotatingSlit, FineFloorFarBelowTheCylinderGivesTheFullSolveAtEveryStep) {
    const auto Fine = [](TCountEdges& C, const TEdges& M) {
        C.Elements.DiscretizeEqual(M, 15, 0.02, 1.8);
        for (int K = 0; K < 2; ++K)
            C.Elements.RefineInRect({-1e6, -1e6}, {1e6, 0.2});
    };
    TEdges FullModel = SlitCylinder();
    TEdges KeptModel = SlitCylinder();
    TCountEdges Full;
    TCountEdges Kept;
    Fine(Full, FullModel);
    Fine(Kept, KeptModel);
    ASSERT_GT(Kept.Elements.Count, 800);
    Full.Model = &FullModel;
    Full.KeepStaticFactor = false;
    Full.SolverKind = TSolverKind::skDirect;
    Kept.Model = &KeptModel;
    const TParticleParams P = Release({0.6, 0.9}, 0.0001, 3500, 0.005, 0.25);
    TColorPointArray A;
    TColorPointArray B;
    TraceParticleEx(Full, A, P);
    TraceParticleEx(Kept, B, P);
    ASSERT_GT(A.size(), 40u);
    ASSERT_EQ(A.size(), B.size());
    for (std::size_t I = 0; I < A.size(); ++I)
        EXPECT_LE(Distance(A[I].Position, B[I].Position), 1e-9) << I;
    ASSERT_EQ(Full.Intensities.size(), Kept.Intensities.size());
    double Scale = 0;
    for (double Q : Full.Intensities)
        Scale = std::max(Scale, std::abs(Q));
    for (std::size_t I = 0; I < Full.Intensities.size(); ++I)
        EXPECT_NEAR(Full.Intensities[I], Kept.Intensities[I], 1e-10 * Scale) << I;
}

// A turning element's line 0.9e-6 m from a floor control point, inside the kernel's
// band where the assembled coefficient is not the smooth field's: the step solves the
// system a full solve assembles.
TEST_F(RotatingSlit, TurningElementLinedUpWithAFloorPointGivesTheFullSolve) {
    E.Elements.DiscretizeEqual(Model, 15, 0.02, 1.8);
    for (int K = 0; K < 2; ++K)
        E.Elements.RefineInRect({-1e6, -1e6}, {1e6, 0.2});
    E.SolverKind = TSolverKind::skDirect;
    E.SolveTurned();
    const TCylInfo C = E.Elements.GetCylInfo(0);
    TRealPoint Q{1e9, 0};
    for (int I = 0; I < C.FirstElement; ++I) {
        const TEdgeElement F = E.Elements.GetElement(I);
        const TRealPoint Mid = (F.P1 + F.P2) / 2.0;
        if (std::abs(Mid.X - 0.4) < std::abs(Q.X - 0.4))
            Q = Mid;
    }
    const auto Off = [&] {
        const TEdgeElement T = E.Elements.GetElement(C.FirstElement);
        const TRealPoint Dir = (T.P2 - T.P1) / Distance(T.P1, T.P2);
        return DotProduct(T.P1 - Q, TRealPoint{Dir.Y, -Dir.X});
    };
    const TEdgeElement T = E.Elements.GetElement(C.FirstElement);
    const TRealPoint Dir = (T.P2 - T.P1) / Distance(T.P1, T.P2);
    const TRealPoint N{Dir.Y, -Dir.X};
    const double Apothem = DotProduct(T.P1 - C.Center, N);
    const TRealPoint D = Q - C.Center;
    const double Phi = std::atan2(D.Y, D.X) - std::atan2(N.Y, N.X) -
                       std::acos((Apothem - 0.9e-6) / VectorLength(D));
    E.Elements.RotateCylindersByAngle(Phi * 180 / Pi);
    ASSERT_NEAR(std::abs(Off()), 0.9e-6, 1e-8);
    E.SolveTurned();
    const TRealArray Turned = E.Intensities;
    E.Solve();
    double Scale = 0;
    for (double X : E.Intensities)
        Scale = std::max(Scale, std::abs(X));
    ASSERT_EQ(Turned.size(), E.Intensities.size());
    for (std::size_t I = 0; I < Turned.size(); ++I)
        EXPECT_NEAR(Turned[I], E.Intensities[I], 5e-13 * Scale) << I;
}

// A cylinder of 0.1 m turning above a floor, in equal elements of 2 mm everywhere (313
// on the cylinder), the particle released beside it with the default data: the same
// polyline as solving afresh at every step.
TEST(TurningSlit, EqualElementsOfTwoMillimetresGiveTheFullSolveAtEveryStep) {
    const auto Trace = [](bool Keep) {
        TEdges M = ModelOf({Chain({{2.0, 0.0}, {0.0, 0.0}, {-2.0, 0.0}}),
                            Cylinder({0.0, 0.3}, 0.1, 1.0, true, 250.0, 290.0, 2.0)});
        TCountEdges C;
        TDiscretizationSettings D;
        D.Graded = false;
        D.Step = 0.002;
        Discretize(C.Elements, M, D);
        EXPECT_EQ(C.Elements.GetCylInfo(0).ElementCount, 313);
        C.Model = &M;
        C.KeepStaticFactor = Keep;
        TParticleParams P;
        P.Start = {0.3, 0.6};
        P.TMax = 12 * P.H;
        TColorPointArray Line;
        TraceParticleEx(C, Line, P);
        return Line;
    };
    const TColorPointArray Full = Trace(false);
    const TColorPointArray Kept = Trace(true);
    ASSERT_GE(Full.size(), 12u);
    ASSERT_EQ(Full.size(), Kept.size());
    for (std::size_t I = 0; I < Full.size(); ++I)
        EXPECT_LE(Distance(Full[I].Position, Kept[I].Position), 1e-9) << I;
}

// Two cylinders turning side by side above a fine floor: each sees the other's turning
// elements as they stand and the floor through its series.
TEST(TurningSlit, TwoTurningCylindersGiveTheFullSolveAtEveryStep) {
    const TEdges M = ModelOf({Chain({{2.0, 0.0}, {0.0, 0.0}, {-2.0, 0.0}}),
                              Cylinder({-0.3, 0.4}, 0.1, 1.0, true, 250.0, 290.0, 2.0),
                              Cylinder({0.3, 0.4}, 0.1, -1.0, true, 200.0, 230.0, 1.0)});
    TCountEdges C;
    C.Elements.DiscretizeEqual(M, 15, 0.004, 1.8);
    C.SolverKind = TSolverKind::skDirect;
    for (int Step = 0; Step < 4; ++Step) {
        C.Elements.RotateCylinders(0.005);
        C.SolveTurned();
        const TRealArray Turned = C.Intensities;
        C.Solve();
        double Scale = 0;
        for (double X : C.Intensities)
            Scale = std::max(Scale, std::abs(X));
        ASSERT_EQ(Turned.size(), C.Intensities.size());
        for (std::size_t I = 0; I < Turned.size(); ++I)
            ASSERT_NEAR(Turned[I], C.Intensities[I], 1e-12 * Scale) << "step " << Step;
    }
}

TEST_F(RotatingSlit, FailedTraceTurnsTheCylindersBack) {
    const TRealPoint Before = CylPoint();
    int Calls = 0;
    E.ProcessEvents = [&] {
        if (++Calls == 4)
            throw std::runtime_error("window closed");
    };
    TColorPointArray Line = {{3, {0, 0}}};
    EXPECT_THROW(TraceParticleEx(E, Line, Release({1, 1}, 0.0001, 3500, 0.005, 1)),
                 std::runtime_error);
    EXPECT_EQ(Line.size(), 1u);
    EXPECT_NEAR(SlitStart(), 240.0, 1e-9);
    const TRealPoint After = CylPoint();
    EXPECT_NEAR(After.X, Before.X, 1e-12);
    EXPECT_NEAR(After.Y, Before.Y, 1e-12);
    EXPECT_FALSE(E.Solved());
}

TEST(ParticleTrace, HeavyParticleDroppedOnAThinPlateStopsOnItsTopFace) {
    // A plate 1 cm thick across the box, its bottom face listed first. Falling from up to
    // 0.94 m, one step of 5 ms can pass both of its faces.
    const double PlateTop = 1.01;
    TEdges M = Box();
    M.Add(Polygon({{0.5, 1.0}, {1.5, 1.0}, {1.5, PlateTop}, {0.5, PlateTop}}, {0, 0, 0, 0}));
    TCountEdges E;
    Prepare(E, M);
    for (int K = 0; K < 90; ++K) {
        const double Height = PlateTop + 0.05 + 0.01 * K;
        TColorPointArray Line;
        TraceParticleEx(E, Line, Release({1, Height}, 0.01, 11000, 0.005, 1));
        auto Lowest = std::min_element(
            Line.begin(), Line.end(), [](auto& A, auto& B) { return A.Position.Y < B.Position.Y; });
        EXPECT_NEAR(Lowest->Position.Y, PlateTop, 1e-12) << "dropped from " << Height;
    }
}

TEST(ParticleTrace, ParticleWedgedInASharpCornerStaysInsideAndEnds) {
    // An 11-degree wedge with its tip at the origin: the particle bounces down towards the
    // tip, where the rebound offset reaches the other wall and is pulled back. (Within
    // the hit test's 1e-10 tolerance of the tip a step counts as touching the walls' end
    // points and is not stopped, so the run ends before the particle gets that close.)
    TEdges M;
    M.Add(Polygon({{0, 0}, {-0.1, 1}, {0.1, 1}}, {0, 0, 0}));
    TCountEdges E;
    Prepare(E, M);
    for (double X : {0.0005, 0.01, -0.03}) {
        TColorPointArray Line;
        const TParticleResult R =
            TraceParticleEx(E, Line, Release({X, 0.9}, 0.001, 3500, 0.01, 0.505));
        EXPECT_EQ(R.End, TParticleEnd::peTime);
        EXPECT_NEAR(R.Time, 0.5, 1e-9);
        for (const auto& P : Line) {
            // Inside the wedge |x| <= y/10 (up to rounding), never below the tip.
            EXPECT_LE(std::abs(P.Position.X), P.Position.Y / 10 + 1e-9) << X;
            EXPECT_GE(P.Position.Y, -1e-12) << X;
        }
    }
}
