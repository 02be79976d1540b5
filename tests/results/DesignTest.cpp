// The designer's answers on flows whose answer is known: the capture-velocity contour,
// the sampled field and the capture efficiency.
#include "ResultsModels.h"
#include "results/uContour.h"
#include "results/uEfficiency.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kalvex::test {
namespace {

TEST(Contour, FlangedSlotCrossesItsAxisWhereTheFormulaGivesTheSpeed) {
    // On the axis of a flanged slot the speed is (2V/pi) atan(b/(2y)), so |V| = S at
    // y = b / (2 tan(pi S / (2V))).
    const double B = 0.1;
    TCountEdges E;
    E.Threads = 2;
    Prepare(E, Slot(B));
    for (const double S : {0.25, 0.5}) {
        TDrawLines Store;
        // An odd cell count: the axis runs through cells, not along their edges.
        const TContourOutcome R =
            BuildSpeedContour(E, Slot(B), Store, {S, {-0.31, -0.05}, {0.3, 0.4}, 151});
        ASSERT_EQ(R.Lines, 1) << S;
        ASSERT_FALSE(R.Stopped);
        const double Y = B / (2 * std::tan(std::numbers::pi * S / 2));
        int Crossings = 0;
        const TColorPointArray& L = Store.Lines[0];
        EXPECT_EQ(R.Points, L.size());
        for (std::size_t K = 0; K + 1 < L.size(); ++K) {
            const TRealPoint P = L[K].Position;
            const TRealPoint Q = L[K + 1].Position;
            // Every point in the air: none below the wall.
            EXPECT_GT(P.Y, 0.0);
            EXPECT_EQ(L[K].Color, ContourColor);
            if ((P.X < 0) != (Q.X < 0)) {
                ++Crossings;
                const double At = P.Y + (Q.Y - P.Y) * (0 - P.X) / (Q.X - P.X);
                EXPECT_NEAR(At, Y, 0.005 * Y) << S;
            }
        }
        EXPECT_EQ(Crossings, 1);
    }
}

TEST(Contour, StopsAtTheRequestAndRefusesABadBox) {
    TCountEdges E;
    E.Threads = 1;
    Prepare(E, Slot());
    int Calls = 0;
    E.PumpInterval = {}; // events after every row
    E.ProcessEvents = [&] {
        if (++Calls == 3)
            E.StopBuilding();
    };
    TDrawLines Store;
    const TContourOutcome R = BuildSpeedContour(E, Slot(), Store, {0.25, {-1, 0}, {1, 1}, 100});
    EXPECT_TRUE(R.Stopped);
    EXPECT_EQ(Store.Count, 0);
    EXPECT_EQ(Calls, 3);
    EXPECT_THROW(BuildSpeedContour(E, Slot(), Store, {0.25, {0, 0}, {0, 1}, 100}),
                 TGridParamsError);
    EXPECT_THROW(BuildSpeedContour(E, Slot(), Store, {-1, {0, 0}, {1, 1}, 100}), TGridParamsError);
}

TEST(Field, NodesHoldTheVelocityInTheAirAndZeroElsewhere) {
    const TEdges M = ModelOf({FlangedSlotWall(0.1, 1.0), Cylinder({0, 0.5}, 0.2)});
    TCountEdges E;
    Prepare(E, M);
    TFieldGrid G{{-1.05, -0.45}, {0.95, 1.05}, 9, 7, {}, {}};
    int Rows = 0;
    E.ProgressBar = [&](int Position, int Max) {
        EXPECT_EQ(Max, 7);
        Rows = Position;
    };
    ASSERT_TRUE(SampleField(E, M, G));
    EXPECT_EQ(Rows, 7);
    for (int J = 0; J < G.NY; ++J) {
        for (int I = 0; I < G.NX; ++I) {
            const TRealPoint P = G.Node(I, J);
            const bool Air = P.Y > 0 && Distance(P, {0, 0.5}) > 0.2;
            ASSERT_EQ(G.Air[G.Index(I, J)] != 0, Air) << P.X << " " << P.Y;
            const TRealPoint V = Air ? E.Velocity(P) : TRealPoint{};
            EXPECT_EQ(G.V[G.Index(I, J)].X, V.X);
            EXPECT_EQ(G.V[G.Index(I, J)].Y, V.Y);
        }
    }
}

TEST(Efficiency, CountsTheSameAsSingleTracesOnAnyThreadCount) {
    // Turning slit cylinder: the traces turn the workers' copies, never the caller's.
    const TEdges M = SlitCylinder();
    TCountEdges E;
    Prepare(E, M);
    const TEdgeElementArray Before = E.Elements.Elements;
    TEfficiencyParams P;
    P.From = {-0.25, 0.625};
    P.To = {0.25, 0.625};
    P.Count = 4;
    P.Diameters = {1e-5, 3e-4};
    P.Particle.TMax = 2;
    for (const int Threads : {1, 2}) {
        E.Threads = Threads;
        const TEfficiencyOutcome R = CaptureEfficiency(E, P);
        ASSERT_FALSE(R.Stopped);
        ASSERT_EQ(R.Rows.size(), 2u);
        for (std::size_t Di = 0; Di < 2; ++Di) {
            int Caught = 0;
            for (int K = 0; K < P.Count; ++K) {
                TCountEdges Single;
                Prepare(Single, M);
                TParticleParams Q = P.Particle;
                Q.D = P.Diameters[Di];
                Q.Start = EfficiencyStart(P, K);
                TColorPointArray Line;
                Caught += TraceParticleEx(Single, Line, Q).End == TParticleEnd::peCaught;
            }
            EXPECT_EQ(R.Rows[Di].Caught, Caught) << Threads;
            EXPECT_EQ(R.Rows[Di].Total, P.Count);
        }
        // Fine dust follows the air into the slit; heavy dust falls on the cylinder.
        EXPECT_GT(R.Rows[0].Caught, R.Rows[1].Caught);
        ASSERT_EQ(E.Elements.Elements.size(), Before.size());
        EXPECT_EQ(E.Elements.Elements[0].P1.X, Before[0].P1.X);
        EXPECT_EQ(E.Elements.Elements.back().P2.Y, Before.back().P2.Y);
    }
}

TEST(Efficiency, EdgesLieBetweenStartsOfDifferentFateWithinTheTolerance) {
    // Heavy dust over a slot: only what falls into the opening is caught.
    TCountEdges E;
    Prepare(E, Slot(0.1));
    TEfficiencyParams P;
    P.From = {-0.2, 0.1};
    P.To = {0.2, 0.1};
    P.Count = 8;
    P.Diameters = {1e-3};
    P.FindEdges = true;
    P.Particle.H = 0.001;
    const TEfficiencyOutcome R = CaptureEfficiency(E, P);
    ASSERT_EQ(R.Rows.size(), 1u);
    const auto& Edges = R.Rows[0].Edges;
    ASSERT_EQ(Edges.size(), 2u);
    EXPECT_FALSE(Edges[0].CaughtBefore);
    EXPECT_TRUE(Edges[1].CaughtBefore);
    for (const TCaptureEdge& Edge : Edges) {
        // Released at rest it falls nearly straight, drawn a little towards the slot.
        EXPECT_GT(std::abs(Edge.Point.X), 0.05);
        EXPECT_LT(std::abs(Edge.Point.X), 0.15);
        // Either side of the edge, half a millimetre off, the fates differ.
        for (const double Off : {-0.0006, 0.0006}) {
            TParticleParams Q = P.Particle;
            Q.D = 1e-3;
            Q.Start = {Edge.Point.X + Off, 0.1};
            TColorPointArray Line;
            const bool Caught = TraceParticleEx(E, Line, Q).End == TParticleEnd::peCaught;
            EXPECT_EQ(Caught, (Off < 0) == Edge.CaughtBefore) << Edge.Point.X << " " << Off;
        }
    }
}

} // namespace
} // namespace kalvex::test
