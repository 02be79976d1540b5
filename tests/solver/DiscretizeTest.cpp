#include "SolverBuilders.h"
#include "TestSupport.h"
#include "base/uMessageNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// Every element's P1 is the next element's P2 within one boundary's run (exactly
// inside a piece; up to the rounding of the running point where pieces meet).
void ExpectChained(const TEdgeElements& E, int From, int To) {
    for (int K = From; K + 1 < To; ++K)
        EXPECT_NEAR(Distance(E.Elements[K].P1, E.Elements[K + 1].P2), 0.0, 1e-15)
            << "element " << K;
}

std::string RefusalOf(const std::function<void()>& F) {
    try {
        F();
    } catch (const TDiscretizationError& E) {
        return E.what();
    }
    return "";
}

} // namespace

TEST(EqualMethod, CountsRoundHalvesToEven) {
    EXPECT_EQ(EqualCount(0.625, 0.25), 2); // 2.5 -> 2
    EXPECT_EQ(EqualCount(0.875, 0.25), 4); // 3.5 -> 4
    EXPECT_EQ(EqualCount(0.75, 0.25), 3);
    // Too short for half a step: still one element; a zero-length piece gets none.
    EXPECT_EQ(EqualCount(0.1, 0.25), 1);
    EXPECT_EQ(EqualCount(0.125, 0.25), 1);
    EXPECT_EQ(EqualCount(0.0, 0.25), 0);

    const TEdges M = ModelOf({Chain(ekClosed, {{0, 0}, {0.625, 0}, {0.625, 0.875}})});
    TEdgeElements E;
    E.DiscretizeEqual(M, 15, 0.25, 1.8);
    // 2 + 4 + the hypotenuse 1.0754 / 0.25 = 4.3 -> 4
    ASSERT_EQ(E.Count, 10);
    EXPECT_DOUBLE_EQ(Len(E.Elements[0]), 0.3125);
    EXPECT_DOUBLE_EQ(Len(E.Elements[1]), 0.3125);
    // Elements run against the vertex order: element 0 starts where the segment ends
    // its first step and ends at the segment's start.
    EXPECT_EQ(E.Elements[0].P2.X, 0.0);
    EXPECT_EQ(E.Elements[0].P1.X, 0.3125);
    EXPECT_DOUBLE_EQ(Len(E.Elements[2]), 0.21875);
    ExpectChained(E, 0, 2);
    EXPECT_EQ(E.Edges.Count(), 1);
    EXPECT_EQ(E.CylCount, 0);
}

TEST(EqualMethod, SemiInfiniteTailsStartAtEndVertices) {
    const TEdges M =
        ModelOf({Chain(ekSemiInfinite, {{1, 0}, {0.5, 0}, {-0.5, 0}, {-1, 0}}, {0.0, 1.0, 0.0})});
    TEdgeElements E;
    const double Step = 0.1;
    E.DiscretizeEqual(M, 4, Step, 1.8);
    // 5 + 10 + 5 segment elements, then 4 + 4 tail elements.
    ASSERT_EQ(E.Count, 28);
    ExpectChained(E, 0, 20);
    EXPECT_EQ(E.Elements[5].V, 1.0);
    // First end: from (1, 0) further along +x, lengths Step*1.5^k, P1 nearer.
    double X = 1.0, L = Step;
    for (int K = 0; K < 4; ++K) {
        const TEdgeElement& T = E.Elements[20 + K];
        EXPECT_NEAR(T.P1.X, X, 1e-15);
        EXPECT_NEAR(Len(T), L, 1e-15);
        EXPECT_GT(T.P2.X, T.P1.X);
        EXPECT_EQ(T.V, 0.0);
        X += L;
        L *= 1.5;
    }
    // Last end: from (-1, 0) along -x, lengths Step*1.8^k, P2 nearer.
    X = -1.0;
    L = Step;
    for (int K = 0; K < 4; ++K) {
        const TEdgeElement& T = E.Elements[24 + K];
        EXPECT_NEAR(T.P2.X, X, 1e-15);
        EXPECT_NEAR(Len(T), L, 1e-15);
        EXPECT_LT(T.P1.X, T.P2.X);
        X -= L;
        L *= 1.8;
    }
    // The tails continue the chain at both ends.
    EXPECT_NEAR(Distance(E.Elements[20].P1, E.Elements[0].P2), 0.0, 1e-15);
    EXPECT_NEAR(Distance(E.Elements[24].P2, E.Elements[19].P1), 0.0, 1e-15);
}

