// The parameter set: named objects, automatic suction parameters with the balancing
// formula, and the formulas that change the working model.
#include "OptTestModels.h"
#include "optimise/uOptEdges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kalvex;
using namespace kalvex::test;

namespace {

std::vector<std::string> Names(const TOptimizedParams& P) {
    std::vector<std::string> R;
    for (const auto& O : P.Objects)
        R.push_back(O.Name);
    return R;
}

} // namespace

TEST(OptObjects, PointsCountAcrossEdgesOpeningsAndCylindersSeparately) {
    TEdges M;
    // Edge 0: a one-segment semi-infinite region with a suction opening: its start and
    // end points are Точка1 and Точка2.
    TEdge Semi(ekSemiInfinite);
    Semi.AddSegment(Seg({-1, 0}, {0, 0}, 0.5));
    M.Add(Semi);
    // Edge 1: a closed triangle; its first vertex is the third of the model.
    TEdge Tri(ekClosed);
    Tri.AddSegment(Seg({1, 1}, {2, 1}, 0));
    Tri.AddSegment(Seg({2, 1}, {1.5, 2}, 2.0));
    Tri.AddSegment(Seg({1.5, 2}, {1, 1}, -1.0));
    M.Add(Tri);
    // Edge 2: a cylinder with a suction slit, edge 3: one without a slit.
    M.Add(Cylinder({3, 3}, 0.2, 0.0, true, 0, 90, 1.5));
    M.Add(Cylinder({5, 3}, 0.2, 1.0, false, 0, 0, 3.0));

    TOptimizedParams P;
    ASSERT_TRUE(P.BuildObjects(M));
    const std::vector<std::string> Expected = {"Точка1", "Отсос1",  "Точка2", "Точка3",
                                               "Точка4", "Отсос2",  "Точка5", "Цилиндр1",
                                               "Отсос3", "Цилиндр2"};
    EXPECT_EQ(Names(P), Expected);

    // Where each object points.
    EXPECT_EQ(P.Objects[2].EdgeIndex, 0);
    EXPECT_EQ(P.Objects[2].SegIndex, 1); // end point of the semi-infinite region
    EXPECT_EQ(P.Objects[3].EdgeIndex, 1);
    EXPECT_EQ(P.Objects[3].SegIndex, 0);
    EXPECT_EQ(P.Objects[8].EdgeIndex, 2);
    EXPECT_EQ(P.Objects[8].SegIndex, 1);
    EXPECT_EQ(P.FindObject("Точка3"), 3);
    EXPECT_EQ(P.FindObject("Точка9"), -1);

    // One automatic parameter per opening, in object order, with the opening's velocity.
    ASSERT_EQ(P.ParamCount(), 3);
    EXPECT_EQ(P.SuctionCount(), 3);
    const double Velocities[] = {0.5, 2.0, 1.5};
    for (int I = 0; I < 3; ++I) {
        const TParamInfo Info = P.GetParam(I);
        EXPECT_EQ(Info.Name, "Отсос" + std::to_string(I + 1));
        EXPECT_EQ(Info.MinValue, Velocities[I]);
        EXPECT_EQ(Info.MaxValue, Velocities[I]);
        EXPECT_EQ(Info.Value, Velocities[I]);
        EXPECT_EQ(Info.Step, 0.01);
        // A semi-infinite region is present: no balancing formula.
        ASSERT_EQ(Info.Changes.size(), 1u);
        EXPECT_EQ(Info.Changes[0].Kind, ckFlow);
        EXPECT_EQ(Info.Changes[0].Scaler, 1.0);
    }
    EXPECT_DOUBLE_EQ(P.SuctionSum(), 4.0);
}

TEST(OptObjects, SlitOfTinyVelocityOrWithoutFlagIsNoOpening) {
    TEdges M;
    M.Add(Semi3({-2, 0}, {-1, 0}, {1, 0}, {2, 0}, 0.0));
    M.Add(Cylinder({0, 1}, 0.2, 0.0, true, 0, 90, 5e-11));
    M.Add(Cylinder({1, 1}, 0.2, 0.0, false, 0, 90, 2.0));
    TOptimizedParams P;
    ASSERT_TRUE(P.BuildObjects(M));
    EXPECT_EQ(P.ParamCount(), 0);
    EXPECT_EQ(P.ObjectCount(), 4 + 2);
}

