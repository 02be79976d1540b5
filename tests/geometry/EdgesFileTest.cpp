#include "AllocationTracker.h"
#include "ModelBuilders.h"
#include "TestSupport.h"
#include "geometry/uBinaryIO.h"
#include "geometry/uEdges.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kalvex;
using namespace kalvex::test;

namespace {

using TBytes = std::vector<std::uint8_t>;

TRealPoint P(double X, double Y) {
    return RealPoint(X, Y);
}

TBytes Save(const TEdges& M) {
    TByteWriter W;
    M.SaveToStream(W);
    return W.Bytes;
}

TEdges Load(const TBytes& B) {
    TEdges M;
    TByteReader R(B);
    M.LoadFromStream(R);
    return M;
}

// Loading must fail with the user's message and leave the model empty.
void ExpectRefused(const TBytes& B, const std::string& Why) {
    TEdges M;
    M.Add(Polygon({P(0, 0), P(1, 0), P(0, 1)}));
    TByteReader R(B);
    try {
        M.LoadFromStream(R);
        ADD_FAILURE() << "accepted: " << Why;
    } catch (const TEdgesLoadError& E) {
        EXPECT_STREQ(E.what(), "Невозможно загрузить границы из файла") << Why;
    }
    EXPECT_EQ(M.Count(), 0) << Why;
}

void PutDouble(TBytes& B, std::size_t Offset, double V) {
    const auto U = std::bit_cast<std::uint64_t>(V);
    for (int I = 0; I < 8; ++I)
        B.at(Offset + static_cast<std::size_t>(I)) = static_cast<std::uint8_t>(U >> (8 * I));
}

double GetDouble(const TBytes& B, std::size_t Offset) {
    std::uint64_t U = 0;
    for (int I = 0; I < 8; ++I)
        U |= static_cast<std::uint64_t>(B.at(Offset + static_cast<std::size_t>(I))) << (8 * I);
    return std::bit_cast<double>(U);
}

void PutI32(TBytes& B, std::size_t Offset, std::uint32_t V) {
    for (int I = 0; I < 4; ++I)
        B.at(Offset + static_cast<std::size_t>(I)) = static_cast<std::uint8_t>(V >> (8 * I));
}

TBytes FileBytes(const std::string& Name) {
    return ReadWholeFile(Name);
}

void WriteRaw(const std::string& Name, const TBytes& B) {
    std::ofstream F(Name, std::ios::binary);
    F.write(reinterpret_cast<const char*>(B.data()), static_cast<std::streamsize>(B.size()));
}

// Offset of record J of the first boundary.
constexpr std::size_t Rec(std::size_t J) {
    return 9 + 96 * J;
}

TEdges Triangle() {
    TEdges M;
    M.Add(Polygon({P(0, 0), P(1, 0), P(0, 1)}, {0.5, 0, -0.5}));
    return M;
}

TEdges CylinderModel() {
    TEdges M;
    M.Add(Cylinder(P(0.25, 0.5), 0.2, 1.5, true, 240, 300, 2));
    return M;
}

} // namespace

TEST(EdgesFile, EmptyModelIsFourZeroBytes) {
    EXPECT_EQ(Save(TEdges()), TBytes({0, 0, 0, 0}));
    EXPECT_EQ(Load(TBytes{0, 0, 0, 0}).Count(), 0);
}

