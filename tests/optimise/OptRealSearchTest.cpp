// Real searches: every trial discretises, solves and evaluates the model.
#include "OptTestModels.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"
#include "results/uParticle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <numbers>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// Coarse enough to keep every trial cheap.
TDiscretizationSettings Coarse() {
    TDiscretizationSettings D;
    D.Step = 0.002;
    D.InfiniteCount = 15;
    return D;
}

// A slot 0.1 m wide sucking at V in a long floor, air above; optionally a plate (a
// closed body, air outside) above and beside the slot.
TEdges SlotModel(double V, bool Plate) {
    TEdges M;
    TEdge Floor(ekSemiInfinite);
    Floor.AddSegment(Seg({1, 0}, {0.05, 0}, 0));
    Floor.AddSegment(Seg({0.05, 0}, {-0.05, 0}, V));
    Floor.AddSegment(Seg({-0.05, 0}, {-1, 0}, 0));
    M.Add(Floor);
    if (Plate) {
        TEdge P(ekClosed);
        const TRealPoint C[4] = {{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.3125}, {0.25, 0.3125}};
        for (int I = 0; I < 4; ++I)
            P.AddSegment(Seg(C[I], C[(I + 1) % 4], 0));
        M.Add(P);
    }
    return M;
}

// The velocity along Dir at Pt of Model, computed apart from any search.
double VelocityOf(const TEdges& Model, TRealPoint Dir, TRealPoint Pt) {
    TCountEdges E;
    const TDiscretizationSettings D = Coarse();
    E.Elements.DiscretizeGraded(Model, D.InfiniteCount, D.Step, D.Scaler, D.CylStep,
                                D.InfiniteScaler);
    E.Solve();
    return E.Speed(Dir, Pt);
}

} // namespace

TEST(OptRealSearch, VelocityTaskRaisesTheSuctionVelocity) {
    const TEdges Model = SlotModel(1.0, false);
    TSpeedData Task;
    Task.Point = {0.0, 0.1};
    Task.Direction = {0.0, -1.0};

    TOptimizeEdges S;
    ASSERT_TRUE(S.Params.BuildObjects(Model));
    ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "min": 0.5, "max": 5,
                                               "step": 0.5, "start": 1}]})"),
                 S);
    S.DiscretizationSettings = Coarse();
    const double Before = VelocityOf(S.Params.Model, Task.Direction, Task.Point);
    // The flanged slot: (2V/pi) arctan(b / 2x) on its axis.
    EXPECT_NEAR(Before, 2 / std::numbers::pi * std::atan(0.5), 0.01);

    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed(Task, BestValue, Best));
    ASSERT_EQ(Best.size(), 1u);
    std::cout << "[ figures  ] slot suction: start 1 m/s gives " << Before << " m/s at (0, 0.1); "
              << "best " << Best[0] << " m/s gives " << BestValue << " m/s after " << S.Evaluations
              << " evaluations\n";
    EXPECT_GT(Best[0], 1.0);
    EXPECT_LE(Best[0], 5.0);
    EXPECT_GT(BestValue, Before);
    // The flow is linear in the suction velocity.
    EXPECT_NEAR(BestValue, Before * Best[0], 1e-6 * BestValue);
    // The reported figure is that of the model left at Best.
    EXPECT_NEAR(VelocityOf(S.Params.Model, Task.Direction, Task.Point), BestValue,
                1e-12 * BestValue);
    EXPECT_EQ(S.Params.Model.Item(0).GetSegment(1).V, Best[0]);
}

