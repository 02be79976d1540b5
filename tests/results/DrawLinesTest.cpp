#include "TestSupport.h"
#include "geometry/uBinaryIO.h"
#include "results/uDrawLines.h"
#include "results/uResultsFile.h"
#include "results/uTextFormat.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kalvex;
using namespace kalvex::test;

namespace {

TColorPointArray LineOf(int N, double X0 = 0.0) {
    TColorPointArray L;
    for (int I = 0; I < N; ++I)
        L.push_back(
            {static_cast<std::uint32_t>(I == 0 ? 0 : 0x00FF0000u | I), {X0 + 0.01 * I, -0.02 * I}});
    return L;
}

std::int32_t I32At(const std::vector<std::uint8_t>& B, std::size_t Pos) {
    std::int32_t V;
    std::memcpy(&V, B.data() + Pos, 4);
    return V;
}

double DoubleAt(const std::vector<std::uint8_t>& B, std::size_t Pos) {
    double V;
    std::memcpy(&V, B.data() + Pos, 8);
    return V;
}

} // namespace

TEST(DrawLinesStore, KeepsItsOwnCopyAndClears) {
    TDrawLines Store;
    EXPECT_EQ(Store.Step, 0.01);
    EXPECT_EQ(Store.Scale, 0.004);
    TColorPointArray L = LineOf(3);
    Store.AddLine(L);
    L[1].Position.X = 99;
    L.push_back({1, {5, 5}});
    ASSERT_EQ(Store.Count, 1);
    ASSERT_EQ(Store.Lines[0].size(), 3u);
    EXPECT_EQ(Store.Lines[0][1].Position.X, 0.01);
    Store.AddLine(L);
    EXPECT_EQ(Store.Count, 2);
    Store.ClearLines();
    EXPECT_EQ(Store.Count, 0);
    EXPECT_TRUE(Store.Lines.empty());
}

TEST(DrawLinesDraw, TwoPointLineIsOneSegmentInTheColourOfPointOne) {
    TDrawLines Store;
    TColorPointArray L = {{0, {0, 0}}, {0x123456, {0.1, 0.2}}};
    Store.AddLine(L);
    TRecordingSurface S;
    Store.Draw(S, 10, 100.0, 50);
    ASSERT_EQ(S.Of("MoveTo").size(), 1u);
    EXPECT_EQ(S.Of("MoveTo")[0].Args, (std::vector<int>{10, 50}));
    auto Lines = S.Of("LineTo");
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_EQ(Lines[0].Args, (std::vector<int>{20, 30}));
    EXPECT_EQ(Lines[0].PenColor, 0x123456u);
    EXPECT_EQ(Lines[0].PenMode, TPenMode::pmCopy);
}

TEST(DrawLinesDraw, StrideThreeDrawsPointsOneFourSevenTen) {
    TDrawLines Store;
    Store.Scale = 0.02; // Round(0.02 / 0.01) + 1 = 3
    Store.Step = 0.01;
    Store.AddLine(LineOf(11));
    TRecordingSurface S;
    Store.Draw(S, 0, 100.0, 0);
    auto Lines = S.Of("LineTo");
    ASSERT_EQ(Lines.size(), 4u);
    const int Expected[] = {1, 4, 7, 10};
    for (int K = 0; K < 4; ++K) {
        EXPECT_EQ(Lines[K].Args[0], Expected[K]) << K;
        EXPECT_EQ(Lines[K].Args[1], 2 * Expected[K]) << K;
        EXPECT_EQ(Lines[K].PenColor, 0x00FF0000u | static_cast<unsigned>(Expected[K]));
    }
}

TEST(DrawLinesDraw, DefaultStrideDrawsEveryPointAndHalvesRoundToEven) {
    TDrawLines Store;
    Store.AddLine(LineOf(5));
    TRecordingSurface S;
    Store.Draw(S, 0, 100.0, 0);
    EXPECT_EQ(S.Of("LineTo").size(), 4u);

    // Scale / Step = 2.5 rounds to 2 (even), so K = 3, not 4.
    TDrawLines Half;
    Half.Scale = 0.025;
    Half.Step = 0.01;
    Half.AddLine(LineOf(8));
    TRecordingSurface S2;
    Half.Draw(S2, 0, 100.0, 0);
    auto L2 = S2.Of("LineTo");
    ASSERT_EQ(L2.size(), 3u); // 1, 4, then the last point 7
    EXPECT_EQ(L2[1].Args[0], 4);
    EXPECT_EQ(L2[2].Args[0], 7);
}

TEST(DrawLinesDraw, OnePointLineIsSkippedButOthersDraw) {
    TDrawLines Store;
    Store.AddLine(LineOf(1));
    Store.AddLine({});
    Store.AddLine(LineOf(3, 1.0));
    TRecordingSurface S;
    Store.Draw(S, 0, 100.0, 0);
    ASSERT_EQ(S.Of("MoveTo").size(), 1u);
    EXPECT_EQ(S.Of("MoveTo")[0].Args[0], 100);
    EXPECT_EQ(S.Of("LineTo").size(), 2u);
}

TEST(DrawLinesDraw, DegenerateStepDoesNotBreakTheStride) {
    TDrawLines Store;
    Store.Step = 0; // never set by the program, but must not divide by zero
    Store.AddLine(LineOf(4));
    TRecordingSurface S;
    Store.Draw(S, 0, 100.0, 0);
    EXPECT_EQ(S.Of("LineTo").size(), 3u);

    Store.Step = 1e-300; // an absurd stride draws only the last point
    TRecordingSurface S2;
    Store.Draw(S2, 0, 100.0, 0);
    ASSERT_EQ(S2.Of("LineTo").size(), 2u);
    EXPECT_EQ(S2.Of("LineTo")[1].Args[0], 3);
}

