// View transform, zoom, display state and the host seam of the canvas.
#include "CanvasFixture.h"

#include <cmath>

namespace kalvex::test {
namespace {

TEST(CanvasDefaults, MatchTheFreshCanvas) {
    TEdgesCanvas C;
    EXPECT_EQ(C.Scale, 0.004);
    EXPECT_EQ(C.Origin, (TPixel{0, 400}));
    EXPECT_EQ(C.EdgeWidth(), 3);
    EXPECT_EQ(C.EdgeColor, 0xC0C0C0u);
    EXPECT_EQ(C.AxesColor, 0x00FF00u);
    EXPECT_EQ(C.AxesStyle, 1);
    EXPECT_TRUE(C.EditEnabled());
    EXPECT_EQ(C.Tool(), etClosedEdge);
    EXPECT_EQ(C.SelKind(), skNone);
    EXPECT_EQ(C.SelEdge(), -1);
    EXPECT_EQ(C.SelSegment(), -1);
    EXPECT_TRUE(C.ShowResults);
    EXPECT_FALSE(C.ShowNames);
    EXPECT_FALSE(C.ShowSpeedPoint);
    EXPECT_EQ(C.EdgeElements, nullptr);
    EXPECT_EQ(C.RayLength, 1000);
    EXPECT_EQ(C.ClickCount(), 0);
    EXPECT_EQ(C.Edges.Count(), 0);
    EXPECT_EQ(C.DrawLines.Count, 0);
    // Segments made with the mouse.
    const TEdgeSegment& D = C.NewSegmentDefaults;
    EXPECT_EQ(D.DiscretizationType, 0);
    EXPECT_EQ(D.VortexStep(), 0.1);
    EXPECT_TRUE(D.EqualElements());
    EXPECT_EQ(D.BaseLength, 0.05);
    EXPECT_EQ(D.Scaler, 1.2);
    EXPECT_EQ(D.InfiniteScaler, 1.7);
    EXPECT_EQ(D.InfiniteCount, 10);
    EXPECT_EQ(D.CylBaseLength, 0.2);
}

TEST(CanvasTransform, DefaultViewMapsOneMetreTo250Pixels) {
    TEdgesCanvas C;
    EXPECT_EQ(C.WorldToScreen({0, 0}), (TPixel{0, 400}));
    EXPECT_EQ(C.WorldToScreen({1, 1}), (TPixel{250, 150}));
    const TRealPoint Back = C.ScreenToWorld({250, 150});
    EXPECT_DOUBLE_EQ(Back.X, 1.0);
    EXPECT_DOUBLE_EQ(Back.Y, 1.0);
}

TEST(CanvasTransform, RoundsHalvesToEven) {
    struct TRow {
        double X, Y;
        TPixel Expected;
    };
    // Half a metre per pixel: 0.25 m is half a pixel.
    const TRow Rows[] = {
        {0.25, 0.25, {10, 20}}, // 0.5 -> 0 in both directions
        {0.75, 0.75, {12, 18}}, // 1.5 -> 2
        {1.25, 1.25, {12, 18}}, // 2.5 -> 2
        {-0.25, -0.25, {10, 20}}, {-0.75, -0.75, {8, 22}}, {0.3, -0.3, {11, 21}},
    };
    TEdgesCanvas C;
    C.SetScale(0.5);
    C.SetOrigin({10, 20});
    for (const auto& R : Rows)
        EXPECT_EQ(C.WorldToScreen({R.X, R.Y}), R.Expected) << R.X << ", " << R.Y;
    // The way back is not rounded.
    const TRealPoint P = C.ScreenToWorld({13, 17});
    EXPECT_DOUBLE_EQ(P.X, 1.5);
    EXPECT_DOUBLE_EQ(P.Y, 1.5);
}

TEST(CanvasTransform, EdgeWidthStaysWithinTwoToFifteen) {
    TEdgesCanvas C;
    C.SetEdgeWidth(1);
    EXPECT_EQ(C.EdgeWidth(), 2);
    C.SetEdgeWidth(20);
    EXPECT_EQ(C.EdgeWidth(), 15);
    C.SetEdgeWidth(7);
    EXPECT_EQ(C.EdgeWidth(), 7);
    C.SetEdgeWidth(-100);
    EXPECT_EQ(C.EdgeWidth(), 2);
}

TEST_F(CanvasTest, ZoomKeepsTheCentrePointUnderTheCentre) {
    Canvas.SetOrigin({37, 311});
    const TPixel Centre{250, 200};
    const TRealPoint Before = Canvas.ScreenToWorld(Centre);
    const double Scale0 = Canvas.Scale;

    Canvas.ZoomIn();
    EXPECT_DOUBLE_EQ(Canvas.Scale, Scale0 / 1.25);
    EXPECT_EQ(Canvas.DrawLines.Scale, Canvas.Scale);
    // Within the half pixel that rounding of the origin allows.
    const TRealPoint In = Canvas.ScreenToWorld(Centre);
    EXPECT_LE(std::abs(In.X - Before.X), Canvas.Scale / 2 + 1e-15);
    EXPECT_LE(std::abs(In.Y - Before.Y), Canvas.Scale / 2 + 1e-15);
    EXPECT_EQ(Canvas.WorldToScreen(Before), Centre);

    Canvas.ZoomOut();
    EXPECT_NEAR(Canvas.Scale, Scale0, 1e-18);
    EXPECT_EQ(Canvas.WorldToScreen(Before), Centre);
    EXPECT_EQ(Canvas.DrawLines.Scale, Canvas.Scale);
    EXPECT_EQ(Copies, 2); // each zoom redraws
}

TEST_F(CanvasTest, ZoomTwiceEachWayGivesBackTheScale) {
    const TRealPoint Before = Canvas.ScreenToWorld({250, 200});
    Canvas.ZoomIn();
    Canvas.ZoomIn();
    Canvas.ZoomOut();
    Canvas.ZoomOut();
    EXPECT_NEAR(Canvas.Scale, 0.004, 1e-17);
    EXPECT_EQ(Canvas.WorldToScreen(Before), (TPixel{250, 200}));
}

TEST_F(CanvasTest, ZoomResetRestoresTheDefaultView) {
    Canvas.ZoomOut();
    Canvas.SetOrigin({-70, 13});
    Canvas.ZoomReset();
    EXPECT_EQ(Canvas.Scale, 0.004);
    EXPECT_EQ(Canvas.Origin, (TPixel{0, 400}));
    EXPECT_EQ(Canvas.DrawLines.Scale, 0.004);
}

TEST_F(CanvasTest, ClearModelEmptiesTheModelAndTheSelection) {
    Canvas.Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 1}}));
    Canvas.Select({skSegment, 0, 1});
    Canvas.ClearModel();
    EXPECT_EQ(Canvas.Edges.Count(), 0);
    EXPECT_EQ(Canvas.SelEdge(), -1);
    EXPECT_EQ(Canvas.SelSegment(), -1);
    EXPECT_EQ(Canvas.SelKind(), skNone);
}

