// The painting of the canvas, checked call by call on the recording surface.
#include "CanvasFixture.h"
#include "results/uTextFormat.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kalvex::test {
namespace {

constexpr double Pi = std::numbers::pi;

std::vector<TDrawCall> WithBrush(const std::vector<TDrawCall>& Calls, TColor Brush) {
    std::vector<TDrawCall> Out;
    std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(Out),
                 [&](const TDrawCall& C) { return C.BrushColor == Brush; });
    return Out;
}

std::vector<TDrawCall> GreenPolygons(const TRecordingSurface& S) {
    return WithBrush(S.Of("Polygon"), clGreen);
}

// Every line drawn (LineTo with its start point).
std::vector<TDrawCall> Lines(const TRecordingSurface& S) {
    return S.Of("LineTo");
}

class PaintTest : public CanvasTest {};

// ---------------------------------------------------------------- frame and axes

TEST_F(PaintTest, AxesRunFromTheOriginToTheFourEdges) {
    Canvas.SetOrigin({120, 300});
    RedrawFresh();
    const auto L = Lines(Buffer);
    ASSERT_EQ(L.size(), 4u);
    const TPixel Ends[4] = {{120, 0}, {120, 400}, {0, 300}, {500, 300}};
    for (int I = 0; I < 4; ++I) {
        EXPECT_EQ(L[I].Points[0], (TPixel{120, 300}));
        EXPECT_EQ(L[I].Points[1], Ends[I]);
        EXPECT_EQ(L[I].PenColor, clLime);
        EXPECT_EQ(L[I].PenStyle, TPenStyle::psDash);
    }
}