TEST(OptObjects, ClosedModelNeedsExactlyOneInflow) {
    TOptimizedParams P;
    // No inflow at all.
    TEdges NoInflow;
    NoInflow.Add(Rect({0, 0}, {2, 1}, {0, 0, 1, 0}));
    EXPECT_FALSE(P.BuildObjects(NoInflow));
    EXPECT_EQ(P.ObjectCount(), 0);

    // Two inflows.
    TEdges TwoInflows;
    TwoInflows.Add(Rect({0, 0}, {2, 1}, {-1, 0, 2, -1}));
    EXPECT_FALSE(P.BuildObjects(TwoInflows));

    // A failed build leaves what an earlier one built.
    TEdges Good;
    Good.Add(Rect({0, 0}, {2, 1}, {0, 0, 1, -2}));
    ASSERT_TRUE(P.BuildObjects(Good));
    EXPECT_EQ(P.ObjectCount(), 5);
    EXPECT_FALSE(P.BuildObjects(TwoInflows));
    EXPECT_EQ(P.ObjectCount(), 5);
    EXPECT_EQ(P.ParamCount(), 1);
    EXPECT_EQ(P.Model.Count(), 1);

    // The inflow may be a cylinder slit (counted whether or not the flag is set), and
    // a semi-infinite region needs no balance at all.
    TEdges SlitInflow;
    SlitInflow.Add(Rect({0, 0}, {2, 1}, {0, 0, 1, 0}));
    SlitInflow.Add(Cylinder({4, 4}, 0.5, 0.0, true, 0, 90, -1.0));
    EXPECT_TRUE(P.BuildObjects(SlitInflow));
    TEdges Semi;
    Semi.Add(Semi3({-2, 0}, {-1, 0}, {1, 0}, {2, 0}, 1.0));
    Semi.Add(Rect({0, 1}, {2, 2}, {-1, 0, 2, -1}));
    EXPECT_TRUE(P.BuildObjects(Semi));
}

TEST(OptObjects, BalancingFormulaKeepsTheTotalFlowZero) {
    // 2 x 1 rectangle: top side (length 2) sucks at 1 m/s, left side (length 1) lets
    // 2 m/s in.
    TEdges M;
    M.Add(Rect({0, 0}, {2, 1}, {0, 0, 1, -2}));
    ASSERT_DOUBLE_EQ(M.TotalFlow(), 0.0);
    TOptimizedParams P;
    ASSERT_TRUE(P.BuildObjects(M));
    ASSERT_EQ(P.ParamCount(), 1);
    const TParamInfo Info = P.GetParam(0);
    ASSERT_EQ(Info.Changes.size(), 2u);
    EXPECT_EQ(Info.Changes[1].EdgeIndex, 0);
    EXPECT_EQ(Info.Changes[1].SegIndex, 3);
    EXPECT_EQ(Info.Changes[1].Kind, ckFlow);
    EXPECT_DOUBLE_EQ(Info.Changes[1].Scaler, -2.0); // -L / L_b = -2 / 1

    P.SetParamValue(0, 1.5);
    EXPECT_DOUBLE_EQ(P.Model.Item(0).GetSegment(2).V, 1.5);
    EXPECT_DOUBLE_EQ(P.Model.Item(0).GetSegment(3).V, -3.0);
    EXPECT_NEAR(P.Model.TotalFlow(), 0.0, 1e-12);
    EXPECT_EQ(P.GetParam(0).Value, 1.5);
    // The user's model is not touched.
    EXPECT_EQ(M.Item(0).GetSegment(2).V, 1.0);

    // A balancing opening of no length cannot balance anything.
    TEdges Degenerate;
    Degenerate.Add(Rect({0, 0}, {2, 1}, {0, 0, 1, 0}));
    Degenerate.Add(Cylinder({4, 4}, 0.5, 0.0, true, 30, 30, -1.0));
    EXPECT_FALSE(P.BuildObjects(Degenerate));
}