TEST(OptRealSearch, GeometricParameterMovingAWallVertexChangesTheResult) {
    TSpeedData Task;
    Task.Point = {0.3, 0.1};
    Task.Direction = {-1.0, 0.0};

    TOptimizeEdges S;
    ASSERT_TRUE(S.Params.BuildObjects(SlotModel(2.0, true)));
    // Точка5 is the plate's lower left corner (0.25, 0.25).
    ApplyOptTask(ParseOptTask(R"({"geometric": [{"name": "h", "min": -0.15, "max": 0.1,
                                                 "step": 0.05, "start": 0,
                                   "formulas": [{"object": "Точка5", "change": "y"}]}],
                                  "tabulate": true})"),
                 S);
    S.DiscretizationSettings = Coarse();
    const double Before = VelocityOf(S.Params.Model, Task.Direction, Task.Point);
    TRealArray Best;
    double BestValue = 0;
    ASSERT_TRUE(S.OptimizeSpeed(Task, BestValue, Best));
    ASSERT_EQ(Best.size(), 2u);
    std::cout << "[ figures  ] plate corner: h = 0 gives " << Before << " m/s at (0.3, 0.1); "
              << "best h = " << Best[1] << " gives " << BestValue << " m/s after " << S.Evaluations
              << " evaluations\n";
    EXPECT_NE(Best[1], 0.0);
    EXPECT_GT(BestValue, Before);
    // The corner and the closing segment's end moved together.
    const TEdge& Plate = S.Params.Model.Item(1);
    EXPECT_NEAR(Plate.GetSegment(0).P1.Y, 0.25 + Best[1], 1e-12);
    EXPECT_EQ(Plate.GetSegment(3).P2.Y, Plate.GetSegment(0).P1.Y);
    EXPECT_EQ(Plate.GetSegment(1).P1.Y, 0.25);
    EXPECT_NEAR(VelocityOf(S.Params.Model, Task.Direction, Task.Point), BestValue,
                1e-12 * std::abs(BestValue));
}

namespace {

// Fine dust released above a slot: the stronger the suction, the more is caught.
TParticleData DustAboveTheSlot() {
    TParticleData P;
    P.D = 0.00002;
    P.H = 0.005;
    P.TMax = 0.5;
    for (double X : {0.1, 0.2, 0.3})
        P.Particles.push_back({{X, 0.05}, {0, 0}});
    return P;
}

int CountCaught(const TEdges& Model, const TParticleData& P, bool Minimise) {
    TCountEdges E;
    const TDiscretizationSettings D = Coarse();
    E.Elements.DiscretizeGraded(Model, D.InfiniteCount, D.Step, D.Scaler, D.CylStep,
                                D.InfiniteScaler);
    int Caught = 0;
    for (const TStartPartInfo& S : P.Particles) {
        TColorPointArray Line;
        const double T =
            TraceParticle(E, Line, S.Position, S.Velocity, P.D, P.RhoAir, P.RhoParticle, P.Mu,
                          P.Chi, P.Restitution, P.Friction, P.H, P.TMax);
        // Caught means the trace ended on the slot.
        const TRealPoint End = Line.back().Position;
        const bool OnSlot = std::abs(End.Y) < 1e-12 && std::abs(End.X) <= 0.05;
        if (!OnSlot) { // ran out of time: its flight time is a step short of the limit
            EXPECT_NEAR(T, P.TMax - P.H, 1e-9);
        }
        Caught += OnSlot && ParticleCaught(T, P.TMax, Minimise) ? 1 : 0;
    }
    return Caught;
}

} // namespace

TEST(OptRealSearch, MostCaughtTaskWeighsCatchAgainstSuction) {
    const TParticleData Dust = DustAboveTheSlot();
    TOptimizeEdges S;
    ASSERT_TRUE(S.Params.BuildObjects(SlotModel(1.0, false)));
    ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "min": 0.5, "max": 3,
                                               "step": 0.5, "start": 0.5}],
                                  "tabulate": true})"),
                 S);
    S.DiscretizationSettings = Coarse();
    const int Before = CountCaught(S.Params.Model, Dust, false);
    TRealArray Best;
    int Caught = -1;
    ASSERT_TRUE(S.OptimizeParticles(Dust, false, Best, Caught));
    std::cout << "[ figures  ] dust: start 0.5 m/s catches " << Before << " of 3; best " << Best[0]
              << " m/s catches " << Caught << " after " << S.Evaluations << " evaluations\n";
    // The count is that of the best point, traced again apart from the search.
    EXPECT_EQ(Caught, CountCaught(S.Params.Model, Dust, false));
    EXPECT_GE(ParticleObjective(Caught, Best[0], false), ParticleObjective(Before, 0.5, false));
    EXPECT_GT(Caught, Before);
}

