// The picture export, read back from the written files: the classic metafile by its
// structure and by libwmf's wmf2svg, the enhanced metafile by its records.
#include "CanvasFixture.h"
#include "canvas/uMetafile.h"
#include "geometry/uBinaryIO.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

namespace kalvex::test {
namespace {

std::uint16_t U16(const std::vector<std::uint8_t>& B, std::size_t At) {
    return static_cast<std::uint16_t>(B.at(At) | (B.at(At + 1) << 8));
}
std::int16_t I16(const std::vector<std::uint8_t>& B, std::size_t At) {
    return static_cast<std::int16_t>(U16(B, At));
}
std::uint32_t U32(const std::vector<std::uint8_t>& B, std::size_t At) {
    return static_cast<std::uint32_t>(U16(B, At)) |
           (static_cast<std::uint32_t>(U16(B, At + 2)) << 16);
}
std::int32_t I32(const std::vector<std::uint8_t>& B, std::size_t At) {
    return static_cast<std::int32_t>(U32(B, At));
}

struct TRecord {
    unsigned Type = 0;
    std::size_t At = 0; // offset of the record's parameters
    std::size_t Size = 0;
};

// ---------------------------------------------------------------- classic metafile

constexpr std::uint16_t WmfPolygon = 0x0324;
constexpr std::uint16_t WmfLineTo = 0x0213;
constexpr std::uint16_t WmfCreatePen = 0x02FA;
constexpr std::uint16_t WmfTextOut = 0x0521;

struct TWmf {
    std::int16_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    std::uint16_t Inch = 0;
    std::vector<TRecord> Records;
};

// Checks the placeable header, the metafile header and the chain of records up to the
// end-of-file record, which must end the file.
TWmf ReadWmf(const std::vector<std::uint8_t>& B) {
    TWmf W;
    EXPECT_GE(B.size(), 22u + 18u + 6u);
    if (B.size() < 46)
        return W;
    EXPECT_EQ(U32(B, 0), 0x9AC6CDD7u);
    W.Left = I16(B, 6);
    W.Top = I16(B, 8);
    W.Right = I16(B, 10);
    W.Bottom = I16(B, 12);
    W.Inch = U16(B, 14);
    std::uint16_t Sum = 0;
    for (std::size_t I = 0; I < 20; I += 2)
        Sum ^= U16(B, I);
    EXPECT_EQ(Sum, U16(B, 20)) << "placeable header checksum";
    const std::size_t H = 22;
    EXPECT_EQ(U16(B, H + 2), 9u); // header size in words
    EXPECT_EQ(U16(B, H + 4), 0x0300u);
    EXPECT_EQ(U32(B, H + 6) * 2, B.size() - 22) << "metafile size in words";
    std::size_t At = H + 18;
    std::uint32_t Largest = 0;
    bool SawEof = false;
    while (At + 6 <= B.size()) {
        const std::uint32_t Words = U32(B, At);
        const std::uint16_t Type = U16(B, At + 4);
        EXPECT_GE(Words, 3u);
        if (Words < 3 || At + Words * 2 > B.size()) {
            ADD_FAILURE() << "record runs past the end at " << At;
            return W;
        }
        Largest = std::max(Largest, Words);
        W.Records.push_back({Type, At + 6, Words * 2});
        At += Words * 2;
        if (Type == 0) {
            SawEof = true;
            break;
        }
    }
    EXPECT_TRUE(SawEof);
    EXPECT_EQ(At, B.size());
    EXPECT_EQ(U32(B, H + 12), Largest) << "largest record";
    return W;
}

std::vector<std::vector<TPixel>> WmfPolygons(const std::vector<std::uint8_t>& B, const TWmf& W) {
    std::vector<std::vector<TPixel>> Out;
    for (const auto& R : W.Records) {
        if (R.Type != WmfPolygon)
            continue;
        const int N = I16(B, R.At);
        std::vector<TPixel> P;
        for (int I = 0; I < N; ++I)
            P.push_back({I16(B, R.At + 2 + 4 * I), I16(B, R.At + 4 + 4 * I)});
        Out.push_back(P);
    }
    return Out;
}

// Pen colours of the pens the metafile creates, as 0x00BBGGRR.
std::vector<TColor> WmfPenColors(const std::vector<std::uint8_t>& B, const TWmf& W) {
    std::vector<TColor> Out;
    for (const auto& R : W.Records)
        if (R.Type == WmfCreatePen)
            Out.push_back(U32(B, R.At + 6) & 0xFFFFFF);
    return Out;
}

int CountType(const TWmf& W, unsigned Type) {
    return static_cast<int>(std::count_if(W.Records.begin(), W.Records.end(),
                                          [&](const TRecord& R) { return R.Type == Type; }));
}

// ---------------------------------------------------------------- enhanced metafile

constexpr unsigned EmrHeader = 1;
constexpr unsigned EmrPolygon = 3;
constexpr unsigned EmrEof = 14;

struct TEmf {
    std::int32_t Bounds[4] = {};
    std::vector<TRecord> Records;
};

TEmf ReadEmf(const std::vector<std::uint8_t>& B) {
    TEmf E;
    EXPECT_GE(B.size(), 88u + 20u);
    if (B.size() < 108)
        return E;
    EXPECT_EQ(U32(B, 0), EmrHeader);
    EXPECT_EQ(U32(B, 40), 0x464D4520u); // " EMF"
    EXPECT_EQ(U32(B, 48), B.size()) << "nBytes";
    for (int I = 0; I < 4; ++I)
        E.Bounds[I] = I32(B, 8 + 4 * I);
    std::size_t At = 0;
    while (At + 8 <= B.size()) {
        const std::uint32_t Type = U32(B, At);
        const std::uint32_t Size = U32(B, At + 4);
        EXPECT_EQ(Size % 4, 0u) << "record at " << At;
        if (Size < 8 || At + Size > B.size()) {
            ADD_FAILURE() << "record runs past the end at " << At;
            return E;
        }
        E.Records.push_back({Type, At + 8, Size});
        At += Size;
    }
    EXPECT_EQ(At, B.size()) << "record sizes add up to the file";
    EXPECT_EQ(U32(B, 52), E.Records.size()) << "nRecords";
    EXPECT_FALSE(E.Records.empty());
    if (!E.Records.empty()) {
        EXPECT_EQ(E.Records.back().Type, EmrEof);
    }
    return E;
}

std::vector<std::vector<TPixel>> EmfPolygons(const std::vector<std::uint8_t>& B, const TEmf& E) {
    std::vector<std::vector<TPixel>> Out;
    for (const auto& R : E.Records) {
        if (R.Type != EmrPolygon)
            continue;
        const std::uint32_t N = U32(B, R.At + 16);
        std::vector<TPixel> P;
        for (std::uint32_t I = 0; I < N; ++I)
            P.push_back({I32(B, R.At + 20 + 8 * I), I32(B, R.At + 24 + 8 * I)});
        Out.push_back(P);
    }
    return Out;
}

// ---------------------------------------------------------------- libwmf

bool HaveWmf2Svg() {
    return std::system("command -v wmf2svg > /dev/null 2>&1") == 0;
}

// Converts with wmf2svg; gives the SVG text, or nothing when the reader refuses.
std::optional<std::string> Wmf2Svg(const std::string& Wmf, const std::string& Svg) {
    const std::string Cmd = "wmf2svg -o '" + Svg + "' '" + Wmf + "' > /dev/null 2>&1";
    if (std::system(Cmd.c_str()) != 0)
        return std::nullopt;
    std::ifstream In(Svg);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

int Occurrences(const std::string& Text, const std::string& What) {
    int N = 0;
    for (std::size_t P = Text.find(What); P != std::string::npos; P = Text.find(What, P + 1))
        ++N;
    return N;
}

// ---------------------------------------------------------------- fixture

class ExportTest : public CanvasTest {
protected:
    // One metre by half a metre, with a suction side, an inflow side and two walls.
    void AddPlate() {
        Canvas.Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}}, {0, 2, 0, -1}));
    }
    std::vector<std::uint8_t> Export(const std::string& Name) {
        Canvas.ExportMetafile(Dir.File(Name));
        return ReadWholeFile(Dir.File(Name));
    }
    // The bands and arrows the canvas draws at the picture's origin.
    std::vector<std::vector<TPixel>> RecordedPolygons(TPixel At) {
        Canvas.SetOrigin(At);
        RedrawFresh();
        std::vector<std::vector<TPixel>> Out;
        for (const auto& C : Buffer.Of("Polygon"))
            Out.push_back(C.Points);
        return Out;
    }
    TTempDir Dir;
};