TEST(OptFormulas, VertexMovesWithTheCoincidingEndOfThePrecedingSegment) {
    TEdges M;
    M.Add(Rect({0, 0}, {2, 1}, {0, 0, 0, 0}));
    M.Add(Semi3({-2, -1}, {-1, -1}, {1, -1}, {2, -1}, 0.0));
    TOptimizedParams P;
    // A semi-infinite region needs no balance.
    ASSERT_TRUE(P.BuildObjects(M));

    TParamInfo H;
    H.Name = "h";
    H.MinValue = 0;
    H.MaxValue = 1;
    H.Step = 0.1;
    H.Value = 0;
    // Точка1 is the rectangle's first vertex (0, 0): both its segment 0 and the
    // closing segment 3 end there.
    H.Changes.push_back({0, 0, 1.0, ckX, "Точка1"});
    H.Changes.push_back({0, 0, 0.5, ckY, "Точка1"});
    // Точка6: second vertex of the semi-infinite region; Точка8: its end point.
    H.Changes.push_back({1, 1, -1.0, ckY, "Точка6"});
    H.Changes.push_back({1, 3, 2.0, ckX, "Точка8"});
    P.AddParam(H);
    P.SetParamValue(0, 0.2);

    const TEdge& R = P.Model.Item(0);
    EXPECT_DOUBLE_EQ(R.GetSegment(0).P1.X, 0.2);
    EXPECT_DOUBLE_EQ(R.GetSegment(0).P1.Y, 0.1);
    EXPECT_DOUBLE_EQ(R.GetSegment(3).P2.X, 0.2);
    EXPECT_DOUBLE_EQ(R.GetSegment(3).P2.Y, 0.1);
    EXPECT_DOUBLE_EQ(R.GetSegment(0).P2.X, 2.0); // the other end stays

    const TEdge& S = P.Model.Item(1);
    EXPECT_DOUBLE_EQ(S.GetSegment(1).P1.Y, -1.2);
    EXPECT_DOUBLE_EQ(S.GetSegment(0).P2.Y, -1.2);
    EXPECT_DOUBLE_EQ(S.GetSegment(2).P2.X, 2.4); // end point: P2 of the last record
    EXPECT_DOUBLE_EQ(S.GetSegment(2).P1.X, 1.0);

    // Moving on applies only the difference from the current value.
    P.SetParamValue(0, 0.5);
    EXPECT_DOUBLE_EQ(P.Model.Item(0).GetSegment(0).P1.X, 0.5);
    EXPECT_DOUBLE_EQ(P.Model.Item(1).GetSegment(2).P2.X, 3.0);
    P.SetParamValue(0, 0.0);
    EXPECT_DOUBLE_EQ(P.Model.Item(0).GetSegment(0).P1.X, 0.0);
    EXPECT_DOUBLE_EQ(P.Model.Item(0).GetSegment(3).P2.Y, 0.0);
}

TEST(OptFormulas, CylinderCentreRadiusAndSeveralParametersOnOneRecord) {
    TEdges M;
    M.Add(Semi3({-2, 0}, {-1, 0}, {1, 0}, {2, 0}, 0.0));
    M.Add(Cylinder({0, 1}, 0.2, 1.0, true, 0, 90, 0.5));
    TOptimizedParams P;
    ASSERT_TRUE(P.BuildObjects(M));
    ASSERT_EQ(P.ParamCount(), 1); // the slit
    const bool Slit = P.Model.Item(1).GetSegment(0).HasSlit();

    TParamInfo A;
    A.Name = "a";
    A.MaxValue = 1;
    A.Step = 0.1;
    A.Changes.push_back({1, 0, 1.0, ckX, "Цилиндр1"});
    A.Changes.push_back({1, 0, 0.1, ckRadius, "Цилиндр1"});
    P.AddParam(A);
    TParamInfo B = A;
    B.Name = "b";
    B.Changes = {{1, 0, -1.0, ckY, "Цилиндр1"}, {1, 0, 1.0, ckX, "Цилиндр1"}};
    P.AddParam(B);

    P.SetParamValue(1, 0.5);
    P.SetParamValue(2, 0.25);
    const TEdgeSegment C = P.Model.Item(1).GetSegment(0);
    EXPECT_DOUBLE_EQ(C.P1.X, 0.75);
    EXPECT_DOUBLE_EQ(C.P1.Y, 0.75);
    EXPECT_DOUBLE_EQ(C.P2.X, 0.25);
    EXPECT_EQ(C.HasSlit(), Slit); // the radius lives beside the flag, which stays

    // The slit velocity is a flow formula on record 1.
    P.SetParamValue(0, 2.0);
    EXPECT_DOUBLE_EQ(P.Model.Item(1).GetSegment(1).V, 2.0);
    EXPECT_DOUBLE_EQ(P.Model.Item(1).GetSegment(0).V, 1.0); // rotation speed stays
    // Suction sum stops at the first geometric parameter.
    EXPECT_DOUBLE_EQ(P.SuctionSum(), 2.0);
}

TEST(OptParams, AddDeleteReplaceAndExactNames) {
    TOptimizedParams P;
    TParamInfo A;
    A.Name = "h";
    P.AddParam(A);
    A.Name = "w";
    P.AddParam(A);
    EXPECT_TRUE(P.ParamExists("h"));
    EXPECT_FALSE(P.ParamExists("H"));
    EXPECT_FALSE(P.ParamExists("h "));
    P.DeleteParam(5);
    P.DeleteParam(-1);
    P.ReplaceParam(2, A);
    EXPECT_EQ(P.ParamCount(), 2);
    A.Name = "k";
    P.ReplaceParam(0, A);
    EXPECT_EQ(P.GetParam(0).Name, "k");
    P.DeleteParam(0);
    ASSERT_EQ(P.ParamCount(), 1);
    EXPECT_EQ(P.GetParam(0).Name, "w");
    EXPECT_EQ(P.SuctionSum(), 0.0);
    P.ClearParams();
    EXPECT_EQ(P.ParamCount(), 0);
    EXPECT_THROW(P.GetParam(0), TKalvexError);
    EXPECT_THROW(P.SetParamValue(0, 1.0), TKalvexError);
}