TEST(GradedMethod, CountAndLengthsOfTheWorkedExample) {
    EXPECT_EQ(GradedCount(0.01, 0.0004, 2.0), 8);
    TEdgeElementArray Out;
    DiscretizeSegmentGraded({0, 0}, {0.01, 0}, 3.0, 8, 0.0004, 2.0, Out);
    ASSERT_EQ(Out.size(), 8u);
    const double Expected[8] = {0.0004, 0.0008, 0.0016, 0.0022, 0.0022, 0.0016, 0.0008, 0.0004};
    for (int K = 0; K < 8; ++K) {
        EXPECT_NEAR(Len(Out[K]), Expected[K], 1e-15) << K;
        EXPECT_EQ(Out[K].V, 3.0);
    }
    EXPECT_EQ(Out[0].P2.X, 0.0);
    EXPECT_NEAR(Out[7].P1.X, 0.01, 1e-15);
    for (int K = 0; K + 1 < 8; ++K)
        EXPECT_EQ(Out[K].P1.X, Out[K + 1].P2.X);
}

TEST(GradedMethod, CountNearAnInteger) {
    // half/Step*(q-1) + 1 = 2^3 exactly: m = 3 gives 2*3, not 2*4.
    EXPECT_EQ(GradedCount(2 * 0.0004 * 7, 0.0004, 2.0), 6);
    // m = 3 + 1e-11 is within 1e-10 of 3 as well.
    const double Half = 0.0004 * (std::pow(2.0, 3 + 1e-11) - 1.0);
    EXPECT_EQ(GradedCount(2 * Half, 0.0004, 2.0), 6);
    // m = 3 + 1e-6 is not.
    const double Half2 = 0.0004 * (std::pow(2.0, 3 + 1e-6) - 1.0);
    EXPECT_EQ(GradedCount(2 * Half2, 0.0004, 2.0), 8);
    // m just below 4 by less than 1e-10 rounds to 4.
    const double Half3 = 0.0004 * (std::pow(2.0, 4 - 1e-11) - 1.0);
    EXPECT_EQ(GradedCount(2 * Half3, 0.0004, 2.0), 8);
}

TEST(GradedMethod, PiecesTooShortForTheGrowthLawGetTwoHalves) {
    // m < 1e-10: two middle elements of half the length each, count and split agree.
    const double L = 1e-15;
    EXPECT_EQ(GradedCount(L, 0.0004, 2.0), 2);
    TEdgeElementArray Out;
    DiscretizeSegmentGraded({0, 0}, {L, 0}, 0.0, 2, 0.0004, 2.0, Out);
    ASSERT_EQ(Out.size(), 2u);
    EXPECT_NEAR(Len(Out[0]), L / 2, 1e-30);
    EXPECT_NEAR(Out[1].P1.X, L, 1e-30);
    EXPECT_EQ(GradedCount(0.0, 0.0004, 2.0), 0);
    // A piece shorter than the base length but with m >= 1e-10 follows the rule.
    EXPECT_EQ(GradedCount(0.0002, 0.0004, 2.0), 2);
}

TEST(GradedMethod, SemiInfiniteTailsStartAtInnerVertices) {
    const TEdges M =
        ModelOf({Chain(ekSemiInfinite, {{1, 0}, {0.05, 0}, {-0.05, 0}, {-1, 0}}, {0.0, 1.0, 0.0})});
    TEdgeElements E;
    E.DiscretizeGraded(M, 5, 0.0004, 2.0, 0.1, 1.8);
    const int Slot = GradedCount(0.1, 0.0004, 2.0);
    ASSERT_EQ(E.Count, Slot + 10);
    ExpectChained(E, 0, Slot);
    // First end: from (0.05, 0) towards +x, Step*1.8^k, P1 nearer.
    double X = 0.05, L = 0.0004;
    for (int K = 0; K < 5; ++K) {
        const TEdgeElement& T = E.Elements[Slot + K];
        EXPECT_NEAR(T.P1.X, X, 1e-15);
        EXPECT_NEAR(Len(T), L, 1e-15);
        X += L;
        L *= 1.8;
    }
    X = -0.05;
    L = 0.0004;
    for (int K = 0; K < 5; ++K) {
        const TEdgeElement& T = E.Elements[Slot + 5 + K];
        EXPECT_NEAR(T.P2.X, X, 1e-15);
        EXPECT_NEAR(Len(T), L, 1e-15);
        X -= L;
        L *= 1.8;
    }
    EXPECT_NEAR(Distance(E.Elements[Slot].P1, E.Elements[0].P2), 0.0, 1e-15);
    EXPECT_NEAR(Distance(E.Elements[Slot + 5].P2, E.Elements[Slot - 1].P1), 0.0, 1e-15);
    // The copy keeps the model's segments.
    ASSERT_EQ(E.Edges.Count(), 1);
    EXPECT_EQ(E.Edges.Item(0).Kind, ekSemiInfinite);
    EXPECT_EQ(E.Edges.Item(0).Count(), 3);
}

