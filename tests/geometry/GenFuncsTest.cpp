#include "geometry/GenFuncs.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <numbers>

using namespace kalvex;

namespace {

constexpr double Pi = std::numbers::pi;

TRealPoint P(double X, double Y) {
    return RealPoint(X, Y);
}

} // namespace

TEST(GenFuncsNumeric, ToleranceIsStrictAtOneE10) {
    double X = 1e-10;
    ZeroIfTiny(X);
    EXPECT_EQ(X, 1e-10);
    X = -9.9e-11;
    ZeroIfTiny(X);
    EXPECT_EQ(X, 0.0);
    X = 0.5;
    ZeroIfTiny(X);
    EXPECT_EQ(X, 0.5);

    EXPECT_EQ(SignEps(0.0), 0);
    EXPECT_EQ(SignEps(5e-11), 0);
    EXPECT_EQ(SignEps(-1e-10), -1);
    EXPECT_EQ(SignEps(1e-10), 1);
    EXPECT_EQ(SignEps(-3.0), -1);
}

TEST(GenFuncsNumeric, RoundEvenTakesHalvesToEven) {
    EXPECT_EQ(RoundEven(0.5), 0);
    EXPECT_EQ(RoundEven(1.5), 2);
    EXPECT_EQ(RoundEven(2.5), 2);
    EXPECT_EQ(RoundEven(3.5), 4);
    EXPECT_EQ(RoundEven(-0.5), 0);
    EXPECT_EQ(RoundEven(-1.5), -2);
    EXPECT_EQ(RoundEven(2.4999999), 2);
    EXPECT_EQ(RoundEven(2.5000001), 3);
    // Values no int can hold saturate instead of being undefined.
    EXPECT_EQ(RoundEven(1e20), INT_MAX);
    EXPECT_EQ(RoundEven(-1e20), INT_MIN);
    EXPECT_EQ(RoundEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(GenFuncsNumeric, AnglesAndMatrices) {
    EXPECT_DOUBLE_EQ(DegToRad(180), Pi);
    EXPECT_DOUBLE_EQ(DegToRad(-90), -Pi / 2);

    TRealMatr M;
    SetMatrSize(M, 3, 4);
    ASSERT_EQ(M.size(), 3u);
    for (const auto& Row : M) {
        ASSERT_EQ(Row.size(), 4u);
        for (double V : Row)
            EXPECT_EQ(V, 0.0);
    }
    M[1][2] = 7;
    SetMatrSize(M, 2, 2);
    EXPECT_EQ(M[1][1], 0.0);
    FreeMatr(M, 2);
    EXPECT_TRUE(M.empty());
}

TEST(GenFuncsVectors, BasicProducts) {
    EXPECT_EQ(CrossProduct(P(1, 2), P(3, 4)), 1 * 4 - 2 * 3);
    EXPECT_EQ(DotProduct(P(1, 2), P(3, 4)), 11);
    EXPECT_EQ(VectorLength(P(3, 4)), 5);
    EXPECT_EQ(Distance(P(1, 1), P(4, 5)), 5);

    TRealPoint R;
    RotateVector(P(1, 0), Pi / 2, R);
    EXPECT_NEAR(R.X, 0, 1e-15);
    EXPECT_NEAR(R.Y, 1, 1e-15);
    R = RotateVector(P(2, 1), Pi);
    EXPECT_NEAR(R.X, -2, 1e-15);
    EXPECT_NEAR(R.Y, -1, 1e-15);
}

TEST(GenFuncsVectors, AnglesStayInRange) {
    EXPECT_DOUBLE_EQ(AngleBetween(P(1, 0), P(0, 3)), Pi / 2);
    EXPECT_DOUBLE_EQ(AngleBetween(P(1, 0), P(-1, 0)), Pi);
    // Parallel vectors whose cosine rounds above 1 still give 0, not NaN.
    const double A = AngleBetween(P(0.1, 0.3), P(0.2, 0.6));
    EXPECT_FALSE(std::isnan(A));
    EXPECT_NEAR(A, 0, 1e-7);

    EXPECT_DOUBLE_EQ(HalfAngleSigned(P(1, 0), P(0, 1)), -Pi / 4);
    EXPECT_DOUBLE_EQ(HalfAngleSigned(P(0, 1), P(1, 0)), Pi / 4);
}

TEST(GenFuncsLines, CoefficientsAndDistance) {
    double A, B, C;
    LineCoefficients(P(1, 2), P(4, 6), A, B, C);
    EXPECT_EQ(A, 4);
    EXPECT_EQ(B, -3);
    EXPECT_EQ(LineValue(P(1, 2), A, B, C), 0);
    EXPECT_EQ(LineValue(P(4, 6), A, B, C), 0);
    EXPECT_DOUBLE_EQ(DistanceToLine(P(1 + 4, 2 - 3), P(1, 2), P(4, 6)), 5);

    // A value 5e-11 off the line is snapped to the line.
    LineCoefficients(P(0, 0), P(1, 0), A, B, C);
    EXPECT_EQ(LineValue(P(0.5, 5e-11), A, B, C), 0);
    EXPECT_NE(LineValue(P(0.5, 2e-10), A, B, C), 0);
    EXPECT_EQ(DistanceToLine(P(0.5, 5e-11), P(0, 0), P(1, 0)), 0);
}

TEST(GenFuncsLines, NormalIsOnTheRightOfTravel) {
    const TRealPoint N = UnitNormal(P(0, 0), P(1, 0));
    EXPECT_EQ(N.X, 0);
    EXPECT_EQ(N.Y, -1);
    TRealPoint N2;
    UnitNormal(P(0, 0), P(0, 2), N2);
    EXPECT_EQ(N2.X, 1);
    EXPECT_EQ(N2.Y, 0);
}

TEST(GenFuncsLines, ExactPredicates) {
    EXPECT_TRUE(PointsEqual(P(1, 2), P(1, 2)));
    EXPECT_FALSE(PointsEqual(P(1, 2), P(1, 2 + 1e-15)));
    EXPECT_TRUE(SegmentsParallel(P(0, 0), P(1, 1), P(5, 0), P(7, 2)));
    EXPECT_FALSE(SegmentsParallel(P(0, 0), P(1, 1), P(5, 0), P(7, 2.000001)));
    EXPECT_TRUE(PointInBox(P(0.5, 0.5), P(1, 1), P(0, 0)));
    EXPECT_FALSE(PointInBox(P(0, 0.5), P(0, 0), P(1, 1))); // on the edge
    EXPECT_FALSE(PointInBox(P(0.5, 0), P(0, 0), P(1, 0))); // flat box holds nothing
}

TEST(GenFuncsIntersect, ProperCrossingGivesThePoint) {
    TRealPoint X{-99, -99};
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(2, 2), P(0, 2), P(2, 0), &X));
    EXPECT_DOUBLE_EQ(X.X, 1);
    EXPECT_DOUBLE_EQ(X.Y, 1);
    // A horizontal first segment takes X from the second line.
    EXPECT_TRUE(SegmentsIntersect(P(0, 1), P(4, 1), P(1, 0), P(1, 3), &X));
    EXPECT_DOUBLE_EQ(X.X, 1);
    EXPECT_DOUBLE_EQ(X.Y, 1);
    EXPECT_TRUE(SegmentsIntersect(P(1, 0), P(1, 3), P(0, 1), P(4, 1), &X));
    EXPECT_DOUBLE_EQ(X.X, 1);
    EXPECT_DOUBLE_EQ(X.Y, 1);
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(2, 2), P(0, 2), P(2, 0)));
}