TEST_F(ExportTest, WmfOfAOneByHalfMetreModelIs280By155Pixels) {
    AddPlate();
    const TPictureSize Size = Canvas.ExportMetafile(Dir.File("plate.wmf"));
    EXPECT_EQ(Size.Width, 280);
    EXPECT_EQ(Size.Height, 155);
    const auto B = ReadWholeFile(Dir.File("plate.wmf"));
    const TWmf W = ReadWmf(B);
    EXPECT_EQ(W.Left, 0);
    EXPECT_EQ(W.Top, 0);
    EXPECT_EQ(W.Right, 280);
    EXPECT_EQ(W.Bottom, 155);
    EXPECT_EQ(W.Inch, 96);
}

TEST_F(ExportTest, WmfIsReadBackByLibwmf) {
    if (!HaveWmf2Svg())
        GTEST_SKIP() << "wmf2svg (Debian libwmf-bin) is not installed";
    AddPlate();
    Canvas.ExportMetafile(Dir.File("plate.wmf"));
    const auto Svg = Wmf2Svg(Dir.File("plate.wmf"), Dir.File("plate.svg"));
    ASSERT_TRUE(Svg.has_value()) << "wmf2svg refused the file";
    EXPECT_NE(Svg->find("<svg width=\"280\" height=\"155\""), std::string::npos);
    // Four bands, two of them openings with their arrows.
    EXPECT_EQ(Occurrences(*Svg, "<polygon"), 6);
    EXPECT_EQ(Occurrences(*Svg, "fill:silver"), 2);
    EXPECT_EQ(Occurrences(*Svg, "fill:green"), 2);

    // A file that is not a metafile is refused by the same reader.
    std::ofstream(Dir.File("junk.wmf")) << "not a metafile at all";
    EXPECT_FALSE(Wmf2Svg(Dir.File("junk.wmf"), Dir.File("junk.svg")).has_value());
}