TEST(Cylinders, GradedArcHasAtLeastSixElements) {
    const TEdges M = ModelOf({Cylinder({0, 0}, 0.05, 0.0)});
    TEdgeElements E;
    E.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    ASSERT_EQ(E.Count, 6);
    ASSERT_EQ(E.CylCount, 1);
    EXPECT_EQ(E.CylInfos[0].ElementCount, 6);
    EXPECT_EQ(E.CylInfos[0].FirstElement, 0);
    EXPECT_EQ(E.CylInfos[0].EdgeIndex, 0);
    ExpectChained(E, 0, 6);
    EXPECT_NEAR(Distance(E.Elements[5].P1, E.Elements[0].P2), 0.0, 1e-15);
    // Arcs run counter-clockwise from P2 to P1; the normal points into the body.
    for (const TEdgeElement& El : E.Elements) {
        EXPECT_NEAR(Distance(El.P1, {0, 0}), 0.05, 1e-15);
        EXPECT_GT(CrossProduct(El.P2, El.P1), 0.0);
    }
    // The polygon runs through the same points in the opposite sense.
    ASSERT_EQ(E.Edges.Item(0).Count(), 6);
    EXPECT_EQ(E.Edges.Item(0).GetSegment(0).P1.X, E.Elements[0].P2.X);
    EXPECT_EQ(E.Edges.Item(0).GetSegment(0).P2.X, E.Elements[0].P1.X);
    EXPECT_EQ(E.Edges.Item(0).Kind, ekClosed);
}

TEST(Cylinders, SlitChordComesFirstAndClosesTheChain) {
    // Slit from 240 to 300 degrees: the arc runs from 300 round to 240.
    const TEdges M = ModelOf({Chain(ekClosed, {{2, 2}, {3, 2}, {3, 3}}),
                              Cylinder({0, 0.5}, 0.2, 1.0, true, 240.0, 300.0, 2.0)});
    TEdgeElements E;
    E.DiscretizeEqual(M, 15, 0.02, 1.8);
    ASSERT_EQ(E.CylCount, 1);
    const TCylInfo C = E.GetCylInfo(0);
    const int Closed = E.CylInfos[0].FirstElement;
    EXPECT_EQ(C.EdgeIndex, 1);
    EXPECT_TRUE(E.HasRotatingSlit);
    const TRealPoint Ps{0.2 * std::cos(DegToRad(240.0)), 0.5 + 0.2 * std::sin(DegToRad(240.0))};
    const int SlitCount = EqualCount(0.2, 0.02); // chord of 60 degrees = R
    EXPECT_EQ(SlitCount, 10);
    const double DPhi = 2 * std::asin(0.02 / 0.4);
    const int Arc = static_cast<int>(std::nearbyint(DegToRad(300.0) / DPhi));
    EXPECT_EQ(C.ElementCount, SlitCount + Arc);
    EXPECT_EQ(E.Count, Closed + SlitCount + Arc);
    EXPECT_NEAR(Distance(E.Elements[Closed].P2, Ps), 0.0, 1e-15);
    for (int K = 0; K < SlitCount; ++K)
        EXPECT_EQ(E.Elements[Closed + K].V, 2.0);
    EXPECT_EQ(E.Elements[Closed + SlitCount].V, 0.0);
    ExpectChained(E, Closed, E.Count);
    EXPECT_NEAR(Distance(E.Elements[E.Count - 1].P1, Ps), 0.0, 1e-14);
    const TEdge& Polygon = E.Edges.Item(1);
    ASSERT_EQ(Polygon.Count(), 1 + Arc);
    EXPECT_EQ(Polygon.GetSegment(0).V, 2.0);
}