TEST(GenFuncsIntersect, TouchingIsNotCrossing) {
    TRealPoint X{-99, -99};
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(1, 1), P(1, 1), P(2, 0), &X)); // common end
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(2, 0), P(1, 0), P(1, 1), &X)); // T-junction
    EXPECT_FALSE(SegmentsIntersect(P(1, 0), P(1, 1), P(0, 0), P(2, 0), &X));
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(1, 0), P(2, -1), P(2, 1))); // apart
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(1, 1), P(0, 1), P(1, 2)));  // parallel
    EXPECT_EQ(X.X, -99);                                                  // untouched when false
    // An end 5e-11 (in line value) below the other segment's line counts as touching...
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(1, 0), P(0.5, -5e-11), P(0.5, 1)));
    // ...one clearly below is a crossing.
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(1, 0), P(0.5, -1e-9), P(0.5, 1)));
}

TEST(GenFuncsIntersect, CollinearOverlapOnAnyLine) {
    TRealPoint X{-99, -99};
    // Oblique: partial overlap, containment both ways.
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(2, 2), P(1, 1), P(3, 3), &X));
    EXPECT_EQ(X.X, 0);
    EXPECT_EQ(X.Y, 0);
    EXPECT_TRUE(SegmentsIntersect(P(1, 1), P(2, 2), P(0, 0), P(3, 3)));
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(3, 3), P(1, 1), P(2, 2)));
    // Oblique but disjoint, or only sharing an end.
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(1, 1), P(2, 2), P(3, 3)));
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(1, 1), P(1, 1), P(3, 3)));
    // The same on horizontal and vertical lines.
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(2, 0), P(1, 0), P(3, 0)));
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(3, 0), P(1, 0), P(2, 0)));
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(0, 2), P(0, 1), P(0, 3)));
    EXPECT_FALSE(SegmentsIntersect(P(0, 0), P(2, 0), P(2, 0), P(3, 0)));
    EXPECT_FALSE(SegmentsIntersect(P(0, 3), P(0, 2), P(0, 1), P(0, 0)));
    // A segment folded back onto its neighbour, and two equal segments.
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(0, 2), P(0, 2), P(0, 1)));
    EXPECT_TRUE(SegmentsIntersect(P(0, 0), P(1, 2), P(1, 2), P(0, 0)));
}