TEST_F(ExportTest, WmfRecordsReproduceTheDrawing) {
    AddPlate();
    Canvas.Edges.Add(Chain({{1.2, 0.1}, {1.4, 0.1}, {1.4, 0.4}}, {0, 1}));
    Canvas.Edges.Add(Cylinder({2.0, 0.25}, 0.2, 0, true, 30, 100, 1));
    const auto B = Export("model.wmf");
    const TWmf W = ReadWmf(B);
    // The picture's origin leaves 15 pixels beside the extent of the model.
    TRealPoint TopLeft, BottomRight;
    Canvas.Edges.GetBounds(TopLeft, BottomRight);
    const int H = W.Bottom;
    const TPixel At{15 - RoundEven(TopLeft.X / Canvas.Scale),
                    H - 15 + RoundEven(BottomRight.Y / Canvas.Scale)};
    EXPECT_EQ(WmfPolygons(B, W), RecordedPolygons(At));
    EXPECT_EQ(CountType(W, 0x081A), 2); // the two sectors of the slit cylinder
}

TEST_F(ExportTest, PictureHoldsNeitherAxesNorNamesNorSelection) {
    AddPlate();
    Canvas.ShowNames = true;
    Canvas.AxesColor = 0x123456;
    Canvas.Select({skSegment, 0, 0});
    const auto B = Export("plain.wmf");
    const TWmf W = ReadWmf(B);
    EXPECT_EQ(CountType(W, WmfTextOut), 0);
    const auto Pens = WmfPenColors(B, W);
    EXPECT_EQ(std::count(Pens.begin(), Pens.end(), 0x123456u), 0);
    EXPECT_EQ(std::count(Pens.begin(), Pens.end(), clRed), 0);
    EXPECT_NE(std::count(Pens.begin(), Pens.end(), clSilver), 0);
}

