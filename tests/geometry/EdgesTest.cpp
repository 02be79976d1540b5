#include "ModelBuilders.h"
#include "geometry/uEdges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>

using namespace kalvex;
using namespace kalvex::test;

namespace {

TRealPoint P(double X, double Y) {
    return RealPoint(X, Y);
}

// Unit square, counter-clockwise; sides 0 (bottom), 1 (right), 2 (top), 3 (left).
TEdge Square(double VBottom, double VRight, double VTop, double VLeft) {
    return Polygon({P(0, 0), P(1, 0), P(1, 1), P(0, 1)}, {VBottom, VRight, VTop, VLeft});
}

} // namespace

TEST(EdgeSegment, VariantSharesItsEightBytes) {
    TEdgeSegment S;
    EXPECT_FALSE(S.EqualElements());
    S.SetVortexStep(0.25);
    EXPECT_EQ(S.VortexStep(), 0.25);
    double Raw;
    std::memcpy(&Raw, S.DiscrVariant.data(), sizeof Raw);
    EXPECT_EQ(Raw, 0.25);

    S.DiscrVariant = {};
    S.SetEqualElements(true);
    EXPECT_TRUE(S.EqualElements());
    EXPECT_EQ(S.DiscrVariant[0], 1);
    EXPECT_NE(S.VortexStep(), 0.0); // the same storage, seen as a double
    S.SetEqualElements(false);
    EXPECT_EQ(S.DiscrVariant[0], 0);
}

TEST(EdgeSegment, HasSlitIsTheFirstByteOfP2Y) {
    TEdgeSegment S;
    S.P2 = P(0.5, 123.0);
    S.SetHasSlit(true);
    EXPECT_TRUE(S.HasSlit());
    unsigned char B[8];
    std::memcpy(B, &S.P2.Y, 8);
    EXPECT_EQ(B[0], 1);
    for (int I = 1; I < 8; ++I)
        EXPECT_EQ(B[I], 0) << I;
    EXPECT_EQ(S.P2.X, 0.5);
    S.SetHasSlit(false);
    EXPECT_FALSE(S.HasSlit());
    EXPECT_EQ(S.P2.Y, 0.0);
}

TEST(EdgeLists, AddDeleteCopy) {
    TEdges M;
    M.Add(Square(0, 0, 0, 0));
    M.Add(Cylinder(P(5, 5), 1));
    M.Delete(7);
    M.Delete(-1);
    EXPECT_EQ(M.Count(), 2);
    M.Item(0).DeleteSegment(4);
    M.Item(0).DeleteSegment(-1);
    EXPECT_EQ(M.Item(0).Count(), 4);
    M.Item(0).DeleteSegment(1);
    EXPECT_EQ(M.Item(0).Count(), 3);
    EXPECT_EQ(M.Item(0).GetSegment(1).P1.X, 1); // the former top side
    EXPECT_EQ(M.Item(0).GetSegment(1).P1.Y, 1);

    TEdges Copy;
    Copy.Add(Square(1, 1, 1, 1));
    M.CopyTo(Copy);
    ASSERT_EQ(Copy.Count(), 2);
    EXPECT_EQ(Copy.Item(1).Kind, ekCylinder);
    Copy.Item(0).Segments[0].V = 9;
    EXPECT_EQ(M.Item(0).Segments[0].V, 0); // deep copy
    M.Delete(0);
    EXPECT_EQ(M.Count(), 1);
    EXPECT_EQ(M.Last().Kind, ekCylinder);
    M.Clear();
    EXPECT_EQ(M.Count(), 0);
}

TEST(EdgeQueries, EmptyModel) {
    const TEdges M;
    EXPECT_EQ(M.TotalFlow(), 0);
    EXPECT_EQ(M.InflowCount(), 0);
    int E = 5, S = 5;
    M.FindFirstInflow(E, S);
    EXPECT_EQ(E, -1);
    EXPECT_EQ(S, -1);
    double Lo = 9, Hi = 9;
    M.SpeedRange(Lo, Hi);
    EXPECT_EQ(Lo, 0);
    EXPECT_EQ(Hi, 0);
    EXPECT_TRUE(M.IsValid());
    TRealPoint TL{7, 7}, BR{8, 8};
    M.GetBounds(TL, BR);
    EXPECT_EQ(TL.X, 7);
    EXPECT_EQ(BR.Y, 8);
    EXPECT_FALSE(M.HasSemiInfinite());
    EXPECT_FALSE(M.HasRotatingCylinder());
    EXPECT_EQ(M.SegmentLength(0, 0), 0);
}