TEST(GenFuncsIntersect, RayAgainstSegment) {
    TRealPoint X{-99, -99};
    // Segment straddles the ray's line ahead of the ray: both when the second ray point
    // is past the segment and when it is short of it.
    EXPECT_TRUE(RaySegmentIntersect(P(0, 0), P(3, 0), P(1, -1), P(1, 1), &X));
    EXPECT_DOUBLE_EQ(X.X, 1);
    EXPECT_DOUBLE_EQ(X.Y, 0);
    EXPECT_TRUE(RaySegmentIntersect(P(0, 0), P(0.5, 0), P(1, -1), P(1, 1), &X));
    EXPECT_DOUBLE_EQ(X.X, 1);
    // Behind the ray's origin.
    EXPECT_FALSE(RaySegmentIntersect(P(0, 0), P(-1, 0), P(1, -1), P(1, 1)));
    // The segment misses the ray's line.
    EXPECT_FALSE(RaySegmentIntersect(P(0, 0), P(1, 0), P(1, 0.5), P(1, 1)));
    // Segment ends on the ray.
    EXPECT_FALSE(RaySegmentIntersect(P(0, 0), P(1, 0), P(2, 0), P(2, 1)));
}

TEST(GenFuncsIntersect, RayAgainstCollinearSegment) {
    TRealPoint X{-99, -99};
    // Ahead of the origin, beyond the ray's second point.
    EXPECT_TRUE(RaySegmentIntersect(P(0, 0), P(1, 0), P(2, 0), P(3, 0), &X));
    EXPECT_EQ(X.X, 0); // parallel: the crossing is the ray's origin
    EXPECT_TRUE(RaySegmentIntersect(P(0, 0), P(1, 1), P(2, 2), P(3, 3)));
    EXPECT_TRUE(RaySegmentIntersect(P(0, 0), P(4, 4), P(1, 1), P(2, 2))); // overlap
    // Behind the origin.
    EXPECT_FALSE(RaySegmentIntersect(P(0, 0), P(1, 0), P(-3, 0), P(-2, 0)));
    EXPECT_FALSE(RaySegmentIntersect(P(0, 0), P(1, 1), P(-3, -3), P(-2, -2)));
    // Reaching back to the origin only, and the straight continuation behind it.
    EXPECT_FALSE(RaySegmentIntersect(P(0, 0), P(1, 0), P(-1, 0), P(0, 0)));
    // Lying across the origin, or along the ray from it.
    EXPECT_TRUE(RaySegmentIntersect(P(0, 0), P(1, 0), P(-1, 0), P(5, 0)));
    EXPECT_TRUE(RaySegmentIntersect(P(0, 0), P(1, 0), P(0, 0), P(1, 0)));
}