TEST(Cylinders, ZeroWidthSlitIsAFullCylinder) {
    TEdgeElements Full, Zero;
    Full.DiscretizeGraded(ModelOf({Cylinder({0, 0}, 0.1, 1.0, false, 0.0, 0.0)}), 15, 0.0004, 2.0,
                          0.02, 1.8);
    Zero.DiscretizeGraded(ModelOf({Cylinder({0, 0}, 0.1, 1.0, true, 30.0, 30.0, -1.0)}), 15, 0.0004,
                          2.0, 0.02, 1.8);
    EXPECT_FALSE(Zero.HasRotatingSlit);
    ASSERT_EQ(Zero.Count, Full.Count);
    for (const TEdgeElement& El : Zero.Elements) {
        EXPECT_GT(Len(El), 0.01);
        EXPECT_EQ(El.V, 0.0);
    }
    // Angles a whole turn apart are the same slit of zero width.
    TEdgeElements Turn;
    Turn.DiscretizeEqual(ModelOf({Cylinder({0, 0}, 0.1, 1.0, true, 390.0, 30.0, -1.0)}), 15, 0.02,
                         1.8);
    EXPECT_FALSE(Turn.HasRotatingSlit);
    EXPECT_EQ(Turn.Elements[0].V, 0.0);
}

TEST(Cylinders, EqualMethodNeverGivesDegeneratePolygons) {
    // A step close to the diameter gives Round(2pi/dphi) = 2 coincident chords; three
    // is the least that encloses an area.
    TEdgeElements E;
    E.DiscretizeEqual(ModelOf({Cylinder({0, 0}, 0.1, 0.0)}), 15, 0.199, 1.8);
    EXPECT_EQ(E.Count, 3);
}

TEST(Discretization, RefusesParametersThatCannotWork) {
    const TEdges Closed = ModelOf({Chain(ekClosed, {{0, 0}, {1, 0}, {1, 1}})});
    const TEdges Cyl = ModelOf({Cylinder({0, 0}, 0.05, 0.0)});
    TEdgeElements E;
    E.DiscretizeEqual(Closed, 15, 0.1, 1.8);
    const int Before = E.Count;
    const auto Check = [&](const std::function<void()>& F, const std::string& Part) {
        const std::string Msg = RefusalOf(F);
        EXPECT_NE(Msg.find(Part), std::string::npos) << "message: " << Msg;
        EXPECT_EQ(E.Count, Before) << "the previous elements must stay";
    };
    Check([&] { E.DiscretizeEqual(Closed, 15, 0.0, 1.8); }, "Базовая длина");
    Check([&] { E.DiscretizeEqual(Closed, 15, -1.0, 1.8); }, "Базовая длина");
    Check([&] { E.DiscretizeEqual(Closed, 15, NAN, 1.8); }, "Базовая длина");
    Check([&] { E.DiscretizeGraded(Closed, 15, 0.001, 1.0, 0.1, 1.8); }, "конечных ребер");
    Check([&] { E.DiscretizeGraded(Closed, 15, 0.001, -2.0, 0.1, 1.8); }, "конечных ребер");
    Check([&] { E.DiscretizeGraded(Closed, 15, 0.001, 2.0, 0.0, 1.8); }, "на цилиндрах");
    Check([&] { E.DiscretizeGraded(Closed, 15, 0.001, 2.0, 0.1, 0.0); }, "бесконечных ребер");
    Check([&] { E.DiscretizeEqual(Closed, -1, 0.1, 1.8); }, "не может быть отрицательным");
    Check([&] { E.DiscretizeGraded(Cyl, 15, 0.001, 2.0, 0.2, 1.8); }, "больше диаметра");
    Check([&] { E.DiscretizeEqual(Cyl, 15, 0.2, 1.8); }, "больше диаметра");
    Check(
        [&] {
            E.DiscretizeEqual(ModelOf({Cylinder({0, 0}, 0.0, 0.0)}), 15, 0.1, 1.8);
        },
        "Радиус");
    Check(
        [&] {
            E.DiscretizeEqual(ModelOf({Cylinder({0, 0}, -1.0, 0.0)}), 15, 0.1, 1.8);
        },
        "Радиус");
    // A graded scaler below 1 whose elements never fill the piece.
    Check([&] { E.DiscretizeGraded(Closed, 15, 0.001, 0.5, 0.1, 1.8); }, "не заполняют");
    // Tails that run out of the range of doubles.
    Check([&] { E.DiscretizeEqual(Closed, 5000, 0.1, 1.8); }, "Бесконечные ребра");
    // One-segment semi-infinite regions have no inner vertices for graded tails.
    Check(
        [&] {
            E.DiscretizeGraded(ModelOf({Chain(ekSemiInfinite, {{0, 0}, {1, 0}})}), 15, 0.001, 2.0,
                               0.1, 1.8);
        },
        "не менее двух");
}