TEST(EdgesFile, TriangleLayout) {
    TEdges M = Triangle();
    TEdgeSegment& S = M.Item(0).Segments[0];
    S.BaseLength = 0.001;
    S.Scaler = 3;
    S.InfiniteScaler = 1.5;
    S.InfiniteCount = -7;
    S.CylBaseLength = 0.05;
    S.SetEqualElements(true);
    M.Item(0).Segments[1].DiscretizationType = 1;
    M.Item(0).Segments[1].SetVortexStep(0.125);

    const TBytes B = Save(M);
    ASSERT_EQ(B.size(), 297u);
    EXPECT_EQ(B[0], 1);
    EXPECT_EQ(B[4], ekClosed);
    EXPECT_EQ(B[5], 3);
    EXPECT_EQ(GetDouble(B, Rec(0) + 0), 0);    // P1.X
    EXPECT_EQ(GetDouble(B, Rec(0) + 16), 1);   // P2.X
    EXPECT_EQ(GetDouble(B, Rec(0) + 32), 0.5); // V
    EXPECT_EQ(B[Rec(0) + 40], 0);              // DiscretizationType
    EXPECT_EQ(B[Rec(0) + 48], 1);              // EqualElements
    EXPECT_EQ(GetDouble(B, Rec(0) + 56), 0.001);
    EXPECT_EQ(GetDouble(B, Rec(0) + 64), 3);
    EXPECT_EQ(GetDouble(B, Rec(0) + 72), 1.5);
    EXPECT_EQ(B[Rec(0) + 80], 0xF9); // -7, little-endian
    EXPECT_EQ(B[Rec(0) + 83], 0xFF);
    EXPECT_EQ(GetDouble(B, Rec(0) + 88), 0.05);
    for (std::size_t I : {41, 47, 49, 55, 84, 87})
        EXPECT_EQ(B[Rec(0) + I], 0) << I;
    EXPECT_EQ(B[Rec(1) + 40], 1);
    EXPECT_EQ(GetDouble(B, Rec(1) + 48), 0.125); // VortexStep
    EXPECT_EQ(GetDouble(B, Rec(2) + 8), 1);      // P1.Y of the third side
    EXPECT_EQ(GetDouble(B, Rec(2) + 32), -0.5);

    const TEdges Back = Load(B);
    ASSERT_EQ(Back.Count(), 1);
    const TEdgeSegment R = Back.Item(0).GetSegment(0);
    EXPECT_EQ(R.InfiniteCount, -7);
    EXPECT_TRUE(R.EqualElements());
    EXPECT_EQ(Back.Item(0).GetSegment(1).VortexStep(), 0.125);
    EXPECT_EQ(Save(Back), B);
}

TEST(EdgesFile, HasSlitKeepsItsByte) {
    const TBytes B = Save(CylinderModel());
    ASSERT_EQ(B.size(), 4u + 5 + 2 * 96);
    EXPECT_EQ(B[4], ekCylinder);
    EXPECT_EQ(B[5], 2);
    EXPECT_EQ(GetDouble(B, Rec(0) + 16), 0.2); // radius
    EXPECT_EQ(B[Rec(0) + 24], 1);              // HasSlit
    for (std::size_t I = 25; I < 32; ++I)
        EXPECT_EQ(B[Rec(0) + I], 0) << I;
    EXPECT_EQ(GetDouble(B, Rec(1) + 0), 240);
    EXPECT_EQ(GetDouble(B, Rec(1) + 8), 300);

    const TEdges Back = Load(B);
    EXPECT_TRUE(Back.Item(0).GetSegment(0).HasSlit());
    EXPECT_EQ(Back.Item(0).GetSegment(0).V, 1.5);
    EXPECT_EQ(Save(Back), B);

    TEdges NoSlit = CylinderModel();
    NoSlit.Item(0).Segments[0].SetHasSlit(false);
    const TBytes B2 = Save(NoSlit);
    EXPECT_EQ(B2[Rec(0) + 24], 0);
    EXPECT_FALSE(Load(B2).Item(0).GetSegment(0).HasSlit());
}

TEST(EdgesFile, BytesThatCarryNothingAreIgnored) {
    const TBytes Clean = Save(CylinderModel());
    TBytes B = Clean;
    // The rest of the HasSlit field, even when it makes P2.Y a NaN, and the unused bytes.
    for (std::size_t I = 25; I < 32; ++I)
        B[Rec(0) + I] = 0xFF;
    ASSERT_TRUE(std::isnan(GetDouble(B, Rec(0) + 24)));
    for (std::size_t R : {Rec(0), Rec(1)}) {
        for (std::size_t I = 41; I < 48; ++I)
            B[R + I] = 0xAB;
        for (std::size_t I = 49; I < 56; ++I) // EqualElements' variant tail
            B[R + I] = 0xCD;
        for (std::size_t I = 84; I < 88; ++I)
            B[R + I] = 0xEF;
    }
    B[Rec(0) + 48] = 7; // any non-zero flag is true
    const TEdges M = Load(B);
    EXPECT_TRUE(M.Item(0).GetSegment(0).HasSlit());
    EXPECT_EQ(M.Item(0).GetSegment(0).P2.X, 0.2);
    EXPECT_TRUE(M.Item(0).GetSegment(0).EqualElements());
    EXPECT_FALSE(M.Item(0).GetSegment(1).EqualElements());
    TBytes Expected = Clean;
    Expected[Rec(0) + 48] = 1;
    EXPECT_EQ(Save(M), Expected);
}