TEST(EdgeQueries, TotalFlowOfStraightRegions) {
    TEdges M;
    M.Add(Square(-2, 0, 2, 0));
    EXPECT_EQ(M.TotalFlow(), 0);
    M.Item(0).Segments[2].V = 1;
    EXPECT_EQ(M.TotalFlow(), -1);

    // Semi-infinite ends count with their finite length only.
    TEdges S;
    S.Add(Chain({P(3, 0), P(1, 0), P(0, 0), P(0, -4)}, {1, 2, 0.5}));
    EXPECT_DOUBLE_EQ(S.TotalFlow(), 1 * 2 + 2 * 1 + 0.5 * 4);
    EXPECT_EQ(S.SegmentLength(0, 2), 4);
    EXPECT_EQ(S.SegmentLength(0, 3), 0);
    EXPECT_EQ(S.SegmentLength(1, 0), 0);
}

TEST(EdgeQueries, TotalFlowThroughSlits) {
    TEdges M;
    M.Add(Cylinder(P(0, 0), 0.5, 3.0, true, 0, 90, -4));
    EXPECT_NEAR(M.TotalFlow(), 0.5 * -4 * std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(M.SegmentLength(0, 1), 0.5 * std::sqrt(2.0), 1e-15);
    EXPECT_EQ(M.SegmentLength(0, 0), 0);
    EXPECT_EQ(M.InflowCount(), 1);

    // Without the slit flag the cylinder adds nothing but still counts as an inflow.
    M.Item(0).Segments[0].SetHasSlit(false);
    EXPECT_EQ(M.TotalFlow(), 0);
    EXPECT_EQ(M.InflowCount(), 1);
    // The rotation speed never counts as flow.
    M.Item(0).Segments[1].V = 0;
    EXPECT_EQ(M.TotalFlow(), 0);
    EXPECT_EQ(M.InflowCount(), 0);
}

TEST(EdgeQueries, InflowCountAndFirstInflow) {
    TEdges M;
    M.Add(Square(0, 0, 0, 0));
    M.Add(Cylinder(P(5, 0), 0.5, 0, false, 0, 0, -1)); // record 1 V < 0, no slit
    M.Add(Square(-1, 0, -3, 2));
    M.Item(2).Segments[0].P1 = P(10, 10); // geometry does not matter here
    EXPECT_EQ(M.InflowCount(), 3);
    int E, S;
    M.FindFirstInflow(E, S);
    EXPECT_EQ(E, 1);
    EXPECT_EQ(S, 1);

    M.Item(1).Segments[1].V = 0;
    M.FindFirstInflow(E, S);
    EXPECT_EQ(E, 2);
    EXPECT_EQ(S, 0);
    M.Item(2).Segments[0].V = 0;
    M.FindFirstInflow(E, S);
    EXPECT_EQ(E, 2);
    EXPECT_EQ(S, 2);
    EXPECT_EQ(M.InflowCount(), 1);
}

TEST(EdgeQueries, RotatingAndSemiInfinite) {
    TEdges M;
    M.Add(Cylinder(P(0, 0), 1, 0, true, 0, 10, 5));
    EXPECT_FALSE(M.HasRotatingCylinder()); // slit velocity is not rotation
    M.Item(0).Segments[0].V = -0.1;
    EXPECT_TRUE(M.HasRotatingCylinder());
    EXPECT_FALSE(M.HasSemiInfinite());
    M.Add(Chain({P(5, 5), P(6, 5)}));
    EXPECT_TRUE(M.HasSemiInfinite());
}

TEST(EdgeQueries, SpeedRangeRules) {
    auto Range = [](std::vector<double> Vs, bool Semi = false) {
        TEdges M;
        TEdge E = Polygon({P(0, 0), P(1, 0), P(1, 1), P(0, 1)});
        for (std::size_t I = 0; I < Vs.size(); ++I)
            E.Segments[I].V = Vs[I];
        M.Add(E);
        if (Semi)
            M.Add(Chain({P(5, 0), P(6, 0)}));
        double Lo, Hi;
        M.SpeedRange(Lo, Hi);
        return std::pair(Lo, Hi);
    };
    EXPECT_EQ(Range({1, -10}), std::pair(1.0, 2.0)); // 7·1 < 10
    EXPECT_EQ(Range({1, 5}), std::pair(1.0, 2.5));   // 3·1 < 5
    EXPECT_EQ(Range({1, 2}), std::pair(1.0, 2.0));
    // The comparisons are strict.
    EXPECT_EQ(Range({1, 7}), std::pair(1.0, 3.5));
    EXPECT_EQ(Range({1, 7.5}), std::pair(1.0, 1.5));
    EXPECT_EQ(Range({1, 3}), std::pair(1.0, 3.0));
    EXPECT_EQ(Range({0, 0, -3}), std::pair(3.0, 3.0));
    EXPECT_EQ(Range({1, 2}, true), std::pair(0.0, 0.4));
    EXPECT_EQ(Range({}, true), std::pair(0.0, 0.0));

    // Both cylinder records count: rotation speed and slit velocity.
    TEdges C;
    C.Add(Cylinder(P(0, 0), 1, -1, false, 0, 0, 4));
    double Lo, Hi;
    C.SpeedRange(Lo, Hi);
    EXPECT_EQ(Lo, 1);
    EXPECT_EQ(Hi, 2);
}

TEST(EdgeQueries, BoundsIncludeTailsAndDiscs) {
    TEdges M;
    M.Add(Chain({P(1, 0), P(0.05, 0), P(-0.05, 0), P(-1, 0)}));
    TRealPoint TL, BR;
    M.GetBounds(TL, BR);
    EXPECT_DOUBLE_EQ(TL.X, -1.1);
    EXPECT_DOUBLE_EQ(TL.Y, 0);
    EXPECT_DOUBLE_EQ(BR.X, 1.1);
    EXPECT_DOUBLE_EQ(BR.Y, 0);

    // Oblique tails reach 0.1 m further along their own direction.
    TEdges O;
    O.Add(Chain({P(3, 4), P(0, 0), P(0, -1)}));
    O.GetBounds(TL, BR);
    EXPECT_DOUBLE_EQ(TL.X, 0);
    EXPECT_DOUBLE_EQ(TL.Y, 4.08);
    EXPECT_DOUBLE_EQ(BR.X, 3.06);
    EXPECT_DOUBLE_EQ(BR.Y, -1.1);

    // A cylinder first: the box starts at its lower-left corner and grows.
    TEdges C;
    C.Add(Cylinder(P(2, 3), 0.5));
    C.Add(Square(0, 0, 0, 0));
    C.GetBounds(TL, BR);
    EXPECT_EQ(TL.X, 0);
    EXPECT_EQ(TL.Y, 3.5);
    EXPECT_EQ(BR.X, 2.5);
    EXPECT_EQ(BR.Y, 0);
}

TEST(EdgeHits, PointOnBoundary) {
    TEdges M;
    M.Add(Square(0, 0, 0, 0));
    M.Add(Cylinder(P(5, 5), 1));
    M.Add(Chain({P(20, 0), P(10, 0), P(10, -3), P(20, -3)}));
    EXPECT_TRUE(M.PointOnBoundary(P(0.5, 0.001), 0.01));
    EXPECT_FALSE(M.PointOnBoundary(P(0.5, 0.5), 0.01));
    EXPECT_TRUE(M.PointOnBoundary(P(5.2, 5.3), 0.01)); // anywhere in the disc
    EXPECT_TRUE(M.PointOnBoundary(P(6.005, 5), 0.01));
    EXPECT_FALSE(M.PointOnBoundary(P(6.02, 5), 0.01));
    EXPECT_TRUE(M.PointOnBoundary(P(1000, 0), 0.01));  // first ray
    EXPECT_TRUE(M.PointOnBoundary(P(1000, -3), 0.01)); // last ray
    EXPECT_TRUE(M.PointOnBoundary(P(10, -1.5), 0.01)); // middle segment
    EXPECT_FALSE(M.PointOnBoundary(P(9, 0), 0.01));    // behind the ray's origin

    EXPECT_FALSE(M.PointOnBoundaryExcept(P(5.2, 5.3), 1, false, 0.01));
    EXPECT_TRUE(M.PointOnBoundaryExcept(P(5.2, 5.3), 1, true, 0.01));
    // Only cylinders are passed over.
    EXPECT_TRUE(M.PointOnBoundaryExcept(P(0.5, 0), 0, false, 0.01));
}

TEST(EdgeHits, SegmentHitsBoundaryReportsTheSegment) {
    TEdges M;
    M.Add(Square(0, 0, 3, 0));
    TEdgeSegment Hit;
    TRealPoint X;
    EXPECT_TRUE(M.SegmentHitsBoundary(P(0.5, 0.5), P(0.5, 2), &Hit, &X));
    EXPECT_EQ(Hit.V, 3);
    EXPECT_DOUBLE_EQ(X.X, 0.5);
    EXPECT_DOUBLE_EQ(X.Y, 1);
    EXPECT_FALSE(M.SegmentHitsBoundary(P(0.25, 0.25), P(0.75, 0.75)));
    EXPECT_TRUE(M.SegmentHitsBoundary(P(-1, 0.5), P(2, 0.5)));

    // Both rays of a semi-infinite region: the one nearer the start of the step wins.
    TEdges S;
    S.Add(Chain({P(0, 10), P(0, 0), P(10, 0), P(10, 10)}, {1, 2, 3}));
    EXPECT_TRUE(S.SegmentHitsBoundary(P(-1, 50), P(11, 50), &Hit, &X));
    EXPECT_EQ(Hit.V, 1);
    EXPECT_DOUBLE_EQ(X.X, 0);
    EXPECT_DOUBLE_EQ(X.Y, 50);
    EXPECT_TRUE(S.SegmentHitsBoundary(P(11, 50), P(-1, 50), &Hit, &X));
    EXPECT_EQ(Hit.V, 3);
    EXPECT_DOUBLE_EQ(X.X, 10);
    EXPECT_TRUE(S.SegmentHitsBoundary(P(5, -1), P(5, 1), &Hit, &X));
    EXPECT_EQ(Hit.V, 2);
    EXPECT_FALSE(S.SegmentHitsBoundary(P(1, 1), P(9, 9)));

    // A cylinder is met where the step enters its disc, on the tangent there; a turning
    // surface is a wall, a slit (here from 150 to 210 degrees) carries its velocity.
    TEdges C;
    C.Add(Cylinder(P(0, 0), 1, 2.0, true, 150, 210, -4));
    EXPECT_TRUE(C.SegmentHitsBoundary(P(-5, 0.5), P(5, 0.5), &Hit, &X));
    EXPECT_EQ(Hit.V, -4);
    EXPECT_NEAR(X.X, -std::sqrt(0.75), 1e-12);
    EXPECT_NEAR(X.Y, 0.5, 1e-12);
    EXPECT_NEAR(DotProduct(Hit.P2 - Hit.P1, X), 0, 1e-12);
    EXPECT_TRUE(C.SegmentHitsBoundary(P(0.5, 5), P(0.5, -5), &Hit, &X));
    EXPECT_EQ(Hit.V, 0);
    EXPECT_NEAR(X.Y, std::sqrt(0.75), 1e-12);
    EXPECT_FALSE(C.SegmentHitsBoundary(P(-5, 1.5), P(5, 1.5)));
}

TEST(EdgeHits, AStepThroughSeveralWallsMeetsTheNearest) {
    TEdgeSegment Hit;
    TRealPoint X;
    // A plate 1 cm thick whose bottom face is listed first, crossed from above.
    TEdges Plate;
    Plate.Add(Polygon({P(0, 0), P(1, 0), P(1, 0.01), P(0, 0.01)}, {1, 2, 3, 4}));
    EXPECT_TRUE(Plate.SegmentHitsBoundary(P(0.5, 0.03), P(0.5, -0.02), &Hit, &X));
    EXPECT_EQ(Hit.V, 3);
    EXPECT_DOUBLE_EQ(X.Y, 0.01);
    EXPECT_TRUE(Plate.SegmentHitsBoundary(P(0.5, -0.02), P(0.5, 0.03), &Hit, &X));
    EXPECT_EQ(Hit.V, 1);
    EXPECT_DOUBLE_EQ(X.Y, 0);

    // A cylinder in front of a wall listed before it.
    TEdges M;
    M.Add(Square(5, 5, 5, 5));
    M.Add(Cylinder(P(-2, 0.5), 0.5));
    EXPECT_TRUE(M.SegmentHitsBoundary(P(-4, 0.5), P(0.5, 0.5), &Hit, &X));
    EXPECT_EQ(Hit.V, 0);
    EXPECT_NEAR(X.X, -2.5, 1e-12);
    EXPECT_NEAR(X.Y, 0.5, 1e-12);
    // Past the cylinder the wall is met.
    EXPECT_TRUE(M.SegmentHitsBoundary(P(-1, 0.5), P(0.5, 0.5), &Hit, &X));
    EXPECT_EQ(Hit.V, 5);
    EXPECT_DOUBLE_EQ(X.X, 0);
}

TEST(EdgeHits, CrossingTestsSkipTheirOwnPart) {
    TEdges M;
    M.Add(Square(0, 0, 0, 0));
    // A segment overlapping side 0 of the diagonal-free square along its own line.
    const TRealPoint A = P(-0.5, 0.5), B = P(0.5, 0.5);
    EXPECT_TRUE(M.SegmentCrossesOthers(A, B, -1, -1));
    EXPECT_FALSE(M.SegmentCrossesOthers(A, B, 3, 0)); // the left side is skipped
    EXPECT_TRUE(M.SegmentCrossesOthers(A, B, 3, 1));  // wrong boundary: not skipped

    EXPECT_TRUE(M.RayHitsBoundary(P(-5, 0.5), P(-4, 0.5)));
    EXPECT_FALSE(M.RayHitsBoundary(P(-5, 0.5), P(-6, 0.5)));

    TEdges S;
    S.Add(Chain({P(0, 10), P(0, 0), P(10, 0), P(10, 10)}));
    EXPECT_TRUE(S.RayHitsBoundary(P(-5, 5), P(-4, 5)));
    EXPECT_TRUE(S.RayHitsBoundary(P(5, 5), P(5, -4)));
    EXPECT_FALSE(S.RayHitsBoundary(P(5, 5), P(5, 6)));
    // The region's own first ray, tested against itself and its last ray.
    EXPECT_FALSE(S.RayCrossesOthers(P(0, 0), P(0, 10), 0, 0));
    EXPECT_FALSE(S.RayCrossesOthers(P(10, 0), P(10, 10), 2, 0));

    TEdges C;
    C.Add(Cylinder(P(0, 0), 1));
    EXPECT_TRUE(C.RayHitsBoundary(P(-5, 0.5), P(-4, 0.5)));
    EXPECT_FALSE(C.RayHitsBoundary(P(-5, 0.5), P(-6, 0.5)));
}

TEST(EdgeValidity, ConflictsBetweenBoundaries) {
    TEdges M;
    M.Add(Square(0, 0, 0, 0));
    EXPECT_TRUE(M.IsValid());
    // A second square sharing only a corner is fine.
    M.Add(Polygon({P(1, 1), P(2, 1), P(2, 2), P(1, 2)}));
    EXPECT_TRUE(M.IsValid());
    // One that overlaps is not.
    M.Add(Polygon({P(0.5, 0.5), P(3, 0.5), P(3, 3), P(0.5, 3)}));
    EXPECT_FALSE(M.IsValid());
    M.Delete(2);

    // A semi-infinite region whose first ray (from (-3, 0.5) through (-1, 0.5) on) cuts
    // the square although its first segment stays clear of it.
    M.Add(Chain({P(-1, 0.5), P(-3, 0.5), P(-3, -3), P(-10, -3)}));
    EXPECT_TRUE(M.SegmentHitsBoundary(P(-0.5, 0.25), P(-0.5, 0.75)));
    EXPECT_FALSE(M.IsValid());
    M.Item(2).Segments[0].P1 = P(-5, 5);
    M.Item(2).Segments[0].P2 = P(-3, 5);
    M.Item(2).Segments[1].P1 = P(-3, 5);
    EXPECT_TRUE(M.IsValid());

    // Cylinders: apart, touching (centre distance = sum of radii) and overlapping.
    TEdges C;
    C.Add(Cylinder(P(0, 0), 1));
    C.Add(Cylinder(P(3, 0), 1));
    EXPECT_TRUE(C.IsValid());
    C.Item(1).Segments[0].P1 = P(2, 0);
    EXPECT_TRUE(C.IsValid());
    C.Item(1).Segments[0].P1 = P(1.9, 0);
    EXPECT_FALSE(C.IsValid());

    // A cylinder too close to a wall.
    TEdges W;
    W.Add(Chain({P(2, 0), P(-2, 0)}));
    W.Add(Cylinder(P(0, 0.5), 0.2));
    EXPECT_TRUE(W.IsValid());
    W.Item(1).Segments[0].P2.X = 0.6;
    EXPECT_FALSE(W.IsValid());
}

TEST(EdgeValidity, SemiInfiniteChainsAgainstThemselves) {
    TEdges M;
    M.Add(Chain({P(1, 0), P(-1, 0)})); // one segment: both rays
    EXPECT_TRUE(M.IsValid());
    M.Clear();
    M.Add(Chain({P(1, 1), P(0, 0), P(-1, -1)})); // straight oblique chain
    EXPECT_TRUE(M.IsValid());
    M.Clear();
    M.Add(Chain({P(2, 0), P(1, 0), P(0, 0), P(-1, 0)})); // straight horizontal chain
    EXPECT_TRUE(M.IsValid());
    M.Clear();
    // Segments folded back onto their neighbours, on any line, or lying on a ray.
    for (const auto& Folded :
         {Chain({P(0, 2), P(0, 0), P(0, 1), P(1, 1)}), Chain({P(2, 0), P(0, 0), P(1, 0), P(1, 1)}),
          Chain({P(3, 3), P(0, 0), P(1, 1), P(1, 2)}), Chain({P(3, 0), P(0, 0), P(0, 1), P(0, -1)}),
          Polygon({P(0, 0), P(0, 1), P(1, 1), P(0, 0.5)}),
          Polygon({P(0, 0), P(1, 1), P(2, 0), P(0.5, 0.5)})}) {
        M.Clear();
        M.Add(Folded);
        EXPECT_FALSE(M.IsValid()) << Folded.Segments[1].P2.X << " " << Folded.Segments[1].P2.Y;
    }
    M.Clear();
    // A chain whose last ray comes back across its first segment.
    M.Add(Chain({P(0, 5), P(0, 0), P(3, 0), P(3, 1), P(-5, 1)}));
    EXPECT_FALSE(M.IsValid());
    // Two rays of different chains crossing far away.
    TEdges R;
    R.Add(Chain({P(0, -1), P(0, 0), P(1, 0), P(1, -1)}));
    R.Add(Chain({P(60, -50), P(50, -50), P(50, -40)}));
    EXPECT_TRUE(R.IsValid());
    R.Delete(1);
    R.Add(Chain({P(40, -50), P(50, -50), P(50, -40)}));
    EXPECT_FALSE(R.IsValid());
}

TEST(EdgeEdits, InvertReversesTheChain) {
    TEdge E = Chain({P(0, 0), P(1, 0), P(1, 1), P(2, 1)}, {1, 2, 3});
    E.Segments[0].BaseLength = 0.5;
    E.Invert();
    ASSERT_EQ(E.Count(), 3);
    EXPECT_EQ(E.Segments[0].P1.X, 2);
    EXPECT_EQ(E.Segments[0].P2.X, 1);
    EXPECT_EQ(E.Segments[0].P2.Y, 1);
    EXPECT_EQ(E.Segments[0].V, 3);
    EXPECT_EQ(E.Segments[1].V, 2);
    EXPECT_EQ(E.Segments[2].V, 1);
    EXPECT_EQ(E.Segments[2].BaseLength, 0.5);
    EXPECT_EQ(E.Segments[2].P2.X, 0);
    for (int I = 0; I + 1 < E.Count(); ++I)
        EXPECT_TRUE(PointsEqual(E.Segments[I].P2, E.Segments[I + 1].P1));

    TEdge C = Cylinder(P(1, 2), 0.5, 1, true, 10, 20, 3);
    C.Invert();
    EXPECT_EQ(C.Segments[0].P1.X, 1);
    EXPECT_EQ(C.Segments[1].P1.X, 10);
}

TEST(EdgeEdits, ConvertToArcSemicircle) {
    TEdge E(ekSemiInfinite);
    TEdgeSegment S = Seg(P(0, 0), P(2, 0), 1.5);
    S.DiscretizationType = 1;
    S.SetVortexStep(0.01);
    E.AddSegment(S);
    E.ConvertToArc(0, 2, 1);
    ASSERT_EQ(E.Count(), 2);
    EXPECT_EQ(E.Segments[0].P1.X, 0);
    EXPECT_EQ(E.Segments[0].P1.Y, 0);
    EXPECT_NEAR(E.Segments[0].P2.X, 1, 1e-12);
    EXPECT_NEAR(E.Segments[0].P2.Y, 1, 1e-12);
    EXPECT_TRUE(PointsEqual(E.Segments[0].P2, E.Segments[1].P1));
    EXPECT_EQ(E.Segments[1].P2.X, 2);
    EXPECT_EQ(E.Segments[1].P2.Y, 0);
    for (const auto& Piece : E.Segments) {
        EXPECT_EQ(Piece.V, 1.5);
        EXPECT_EQ(Piece.DiscretizationType, 1);
        EXPECT_EQ(Piece.VortexStep(), 0.01);
    }
}

TEST(EdgeEdits, ConvertToArcInsideAClosedChain) {
    TEdge E = Polygon({P(0, 0), P(4, 0), P(4, 4), P(0, 4)}, {0, 2, 0, 0});
    // The right side (4,0)->(4,4), bulging to the left of travel: into the square.
    E.ConvertToArc(1, 5, 1);
    ASSERT_EQ(E.Count(), 8);
    EXPECT_EQ(E.Segments[0].P2.X, 4);
    for (int I = 0; I < E.Count(); ++I) {
        const auto& A = E.Segments[static_cast<std::size_t>(I)];
        const auto& B = E.Segments[static_cast<std::size_t>((I + 1) % E.Count())];
        EXPECT_TRUE(PointsEqual(A.P2, B.P1)) << I;
    }
    // Arc pieces: V of the converted side, points on one circle through the ends and
    // the apex (3, 2); that circle has centre (5.5, 2) and radius 2.5.
    for (int I = 1; I <= 5; ++I) {
        const auto& A = E.Segments[static_cast<std::size_t>(I)];
        EXPECT_EQ(A.V, 2);
        EXPECT_NEAR(Distance(A.P2, P(5.5, 2)), 2.5, 1e-12);
        EXPECT_LE(A.P2.X, 4 + 1e-12);
    }
    // The middle piece lies symmetric about the apex.
    EXPECT_NEAR(E.Segments[3].P1.Y + E.Segments[3].P2.Y, 4, 1e-12);
    EXPECT_NEAR(E.Segments[3].P1.X, E.Segments[3].P2.X, 1e-12);
    EXPECT_EQ(E.Segments[6].P1.X, 4);
    EXPECT_EQ(E.Segments[6].P1.Y, 4);
    EXPECT_EQ(E.Segments[6].V, 0);

    // A half circle travelled the other way bulges to the left of its own travel,
    // downwards, through the apex (1, -1).
    TEdge D = Chain({P(2, 0), P(0, 0)});
    D.ConvertToArc(0, 4, 1);
    ASSERT_EQ(D.Count(), 4);
    EXPECT_NEAR(D.Segments[1].P2.X, 1, 1e-12);
    EXPECT_NEAR(D.Segments[1].P2.Y, -1, 1e-12);
    EXPECT_EQ(D.Segments[3].P2.X, 0);
    for (const auto& Piece : D.Segments)
        EXPECT_LE(Piece.P2.Y, 1e-12);

    // A flat arc whose polar angles straddle the positive X axis.
    TEdge W = Chain({P(0, 1), P(0, -1)});
    W.ConvertToArc(0, 2, 0.25);
    EXPECT_NEAR(W.Segments[0].P2.X, 0.25, 1e-12);
    EXPECT_NEAR(W.Segments[0].P2.Y, 0, 1e-12);

    // Out-of-range indexes are ignored.
    D.ConvertToArc(9, 3, 1);
    EXPECT_EQ(D.Count(), 4);
}

TEST(EdgeEdits, RotateAndShiftSlits) {
    TEdges M;
    M.Add(Cylinder(P(0, 0), 0.5, 1.0, true, 10, 40, 1));
    M.Add(Cylinder(P(5, 0), 0.5, 1.0, false, 10, 40, 1));
    // Δ = V0/R·t/π·180 = 2·(π/4)/π·180 = 90 degrees.
    M.RotateSlits(std::numbers::pi / 4);
    EXPECT_NEAR(M.Item(0).Segments[1].P1.X, 100, 1e-12);
    EXPECT_NEAR(M.Item(0).Segments[1].P1.Y, 130, 1e-12);
    EXPECT_EQ(M.Item(1).Segments[1].P1.X, 10); // no slit: unchanged
    M.Item(0).Segments[0].V = -0.5;
    M.RotateSlits(std::numbers::pi / 4);
    EXPECT_NEAR(M.Item(0).Segments[1].P1.X, 55, 1e-12);

    M.ShiftSlitAngles(-55);
    EXPECT_NEAR(M.Item(0).Segments[1].P1.X, 0, 1e-12);
    EXPECT_NEAR(M.Item(0).Segments[1].P1.Y, 30, 1e-12);
    EXPECT_EQ(M.Item(1).Segments[1].P1.Y, 40);
}

TEST(EdgeRobustness, BoundariesWithoutSegmentsAreSkipped) {
    // The canvas appends a closed region before its first segment exists.
    TEdges M;
    M.Add(TEdge(ekClosed));
    M.Add(Square(1, 0, 0, 0));
    M.Add(TEdge(ekSemiInfinite));
    M.Add(TEdge(ekCylinder));
    EXPECT_EQ(M.TotalFlow(), 1);
    EXPECT_TRUE(M.IsValid());
    EXPECT_FALSE(M.PointOnBoundary(P(0.5, 0.5), 0.01));
    EXPECT_FALSE(M.SegmentHitsBoundary(P(0.2, 0.2), P(0.3, 0.3)));
    EXPECT_TRUE(M.RayHitsBoundary(P(0.5, 0.5), P(0.5, 0.6)));
    TRealPoint TL, BR;
    M.GetBounds(TL, BR);
    EXPECT_EQ(TL.Y, 1);
    EXPECT_EQ(BR.X, 1);
    M.RotateSlits(1);
    EXPECT_FALSE(M.HasRotatingCylinder());
    EXPECT_EQ(M.InflowCount(), 0);

    // An index outside the model is the core's own error with a message, not a
    // container's exception.
    const auto Says = [](const std::function<void()>& F, const std::string& Text) {
        try {
            F();
            ADD_FAILURE() << "no error for " << Text;
        } catch (const TKalvexError& E) {
            EXPECT_EQ(E.what(), Text);
        }
    };
    Says([&] { (void)M.Item(4); }, "Нет границы с номером 4");
    Says([&] { (void)M.Item(-1); }, "Нет границы с номером -1");
    Says([&] { (void)M.Item(1).GetSegment(4); }, "Нет отрезка с номером 4");
    Says([&] { M.Item(0).SetSegment(0, {}); }, "Нет отрезка с номером 0");
    Says([&] { (void)M.Item(2).LastSegment(); }, "Нет отрезка с номером -1");
    Says([&] { (void)TEdges{}.Last(); }, "Нет границы с номером -1");
}

namespace {

TEST(EdgesAir, TheAirLiesOnTheRightOfEveryBoundaryAndOutsideCylinders) {
    // A room drawn clockwise holds the air; a body in it, drawn the other way, does not.
    const TEdges Room =
        ModelOf({Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}}),
                 Polygon({{0.5, 0.5}, {1, 0.5}, {1, 1}, {0.5, 1}}), Cylinder({1.5, 1.5}, 0.2)});
    EXPECT_TRUE(Room.PointInAir(P(0.25, 0.25)));
    EXPECT_TRUE(Room.PointInAir(P(1.2, 0.75)));
    EXPECT_FALSE(Room.PointInAir(P(0.75, 0.75)));
    EXPECT_FALSE(Room.PointInAir(P(1.55, 1.45)));
    EXPECT_FALSE(Room.PointInAir(P(3, 1)));
    EXPECT_TRUE(ModelOf({Polygon({{0, 0}, {1, 0}, {1, 1}})}).PointInAir(P(3, 1)));
    // A flanged wall along y = 0, air above, also far along the rays.
    const TEdges Wall = FlangedSlot(0.1, 1.0);
    for (const double X : {-1e5, -2.0, 0.0, 0.5, 3.0, 1e5}) {
        EXPECT_TRUE(Wall.PointInAir(P(X, 0.01))) << X;
        EXPECT_FALSE(Wall.PointInAir(P(X, -0.01))) << X;
    }
    // A channel open upwards, drawn down its left side, along the floor, up its right:
    // the air is outside it; drawn the other way, inside.
    const std::vector<TRealPoint> U = {{0, 5}, {0, 0}, {1, 0}, {1, 5}};
    const TEdges Outside = ModelOf({Chain(U)});
    EXPECT_FALSE(Outside.PointInAir(P(0.5, 1)));
    EXPECT_FALSE(Outside.PointInAir(P(0.5, 100)));
    EXPECT_TRUE(Outside.PointInAir(P(-0.5, 1)));
    EXPECT_TRUE(Outside.PointInAir(P(0.5, -1)));
    const TEdges Inside = ModelOf({Chain({U.rbegin(), U.rend()})});
    EXPECT_TRUE(Inside.PointInAir(P(0.5, 1)));
    EXPECT_TRUE(Inside.PointInAir(P(0.5, 100)));
    EXPECT_FALSE(Inside.PointInAir(P(-0.5, 1)));
    // A single segment is a line: the air on its right.
    const TEdges Line = ModelOf({Chain({{0, 0}, {1, 1}})});
    EXPECT_TRUE(Line.PointInAir(P(1, 0)));
    EXPECT_FALSE(Line.PointInAir(P(0, 1)));
}

} // namespace