TEST(Discretization, RefusesCountsThatDoNotFitIntoMemory) {
    const TEdges M = ModelOf({Chain(ekClosed, {{0, 0}, {100, 0}, {100, 100}})});
    TEdgeElements E;
    // 1e-7 m elements on 341 m of boundary: 3.4e9 elements.
    const std::string Msg = RefusalOf([&] { E.DiscretizeEqual(M, 15, 1e-7, 1.8); });
    EXPECT_NE(Msg.find("Слишком много граничных элементов: 3414213562"), std::string::npos) << Msg;
    EXPECT_EQ(E.Count, 0);
    // The same with a graded scaler so close to 1 that the count explodes.
    const std::string Msg2 =
        RefusalOf([&] { E.DiscretizeGraded(M, 15, 1e-5, 1.0 + 1e-13, 0.1, 1.8); });
    EXPECT_NE(Msg2.find("Слишком много граничных элементов"), std::string::npos) << Msg2;
    EXPECT_THROW(CheckElementCount(1e8), TDiscretizationError);
    EXPECT_NO_THROW(CheckElementCount(1000));
    // Beyond any dense matrix of this machine, within the solve without it.
    EXPECT_NO_THROW(CheckElementCount(1e5));
}

TEST(Discretization, OnlySegmentsOfZeroLengthGetNoElements) {
    // A closed region with a repeated vertex and a segment far below half a step.
    TEdge E(ekClosed);
    E.AddSegment(Seg({0, 0}, {1, 0}));
    E.AddSegment(Seg({1, 0}, {1, 0}));
    E.AddSegment(Seg({1, 0}, {1, 0.001}));
    E.AddSegment(Seg({1, 0.001}, {0, 0}));
    TEdgeElements El;
    El.DiscretizeEqual(ModelOf({E}), 15, 0.1, 1.8);
    EXPECT_EQ(El.Count, 10 + 0 + 1 + 10);
    for (const TEdgeElement& X : El.Elements)
        EXPECT_GT(Len(X), 0.0);
    El.DiscretizeGraded(ModelOf({E}), 15, 0.01, 2.0, 0.1, 1.8);
    for (const TEdgeElement& X : El.Elements)
        EXPECT_GT(Len(X), 0.0);
}

TEST(Refinement, SharedEndPointHalvesBothElements) {
    const TEdges M = ModelOf({Chain(ekClosed, {{0, 0}, {1, 0}, {1, 1}, {0, 1}})});
    TEdgeElements E;
    E.DiscretizeEqual(M, 15, 0.25, 1.8);
    ASSERT_EQ(E.Count, 16);
    const std::uint64_t Gen = E.Generation;
    // The vertex (1, 0) is shared by elements 3 (segment 0) and 4 (segment 1).
    E.RefineInRect({0.9, -0.1}, {1.1, 0.1});
    EXPECT_NE(E.Generation, Gen);
    ASSERT_EQ(E.Count, 18);
    ASSERT_EQ(E.Elements.size(), 18u);
    EXPECT_NEAR(Len(E.Elements[3]), 0.125, 1e-15);
    EXPECT_NEAR(Len(E.Elements[4]), 0.125, 1e-15);
    EXPECT_NEAR(Len(E.Elements[5]), 0.125, 1e-15);
    EXPECT_NEAR(Len(E.Elements[6]), 0.125, 1e-15);
    EXPECT_NEAR(Len(E.Elements[7]), 0.25, 1e-15);
    ExpectChained(E, 0, 18);
    // A rectangle touching no end point strictly changes nothing.
    E.RefineInRect({2, 2}, {3, 3});
    EXPECT_EQ(E.Count, 18);
}