TEST(OptRealSearch, RotatingSlitCylinderIsTurnedBackAfterEachParticle) {
    TEdges M;
    TEdge Floor(ekSemiInfinite);
    Floor.AddSegment(Seg({2, 0}, {0.5, 0}, 0));
    Floor.AddSegment(Seg({0.5, 0}, {-0.5, 0}, 0));
    Floor.AddSegment(Seg({-0.5, 0}, {-2, 0}, 0));
    M.Add(Floor);
    M.Add(Cylinder({0, 0.5}, 0.2, 1.0, true, 240, 300, 2.0));
    TOptimizeEdges S;
    ASSERT_TRUE(S.Params.BuildObjects(M));
    S.Params.ClearParams(); // nothing to search: one evaluation of the model as it is
    S.DiscretizationSettings = Coarse();
    S.DiscretizationSettings.CylStep = 0.05;
    TParticleData P;
    P.H = 0.01;
    P.TMax = 0.1;
    P.Particles = {{{0.5, 0.5}, {0, 0}}, {{-0.5, 0.5}, {0, 0}}};
    TRealArray Best;
    int Caught = -1;
    ASSERT_TRUE(S.OptimizeParticles(P, true, Best, Caught));
    EXPECT_TRUE(Best.empty());
    EXPECT_EQ(S.Evaluations, 1);
    // Both are still in the air after 0.1 s; their runs end by time a step before the
    // limit, which must not count as a catch even in the fewest-caught task.
    EXPECT_EQ(Caught, 0);

    // The evaluator's cylinder stands where a fresh discretisation puts it.
    TEdgeElements Fresh;
    Fresh.DiscretizeGraded(S.Params.Model, 15, 0.002, 2, 0.05, 1.8);
    ASSERT_TRUE(S.Evaluator.Elements.HasRotatingSlit);
    ASSERT_EQ(S.Evaluator.Elements.Count, Fresh.Count);
    for (int I = 0; I < Fresh.Count; ++I) {
        EXPECT_NEAR(S.Evaluator.Elements.GetElement(I).P1.X, Fresh.GetElement(I).P1.X, 1e-9);
        EXPECT_NEAR(S.Evaluator.Elements.GetElement(I).P1.Y, Fresh.GetElement(I).P1.Y, 1e-9);
    }
    // The search's model copy is not turned.
    EXPECT_EQ(S.Params.Model.Item(1).GetSegment(1).P1.X, 240.0);
}

// Trials side by side on their own model copies and evaluators, taken in order: the
// same path, evaluations and answer as on one thread.
TEST(OptRealSearch, ThreadsTakeTheSamePathAsOneThread) {
    struct TRun {
        TRealArray Best;
        double Value = 0;
        int Caught = -1;
        int Evaluations = 0;
        TRealArray Gradient;
    };
    const auto Search = [](int Threads, int Task) {
        TOptimizeEdges S;
        EXPECT_TRUE(S.Params.BuildObjects(SlotModel(1.0, true)));
        ApplyOptTask(ParseOptTask(R"({"suction": [{"name": "Отсос1", "min": 0.5, "max": 2.5,
                                                   "step": 0.5, "start": 1}],
                                      "geometric": [{"name": "h", "min": -0.1, "max": 0.1,
                                                     "step": 0.05, "start": 0,
                                        "formulas": [{"object": "Точка5", "change": "y"}]}],
                                      "tabulate": true})"),
                     S);
        S.DiscretizationSettings = Coarse();
        S.Evaluator.Threads = Threads;
        TRun R;
        if (Task == 0)
            EXPECT_TRUE(S.OptimizeSpeed({{0.3, 0.1}, {-1.0, 0.0}, 1.0}, R.Value, R.Best));
        else
            EXPECT_TRUE(S.OptimizeParticles(DustAboveTheSlot(), false, R.Best, R.Caught));
        R.Evaluations = S.Evaluations;
        R.Gradient = S.Gradient;
        return R;
    };
    for (int Task : {0, 1}) {
        const TRun One = Search(1, Task);
        const TRun Three = Search(3, Task);
        // The grid's 20 models whose boundaries do not cross and the gradient's two.
        EXPECT_GE(One.Evaluations, 22) << Task;
        EXPECT_EQ(One.Evaluations, Three.Evaluations) << Task;
        EXPECT_EQ(One.Best, Three.Best) << Task;
        EXPECT_EQ(One.Gradient, Three.Gradient) << Task;
        EXPECT_EQ(One.Value, Three.Value) << Task;
        EXPECT_EQ(One.Caught, Three.Caught) << Task;
    }
}