TEST_F(PaintTest, AxesStyleNoneHidesOnlyTheAxes) {
    Canvas.Edges.Add(Polygon({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, {2, 0, -1}));
    RedrawFresh();
    const auto Dashed = Buffer.Calls;
    Canvas.AxesStyle = 5;
    RedrawFresh();
    const auto None = Buffer.Calls;
    ASSERT_EQ(Dashed.size(), None.size());
    const auto L = Lines(Buffer);
    for (int I = 0; I < 4; ++I)
        EXPECT_EQ(L[I].PenStyle, TPenStyle::psClear);
    // Everything after the axes is drawn alike, and with a visible pen.
    int AxesLines = 0;
    for (std::size_t I = 0; I < None.size(); ++I) {
        if (None[I].Op == "LineTo" && AxesLines < 4) {
            ++AxesLines;
            continue;
        }
        if (AxesLines < 4)
            continue;
        EXPECT_EQ(None[I].Op, Dashed[I].Op);
        EXPECT_EQ(None[I].Args, Dashed[I].Args);
        EXPECT_EQ(None[I].Points, Dashed[I].Points);
        EXPECT_NE(None[I].PenStyle, TPenStyle::psClear);
    }
}

// ---------------------------------------------------------------- bands

TEST_F(PaintTest, SuctionBandIsWhiteDottedWithAnArrowPointingOut) {
    Canvas.DrawSegmentBand({100, 200}, {200, 200}, 1, 0, 0);
    const auto Polys = Buffer.Of("Polygon");
    ASSERT_EQ(Polys.size(), 2u);
    // The band: three pixels on the left of the direction of travel (up on screen).
    EXPECT_EQ(Polys[0].Points,
              (std::vector<TPixel>{
                  {100, 200}, {100, 197}, {100, 197}, {200, 197}, {200, 197}, {200, 200}}));
    EXPECT_EQ(Polys[0].BrushColor, clWhite);
    EXPECT_EQ(Polys[0].PenColor, clWhite);
    const auto L = Lines(Buffer);
    ASSERT_EQ(L.size(), 1u);
    EXPECT_EQ(L[0].Points, (std::vector<TPixel>{{100, 200}, {200, 200}}));
    EXPECT_EQ(L[0].PenStyle, TPenStyle::psDot);
    EXPECT_EQ(L[0].PenColor, clBlack);
    EXPECT_EQ(Buffer.PenStyle, TPenStyle::psSolid);
    // The arrow at the middle, 2 to 13 pixels out across the band side.
    EXPECT_EQ(Polys[1].BrushColor, clGreen);
    EXPECT_EQ(Polys[1].PenColor, clGreen);
    EXPECT_EQ(
        Polys[1].Points,
        (std::vector<TPixel>{
            {149, 198}, {149, 192}, {146, 192}, {150, 187}, {154, 192}, {151, 192}, {151, 198}}));
    // Vertex circles in editing mode.
    const auto E = Buffer.Of("Ellipse");
    ASSERT_EQ(E.size(), 2u);
    EXPECT_EQ(E[0].Args, (std::vector<int>{97, 197, 103, 203}));
    EXPECT_EQ(E[1].Args, (std::vector<int>{197, 197, 203, 203}));
    EXPECT_EQ(E[0].BrushColor, clWhite);
}

TEST_F(PaintTest, InflowArrowPointsBackToTheCentreLine) {
    Canvas.DrawSegmentBand({100, 200}, {200, 200}, -1, 0, 0);
    const auto Arrows = GreenPolygons(Buffer);
    ASSERT_EQ(Arrows.size(), 1u);
    EXPECT_EQ(
        Arrows[0].Points,
        (std::vector<TPixel>{
            {149, 188}, {149, 194}, {146, 194}, {150, 199}, {154, 194}, {151, 194}, {151, 188}}));
    EXPECT_EQ(Buffer.Of("Polygon")[0].BrushColor, clWhite);
    EXPECT_EQ(Lines(Buffer)[0].PenStyle, TPenStyle::psDot);
}

TEST_F(PaintTest, WallBandIsEdgeColouredWithASolidLineAndNoArrow) {
    Canvas.SetEditEnabled(false);
    Canvas.EdgeColor = 0x123456;
    Canvas.DrawSegmentBand({100, 200}, {200, 200}, 0, 0, 0);
    const auto Polys = Buffer.Of("Polygon");
    ASSERT_EQ(Polys.size(), 1u);
    EXPECT_EQ(Polys[0].BrushColor, 0x123456u);
    EXPECT_EQ(Polys[0].PenColor, 0x123456u);
    EXPECT_EQ(Lines(Buffer)[0].PenStyle, TPenStyle::psSolid);
    // No vertex circles outside editing without names.
    EXPECT_TRUE(Buffer.Of("Ellipse").empty());
}

TEST_F(PaintTest, BandIsMitredAtTheCornersOfASquare) {
    // Counter-clockwise in metres, so the bands lie inside.
    Canvas.Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
    RedrawFresh();
    const auto Polys = Buffer.Of("Polygon");
    ASSERT_EQ(Polys.size(), 4u);
    EXPECT_EQ(Polys[0].Points, (std::vector<TPixel>{{0, 400}, {3, 397}, {247, 397}, {250, 400}}));
    EXPECT_EQ(Polys[1].Points,
              (std::vector<TPixel>{{250, 400}, {247, 397}, {247, 153}, {250, 150}}));
    EXPECT_EQ(Polys[0].BrushColor, clSilver);
}

TEST_F(PaintTest, MitrePointIsPulledBackOntoShortSegments) {
    // The half angle of 45 degrees puts the mitre point 4.2 pixels out; the segment is 2.
    Canvas.DrawSegmentBand({0, 0}, {2, 0}, 0, 0, -Pi / 4);
    const auto Polys = Buffer.Of("Polygon");
    ASSERT_EQ(Polys.size(), 1u);
    EXPECT_EQ(Polys[0].Points, (std::vector<TPixel>{{0, 0}, {1, -1}, {2, -3}, {2, -3}, {2, 0}}));

    // An all but reversed corner sends the mitre point billions of pixels out before
    // the pull-back; it must arrive at the segment's length without overflowing.
    Buffer.Clear();
    Canvas.DrawSegmentBand({100, 0}, {200, 0}, 0, 0, -(Pi / 2 - 1e-12));
    ASSERT_EQ(Buffer.Of("Polygon").size(), 1u);
    EXPECT_EQ(Buffer.Of("Polygon")[0].Points,
              (std::vector<TPixel>{{100, 0}, {200, 0}, {200, -3}, {200, -3}, {200, 0}}));
}

TEST_F(PaintTest, ZeroLengthBandDrawsNothing) {
    Canvas.DrawSegmentBand({10, 10}, {10, 10}, 1, 0, 0);
    EXPECT_TRUE(Buffer.Calls.empty());
}

TEST_F(PaintTest, TinyVelocityIsDrawnAsAWallButLabelledAsSuction) {
    Canvas.ShowNames = true;
    Canvas.Edges.Add(Polygon({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, {5e-11, 0, 0}));
    RedrawFresh();
    EXPECT_TRUE(GreenPolygons(Buffer).empty());
    for (const auto& P : Buffer.Of("Polygon"))
        EXPECT_EQ(P.BrushColor, clSilver);
    const auto T = Texts(Buffer);
    EXPECT_NE(std::find(T.begin(), T.end(), "Отсос1"), T.end());
}

TEST_F(PaintTest, InflowGetsNoSuctionLabel) {
    Canvas.ShowNames = true;
    Canvas.Edges.Add(Polygon({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, {-2, 0, 0}));
    RedrawFresh();
    EXPECT_EQ(GreenPolygons(Buffer).size(), 1u);
    const auto T = Texts(Buffer);
    EXPECT_EQ(std::count_if(T.begin(), T.end(),
                            [](const std::string& S) { return S.starts_with("Отсос"); }),
              0);
}

// ---------------------------------------------------------------- labels

TEST_F(PaintTest, PointLabelsCountAcrossObjects) {
    Canvas.ShowNames = true;
    Canvas.Edges.Add(Polygon({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, {1, 0, 0}));
    Canvas.Edges.Add(Polygon({{1.1, 0.1}, {1.5, 0.1}, {1.5, 0.5}}, {0, 3, 0}));
    RedrawFresh();
    EXPECT_EQ(Texts(Buffer),
              (std::vector<std::string>{"Точка1", "Отсос1", "Точка2", "Точка3", "Точка1",
                                        "Точка4", "Точка5", "Отсос2", "Точка6", "Точка4"}));
}

TEST_F(PaintTest, SemiInfiniteChainOfTwoSegmentsHasThreePointLabels) {
    Canvas.ShowNames = true;
    Canvas.Edges.Add(Chain({{0.2, 0.2}, {0.4, 0.2}, {0.4, 0.6}}));
    RedrawFresh();
    EXPECT_EQ(Texts(Buffer),
              (std::vector<std::string>{"Точка1", "Точка2", "Точка1", "Точка3"}));
}

TEST_F(PaintTest, LabelIsABoxWithALeaderLine) {
    Canvas.DrawLabel({40, 50}, "ab");
    const auto R = Buffer.Of("Rectangle");
    ASSERT_EQ(R.size(), 1u);
    // 7 by 13 pixels per character on the recording surface.
    EXPECT_EQ(R[0].Args, (std::vector<int>{43, 57, 43 + 14 + 6, 57 + 13 + 6}));
    EXPECT_EQ(R[0].BrushColor, clLabelBack);
    EXPECT_EQ(R[0].PenColor, clBlack);
    const auto L = Lines(Buffer);
    ASSERT_EQ(L.size(), 1u);
    EXPECT_EQ(L[0].Points, (std::vector<TPixel>{{43, 57}, {40, 50}}));
    const auto T = Buffer.Of("TextOut");
    ASSERT_EQ(T.size(), 1u);
    EXPECT_EQ(T[0].Args, (std::vector<int>{46, 60}));
    EXPECT_EQ(T[0].Text, "ab");
}

TEST_F(PaintTest, NoNamesNoLabels) {
    Canvas.Edges.Add(Polygon({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}, {1, 0, 0}));
    Canvas.Edges.Add(Cylinder({1, 1}, 0.2, 0, true, 0, 90, 3));
    RedrawFresh();
    EXPECT_TRUE(Buffer.Of("TextOut").empty());
}

// ---------------------------------------------------------------- rays

TEST_F(PaintTest, SemiInfiniteObjectGetsTwoDashedRays) {
    Canvas.RayLength = 100;
    Canvas.Edges.Add(Chain({{0.2, 0.2}, {0.4, 0.2}, {0.4, 0.6}}));
    RedrawFresh();
    const auto L = Lines(Buffer);
    ASSERT_GE(L.size(), 6u);
    // After the four axes: back from the first point, on from the last one.
    EXPECT_EQ(L[4].Points, (std::vector<TPixel>{{50, 350}, {-50, 350}}));
    EXPECT_EQ(L[5].Points, (std::vector<TPixel>{{100, 250}, {100, 150}}));
    for (int I : {4, 5}) {
        EXPECT_EQ(L[I].PenStyle, TPenStyle::psDash);
        EXPECT_EQ(L[I].PenColor, clBlack);
    }
}

TEST_F(PaintTest, RayWithCoincidentPointsIsAPoint) {
    Canvas.DrawRay({5, 6}, {5, 6}, clBlack);
    EXPECT_EQ(Lines(Buffer)[0].Points, (std::vector<TPixel>{{5, 6}, {5, 6}}));
}

// ---------------------------------------------------------------- cylinders

TEST_F(PaintTest, SlitCylinderHasTwoSectorsARingAndAnArrowToTheCentre) {
    Canvas.DrawCylinder({250, 150}, 1, 0, 90, 50);
    const auto Pies = Buffer.Of("Pie");
    ASSERT_EQ(Pies.size(), 2u);
    // The wall from the slit's end counter-clockwise to its start, then the white slit.
    EXPECT_EQ(Pies[0].Args, (std::vector<int>{200, 100, 300, 200, 250, 100, 300, 150}));
    EXPECT_EQ(Pies[0].BrushColor, clSilver);
    EXPECT_EQ(Pies[0].PenColor, clSilver);
    EXPECT_EQ(Pies[1].Args, (std::vector<int>{200, 100, 300, 200, 300, 150, 250, 100}));
    EXPECT_EQ(Pies[1].BrushColor, clWhite);
    const auto Arcs = Buffer.Of("Arc");
    ASSERT_EQ(Arcs.size(), 2u);
    EXPECT_EQ(Arcs[0].Args, (std::vector<int>{200, 100, 300, 200, 250, 100, 300, 150}));
    EXPECT_EQ(Arcs[0].PenColor, clBlack);
    EXPECT_EQ(Arcs[1].Args, (std::vector<int>{200, 100, 300, 200, 300, 150, 250, 100}));
    EXPECT_EQ(Arcs[1].PenColor, clWhite);
    const auto Ell = Buffer.Of("Ellipse");
    ASSERT_EQ(Ell.size(), 1u);
    EXPECT_EQ(Ell[0].Args, (std::vector<int>{203, 103, 297, 197}));
    EXPECT_EQ(Ell[0].BrushColor, clWhite);
    const auto Arrows = GreenPolygons(Buffer);
    ASSERT_EQ(Arrows.size(), 1u);
    // From the middle of the chord (275, 125) towards the centre: the tip is 13 pixels in.
    EXPECT_EQ(Arrows[0].Points[3], (TPixel{266, 134}));
    EXPECT_EQ(Arrows[0].Points[0], (TPixel{274, 127}));

    // A half-circle slit: its chord runs through the centre, so the arrow starts there
    // and points away from the middle of the slit's arc (that is at 90 degrees, at the
    // top), i.e. straight down on the screen.
    Buffer.Clear();
    Canvas.DrawCylinder({250, 150}, 1, 0, 180, 50);
    const auto Half = GreenPolygons(Buffer);
    ASSERT_EQ(Half.size(), 1u);
    EXPECT_EQ(Half[0].Points[3], (TPixel{250, 163}));
    EXPECT_EQ(Half[0].Points[0], (TPixel{251, 152}));
}

TEST_F(PaintTest, CylinderWithoutSlitIsARingWithoutArrow) {
    Canvas.DrawCylinder({100, 100}, 1, 0, 0, 20);
    const auto Ell = Buffer.Of("Ellipse");
    ASSERT_EQ(Ell.size(), 2u);
    EXPECT_EQ(Ell[0].Args, (std::vector<int>{80, 80, 120, 120}));
    EXPECT_EQ(Ell[0].BrushColor, clSilver);
    EXPECT_EQ(Ell[0].PenColor, clBlack);
    EXPECT_EQ(Ell[1].Args, (std::vector<int>{83, 83, 117, 117}));
    EXPECT_TRUE(Buffer.Of("Pie").empty());
    EXPECT_TRUE(GreenPolygons(Buffer).empty());
}

TEST_F(PaintTest, SmallCylinderIsAFilledDisc) {
    Canvas.DrawCylinder({100, 100}, 0, 0, 0, 3); // radius not above the edge width
    const auto Ell = Buffer.Of("Ellipse");
    ASSERT_EQ(Ell.size(), 1u);
    EXPECT_EQ(Ell[0].Args, (std::vector<int>{97, 97, 103, 103}));
    EXPECT_EQ(Ell[0].BrushColor, clSilver);
}

TEST_F(PaintTest, HugeCylinderKeepsItsBoxInOrder) {
    // 1e7 m at 0.004 m/px is far past the int range: bounded, not wrapped round.
    Canvas.Edges.Add(Cylinder({1e7, 0}, 1e7));
    RedrawFresh();
    const auto Ell = Buffer.Of("Ellipse");
    ASSERT_FALSE(Ell.empty());
    for (const auto& E : Ell) {
        EXPECT_LT(E.Args[0], E.Args[2]);
        EXPECT_LT(E.Args[1], E.Args[3]);
        EXPECT_GT(E.Args[2], 0);
    }
}

TEST_F(PaintTest, CylinderFlagsDecideSlitAndArrow) {
    // A slit flagged with angles 0 and 0 is a full ring; a slit velocity without the
    // flag draws no arrow.
    Canvas.Edges.Add(Cylinder({0.4, 0.4}, 0.1, 0, true, 0, 0, 2));
    Canvas.Edges.Add(Cylinder({1.0, 0.4}, 0.1, 0, false, 10, 80, 2));
    RedrawFresh();
    EXPECT_TRUE(Buffer.Of("Pie").empty());
    EXPECT_TRUE(GreenPolygons(Buffer).empty());
    EXPECT_EQ(Buffer.Of("Ellipse").size(), 4u);
}

TEST_F(PaintTest, CylinderLabelsAndSlitSuction) {
    Canvas.ShowNames = true;
    Canvas.Edges.Add(Cylinder({0.4, 0.4}, 0.2, 0, true, 0, 90, 2));
    Canvas.Edges.Add(Cylinder({1.2, 0.4}, 0.2, 0, true, 0, 90, 5e-11));
    RedrawFresh();
    EXPECT_EQ(Texts(Buffer), (std::vector<std::string>{"Цилиндр1", "Отсос1", "Цилиндр2"}));
    // The suction label sits at 0.3 Pa + 0.7 Pb of the rim points at 0 and 90 degrees.
    const auto T = Buffer.Of("TextOut");
    const TPixel Pa = Canvas.WorldToScreen({0.6, 0.4});
    const TPixel Pb = Canvas.WorldToScreen({0.4, 0.6});
    const TPixel At{RoundEven(0.3 * Pa.X + 0.7 * Pb.X), RoundEven(0.3 * Pa.Y + 0.7 * Pb.Y)};
    EXPECT_EQ(T[1].Args, (std::vector<int>{At.X + 6, At.Y + 10}));
}

TEST_F(PaintTest, RedrawCylindersDrawsOnTheScreenOnly) {
    Canvas.Edges.Add(Polygon({{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}}));
    Canvas.Edges.Add(Cylinder({1, 1}, 0.2, 0, true, 0, 90, 2));
    Canvas.RedrawCylinders();
    EXPECT_TRUE(Buffer.Calls.empty());
    EXPECT_EQ(Screen.Of("Pie").size(), 2u);
    EXPECT_TRUE(Screen.Of("TextOut").empty());
    EXPECT_EQ(Copies, 0);
}

// ---------------------------------------------------------------- modelling mode

class ResultsTest : public PaintTest {
protected:
    void SetUp() override {
        PaintTest::SetUp();
        TColorPointArray Line(3);
        Line[0].Position = {0, 0};
        Line[1] = {0x0000FF, {0.4, 0}};
        Line[2] = {0x00FFFF, {0.4, 0.4}};
        Canvas.DrawLines.AddLine(Line);
        Canvas.SpeedPoint = {1, 1};
        Canvas.ShowSpeedPoint = true;
    }
    bool HasResultLine() const {
        const auto L = Lines(Buffer);
        return std::any_of(L.begin(), L.end(), [](const TDrawCall& C) {
            return C.PenColor == 0x00FFFFu && C.Points[1] == TPixel{100, 300};
        });
    }
};

TEST_F(ResultsTest, SpeedLegendIsDrawnInTheUpperRightCornerWhileResultsShow) {
    // Speeds 1 and 2: the scale runs from 1 to 2 m/s.
    Canvas.Edges = ModelOf({Polygon({{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {1.0, -2.0})});
    Canvas.SetEditEnabled(false);
    Canvas.LegendFormat = [](double V) { return FormatNumber(V, ','); };
    RedrawFresh();
    EXPECT_TRUE(Buffer.Of("Rectangle").size() == 1u) << "only the background without it";
    Canvas.ShowLegend(true);
    RedrawFresh();
    // Text is 7 pixels a byte: the caption (19 bytes) is the widest, so the box is
    // 4 + 12 + 4 + 133 + 4 wide, 10 pixels from the right edge and the top. These lines
    // carry no speeds, so the scale is the openings'.
    const auto Boxes = Buffer.Of("Rectangle");
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1].Args, (std::vector<int>{333, 10, 490, 160}));
    EXPECT_EQ(Boxes[1].PenColor, clBlack);
    EXPECT_EQ(Boxes[1].BrushColor, clWhite);
    // One row per colour level from the fastest down, as the flow lines colour them.
    std::vector<TDrawCall> Bar;
    for (const TDrawCall& C : Lines(Buffer))
        if (C.Points[0].X == 337 && C.Points[1].X == 349)
            Bar.push_back(C);
    ASSERT_EQ(Bar.size(), 100u);
    EXPECT_EQ(Bar[0].Points[0].Y, 50);
    EXPECT_EQ(Bar[0].PenColor, 0xFF00FEu);
    EXPECT_EQ(Bar[99].Points[0].Y, 149);
    EXPECT_EQ(Bar[99].PenColor, 0xFF0001u);
    const auto T = Buffer.Of("TextOut");
    ASSERT_EQ(T.size(), 7u);
    EXPECT_EQ(T[0].Text, "|V|, м/с");
    EXPECT_EQ(T[0].Args, (std::vector<int>{337, 14}));
    EXPECT_EQ(T[1].Text, "по отсосам");
    EXPECT_EQ(T[1].Args, (std::vector<int>{337, 27}));
    const char* Labels[] = {"1,000", "1,250", "1,500", "1,750", "2,000"};
    for (int K = 0; K < 5; ++K) {
        EXPECT_EQ(T[static_cast<std::size_t>(K) + 2].Text, Labels[K]);
        EXPECT_EQ(T[static_cast<std::size_t>(K) + 2].Args, (std::vector<int>{353, 144 - 25 * K}));
    }
    // Hidden with the results and while editing.
    Canvas.ShowResults = false;
    RedrawFresh();
    EXPECT_TRUE(Buffer.Of("TextOut").empty());
    Canvas.ShowResults = true;
    Canvas.SetEditEnabled(true);
    RedrawFresh();
    EXPECT_EQ(Buffer.Of("Rectangle").size(), 1u);
}

TEST_F(ResultsTest, ExportedPictureCarriesTheLegendWhenShown) {
    Canvas.Edges = ModelOf({Polygon({{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {1.0, -2.0})});
    Canvas.SetEditEnabled(false);
    const auto Holds = [](const std::vector<std::uint8_t>& Bytes, const std::string& Text) {
        return std::search(Bytes.begin(), Bytes.end(), Text.begin(), Text.end()) != Bytes.end();
    };
    for (const bool Wmf : {true, false}) {
        std::vector<std::uint8_t> Plain;
        Canvas.RenderMetafile(Wmf, Plain);
        Canvas.ShowLegend(true);
        std::vector<std::uint8_t> WithLegend;
        Canvas.RenderMetafile(Wmf, WithLegend);
        Canvas.ShowLegend(false);
        EXPECT_FALSE(Holds(Plain, "1.750")) << Wmf;
        if (Wmf) {
            EXPECT_TRUE(Holds(WithLegend, "1.750"));
        }
        EXPECT_GT(WithLegend.size(), Plain.size() + 100 * 8) << Wmf;
    }
}

TEST_F(ResultsTest, LinesAreColouredByTheirOwnSpeedsUnlessTheOpeningsScaleIsAsked) {
    // Openings at 1 and 2 m/s; the air along the line moves at 0,1..0,4 m/s, so on the
    // openings' scale every step is the slowest blue and the legend's low end is clipped.
    Canvas.Edges = ModelOf({Polygon({{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {1.0, -2.0})});
    Canvas.SetEditEnabled(false);
    Canvas.LegendFormat = [](double V) { return FormatNumber(V, ','); };
    Canvas.ShowLegend(true);
    TColorPointArray Line(3);
    Line[1] = {0xFF0000, {0.4, 0}, 0.1f};
    Line[2] = {0xFF0000, {0.4, 0.4}, 0.4f};
    Canvas.DrawLines.ClearLines();
    Canvas.DrawLines.AddLine(Line);
    const auto StepColours = [&] {
        std::vector<TColor> C;
        for (const TDrawCall& L : Lines(Buffer))
            if (L.Points[1] == TPixel{100, 400} || L.Points[1] == TPixel{100, 300})
                C.push_back(L.PenColor);
        return C;
    };
    const auto Texts = [&] {
        std::vector<std::string> T;
        for (const TDrawCall& C : Buffer.Of("TextOut"))
            T.push_back(C.Text);
        return T;
    };
    RedrawFresh();
    EXPECT_EQ(StepColours(), (std::vector<TColor>{0xFF0000u, 0xFF00FFu}));
    std::vector<std::string> T = Texts();
    ASSERT_EQ(T.size(), 7u);
    EXPECT_EQ(T[1], "по линиям тока");
    EXPECT_EQ(T[2], "0,100");
    EXPECT_EQ(T[6], "0,400");

    Canvas.SetSpeedScale(TSpeedScale::Openings);
    RedrawFresh();
    EXPECT_EQ(StepColours(), (std::vector<TColor>{0xFF0000u, 0xFF0000u}));
    T = Texts();
    ASSERT_EQ(T.size(), 7u);
    EXPECT_EQ(T[1], "по отсосам");
    EXPECT_EQ(T[2], "<1,000");
    EXPECT_EQ(T[6], "2,000");
    // The results file keeps the colours the lines were traced with either way.
    EXPECT_EQ(Canvas.DrawLines.Lines[0][2].Color, 0xFF0000u);
}

TEST_F(ResultsTest, OpeningsScaleMarksTheFastEndWhenLinesGoBeyondIt) {
    Canvas.Edges = ModelOf({Polygon({{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {0.1, -0.4})});
    TColorPointArray Line(2);
    Line[1] = {0xFF00FF, {0.4, 0}, 2.1f};
    Canvas.DrawLines.ClearLines();
    Canvas.DrawLines.AddLine(Line);
    Canvas.SetSpeedScale(TSpeedScale::Openings);
    const TShownScale S = Canvas.ShownSpeedScale();
    EXPECT_EQ(S.Scale, TSpeedScale::Openings);
    EXPECT_TRUE(S.Above);
    EXPECT_FALSE(S.Below);
    EXPECT_LT(S.VMax, 2.1);
    TRecordingSurface Surface;
    const auto Format = [](double V) { return FormatNumber(V, ','); };
    DrawSpeedLegend(Surface, 500, 0, S, Format);
    const std::string Top = Surface.Of("TextOut").back().Text;
    ASSERT_FALSE(Top.empty());
    EXPECT_EQ(Top[0], '>');
    EXPECT_EQ(Top.substr(1), Format(S.VMax));
}

TEST_F(ResultsTest, EditingModeShowsNeitherResultsNorTheQueryMarker) {
    RedrawFresh();
    EXPECT_FALSE(HasResultLine());
    EXPECT_TRUE(Buffer.Of("Arc").empty());
}

TEST_F(ResultsTest, ModellingModeShowsResultsAndTheQueryMarker) {
    Canvas.SetEditEnabled(false);
    RedrawFresh();
    EXPECT_TRUE(HasResultLine());
    const auto Arcs = Buffer.Of("Arc");
    ASSERT_EQ(Arcs.size(), 1u);
    EXPECT_EQ(Arcs[0].Args, (std::vector<int>{248, 148, 252, 152, 252, 150, 252, 150}));
    EXPECT_EQ(Arcs[0].PenColor, clSpeedPoint);

    Canvas.ShowResults = false;
    Canvas.ShowSpeedPoint = false;
    RedrawFresh();
    EXPECT_FALSE(HasResultLine());
    EXPECT_TRUE(Buffer.Of("Arc").empty());
}

// ---------------------------------------------------------------- elements and selection

TEST_F(PaintTest, ElementsReplaceTheBoundariesButNotTheSelection) {
    Canvas.ShowNames = true;
    Canvas.Edges.Add(Polygon({{0, 0}, {0.4, 0}, {0.4, 0.4}}, {1, 0, 0}));
    TEdgeElements Elements;
    Elements.Elements = {{{0, 0}, {0.2, 0}, 1}, {{0.2, 0}, {0.4, 0}, 1}};
    Elements.Count = 2;
    Canvas.EdgeElements = &Elements;
    Canvas.Select({skSegment, 0, 0});
    RedrawFresh();
    EXPECT_TRUE(Buffer.Of("Polygon").empty());
    EXPECT_TRUE(Buffer.Of("TextOut").empty());
    const auto L = Lines(Buffer);
    ASSERT_EQ(L.size(), 4u + 2u + 1u);
    EXPECT_EQ(L[4].PenColor, clNavy);
    EXPECT_EQ(L[4].Points, (std::vector<TPixel>{{0, 400}, {50, 400}}));
    EXPECT_EQ(L[5].PenColor, clLime);
    EXPECT_EQ(L[6].PenColor, clRed); // the selected segment
}

TEST_F(PaintTest, SelectionHighlightByKind) {
    Canvas.Edges.Add(Polygon({{0, 0}, {0.4, 0}, {0.4, 0.4}}));
    Canvas.SetEditEnabled(false); // no vertex circles in the way
    Canvas.Select({skPoint, 0, 1});
    RedrawFresh();
    auto E = Buffer.Of("Ellipse");
    ASSERT_EQ(E.size(), 1u);
    EXPECT_EQ(E[0].Args, (std::vector<int>{97, 297, 103, 303})); // P2 of segment 1
    EXPECT_EQ(E[0].PenColor, clRed);

    Canvas.Select({skFirstPoint, 0, 1});
    RedrawFresh();
    E = Buffer.Of("Ellipse");
    ASSERT_EQ(E.size(), 1u);
    EXPECT_EQ(E[0].Args, (std::vector<int>{97, 397, 103, 403}));

    Canvas.Select({skSegment, 0, 1});
    RedrawFresh();
    E = Buffer.Of("Ellipse");
    ASSERT_EQ(E.size(), 2u);
    EXPECT_EQ(E[0].PenColor, clBlack);
    EXPECT_EQ(Lines(Buffer).back().PenColor, clRed);
    EXPECT_EQ(Lines(Buffer).back().Points, (std::vector<TPixel>{{100, 400}, {100, 300}}));

    Canvas.Edges.Add(Cylinder({1, 1}, 0.2, 0, true, 10, 80, 1));
    Canvas.Select({skCylinder, 1, 0});
    RedrawFresh();
    const auto Arcs = Buffer.Of("Arc");
    ASSERT_EQ(Arcs.back().PenColor, clRed);
    // From the slit's end angle to its start angle.
    const TPixel C = Canvas.WorldToScreen({1, 1});
    EXPECT_EQ(Arcs.back().Args[4], RoundEven(C.X + 50 * std::cos(DegToRad(80))));
    EXPECT_EQ(Arcs.back().Args[6], RoundEven(C.X + 50 * std::cos(DegToRad(10))));
}

TEST_F(PaintTest, ClosedObjectWithoutSegmentsDrawsNothing) {
    Canvas.ShowNames = true;
    Canvas.Edges.Add(TEdge(ekClosed));
    RedrawFresh();
    EXPECT_TRUE(Buffer.Of("Polygon").empty());
    EXPECT_TRUE(Buffer.Of("TextOut").empty());
}

} // namespace
} // namespace kalvex::test
