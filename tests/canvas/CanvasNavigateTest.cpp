// Moving about the drawing with the mouse, and dragging its points and cylinders.
#include "CanvasFixture.h"

using namespace kalvex;
using namespace kalvex::test;

namespace {

using NavigateTest = CanvasTest;

// Inside the canvas with its margin, and centred to the pixel.
void ExpectFitted(const TEdgesCanvas& C) {
    TRealPoint TL;
    TRealPoint BR;
    C.Edges.GetBounds(TL, BR);
    const TPixel A = C.WorldToScreen(TL);
    const TPixel B = C.WorldToScreen(BR);
    for (const TPixel P : {A, B}) {
        EXPECT_GT(P.X, 0);
        EXPECT_LT(P.X, C.Width());
        EXPECT_GT(P.Y, 0);
        EXPECT_LT(P.Y, C.Height());
    }
    EXPECT_NEAR((A.X + B.X) / 2.0, C.Width() / 2.0, 1.0);
    EXPECT_NEAR((A.Y + B.Y) / 2.0, C.Height() / 2.0, 1.0);
    // It fills the canvas in one direction at least.
    EXPECT_TRUE(B.X - A.X > C.Width() * 0.8 || A.Y - B.Y > C.Height() * 0.8);
}

} // namespace

TEST_F(NavigateTest, FitShowsTheWholeSystemCentredAndResizingKeepsTheCentre) {
    // Far off the default view, as a system drawn in other units would lie.
    Canvas.Edges.Add(Polygon({{40, 10}, {44, 10}, {44, 11}, {40, 11}}));
    Canvas.Edges.Add(Cylinder({46, 10.5}, 0.5));
    Canvas.ZoomFit();
    ExpectFitted(Canvas);
    EXPECT_EQ(Canvas.DrawLines.Scale, Canvas.Scale);

    const TRealPoint Middle = Canvas.ScreenToWorld({250, 200});
    Canvas.Resize(700, 300);
    EXPECT_EQ(Canvas.WorldToScreen(Middle), (TPixel{350, 150}));

    // A canvas without a size yet fits when it gets one.
    TEdgesCanvas Fresh;
    Fresh.Edges = Canvas.Edges;
    Fresh.ZoomFit();
    Fresh.Resize(640, 480);
    ExpectFitted(Fresh);
}

TEST_F(NavigateTest, TheWheelZoomsAboutThePointerAndTheMiddleButtonPans) {
    Canvas.SetTool(etSelect);
    const TPixel Pointer{123, 77};
    const TRealPoint Under = Canvas.ScreenToWorld(Pointer);
    Canvas.ZoomAt(Pointer, 1 / 1.25);
    EXPECT_DOUBLE_EQ(Canvas.Scale, DefaultScale / 1.25);
    EXPECT_EQ(Canvas.WorldToScreen(Under), Pointer);

    const TPixel Origin = Canvas.Origin;
    int Notified = 0;
    Canvas.OnCanvasMouseDown = [&](TMouseButton, TShiftState, int, int) { ++Notified; };
    Canvas.MouseDown(TMouseButton::mbMiddle, 0, 10, 10);
    Canvas.MouseMove(0, 40, 30);
    Canvas.MouseUp(TMouseButton::mbMiddle, 0, 40, 30);
    Canvas.MouseMove(0, 90, 90);
    EXPECT_EQ(Canvas.Origin, (TPixel{Origin.X + 30, Origin.Y + 20}));
    EXPECT_EQ(Notified, 0);
    EXPECT_EQ(Canvas.SelKind(), skNone);
}

TEST_F(NavigateTest, APanDuringADrawingKeepsItsPointsWhereTheyWere) {
    Canvas.SetTool(etClosedEdge);
    Click(100, 300);
    Click(200, 300);
    const TRealPoint Second = Canvas.ScreenToWorld({200, 300});
    const int X0 = Canvas.Origin.X;
    Canvas.MouseDown(TMouseButton::mbMiddle, 0, 0, 0);
    Canvas.MouseMove(0, 50, 0);
    Canvas.MouseUp(TMouseButton::mbMiddle, 0, 50, 0);
    EXPECT_EQ(Canvas.Origin.X, X0 + 50);
    Click(250, 200);
    ASSERT_EQ(Canvas.Edges.Item(0).Count(), 2);
    const TEdgeSegment S = Canvas.Edges.Item(0).GetSegment(1);
    EXPECT_EQ(S.P1.X, Second.X);
    EXPECT_EQ(S.P1.Y, Second.Y);
}

TEST_F(NavigateTest, PointsAndCylindersFollowADragWithinTheCrossingRule) {
    Canvas.Edges.Add(Polygon({{0, 0}, {0.4, 0}, {0.4, 0.4}}));
    Canvas.Edges.Add(Cylinder({1.2, 0.2}, 0.1));
    Canvas.SetTool(etSelect);
    int Modified = 0;
    Canvas.OnModify = [&] { ++Modified; };
    // Take the corner (0.4, 0) at pixel (100, 400) and pull it right.
    Canvas.MouseDown(TMouseButton::mbLeft, 0, 101, 399);
    ASSERT_EQ(Canvas.SelKind(), skPoint);
    Canvas.MouseMove(0, 126, 399);
    Canvas.MouseMove(0, 151, 399);
    const TEdgeSegment S = Canvas.Edges.Item(0).GetSegment(0);
    EXPECT_NEAR(S.P2.X, 0.6, 1e-12);
    EXPECT_NEAR(S.P2.Y, 0.0, 1e-12);
    EXPECT_EQ(Modified, 2);
    const TEditNote Note = Canvas.TakeEditNote();
    EXPECT_EQ(Note.Name, "перемещение точки");
    EXPECT_NE(Note.Run, 0); // both moves make one step
    // Past the cylinder, the sides would cut it: refused, the corner stays.
    Canvas.MouseMove(0, 351, 349);
    EXPECT_NEAR(Canvas.Edges.Item(0).GetSegment(0).P2.X, 0.6, 1e-12);
    Canvas.MouseUp(TMouseButton::mbLeft, 0, 351, 349);
    Canvas.MouseMove(0, 200, 200);
    EXPECT_NEAR(Canvas.Edges.Item(0).GetSegment(0).P2.X, 0.6, 1e-12);

    // The cylinder keeps the offset at which it was taken.
    Canvas.MouseDown(TMouseButton::mbLeft, 0, 310, 350);
    ASSERT_EQ(Canvas.SelKind(), skCylinder);
    Canvas.MouseMove(0, 310, 325);
    Canvas.MouseUp(TMouseButton::mbLeft, 0, 310, 325);
    EXPECT_NEAR(Canvas.Edges.Item(1).GetSegment(0).P1.X, 1.2, 1e-12);
    EXPECT_NEAR(Canvas.Edges.Item(1).GetSegment(0).P1.Y, 0.3, 1e-12);
}

TEST_F(NavigateTest, TheSelectedSideIsDrawnThreePixelsWide) {
    Canvas.Edges.Add(Polygon({{0, 0}, {0.4, 0}, {0.4, 0.4}}));
    Canvas.SetTool(etSelect);
    Screen.Clear();
    Click(50, 399);
    ASSERT_EQ(Canvas.SelKind(), skSegment);
    bool Wide = false;
    for (const TDrawCall& C : Screen.Calls)
        Wide = Wide || (C.Op == "LineTo" && C.PenColor == clRed && C.PenWidth == 3);
    EXPECT_TRUE(Wide);
}