TEST(OptRealSearch, PointOnOrBesideAnElementIsNotClear) {
    // One element 0.1 long on the X axis.
    const TEdgeElementArray E = {{{0.1, 0.0}, {0.0, 0.0}, 0.0}};
    EXPECT_FALSE(PointClearOfElements(E, {0.05, 0.0}));
    EXPECT_FALSE(PointClearOfElements(E, {0.1, 0.0}));
    EXPECT_FALSE(PointClearOfElements(E, {0.05, 0.09}));
    EXPECT_TRUE(PointClearOfElements(E, {0.05, 0.1}));
    EXPECT_TRUE(PointClearOfElements(E, {0.25, 0.0}));
}

// The shipped velocity task once answered h = -0.15, which puts the plate's lower edge
// through the point, where the velocity is singular.
TEST(OptRealSearch, ShippedVelocityTaskKeepsThePointOffTheWall) {
    TEdges Model;
    Model.LoadFromFile(KALVEX_EXAMPLES_DIR "/hood_probe.asp");
    const TOptTask Task = LoadOptTask(KALVEX_EXAMPLES_DIR "/task_velocity.json");
    TRealArray Best[2];
    for (int Threads : {1, 3}) {
        TOptimizeEdges S;
        ASSERT_TRUE(S.Params.BuildObjects(Model));
        ApplyOptTask(Task, S);
        S.Evaluator.Threads = Threads;
        double Value = 0;
        TRealArray& B = Best[Threads == 1 ? 0 : 1];
        ASSERT_TRUE(S.OptimizeSpeed(Task.Speed, Value, B));
        ASSERT_EQ(B.size(), 2u);
        EXPECT_GT(B[1], -0.15);
        // Every element at least as near to the point as the nearest one is no longer
        // than that distance.
        TEdgeElements E;
        Discretize(E, S.Params.Model, Task.Discretization);
        const auto DistanceOf = [&](const TEdgeElement& El) {
            const TRealPoint D{El.P2.X - El.P1.X, El.P2.Y - El.P1.Y};
            const TRealPoint P{Task.Speed.Point.X - El.P1.X, Task.Speed.Point.Y - El.P1.Y};
            const double T = std::clamp(DotProduct(P, D) / DotProduct(D, D), 0.0, 1.0);
            return Distance(Task.Speed.Point, {El.P1.X + T * D.X, El.P1.Y + T * D.Y});
        };
        double Nearest = 1e9;
        for (const TEdgeElement& El : E.Elements)
            Nearest = std::min(Nearest, DistanceOf(El));
        EXPECT_GT(Nearest, 0.0);
        for (const TEdgeElement& El : E.Elements)
            if (DistanceOf(El) <= Nearest) {
                EXPECT_LE(Distance(El.P1, El.P2), Nearest);
            }
    }
    EXPECT_EQ(Best[0], Best[1]);
}