TEST(DrawLinesBounds, EmptyStoreLeavesOutputs) {
    TDrawLines Store;
    TRealPoint A{7, 8};
    TRealPoint B{9, 10};
    Store.GetLinesBounds(A, B);
    EXPECT_EQ(A.X, 7);
    EXPECT_EQ(B.Y, 10);
    Store.AddLine({});
    Store.GetLinesBounds(A, B);
    EXPECT_EQ(A.X, 7);
}

TEST(DrawLinesBounds, CornersAsSeenOnScreen) {
    TDrawLines Store;
    Store.AddLine({{0, {0.5, 0.5}}, {0, {1.0, -0.25}}});
    Store.AddLine({{0, {-2.0, 3.0}}, {0, {0.0, 0.0}}});
    TRealPoint TL;
    TRealPoint BR;
    Store.GetLinesBounds(TL, BR);
    EXPECT_EQ(TL.X, -2.0);
    EXPECT_EQ(TL.Y, 3.0);
    EXPECT_EQ(BR.X, 1.0);
    EXPECT_EQ(BR.Y, -0.25);

    // An empty first line does not hide the others.
    TDrawLines Other;
    Other.AddLine({});
    Other.AddLine({{0, {1, 2}}});
    Other.GetLinesBounds(TL, BR);
    EXPECT_EQ(TL.X, 1);
    EXPECT_EQ(TL.Y, 2);
    EXPECT_EQ(BR.X, 1);
    EXPECT_EQ(BR.Y, 2);
}

TEST(DrawLinesSave, EmptyStoreIsZeroThenComment) {
    TDrawLines Store;
    TByteWriter W;
    Store.SaveLinesToStream(W, ResultsComment);
    ASSERT_EQ(W.Bytes.size(), 4u + 4u + 40u);
    EXPECT_EQ(I32At(W.Bytes, 0), 0);
    EXPECT_EQ(I32At(W.Bytes, 4), 40);
    const std::string Cp = Utf8ToCp1251(ResultsComment);
    EXPECT_EQ(std::string(W.Bytes.begin() + 8, W.Bytes.end()), Cp);
    // "К" is 0xCA in code page 1251, the colon ends the text.
    EXPECT_EQ(W.Bytes[8], 0xCA);
    EXPECT_EQ(W.Bytes.back(), ':');
}

TEST(DrawLinesSave, LayoutByteForByte) {
    TDrawLines Store;
    Store.AddLine({{0, {1.5, -2.25}}});
    Store.AddLine({});
    Store.AddLine({{0, {0, 0}}, {0x008000FF, {0.125, 3.0}}});
    TByteWriter W;
    Store.SaveLinesToStream(W, "ab");
    // count, (count, 1 record), (count 0), (count, 2 records), comment
    ASSERT_EQ(W.Bytes.size(), 4u + (4 + 24) + 4 + (4 + 48) + 4 + 2);
    EXPECT_EQ(I32At(W.Bytes, 0), 3);
    EXPECT_EQ(I32At(W.Bytes, 4), 1);
    EXPECT_EQ(I32At(W.Bytes, 8), 0);  // colour
    EXPECT_EQ(I32At(W.Bytes, 12), 0); // alignment
    EXPECT_EQ(DoubleAt(W.Bytes, 16), 1.5);
    EXPECT_EQ(DoubleAt(W.Bytes, 24), -2.25);
    EXPECT_EQ(I32At(W.Bytes, 32), 0); // the empty line
    EXPECT_EQ(I32At(W.Bytes, 36), 2);
    EXPECT_EQ(I32At(W.Bytes, 40 + 24), 0x008000FF);
    EXPECT_EQ(I32At(W.Bytes, 40 + 28), 0);
    EXPECT_EQ(DoubleAt(W.Bytes, 40 + 32), 0.125);
    EXPECT_EQ(DoubleAt(W.Bytes, 40 + 40), 3.0);
    EXPECT_EQ(I32At(W.Bytes, 88), 2);
    EXPECT_EQ(W.Bytes[92], 'a');
    EXPECT_EQ(W.Bytes[93], 'b');
}

TEST(ResultsFile, ModelBytesThenLinesThenComment) {
    TEdges Model;
    TEdge T(ekClosed);
    const TRealPoint Pts[] = {{0, 0}, {1, 0}, {0, 1}};
    for (int I = 0; I < 3; ++I) {
        TEdgeSegment S;
        S.P1 = Pts[I];
        S.P2 = Pts[(I + 1) % 3];
        T.AddSegment(S);
    }
    Model.Add(T);
    TByteWriter ModelOnly;
    Model.SaveToStream(ModelOnly);

    TDrawLines Store;
    const auto Bytes = SaveResultsToBytes(Model, Store);
    const std::size_t M = ModelOnly.Bytes.size();
    ASSERT_EQ(Bytes.size(), M + 4 + 4 + 40);
    EXPECT_TRUE(std::equal(ModelOnly.Bytes.begin(), ModelOnly.Bytes.end(), Bytes.begin()));
    EXPECT_EQ(I32At(Bytes, M), 0);
    EXPECT_EQ(I32At(Bytes, M + 4), 40);

    Store.AddLine({{0, {0.25, 0.25}}, {5, {0.5, 0.5}}});
    TTempDir Dir;
    SaveResultsToFile(Dir.File("r.mod"), Model, Store);
    const auto OnDisk = ReadWholeFile(Dir.File("r.mod"));
    EXPECT_EQ(OnDisk, SaveResultsToBytes(Model, Store));
    EXPECT_EQ(OnDisk.size(), M + 4 + 4 + 48 + 4 + 40);
}