TEST(Refinement, CylinderRangesFollowTheInsertions) {
    const TEdges M = ModelOf({Chain(ekClosed, {{1, 0}, {2, 0}, {2, 1}}), Cylinder({0, 0}, 0.5, 1.0),
                              Chain(ekClosed, {{1, 2}, {2, 2}, {2, 3}})});
    TEdgeElements E;
    E.DiscretizeEqual(M, 15, 0.5, 1.8);
    const TCylInfo C0 = E.CylInfos[0];
    // Halve the first element of the first region: the cylinder moves up by one.
    E.RefineInRect({1.6, -0.1}, {2.1, 0.1});
    EXPECT_EQ(E.CylInfos[0].FirstElement, C0.FirstElement + 2);
    EXPECT_EQ(E.CylInfos[0].ElementCount, C0.ElementCount);
    // Refine the cylinder's right side: its own count grows, the chain stays closed.
    const TCylInfo C1 = E.CylInfos[0];
    E.RefineInRect({0.4, -0.2}, {0.6, 0.2});
    EXPECT_GT(E.CylInfos[0].ElementCount, C1.ElementCount);
    EXPECT_EQ(E.CylInfos[0].FirstElement, C1.FirstElement);
    const int F = E.CylInfos[0].FirstElement;
    const int L = F + E.CylInfos[0].ElementCount;
    ExpectChained(E, F, L);
    EXPECT_NEAR(Distance(E.Elements[L - 1].P1, E.Elements[F].P2), 0.0, 1e-15);
    // The element right after the cylinder does not belong to it.
    const TCylInfo C2 = E.CylInfos[0];
    const TEdgeElement After = E.Elements[L];
    E.RefineInRect(After.P1 + TRealPoint{-0.01, -0.01}, After.P1 + TRealPoint{0.01, 0.01});
    EXPECT_EQ(E.CylInfos[0].ElementCount, C2.ElementCount);
    EXPECT_EQ(E.CylInfos[0].FirstElement, C2.FirstElement);
}

TEST(Drawing, AlternatingColoursAndRoundedPixels) {
    const TEdges M = ModelOf({Chain(ekClosed, {{0, 0}, {0.625, 0}, {0.625, 0.875}})});
    TEdgeElements E;
    E.DiscretizeEqual(M, 15, 0.25, 1.8);
    TRecordingSurface S;
    S.PenMode = TPenMode::pmNotXor;
    E.Draw(S, 10, 200, 4.0);
    const auto Moves = S.Of("MoveTo");
    const auto Lines = S.Of("LineTo");
    ASSERT_EQ(Moves.size(), static_cast<std::size_t>(E.Count));
    ASSERT_EQ(Lines.size(), static_cast<std::size_t>(E.Count));
    EXPECT_EQ(Lines[0].PenColor, 0x800000u);
    EXPECT_EQ(Lines[1].PenColor, 0x00FF00u);
    EXPECT_EQ(Lines[2].PenColor, 0x800000u);
    EXPECT_EQ(Lines[0].PenMode, TPenMode::pmCopy);
    // Element 0 runs from (0.3125, 0) to (0, 0): 0.3125*4 = 1.25 rounds to 1.
    EXPECT_EQ(Moves[0].Args, (std::vector<int>{11, 200}));
    EXPECT_EQ(Lines[0].Args, (std::vector<int>{10, 200}));
    // (0.625, 0.21875): 2.5 -> 2 and 0.875 -> 1.
    EXPECT_EQ(Moves[2].Args, (std::vector<int>{12, 199}));
}

TEST(Discretization, MessagesWriteNumbersInTheFrontEndsNotationAndBriefly) {
    const TEdges M = ModelOf({Chain(ekClosed, {{0, 0}, {100, 0}, {100, 100}})});
    TEdgeElements E;
    SetMessageDecimalSeparator(',');
    const std::string Length = RefusalOf([&] { E.DiscretizeEqual(M, 15, -0.5, 1.8); });
    const std::string Huge = RefusalOf([&] { E.DiscretizeEqual(M, 15, 1e-300, 1.8); });
    SetMessageDecimalSeparator('.');
    EXPECT_NE(Length.find("(задана -0,5)"), std::string::npos) << Length;
    EXPECT_NE(Huge.find("Слишком много граничных элементов"), std::string::npos) << Huge;
    EXPECT_LT(Huge.size(), 300u) << Huge;
}