TEST(EdgesFile, TrailingBytesAreIgnored) {
    TBytes B = Save(Triangle());
    const std::size_t Size = B.size();
    B.insert(B.end(), {1, 2, 3, 4, 5, 6, 7});
    TEdges M;
    TByteReader R(B);
    M.LoadFromStream(R);
    EXPECT_EQ(R.Position(), Size);
    EXPECT_EQ(M.Item(0).Count(), 3);
    EXPECT_EQ(Save(M).size(), Size);
}

TEST(EdgesFile, BlocksFollowEachOtherInAStream) {
    TByteWriter W;
    Triangle().SaveToStream(W);
    CylinderModel().SaveToStream(W);
    W.WriteU32(0xDEADBEEF);
    TByteReader R(W.Bytes);
    TEdges A, B;
    A.LoadFromStream(R);
    B.LoadFromStream(R);
    EXPECT_EQ(A.Item(0).Kind, ekClosed);
    EXPECT_EQ(B.Item(0).Kind, ekCylinder);
    EXPECT_EQ(R.ReadU32(), 0xDEADBEEFu);
}

TEST(EdgesFileRefusals, ShortData) {
    ExpectRefused({0, 0, 0}, "3-byte file");
    ExpectRefused({}, "empty file");
    TEdges Two = CylinderModel();
    Two.Add(Chain({P(2, 0), P(1, 0), P(-1, 0)}));
    const TBytes B = Save(Two);
    for (std::size_t Len = 0; Len < B.size(); ++Len)
        ExpectRefused(TBytes(B.begin(), B.begin() + static_cast<std::ptrdiff_t>(Len)),
                      "cut at " + std::to_string(Len));
    EXPECT_EQ(Load(B).Count(), 2);
}

TEST(EdgesFileRefusals, ImpossibleCountsFailBeforeReserving) {
    const TBytes Tri = Save(Triangle());
    for (std::uint32_t N : {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu, 2u}) {
        TBytes B = Tri;
        PutI32(B, 0, N);
        const std::string Why = "boundary count " + std::to_string(N);
        StartTrackingAllocations();
        ExpectRefused(B, Why);
        EXPECT_LT(StopTrackingAllocations(), 4096u) << N;
    }
    for (std::uint32_t M : {0x80000000u, 0x7FFFFFFFu, 4u}) {
        TBytes B = Tri;
        PutI32(B, 5, M);
        const std::string Why = "segment count " + std::to_string(M);
        StartTrackingAllocations();
        ExpectRefused(B, Why);
        EXPECT_LT(StopTrackingAllocations(), 4096u) << M;
    }
    // A straight boundary without segments.
    for (std::uint32_t M : {0u, 0xFFFFFFFFu}) {
        TBytes B = {1, 0, 0, 0, ekSemiInfinite};
        B.resize(9);
        PutI32(B, 5, M);
        ExpectRefused(B, "empty chain");
    }
}

TEST(EdgesFileRefusals, KindsAndCylinderRecords) {
    for (std::uint8_t Kind : {3, 4, 0xFF}) {
        TBytes B = Save(Triangle());
        B[4] = Kind;
        ExpectRefused(B, "kind " + std::to_string(Kind));
    }
    // A cylinder needs exactly two records.
    TBytes B = Save(Triangle());
    B[4] = ekCylinder;
    ExpectRefused(B, "cylinder with 3 records");
    TBytes C = Save(CylinderModel());
    PutI32(C, 5, 1);
    ExpectRefused(C, "cylinder with 1 record");
    // Closed with three records is fine; a cylinder's record layout read as closed is too.
    TBytes D = Save(CylinderModel());
    D[4] = ekClosed;
    EXPECT_EQ(Load(D).Item(0).Count(), 2);
    // Unknown discretisation type.
    TBytes E = Save(Triangle());
    E[Rec(1) + 40] = 2;
    ExpectRefused(E, "discretisation type 2");
}