TEST_F(ExportTest, EmfHasAWellFormedChainOfRecords) {
    AddPlate();
    const TPictureSize Size = Canvas.ExportMetafile(Dir.File("plate.emf"));
    EXPECT_EQ(Size.Width, 280);
    EXPECT_EQ(Size.Height, 155);
    const auto B = ReadWholeFile(Dir.File("plate.emf"));
    const TEmf E = ReadEmf(B);
    EXPECT_EQ(E.Bounds[0], 0);
    EXPECT_EQ(E.Bounds[1], 0);
    EXPECT_EQ(E.Bounds[2], 279);
    EXPECT_EQ(E.Bounds[3], 154);
    const TPixel At{15, 155 - 15};
    EXPECT_EQ(EmfPolygons(B, E), RecordedPolygons(At));
}

TEST_F(ExportTest, FormatFollowsTheExtensionInAnyCase) {
    AddPlate();
    EXPECT_EQ(U32(Export("a.WMF"), 0), 0x9AC6CDD7u);
    EXPECT_EQ(U32(Export("b.Wmf"), 0), 0x9AC6CDD7u);
    EXPECT_EQ(U32(Export("c.emf"), 0), EmrHeader);
    EXPECT_EQ(U32(Export("d.pic"), 0), EmrHeader);
    EXPECT_EQ(U32(Export("ewmf"), 0), EmrHeader);
    EXPECT_TRUE(IsWmfName("x.wMf"));
    EXPECT_FALSE(IsWmfName("wmf"));
    EXPECT_FALSE(IsWmfName("x.wmf.emf"));
}

TEST_F(ExportTest, ResultLinesWidenThePictureAndAreAlwaysDrawn) {
    AddPlate();
    TColorPointArray Line(3);
    Line[0].Position = {-0.2, 0.1};
    Line[1] = {0x0000FF, {0.5, 0.9}};
    Line[2] = {0x0000FF, {1.0, 0.2}};
    Canvas.DrawLines.AddLine(Line);
    Canvas.ShowResults = false;
    const TPictureSize Size = Canvas.ExportMetafile(Dir.File("lines.wmf"));
    EXPECT_EQ(Size.Width, 300 + 30);
    EXPECT_EQ(Size.Height, 225 + 30);
    const auto B = ReadWholeFile(Dir.File("lines.wmf"));
    const TWmf W = ReadWmf(B);
    const auto Pens = WmfPenColors(B, W);
    EXPECT_NE(std::count(Pens.begin(), Pens.end(), 0x0000FFu), 0);
    EXPECT_GE(CountType(W, WmfLineTo), 2 + 4);
}

TEST_F(ExportTest, EmptyModelGivesTheMarginOnly) {
    EXPECT_EQ(Canvas.ExportMetafile(Dir.File("empty.wmf")).Width, 30);
    EXPECT_EQ(Canvas.ExportMetafile(Dir.File("empty.emf")).Height, 30);
    const auto B = ReadWholeFile(Dir.File("empty.wmf"));
    EXPECT_EQ(ReadWmf(B).Right, 30);
}

TEST_F(ExportTest, CanvasKeepsItsViewAfterAnExport) {
    AddPlate();
    Canvas.SetOrigin({33, 210});
    Canvas.ZoomIn();
    RedrawFresh();
    const auto Before = Buffer.Calls;
    const double Scale = Canvas.Scale;
    const TPixel Origin = Canvas.Origin;
    Canvas.Target = Canvas.ScreenCanvas();
    Canvas.ExportMetafile(Dir.File("view.emf"));
    EXPECT_EQ(Canvas.Origin, Origin);
    EXPECT_EQ(Canvas.Scale, Scale);
    EXPECT_EQ(Canvas.Target, &Buffer);
    EXPECT_TRUE(Screen.Calls.empty());
    RedrawFresh();
    ASSERT_EQ(Buffer.Calls.size(), Before.size());
    for (std::size_t I = 0; I < Before.size(); ++I) {
        EXPECT_EQ(Buffer.Calls[I].Op, Before[I].Op);
        EXPECT_EQ(Buffer.Calls[I].Args, Before[I].Args);
        EXPECT_EQ(Buffer.Calls[I].Points, Before[I].Points);
    }
}