TEST(GenFuncsIntersect, RaysAgainstRays) {
    // Crossing ahead of both origins.
    EXPECT_TRUE(RaysIntersect(P(0, 0), P(2, 2), P(0, 2), P(2, 0)));
    EXPECT_TRUE(RaysIntersect(P(0, 0), P(1, 0), P(5, -5), P(5, -4))); // found by the lines
    // The lines cross behind one of the rays.
    EXPECT_FALSE(RaysIntersect(P(0, 0), P(1, 0), P(5, -5), P(5, -6)));
    EXPECT_FALSE(RaysIntersect(P(0, 0), P(-1, 0), P(5, -5), P(5, -4)));
    // Parallel apart.
    EXPECT_FALSE(RaysIntersect(P(0, 0), P(1, 0), P(0, 1), P(1, 1)));
    // Collinear, facing each other, one after the other, and facing away.
    EXPECT_TRUE(RaysIntersect(P(0, 0), P(1, 0), P(5, 0), P(4, 0)));
    EXPECT_TRUE(RaysIntersect(P(0, 0), P(1, 0), P(5, 0), P(6, 0)));
    EXPECT_TRUE(RaysIntersect(P(5, 0), P(6, 0), P(0, 0), P(1, 0)));
    EXPECT_FALSE(RaysIntersect(P(0, 0), P(-1, 0), P(5, 0), P(6, 0)));
    EXPECT_FALSE(RaysIntersect(P(0, 0), P(-1, -1), P(5, 5), P(6, 6)));
    // A ray starting on the other ray's line only touches it.
    EXPECT_FALSE(RaysIntersect(P(0, 0), P(1, 0), P(2, 0), P(2, 1)));
}

TEST(GenFuncsPointOn, Segment) {
    const double Eps = 0.01;
    EXPECT_TRUE(PointOnSegment(P(0, 0), P(1, 0), P(0.5, 0.005), Eps));
    EXPECT_FALSE(PointOnSegment(P(0, 0), P(1, 0), P(0.5, 0.01), Eps)); // at Eps: off
    // Near one end, even behind it.
    EXPECT_TRUE(PointOnSegment(P(0, 0), P(1, 0), P(-0.005, 0), Eps));
    EXPECT_TRUE(PointOnSegment(P(0, 0), P(1, 0), P(1.004, 0.002), Eps));
    // On the line beyond P2, far from both ends.
    EXPECT_FALSE(PointOnSegment(P(0, 0), P(1, 0), P(1.5, 0), Eps));
    EXPECT_TRUE(PointOnRay(P(0, 0), P(1, 0), P(1.5, 0), Eps));
    EXPECT_TRUE(PointOnRay(P(0, 0), P(1, 1), P(100, 100.001), Eps));
    // Behind the ray's origin.
    EXPECT_FALSE(PointOnRay(P(0, 0), P(1, 0), P(-0.5, 0), Eps));
    EXPECT_TRUE(PointOnRay(P(0, 0), P(1, 0), P(-0.005, 0), Eps));
    // Off the line.
    EXPECT_FALSE(PointOnRay(P(0, 0), P(1, 0), P(5, 0.02), Eps));
    // A segment shorter than Eps: near both ends, decided by the projection.
    EXPECT_TRUE(PointOnSegment(P(0, 0), P(0.004, 0), P(0.002, 0.001), Eps));
    EXPECT_FALSE(PointOnSegment(P(0, 0), P(0.004, 0), P(-0.002, 0.001), Eps));
}