TEST(EdgesFileRefusals, NonFiniteNumbers) {
    const double Bad[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    // P1.X, P1.Y, P2.X, P2.Y, V, BaseLength, Scaler, InfiniteScaler, CylBaseLength.
    for (std::size_t Off : {0, 8, 16, 24, 32, 56, 64, 72, 88}) {
        for (double V : Bad) {
            TBytes B = Save(Triangle());
            PutDouble(B, Rec(2) + Off, V);
            ExpectRefused(B, "offset " + std::to_string(Off));
        }
    }
    // VortexStep counts only with discretisation type 1.
    TBytes B = Save(Triangle());
    B[Rec(0) + 40] = 1;
    PutDouble(B, Rec(0) + 48, Bad[0]);
    ExpectRefused(B, "vortex step");
    B[Rec(0) + 40] = 0;
    EXPECT_FALSE(Load(B).Item(0).GetSegment(0).EqualElements()); // NaN's low byte is 0
    // Cylinder: radius and slit angles are checked; only the HasSlit field is exempt.
    for (std::size_t Off : {Rec(0) + 16, Rec(1) + 0, Rec(1) + 8, Rec(1) + 24}) {
        TBytes C = Save(CylinderModel());
        PutDouble(C, Off, Bad[1]);
        ExpectRefused(C, "cylinder offset " + std::to_string(Off));
    }
    // Finite but beyond any hood: coordinates past 1e6 m, velocities past 1e4 m/s.
    for (auto [Off, V] :
         {std::pair{0, 1.5e6}, {8, -1.5e6}, {16, 2e6}, {24, 1e200}, {32, 1.5e4}, {32, -1e300}}) {
        TBytes C = Save(Triangle());
        PutDouble(C, Rec(2) + static_cast<std::size_t>(Off), V);
        ExpectRefused(C, "out of range at offset " + std::to_string(Off));
    }
    TBytes Edge = Save(Triangle());
    PutDouble(Edge, Rec(2), MaxCoordinate);
    PutDouble(Edge, Rec(2) + 32, -MaxVelocity);
    EXPECT_EQ(Load(Edge).Item(0).GetSegment(2).P1.X, MaxCoordinate);
}

TEST(EdgesFileIO, SaveAndLoadFiles) {
    TTempDir Dir;
    const std::string Name = Dir.File("tri.asp");
    Triangle().SaveToFile(Name);
    EXPECT_EQ(std::filesystem::file_size(Name), 297u);
    TEdges M;
    M.LoadFromFile(Name);
    EXPECT_EQ(M.Item(0).Count(), 3);
    // Overwriting keeps the file's permissions.
    ::chmod(Name.c_str(), 0640);
    TEdges().SaveToFile(Name);
    struct stat St {};
    ASSERT_EQ(::stat(Name.c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 0777, 0640u);
    EXPECT_EQ(FileBytes(Name), TBytes({0, 0, 0, 0}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path), {}), 1);
}

TEST(EdgesFileIO, UnreadableFilesGiveTheLoadMessage) {
    TTempDir Dir;
    TEdges M = Triangle();
    EXPECT_THROW(M.LoadFromFile(Dir.File("missing.asp")), TEdgesLoadError);
    EXPECT_EQ(M.Count(), 0);
    M = Triangle();
    EXPECT_THROW(M.LoadFromFile(Dir.Path.string()), TEdgesLoadError); // a directory
    EXPECT_EQ(M.Count(), 0);
    WriteRaw(Dir.File("short.asp"), {0, 0, 0});
    M = Triangle();
    try {
        M.LoadFromFile(Dir.File("short.asp"));
        ADD_FAILURE();
    } catch (const TEdgesLoadError& E) {
        // The first line stays; the file and the reason follow, in English for scripts.
        EXPECT_EQ(std::string(E.what()).rfind("Невозможно загрузить границы из файла\r" +
                                                  Dir.File("short.asp") + ": файл поврежден",
                                              0),
                  0u)
            << E.what();
        EXPECT_NE(E.CliText().find("damaged"), std::string::npos);
    }
    EXPECT_EQ(M.Count(), 0);

    try {
        ReadWholeFile(Dir.File("missing.asp"));
        ADD_FAILURE();
    } catch (const TFileError& E) {
        EXPECT_NE(std::string(E.what()).find("missing.asp"), std::string::npos);
    }
}

TEST(EdgesFileIO, FailedSaveKeepsTheOldFile) {
    TTempDir Dir;
    // No such directory: nothing to replace, but the failure is reported.
    try {
        Triangle().SaveToFile(Dir.File("no/such/dir.asp"));
        ADD_FAILURE();
    } catch (const TFileError& E) {
        const std::string What = E.what();
        EXPECT_EQ(What.rfind("Не удалось записать файл ", 0), 0u) << What;
        EXPECT_NE(What.find("dir.asp"), std::string::npos);
    }

    // A write that fails half way (the file-size limit stops it after 100 bytes, which works
    // even for root) must leave the old content alone and no temporary file behind.
    const std::string Name = Dir.File("old.asp");
    TEdges().SaveToFile(Name);
    auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &Old), 0);
    rlimit Small = Old;
    Small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &Small), 0);
    bool Threw = false;
    try {
        Triangle().SaveToFile(Name);
    } catch (const TFileError&) {
        Threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, OldHandler);
    EXPECT_TRUE(Threw);
    EXPECT_EQ(FileBytes(Name), TBytes({0, 0, 0, 0}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path), {}), 1);

    // A model the reader would refuse is not written: the old file stays.
    TEdges Far = Triangle();
    TEdgeSegment S = Far.Item(0).GetSegment(0);
    S.P1.X = 2e6;
    Far.Item(0).SetSegment(0, S);
    EXPECT_THROW(Far.SaveToFile(Name), TFileError);
    EXPECT_EQ(FileBytes(Name), TBytes({0, 0, 0, 0}));
}