TEST_F(ExportTest, UnwritableFileIsReportedAndChangesNothing) {
    AddPlate();
    Canvas.SetOrigin({5, 6});
    const std::string Name = Dir.File("missing/folder/picture.wmf");
    EXPECT_THROW(Canvas.ExportMetafile(Name), TFileError);
    EXPECT_EQ(Canvas.Origin, (TPixel{5, 6}));
    EXPECT_EQ(Canvas.Target, &Buffer);

    // An existing picture stays whole when a new one cannot replace it.
    Canvas.ExportMetafile(Dir.File("keep.emf"));
    const auto Old = ReadWholeFile(Dir.File("keep.emf"));
    Canvas.Edges.Item(0).Segments[0].P1.X = 1e12; // far too wide for a picture
    EXPECT_THROW(Canvas.ExportMetafile(Dir.File("keep.emf")), TKalvexError);
    EXPECT_EQ(ReadWholeFile(Dir.File("keep.emf")), Old);
}

TEST(ExportPictureTest, DrawsTheModelAsInModellingMode) {
    TTempDir Dir;
    TEdges Edges;
    Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 0.5}, {0, 0.5}}));
    const TPictureSize Size = ExportPicture(Edges, TDrawLines(), 0.002, Dir.File("p.wmf"));
    EXPECT_EQ(Size.Width, 530);
    EXPECT_EQ(Size.Height, 280);
    const auto B = ReadWholeFile(Dir.File("p.wmf"));
    const TWmf W = ReadWmf(B);
    EXPECT_EQ(CountType(W, 0x0418), 0); // no vertex circles outside editing
    EXPECT_EQ(CountType(W, WmfPolygon), 4);
}

// The two-point 45° strokes of an SVG picture: +1 for each going down the page from
// its wall, -1 for each going up.
std::vector<int> HatchStrokes(const std::string& Svg) {
    std::vector<int> Out;
    static const std::regex Stroke("<polyline points=\"(-?\\d+),(-?\\d+) (-?\\d+),(-?\\d+)\"");
    for (auto It = std::sregex_iterator(Svg.begin(), Svg.end(), Stroke);
         It != std::sregex_iterator(); ++It) {
        const int Dx = std::stoi((*It)[3]) - std::stoi((*It)[1]);
        const int Dy = std::stoi((*It)[4]) - std::stoi((*It)[2]);
        if (Dx != 0 && std::abs(Dx) == std::abs(Dy))
            Out.push_back(Dy > 0 ? 1 : -1);
    }
    return Out;
}

TEST(ExportPictureTest, SvgHatchesTheSolidSideOfWalls) {
    // A floor drawn from right to left: the air above it, the solid below.
    TEdges Floor = ModelOf({Chain({{1, 0}, {0.5, 0}, {-0.5, 0}, {-1, 0}})});
    std::vector<std::uint8_t> B;
    RenderPicture(Floor, TDrawLines(), 0.004, TPictureFormat::Svg, B);
    const std::vector<int> Down = HatchStrokes(std::string(B.begin(), B.end()));
    ASSERT_GE(Down.size(), 30u); // 250 pixels of wall between the rays
    EXPECT_EQ(std::count(Down.begin(), Down.end(), 1), std::ssize(Down));
    // Turned over, the strokes are above it.
    Floor.Item(0).Invert();
    RenderPicture(Floor, TDrawLines(), 0.004, TPictureFormat::Svg, B);
    const std::vector<int> Up = HatchStrokes(std::string(B.begin(), B.end()));
    EXPECT_EQ(Up.size(), Down.size());
    EXPECT_EQ(std::count(Up.begin(), Up.end(), -1), std::ssize(Up));
}

TEST(WmfSurfaceTest, RefusesPicturesBeyondSixteenBits) {
    EXPECT_THROW(CreateWmfSurface(40000, 10), TKalvexError);
    EXPECT_NO_THROW(CreateEmfSurface(40000, 10));
}

TEST(WmfSurfaceTest, TextIsWrittenInCodePage1251) {
    auto S = CreateWmfSurface(100, 50);
    S->TextOut(5, 20, "Отсос_1");
    const auto B = S->Finish();
    const TWmf W = ReadWmf(B);
    ASSERT_EQ(CountType(W, WmfTextOut), 1);
    for (const auto& R : W.Records) {
        if (R.Type != WmfTextOut)
            continue;
        ASSERT_EQ(U16(B, R.At), 7u);
        const std::string Bytes(reinterpret_cast<const char*>(B.data() + R.At + 2), 7);
        EXPECT_EQ(Bytes, "\xCE\xF2\xF1\xEE\xF1_1");
    }
}

} // namespace
} // namespace kalvex::test
