#include "SolverBuilders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

using namespace kalvex;
using namespace kalvex::test;

namespace {

TEdges SlitModel() {
    return ModelOf({Chain(ekSemiInfinite, {{1, 0}, {0.5, 0}, {-0.5, 0}, {-1, 0}}),
                    Cylinder({0, 0.5}, 0.2, 1.0, true, 240.0, 300.0, 2.0),
                    Cylinder({1, 1}, 0.1, 0.0), Cylinder({-1, 1}, 0.1, -0.5)});
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

TEST(ElementsFile, ByteLayout) {
    TEdgeElements E;
    E.DiscretizeGraded(SlitModel(), 15, 0.0004, 2.0, 0.1, 1.8);
    const std::vector<std::uint8_t> B = E.SaveToBytes();
    const std::size_t N = static_cast<std::size_t>(E.Count);
    ASSERT_EQ(I32At(B, 0), E.Count);
    EXPECT_EQ(DoubleAt(B, 4), E.Elements[0].P1.X);
    EXPECT_EQ(DoubleAt(B, 4 + 8), E.Elements[0].P1.Y);
    EXPECT_EQ(DoubleAt(B, 4 + 16), E.Elements[0].P2.X);
    EXPECT_EQ(DoubleAt(B, 4 + 24), E.Elements[0].P2.Y);
    EXPECT_EQ(DoubleAt(B, 4 + 40 * (N - 1) + 32), E.Elements[N - 1].V);
    const std::size_t Cyl = 4 + 40 * N;
    ASSERT_EQ(I32At(B, Cyl), 3);
    const TCylInfo& C1 = E.CylInfos[1];
    const std::size_t R1 = Cyl + 4 + 48;
    EXPECT_EQ(DoubleAt(B, R1), C1.Center.X);
    EXPECT_EQ(DoubleAt(B, R1 + 8), C1.Center.Y);
    EXPECT_EQ(DoubleAt(B, R1 + 16), C1.R);
    EXPECT_EQ(DoubleAt(B, R1 + 24), C1.V);
    EXPECT_EQ(I32At(B, R1 + 32), C1.FirstElement);
    EXPECT_EQ(I32At(B, R1 + 36), C1.ElementCount);
    EXPECT_EQ(I32At(B, R1 + 40), C1.EdgeIndex);
    EXPECT_EQ(I32At(B, R1 + 44), 0);
    const std::size_t Flag = Cyl + 4 + 48 * 3;
    EXPECT_EQ(B[Flag], 1);
    TByteWriter W;
    E.Edges.SaveToStream(W);
    ASSERT_EQ(B.size(), Flag + 1 + W.Bytes.size());
    EXPECT_TRUE(std::equal(W.Bytes.begin(), W.Bytes.end(), B.begin() + Flag + 1));
}

TEST(ElementsFile, WithoutCylindersTheFlagFollowsTheCount) {
    TEdgeElements E;
    E.DiscretizeEqual(ModelOf({Chain(ekClosed, {{0, 0}, {1, 0}, {1, 1}})}), 15, 0.5, 1.8);
    const auto B = E.SaveToBytes();
    const std::size_t Cyl = 4 + 40 * static_cast<std::size_t>(E.Count);
    EXPECT_EQ(I32At(B, Cyl), 0);
    EXPECT_EQ(B[Cyl + 4], 0);
    EXPECT_EQ(I32At(B, Cyl + 5), 1); // the edges block: one boundary
}

TEST(ElementsFile, RoundTripIsBitForBit) {
    TTempDir Dir;
    TEdgeElements E;
    E.DiscretizeGraded(SlitModel(), 15, 0.0004, 2.0, 0.1, 1.8);
    E.RefineInRect({-0.3, 0.2}, {0.3, 0.4});
    E.RotateCylinders(0.37);
    const std::string File = Dir.File("Система1.dsc");
    E.SaveToFile(File);
    TEdgeElements L;
    const std::uint64_t Gen = L.Generation;
    L.LoadFromFile(File);
    EXPECT_NE(L.Generation, Gen);
    ASSERT_EQ(L.Count, E.Count);
    ASSERT_EQ(L.CylCount, E.CylCount);
    EXPECT_EQ(L.HasRotatingSlit, E.HasRotatingSlit);
    EXPECT_EQ(0, std::memcmp(L.Elements.data(), E.Elements.data(),
                             sizeof(TEdgeElement) * E.Elements.size()));
    for (int I = 0; I < E.CylCount; ++I) {
        const TCylInfo A = E.GetCylInfo(I), B = L.GetCylInfo(I);
        EXPECT_EQ(std::memcmp(&A.Center, &B.Center, sizeof A.Center), 0);
        EXPECT_EQ(A.R, B.R);
        EXPECT_EQ(A.V, B.V);
        EXPECT_EQ(A.FirstElement, B.FirstElement);
        EXPECT_EQ(A.ElementCount, B.ElementCount);
        EXPECT_EQ(A.EdgeIndex, B.EdgeIndex);
    }
    EXPECT_EQ(L.SaveToBytes(), E.SaveToBytes());
}

// Elements read back belong to their own system, refined or not; not to an edited one,
// to another, or to their own while the slit stands turned.
TEST(ElementsFile, ElementsDescribeOnlyTheModelTheyWereMadeFrom) {
    const TEdges Model = SlitModel();
    TEdgeElements E;
    E.DiscretizeGraded(Model, 15, 0.0004, 2.0, 0.1, 1.8);
    E.RefineInRect({-0.3, 0.2}, {0.3, 0.4});
    TEdgeElements L;
    L.LoadFromBytes(E.SaveToBytes());
    EXPECT_TRUE(L.Describes(Model));

    TEdges Moved = Model;
    TEdgeSegment S = Moved.Item(0).GetSegment(1);
    S.P1.X = std::nextafter(S.P1.X, 1.0);
    Moved.Item(0).SetSegment(1, S);
    EXPECT_FALSE(L.Describes(Moved));
    TEdges Wider = Model;
    S = Wider.Item(1).GetSegment(1);
    S.P1.X -= 1.0; // the slit opens a degree wider
    Wider.Item(1).SetSegment(1, S);
    EXPECT_FALSE(L.Describes(Wider));
    EXPECT_FALSE(L.Describes(ModelOf({Chain(ekSemiInfinite, {{1, 0}, {-1, 0}})})));

    L.RotateCylinders(0.37);
    EXPECT_FALSE(L.Describes(Model));
    L.RotateCylinders(-0.37);
    EXPECT_TRUE(L.Describes(Model));
}

TEST(ElementsFile, DamagedFilesEmptyTheElements) {
    TTempDir Dir;
    TEdgeElements E;
    E.DiscretizeGraded(SlitModel(), 15, 0.0004, 2.0, 0.1, 1.8);
    const auto Good = E.SaveToBytes();
    const auto ExpectFails = [&](std::vector<std::uint8_t> Bytes, const char* What) {
        SCOPED_TRACE(What);
        TEdgeElements L;
        L.DiscretizeEqual(ModelOf({Chain(ekClosed, {{0, 0}, {1, 0}, {1, 1}})}), 15, 0.5, 1.8);
        const std::string File = Dir.File("bad.dsc");
        std::ofstream(File, std::ios::binary)
            .write(reinterpret_cast<const char*>(Bytes.data()),
                   static_cast<std::streamsize>(Bytes.size()));
        try {
            L.LoadFromFile(File);
            ADD_FAILURE() << "loaded";
        } catch (const TElementsLoadError& Ex) {
            EXPECT_STREQ(Ex.what(), "Невозможно загрузить граничные элементы");
        }
        EXPECT_EQ(L.Count, 0);
        EXPECT_EQ(L.CylCount, 0);
        EXPECT_TRUE(L.Elements.empty());
        EXPECT_TRUE(L.CylInfos.empty());
    };
    // Cut inside the element records.
    ExpectFails(std::vector<std::uint8_t>(Good.begin(), Good.begin() + 4 + 40 * 3 + 17), "short");
    ExpectFails({1, 0, 0}, "three bytes");
    ExpectFails({}, "empty");
    // A count far beyond the bytes present must not allocate it.
    auto Huge = Good;
    const std::int32_t Big = 0x7FFFFFFF;
    std::memcpy(Huge.data(), &Big, 4);
    ExpectFails(Huge, "huge count");
    auto Negative = Good;
    const std::int32_t Minus = -5;
    std::memcpy(Negative.data(), &Minus, 4);
    ExpectFails(Negative, "negative count");
    // A cylinder record pointing outside the elements.
    auto Outside = Good;
    const std::size_t Cyl = 4 + 40 * static_cast<std::size_t>(E.Count) + 4;
    const std::int32_t Far = E.Count;
    std::memcpy(Outside.data() + Cyl + 32, &Far, 4);
    ExpectFails(Outside, "cylinder outside");
    // A cylinder without a radius could only be turned by an infinite angle.
    auto NoRadius = Good;
    const double Zero = 0.0;
    std::memcpy(NoRadius.data() + Cyl + 16, &Zero, 8);
    ExpectFails(NoRadius, "zero radius");
    // The edges block cut short.
    ExpectFails(std::vector<std::uint8_t>(Good.begin(), Good.end() - 10), "edges");
    // Values that are not numbers, or a velocity beyond 1e4 m/s.
    for (std::size_t Off : {std::size_t{4}, std::size_t{4 + 40 + 32}, Cyl, Cyl + 24}) {
        auto NotNumber = Good;
        const double Nan = std::nan("");
        std::memcpy(NotNumber.data() + Off, &Nan, 8);
        ExpectFails(NotNumber, "NaN");
    }
    auto Fast = Good;
    const double TooFast = 2e4;
    std::memcpy(Fast.data() + 4 + 32, &TooFast, 8);
    ExpectFails(Fast, "velocity");
    // The same cylinder twice: its own type, so that a caller can discretise afresh.
    auto Repeated = Good;
    std::memcpy(Repeated.data() + Cyl + 48 + 40, Good.data() + Cyl + 40, 4);
    ExpectFails(Repeated, "repeated cylinder");
    TEdgeElements Twice;
    EXPECT_THROW(Twice.LoadFromBytes(Repeated), TRepeatedCylinderError);
    // A missing file.
    TEdgeElements L;
    EXPECT_THROW(L.LoadFromFile(Dir.File("missing.dsc")), TElementsLoadError);
}

TEST(Rotation, RotateAboutAngles) {
    TRealPoint P{2, 1};
    TEdgeElements::RotateAbout(P, {1, 1}, M_PI / 2);
    EXPECT_NEAR(P.X, 1.0, 1e-15);
    EXPECT_NEAR(P.Y, 2.0, 1e-15);
    // Straight below the centre: the angle is 3pi/2, a quarter turn brings it right.
    TRealPoint Q{1, 0};
    TEdgeElements::RotateAbout(Q, {1, 1}, M_PI / 2);
    EXPECT_NEAR(Q.X, 2.0, 1e-15);
    EXPECT_NEAR(Q.Y, 1.0, 1e-15);
    TRealPoint C{1, 1};
    TEdgeElements::RotateAbout(C, {1, 1}, 1.0);
    EXPECT_EQ(C.X, 1.0);
    EXPECT_EQ(C.Y, 1.0);
}

TEST(Rotation, ThereAndBackKeepsChainAndPolygon) {
    TEdgeElements E;
    E.DiscretizeGraded(SlitModel(), 15, 0.0004, 2.0, 0.1, 1.8);
    E.RefineInRect({-0.3, 0.25}, {0.3, 0.35}); // the slit cylinder's lower part
    const TEdgeElements Start = E;
    const std::uint64_t Gen = E.Generation;
    E.RotateCylinders(0.25);
    EXPECT_NE(E.Generation, Gen);
    const TCylInfo C = E.CylInfos[0];
    // Turned by V/R*t = 1.25 rad about the centre, every point on the circle still.
    const TEdgeElement& S0 = Start.Elements[C.FirstElement];
    TRealPoint Expected = S0.P2;
    TEdgeElements::RotateAbout(Expected, C.Center, 1.25);
    EXPECT_NEAR(Distance(E.Elements[C.FirstElement].P2, Expected), 0.0, 1e-15);
    for (int K = C.FirstElement + 1; K < C.FirstElement + C.ElementCount; ++K)
        EXPECT_EQ(std::memcmp(&E.Elements[K].P2, &E.Elements[K - 1].P1, sizeof(TRealPoint)), 0);
    const TEdge& Poly = E.Edges.Item(C.EdgeIndex);
    for (int I = 1; I < Poly.Count(); ++I)
        EXPECT_EQ(std::memcmp(&Poly.Segments[I].P1, &Poly.Segments[I - 1].P2, sizeof(TRealPoint)),
                  0);
    // The resting cylinder did not move; the other turning one did.
    const TCylInfo Rest = E.CylInfos[1];
    for (int K = Rest.FirstElement; K < Rest.FirstElement + Rest.ElementCount; ++K)
        EXPECT_EQ(std::memcmp(&E.Elements[K], &Start.Elements[K], sizeof(TEdgeElement)), 0);
    EXPECT_NE(E.Elements[E.CylInfos[2].FirstElement].P2.X,
              Start.Elements[E.CylInfos[2].FirstElement].P2.X);
    // The wall is untouched.
    EXPECT_EQ(std::memcmp(&E.Elements[0], &Start.Elements[0], sizeof(TEdgeElement)), 0);
    E.RotateCylinders(-0.25);
    for (std::size_t K = 0; K < E.Elements.size(); ++K) {
        EXPECT_NEAR(Distance(E.Elements[K].P1, Start.Elements[K].P1), 0.0, 1e-14);
        EXPECT_NEAR(Distance(E.Elements[K].P2, Start.Elements[K].P2), 0.0, 1e-14);
    }
    EXPECT_EQ(E.Count, Start.Count);
    EXPECT_EQ(E.HasRotatingSlit, Start.HasRotatingSlit);
}

TEST(Rotation, ByAngleIgnoresSpeedsButNotRest) {
    TEdgeElements E;
    E.DiscretizeGraded(SlitModel(), 15, 0.0004, 2.0, 0.1, 1.8);
    const TEdgeElements Start = E;
    E.RotateCylindersByAngle(90.0);
    // Both turning cylinders (speeds 1 and -0.5) went a quarter turn counter-clockwise.
    for (int C : {0, 2}) {
        const TCylInfo Info = E.CylInfos[C];
        const TRealPoint Before = Start.Elements[Info.FirstElement].P2 - Info.Center;
        const TRealPoint After = E.Elements[Info.FirstElement].P2 - Info.Center;
        EXPECT_NEAR(After.X, -Before.Y, 1e-15);
        EXPECT_NEAR(After.Y, Before.X, 1e-15);
    }
    const TCylInfo Rest = E.CylInfos[1];
    EXPECT_EQ(std::memcmp(&E.Elements[Rest.FirstElement], &Start.Elements[Rest.FirstElement],
                          sizeof(TEdgeElement)),
              0);
    const TEdge& P = E.Edges.Item(Rest.EdgeIndex);
    const TEdge& Q = Start.Edges.Item(Rest.EdgeIndex);
    EXPECT_EQ(P.Segments[0].P1.X, Q.Segments[0].P1.X);
}

namespace {

TEdgeElements Reloaded(const std::vector<std::uint8_t>& Bytes) {
    TEdgeElements L;
    L.LoadFromBytes(Bytes);
    return L;
}

} // namespace

TEST(ElementsFile, EveryDiscretisationOfTheExamplesDescribesItsSystem) {
    for (const char* Name : {"hood.asp", "hood_probe.asp", "slot.asp", "cylinder.asp"}) {
        TEdges Model;
        Model.LoadFromFile(ExamplePath(Name));
        for (const bool Graded : {false, true}) {
            TEdgeElements E;
            if (Graded)
                E.DiscretizeGraded(Model, 15, 0.004, 1.5, 0.02, 1.8);
            else
                E.DiscretizeEqual(Model, 15, 0.01, 1.8);
            EXPECT_TRUE(Reloaded(E.SaveToBytes()).Describes(Model)) << Name << " " << Graded;
            E.RefineInRect({-1e6, -1e6}, {1e6, 1e6});
            E.RefineInRect({-0.2, -0.2}, {0.2, 0.2});
            EXPECT_TRUE(Reloaded(E.SaveToBytes()).Describes(Model)) << Name << " refined";
        }
    }
}

TEST(ElementsFile, DamagedElementRecordsDoNotDescribeTheSystem) {
    const TEdges Model = SlitModel();
    TEdgeElements E;
    E.DiscretizeGraded(Model, 15, 0.004, 2.0, 0.02, 1.8);
    const std::vector<std::uint8_t> Good = E.SaveToBytes();
    ASSERT_TRUE(Reloaded(Good).Describes(Model));
    // One flipped byte in a coordinate or the velocity of an element: on a wall, on the
    // slit's chord, on a cylinder's arc, at a chain's end.
    const std::size_t Slit = static_cast<std::size_t>(E.GetCylInfo(0).FirstElement);
    const std::size_t Arc = static_cast<std::size_t>(E.GetCylInfo(1).FirstElement) + 3;
    for (const std::size_t K : {std::size_t{0}, std::size_t{5}, Slit, Slit + 2, Arc})
        for (const std::size_t Field : {0, 8, 16, 24, 32}) {
            std::vector<std::uint8_t> B = Good;
            const std::size_t At = 4 + 40 * K + Field;
            if (DoubleAt(B, At) == 0.0)
                continue; // a flipped byte of a zero stays below 1e-300
            B[At + 6] ^= 0x01;
            EXPECT_FALSE(Reloaded(B).Describes(Model)) << K << " " << Field;
        }
    // No elements at all, or one missing from a wall.
    TEdgeElements None;
    None.Edges = E.Edges;
    EXPECT_FALSE(Reloaded(None.SaveToBytes()).Describes(ModelOf({Model.Item(0)})));
    TEdgeElements Short = E;
    Short.Elements.erase(Short.Elements.begin() + 5);
    Short.Count -= 1;
    for (TCylInfo& C : Short.CylInfos)
        C.FirstElement -= 1;
    EXPECT_FALSE(Short.Describes(Model));
}