TEST(EdgesFileIO, ExamplesRoundTripAndAreValid) {
    for (const char* Name : {"slot.asp", "hood.asp", "cylinder.asp", "hood_probe.asp"}) {
        SCOPED_TRACE(Name);
        const TBytes B = FileBytes(ExamplePath(Name));
        const TEdges M = Load(B);
        EXPECT_GT(M.Count(), 0);
        EXPECT_TRUE(M.IsValid());
        EXPECT_EQ(Save(M), B);
    }
    TEdges Hood;
    Hood.LoadFromFile(ExamplePath("hood.asp"));
    EXPECT_EQ(Hood.TotalFlow(), 0); // balanced exactly
    EXPECT_EQ(Hood.InflowCount(), 1);
    EXPECT_FALSE(Hood.HasSemiInfinite());
    TEdges Slot;
    Slot.LoadFromFile(ExamplePath("slot.asp"));
    EXPECT_DOUBLE_EQ(Slot.TotalFlow(), 0.1);
    TEdges Cyl;
    Cyl.LoadFromFile(ExamplePath("cylinder.asp"));
    EXPECT_TRUE(Cyl.HasRotatingCylinder());
    EXPECT_NEAR(Cyl.TotalFlow(), 0.4, 1e-12);
}

TEST(ByteReader, ChecksEveryRead) {
    const TBytes B = {1, 2, 3, 4, 5};
    TByteReader R(B);
    EXPECT_EQ(R.ReadI32(), 0x04030201);
    EXPECT_THROW(R.ReadI32(), TFormatError);
    EXPECT_EQ(R.Remaining(), 1u);
    EXPECT_THROW(R.ReadDouble(), TFormatError);
    EXPECT_THROW(R.Skip(2), TFormatError);
    EXPECT_NO_THROW(R.RequireRecords(1, 1));
    EXPECT_THROW(R.RequireRecords(2, 1), TFormatError);
    EXPECT_THROW(R.RequireRecords(-1, 1), TFormatError);
    EXPECT_THROW(R.RequireRecords(std::numeric_limits<std::int64_t>::max(), 96), TFormatError);
    EXPECT_EQ(R.ReadU8(), 5);
    EXPECT_THROW(R.ReadU8(), TFormatError);

    TByteWriter W;
    W.WriteI32(-2);
    W.WriteDouble(-0.0);
    W.WriteZeros(2);
    TByteReader R2(W.Bytes);
    EXPECT_EQ(R2.ReadI32(), -2);
    EXPECT_TRUE(std::signbit(R2.ReadDouble()));
    EXPECT_EQ(R2.Remaining(), 2u);
}