TEST_F(CanvasTest, RedrawComposesInTheBufferAndCopiesOnce) {
    Canvas.Target = Canvas.ScreenCanvas();
    Canvas.Redraw();
    EXPECT_EQ(Canvas.Target, &Buffer);
    EXPECT_EQ(Copies, 1);
    EXPECT_TRUE(Screen.Calls.empty());
    ASSERT_FALSE(Buffer.Calls.empty());
    const TDrawCall& First = Buffer.Calls.front();
    EXPECT_EQ(First.Op, "Rectangle");
    EXPECT_EQ(First.Args, (std::vector<int>{0, 0, 500, 400}));
    EXPECT_EQ(First.BrushColor, clWhite);
    EXPECT_EQ(First.PenColor, clWhite);

    // A repaint only copies.
    Buffer.Clear();
    Canvas.Paint();
    EXPECT_EQ(Copies, 2);
    EXPECT_TRUE(Buffer.Calls.empty());
}

TEST_F(CanvasTest, ResizeSetsTheSizeAndRedraws) {
    Canvas.Resize(320, 240);
    EXPECT_EQ(Canvas.Width(), 320);
    EXPECT_EQ(Canvas.Height(), 240);
    EXPECT_EQ(Buffer.Calls.front().Args, (std::vector<int>{0, 0, 320, 240}));
    EXPECT_EQ(Copies, 1);
}

TEST(CanvasSeam, WorksWithoutSurfaces) {
    TEdgesCanvas C;
    C.Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 1}}));
    C.Redraw();
    C.MouseDown(TMouseButton::mbLeft, 0, 10, 10);
    C.MouseMove(0, 20, 20);
    EXPECT_EQ(C.ClickCount(), 1);
    EXPECT_EQ(C.Edges.Count(), 2);
}

} // namespace
} // namespace kalvex::test
