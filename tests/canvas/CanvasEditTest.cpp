// Mouse and keyboard editing: the drawing tools, the selection and the guarded edits.
#include "CanvasFixture.h"

namespace kalvex::test {
namespace {

class EditTest : public CanvasTest {
protected:
    void SetUp() override {
        CanvasTest::SetUp();
        Canvas.OnSelect = [this] { ++Selects; };
        Canvas.OnChange = [this] { ++Changes; };
        Canvas.OnModify = [this] { ++Modifies; };
        Canvas.OnCanvasMouseDown = [this](TMouseButton, TShiftState, int X, int Y) {
            Forwarded.push_back({X, Y});
        };
        Canvas.OnCanvasMouseMove = [this](TShiftState, int, int) { ++Moves; };
    }

    // World (0.4, 0.4)-(0.8, 0.8), i.e. pixels (100, 300)-(200, 200), counter-clockwise.
    static TEdge Square() { return Polygon({{0.4, 0.4}, {0.8, 0.4}, {0.8, 0.8}, {0.4, 0.8}}); }

    void Select(int X, int Y) {
        Canvas.SetTool(etSelect);
        Click(X, Y);
    }

    TRealPoint SelectedPoint() const {
        const TEdgeSegment S = Canvas.Edges.Item(Canvas.SelEdge()).GetSegment(Canvas.SelSegment());
        return Canvas.SelKind() == skPoint ? S.P2 : S.P1;
    }

    static bool IsClosedChain(const TEdge& E) {
        for (int I = 0; I < E.Count(); ++I) {
            const TRealPoint A = E.GetSegment(I).P2;
            const TRealPoint B = E.GetSegment((I + 1) % E.Count()).P1;
            if (A.X != B.X || A.Y != B.Y)
                return false;
        }
        return true;
    }

    int Selects = 0;
    int Changes = 0;
    int Modifies = 0;
    int Moves = 0;
    std::vector<TPixel> Forwarded;
};

void ExpectPoint(TRealPoint P, TRealPoint Q) {
    EXPECT_DOUBLE_EQ(P.X, Q.X);
    EXPECT_DOUBLE_EQ(P.Y, Q.Y);
}

// ---------------------------------------------------------------- closed regions

TEST_F(EditTest, ARegionDrawnTakesTheAirSideItsPlaceSuggests) {
    // Alone, drawn counter-clockwise: an enclosure, the air inside (clockwise).
    for (const TPixel P : {TPixel{50, 350}, TPixel{450, 350}, TPixel{450, 50}, TPixel{50, 50}})
        Click(P.X, P.Y);
    RightClick(0, 0);
    ASSERT_EQ(Canvas.Edges.Count(), 1);
    EXPECT_TRUE(Canvas.Edges.Item(0).Clockwise());
    ExpectPoint(Canvas.Edges.Item(0).GetSegment(0).P1, Canvas.ScreenToWorld({50, 350}));
    // A plate inside it, drawn clockwise: a body, the air outside.
    for (const TPixel P : {TPixel{200, 150}, TPixel{300, 150}, TPixel{300, 200}, TPixel{200, 200}})
        Click(P.X, P.Y);
    RightClick(0, 0);
    ASSERT_EQ(Canvas.Edges.Count(), 2);
    EXPECT_FALSE(Canvas.Edges.Item(1).Clockwise());
    EXPECT_TRUE(Canvas.Edges.Item(0).Clockwise());
}

TEST_F(EditTest, ClosedRegionNeedsThreeClicksBeforeTheRightClick) {
    Click(100, 100);
    ASSERT_EQ(Canvas.Edges.Count(), 1); // the object exists from the first click
    EXPECT_EQ(Canvas.Edges.Item(0).Kind, ekClosed);
    EXPECT_EQ(Canvas.Edges.Item(0).Count(), 0);
    Click(200, 100);
    RightClick(300, 300); // two points: ignored, not even forwarded
    EXPECT_EQ(Canvas.ClickCount(), 2);
    EXPECT_EQ(Canvas.Edges.Item(0).Count(), 1);
    EXPECT_EQ(Forwarded.size(), 2u);
    EXPECT_EQ(Changes, 0);

    Click(200, 200);
    RightClick(0, 0); // where the right click happens plays no part
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Forwarded.size(), 4u);
    const TEdge& E = Canvas.Edges.Item(0);
    ASSERT_EQ(E.Count(), 3);
    ExpectPoint(E.GetSegment(0).P1, Canvas.ScreenToWorld({100, 100}));
    ExpectPoint(E.GetSegment(1).P1, Canvas.ScreenToWorld({200, 100}));
    ExpectPoint(E.GetSegment(2).P1, Canvas.ScreenToWorld({200, 200}));
    EXPECT_TRUE(IsClosedChain(E));
    for (const auto& S : E.Segments) {
        EXPECT_EQ(S.V, 0.0);
        EXPECT_EQ(S.BaseLength, 0.05);
        EXPECT_EQ(S.InfiniteCount, 10);
    }
}

TEST_F(EditTest, RepeatedPixelAddsNoPoint) {
    Click(100, 100);
    Click(200, 100);
    Click(200, 100);
    EXPECT_EQ(Canvas.ClickCount(), 2);
    EXPECT_EQ(Canvas.Edges.Item(0).Count(), 1);
    EXPECT_EQ(Forwarded.size(), 2u);
}

TEST_F(EditTest, ClickThatWouldCrossABoundaryIsIgnored) {
    Canvas.Edges.Add(Square());
    Click(50, 250);
    Click(250, 250); // straight through the square
    EXPECT_EQ(Canvas.ClickCount(), 1);
    EXPECT_EQ(Canvas.Edges.Item(1).Count(), 0);
    Click(50, 150); // beside it: fine
    EXPECT_EQ(Canvas.ClickCount(), 2);
    EXPECT_EQ(Canvas.Edges.Item(1).Count(), 1);
}

TEST_F(EditTest, ClosingSegmentThatWouldCrossIsIgnored) {
    Canvas.Edges.Add(Square());
    Click(50, 250);
    Click(50, 150);
    Click(90, 150);
    RightClick(0, 0); // closing back to (50, 250) is fine
    EXPECT_EQ(Canvas.ClickCount(), 0);

    Click(250, 350);
    Click(300, 350);
    Click(300, 150);
    Click(120, 150);
    Click(120, 180); // closing to (250, 350) would cut through the square
    RightClick(0, 0);
    EXPECT_EQ(Canvas.ClickCount(), 5);
    EXPECT_EQ(Changes, 1);
}

TEST_F(EditTest, RubberLineFollowsTheMouseInNotXorOnTheScreen) {
    Click(100, 100);
    Screen.Clear();
    Move(150, 120);
    auto L = Screen.Of("LineTo");
    ASSERT_EQ(L.size(), 2u);
    EXPECT_EQ(L[0].Points, (std::vector<TPixel>{{100, 100}, {100, 100}})); // erases
    EXPECT_EQ(L[1].Points, (std::vector<TPixel>{{100, 100}, {150, 120}}));
    EXPECT_EQ(L[0].PenMode, TPenMode::pmNotXor);
    EXPECT_EQ(L[1].PenMode, TPenMode::pmNotXor);
    EXPECT_EQ(Moves, 1);

    Screen.Clear();
    Click(150, 120);
    L = Screen.Of("LineTo");
    ASSERT_EQ(L.size(), 2u);
    EXPECT_EQ(L[0].Points, (std::vector<TPixel>{{100, 100}, {150, 120}})); // rubber line off
    EXPECT_EQ(L[1].Points, (std::vector<TPixel>{{100, 100}, {150, 120}})); // segment on
    const auto Markers = Screen.Of("Ellipse");
    ASSERT_EQ(Markers.size(), 2u);
    EXPECT_EQ(Markers[1].Args, (std::vector<int>{147, 117, 153, 123}));
    EXPECT_EQ(Markers[1].PenMode, TPenMode::pmCopy);
    EXPECT_TRUE(Buffer.Calls.empty());
}

TEST_F(EditTest, EscapeRemovesTheUnfinishedClosedRegion) {
    Canvas.Edges.Add(Square());
    Click(10, 10);
    Click(40, 10);
    Canvas.KeyDown(vkEscape, 0);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(Canvas.Edges.Count(), 1);
    EXPECT_EQ(Copies, 1);
}

TEST_F(EditTest, ChangingToolCancelsTheDrawing) {
    Click(10, 10);
    Click(40, 10);
    Canvas.SetTool(etSelect);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(Canvas.Edges.Count(), 0);
}

TEST_F(EditTest, EmptyingOrReplacingTheModelEndsTheDrawingAndTheSelection) {
    // Two clicks, the model emptied, a third click: a new region begins.
    Click(100, 100);
    Click(200, 100);
    Canvas.ClearModel();
    EXPECT_EQ(Canvas.ClickCount(), 0);
    Click(200, 200);
    ASSERT_EQ(Canvas.Edges.Count(), 1);
    EXPECT_EQ(Canvas.Edges.Item(0).Count(), 0);
    EXPECT_EQ(Canvas.ClickCount(), 1);

    Click(300, 200);
    ASSERT_TRUE(Canvas.Select({skSegment, 0, 0}));
    TEdges Other;
    Other.Add(Square());
    Canvas.SetModel(Other);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(Canvas.Selection().Kind, skNone);
    EXPECT_EQ(ModelBytes(Canvas.Edges), ModelBytes(Other));

    // A failed load empties the model and still leaves nothing half-made behind.
    Click(50, 250);
    Click(50, 150);
    ASSERT_TRUE(Canvas.Select({skPoint, 0, 1}));
    EXPECT_THROW(Canvas.LoadModel(::testing::TempDir() + "/no-such-system.asp"), TEdgesLoadError);
    EXPECT_EQ(Canvas.Edges.Count(), 0);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(Canvas.SelKind(), skNone);
    Click(50, 150);
    EXPECT_EQ(Canvas.ClickCount(), 1);
}

TEST_F(EditTest, DrawingWhoseBoundaryChangedUnderneathIsDropped) {
    Canvas.Edges.Add(Square());
    Click(50, 250);
    Click(50, 150);
    // The model is changed without the canvas: its boundary in progress is gone.
    Canvas.Edges.Delete(1);
    Move(60, 60);
    Click(60, 60);
    EXPECT_EQ(Canvas.ClickCount(), 1);
    ASSERT_EQ(Canvas.Edges.Count(), 2);
    EXPECT_EQ(Canvas.Edges.Item(1).Count(), 0);

    // A boundary added behind the drawing is not what Escape takes away.
    Canvas.Edges.Add(Polygon({{1.2, 0.4}, {1.6, 0.4}, {1.6, 0.8}}));
    Canvas.KeyDown(vkEscape, 0);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    ASSERT_EQ(Canvas.Edges.Count(), 3);
    EXPECT_EQ(Canvas.Edges.Item(2).Count(), 3);

    // The same for the semi-infinite tool after its first click (no boundary yet).
    Canvas.SetTool(etSemiInfiniteEdge);
    Click(50, 50);
    Canvas.Edges.Clear();
    Click(150, 50);
    EXPECT_EQ(Canvas.ClickCount(), 1);
    EXPECT_EQ(Canvas.Edges.Count(), 0);
}

TEST_F(EditTest, ProgrammaticSelectionMustFitTheModel) {
    Canvas.Edges.Add(Square());
    Canvas.Edges.Add(Cylinder({1.6, 1.0}, 0.2));
    EXPECT_TRUE(Canvas.Select({skPoint, 0, 2}));
    for (const THitResult Bad :
         {THitResult{skCylinder, 0, 0}, THitResult{skSegment, 1, 0}, THitResult{skCylinder, 1, 1},
          THitResult{skSegment, 0, 4}, THitResult{skPoint, 2, 0}, THitResult{skFirstPoint, -1, 0}})
        EXPECT_FALSE(Canvas.Select(Bad)) << int{Bad.Kind} << " " << Bad.Edge << " " << Bad.Segment;
    EXPECT_EQ(Canvas.SelKind(), skPoint);
    EXPECT_EQ(Canvas.SelEdge(), 0);
    EXPECT_EQ(Canvas.SelSegment(), 2);
    EXPECT_TRUE(Canvas.Select({skCylinder, 1, 0}));
    EXPECT_EQ(Canvas.SelEdge(), 1);
    EXPECT_TRUE(Canvas.Select({}));
    EXPECT_EQ(Canvas.SelKind(), skNone);
    EXPECT_EQ(Selects, 0); // the caller knows what it selected
}

// ---------------------------------------------------------------- semi-infinite regions

TEST_F(EditTest, SemiInfiniteRegionAndEscape) {
    Canvas.SetTool(etSemiInfiniteEdge);
    const auto Before = ModelBytes(Canvas.Edges);
    Click(100, 100);
    EXPECT_EQ(Canvas.Edges.Count(), 0); // no object after the first click
    Canvas.KeyDown(vkEscape, 0);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);

    Click(100, 100);
    Click(200, 100);
    ASSERT_EQ(Canvas.Edges.Count(), 1);
    EXPECT_EQ(Canvas.Edges.Item(0).Kind, ekSemiInfinite);
    Canvas.KeyDown(vkEscape, 0);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
}

TEST_F(EditTest, SemiInfiniteRegionIsFinishedByTheRightClick) {
    Canvas.SetTool(etSemiInfiniteEdge);
    Click(100, 100);
    Move(200, 120);
    Screen.Clear();
    Click(200, 100);
    // The preview ray of the first segment gives way to the real one.
    const auto L = Screen.Of("LineTo");
    ASSERT_GE(L.size(), 2u);
    EXPECT_EQ(L[0].PenStyle, TPenStyle::psDash);
    EXPECT_EQ(L[0].PenMode, TPenMode::pmNotXor);
    EXPECT_EQ(L[0].Points[0], (TPixel{100, 100}));
    EXPECT_EQ(L[1].Points, (std::vector<TPixel>{{100, 100}, {-900, 100}}));

    RightClick(0, 0); // two points only
    EXPECT_EQ(Canvas.ClickCount(), 2);
    Click(200, 200);
    RightClick(0, 0);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Canvas.Edges.Item(0).Count(), 2);
}

TEST_F(EditTest, SemiInfiniteFirstSegmentWhoseRayHitsIsIgnored) {
    Canvas.Edges.Add(Square());
    Canvas.SetTool(etSemiInfiniteEdge);
    Click(300, 250);
    Click(350, 250); // the ray backwards from here runs through the square
    EXPECT_EQ(Canvas.ClickCount(), 1);
    EXPECT_EQ(Canvas.Edges.Count(), 1);
}

TEST_F(EditTest, SemiInfiniteLastRayThatHitsKeepsTheDrawingOpen) {
    Canvas.Edges.Add(Square());
    Canvas.SetTool(etSemiInfiniteEdge);
    Click(300, 100);
    Click(300, 150);
    Click(250, 200); // the last segment points at the square
    RightClick(0, 0);
    EXPECT_EQ(Canvas.ClickCount(), 3);
    EXPECT_EQ(Changes, 0);
}

// ---------------------------------------------------------------- cylinders

TEST_F(EditTest, CylinderIsMadeByCentreAndRadius) {
    Canvas.Edges.Add(Square());
    Canvas.SetTool(etCylinder);
    Click(300, 200);
    EXPECT_EQ(Canvas.ClickCount(), 1);
    EXPECT_EQ(Canvas.Edges.Count(), 1);

    Screen.Clear();
    Move(350, 200);
    const auto Arcs = Screen.Of("Arc");
    ASSERT_EQ(Arcs.size(), 2u);
    EXPECT_EQ(Arcs[0].Args, (std::vector<int>{300, 200, 300, 200, 300, 200, 300, 200}));
    EXPECT_EQ(Arcs[1].Args, (std::vector<int>{250, 150, 350, 250, 350, 200, 350, 200}));
    EXPECT_EQ(Arcs[1].PenMode, TPenMode::pmNotXor);

    RightClick(300, 200); // zero radius
    RightClick(420, 200); // the disc would reach the square
    EXPECT_EQ(Canvas.ClickCount(), 1);
    EXPECT_EQ(Canvas.Edges.Count(), 1);
    EXPECT_EQ(Forwarded.size(), 1u);

    RightClick(380, 200);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    ASSERT_EQ(Canvas.Edges.Count(), 2);
    EXPECT_EQ(Changes, 1);
    const TEdge& C = Canvas.Edges.Item(1);
    ASSERT_EQ(C.Kind, ekCylinder);
    ASSERT_EQ(C.Count(), 2);
    ExpectPoint(C.GetSegment(0).P1, {1.2, 0.8});
    EXPECT_DOUBLE_EQ(C.GetSegment(0).P2.X, 80 * 0.004);
    EXPECT_FALSE(C.GetSegment(0).HasSlit());
    ExpectPoint(C.GetSegment(1).P1, {0, 0});
    EXPECT_EQ(C.GetSegment(1).P2.X, C.GetSegment(0).P2.X);
    EXPECT_EQ(C.GetSegment(1).V, 0.0);
}

TEST_F(EditTest, UnfinishedCylinderLeavesNothing) {
    Canvas.SetTool(etCylinder);
    Click(300, 200);
    Click(310, 200); // further left clicks do nothing
    EXPECT_EQ(Canvas.FirstClick(), (TPixel{300, 200}));
    Canvas.KeyDown(vkEscape, 0);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    EXPECT_EQ(Canvas.Edges.Count(), 0);
}

// ---------------------------------------------------------------- modes and panning

TEST_F(EditTest, ModellingModeNeitherDrawsNorSelectsButForwards) {
    Canvas.Edges.Add(Square());
    Canvas.SetEditEnabled(false);
    const auto Before = ModelBytes(Canvas.Edges);
    Click(10, 10);
    Click(50, 10);
    EXPECT_EQ(Canvas.ClickCount(), 0);
    Canvas.SetTool(etSelect);
    Click(100, 300);
    EXPECT_EQ(Canvas.SelKind(), skNone);
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
    EXPECT_EQ(Forwarded.size(), 3u);
}

TEST_F(EditTest, LeavingEditingWipesTheSelection) {
    Canvas.Edges.Add(Square());
    Select(100, 300);
    ASSERT_NE(Canvas.SelKind(), skNone);
    Selects = 0;
    Canvas.SetEditEnabled(false);
    EXPECT_EQ(Canvas.SelKind(), skNone);
    EXPECT_EQ(Selects, 1);
}

TEST_F(EditTest, PanMovesTheOriginWhileTheButtonIsDown) {
    Canvas.SetTool(etPan);
    Canvas.MouseDown(TMouseButton::mbLeft, 0, 10, 10);
    Move(30, 5);
    EXPECT_EQ(Canvas.Origin, (TPixel{20, 395}));
    EXPECT_EQ(Copies, 1);
    Canvas.MouseUp(TMouseButton::mbLeft, 0, 30, 5);
    EXPECT_FALSE(Canvas.Panning());
    Move(80, 80);
    EXPECT_EQ(Canvas.Origin, (TPixel{20, 395}));
    EXPECT_EQ(Moves, 2);
}

// ---------------------------------------------------------------- hit test and selection

TEST_F(EditTest, HitTolerancesAreFixedInPixels) {
    // (100, 300) -> (200, 300) -> (200, 200): the last point is the free end.
    Canvas.Edges.Add(Chain({{0.4, 0.4}, {0.8, 0.4}, {0.8, 0.8}}));
    Canvas.Edges.Add(Cylinder({1.6, 1.0}, 0.2));
    struct TRow {
        TPixel P;
        TSelKind Kind;
        int Edge, Segment;
    };
    const TRow Rows[] = {
        {{202, 200}, skPoint, 0, 1},  // 2 pixels beside the free end
        {{204, 200}, skNone, -1, -1}, // 4 pixels beside it
        {{101, 301}, skFirstPoint, 0, 0},
        {{150, 300}, skSegment, 0, 0}, // on the segment
        {{150, 303}, skSegment, 0, 0}, // 3 pixels off it: within the 4 px of a side
        {{150, 305}, skNone, -1, -1},  // 5 pixels off it
        {{200, 250}, skSegment, 0, 1},
        {{420, 160}, skCylinder, 1, 0}, // anywhere inside the disc
        {{400, 150}, skCylinder, 1, 0},
        {{460, 150}, skNone, -1, -1},
    };
    for (const auto& R : Rows) {
        const THitResult H = Canvas.HitTest(Canvas.ScreenToWorld(R.P));
        EXPECT_EQ(H.Kind, R.Kind) << R.P.X << "," << R.P.Y;
        EXPECT_EQ(H.Edge, R.Edge) << R.P.X << "," << R.P.Y;
        EXPECT_EQ(H.Segment, R.Segment) << R.P.X << "," << R.P.Y;
    }
}

TEST_F(EditTest, SelectingHighlightsOnTheScreenAndNotifies) {
    Canvas.Edges.Add(Square());
    Canvas.SetTool(etSelect);
    Screen.Clear();
    Canvas.MouseDown(TMouseButton::mbRight, 0, 150, 300); // any button selects
    EXPECT_EQ(Canvas.SelKind(), skSegment);
    EXPECT_EQ(Canvas.SelEdge(), 0);
    EXPECT_EQ(Canvas.SelSegment(), 0);
    EXPECT_EQ(Selects, 1);
    EXPECT_EQ(Screen.Of("LineTo").back().PenColor, clRed);
    EXPECT_TRUE(Buffer.Calls.empty());

    // A click on nothing draws the old selection back in black.
    Screen.Clear();
    Click(450, 50);
    EXPECT_EQ(Canvas.SelKind(), skNone);
    EXPECT_EQ(Selects, 2);
    const auto L = Screen.Of("LineTo");
    ASSERT_EQ(L.size(), 1u);
    EXPECT_EQ(L[0].PenColor, clBlack);
    EXPECT_EQ(L[0].Points, (std::vector<TPixel>{{100, 300}, {200, 300}}));
}

// ---------------------------------------------------------------- keys

TEST_F(EditTest, ArrowKeysMoveThePointByOneOrEightPixels) {
    Canvas.Edges.Add(Square());
    Select(200, 300); // P2 of segment 0
    ASSERT_EQ(Canvas.SelKind(), skPoint);
    const double Y0 = Canvas.Edges.Item(0).GetSegment(0).P2.Y;

    Canvas.KeyDown(vkUp, ssCtrl);
    EXPECT_EQ(Canvas.Edges.Item(0).GetSegment(0).P2.Y, Y0 + Canvas.Scale);
    EXPECT_EQ(Canvas.Edges.Item(0).GetSegment(1).P1.Y, Y0 + Canvas.Scale);
    EXPECT_EQ(Modifies, 1);

    Canvas.KeyDown(vkUp, 0);
    EXPECT_EQ(Canvas.Edges.Item(0).GetSegment(0).P2.Y, Y0 + Canvas.Scale + 8 * Canvas.Scale);
    EXPECT_EQ(Modifies, 2);

    const double X0 = Canvas.Edges.Item(0).GetSegment(0).P2.X;
    Canvas.KeyDown(vkRight, 0);
    Canvas.KeyDown(vkLeft, ssCtrl);
    EXPECT_EQ(Canvas.Edges.Item(0).GetSegment(0).P2.X, X0 + 8 * Canvas.Scale - Canvas.Scale);
    Canvas.KeyDown(vkDown, ssCtrl);
    EXPECT_EQ(Modifies, 5);
    EXPECT_TRUE(IsClosedChain(Canvas.Edges.Item(0)));
}

TEST_F(EditTest, ArrowKeysLeaveASelectedSegmentWhereItIs) {
    Canvas.Edges.Add(Square());
    Select(150, 300);
    ASSERT_EQ(Canvas.SelKind(), skSegment);
    const auto Before = ModelBytes(Canvas.Edges);
    Canvas.KeyDown(vkUp, 0);
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
    EXPECT_EQ(Modifies, 0);
}

TEST_F(EditTest, KeysGoOnToTheOwnersHandler) {
    std::vector<std::pair<int, TShiftState>> Keys;
    Canvas.PrevKeyDown = [&](int Key, TShiftState S) { Keys.push_back({Key, S}); };
    Canvas.KeyDown(vkEscape, 0);
    Canvas.KeyDown(65, ssShift);
    EXPECT_EQ(Keys, (std::vector<std::pair<int, TShiftState>>{{vkEscape, 0}, {65, ssShift}}));
}

TEST_F(EditTest, MovingASquaresCornerAcrossTheOppositeSideIsRefused) {
    Canvas.Edges.Add(Square());
    Select(200, 200); // the corner (0.8, 0.8), P2 of segment 1
    ASSERT_EQ(Canvas.SelKind(), skPoint);
    ASSERT_EQ(Canvas.SelSegment(), 1);
    const auto Before = ModelBytes(Canvas.Edges);
    TEdgeSegment S = Canvas.Edges.Item(0).GetSegment(1);
    S.P2 = {0.3, 0.6};
    EXPECT_FALSE(Canvas.ApplySegment(S));
    // Exactly onto the opposite side: the next side would run back along it.
    S.P2 = {0.4, 0.6};
    EXPECT_FALSE(Canvas.ApplySegment(S));
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
    EXPECT_EQ(Modifies, 0);

    // By keys the point stops at the last position that crosses nothing.
    for (int I = 0; I < 20; ++I)
        Canvas.KeyDown(vkLeft, 0);
    const double X = Canvas.Edges.Item(0).GetSegment(1).P2.X;
    EXPECT_GT(X, 0.4);
    EXPECT_NEAR(X, 0.8 - 12 * 8 * Canvas.Scale, 1e-12);
    EXPECT_EQ(Modifies, 12);
    EXPECT_TRUE(Canvas.Edges.IsValid());
}

TEST_F(EditTest, RefusedArrowKeyMoveSaysWhy) {
    std::vector<std::string> Refusals;
    Canvas.OnMoveRefused = [&](const std::string& Text) { Refusals.push_back(Text); };
    Canvas.Edges.Add(Square());
    Select(200, 200); // the corner (0.8, 0.8)
    for (int I = 0; I < 13; ++I)
        Canvas.KeyDown(vkLeft, 0);
    EXPECT_EQ(Modifies, 12);
    EXPECT_EQ(Refusals, std::vector<std::string>{
                            "Невозможно переместить точку. Границы при этом пересекутся."});
    EXPECT_EQ(Canvas.MoveRefusal(), "Границы при этом пересекутся.");
    Canvas.KeyDown(vkRight, 0);
    EXPECT_EQ(Modifies, 13);
    EXPECT_EQ(Refusals.size(), 1u);
    EXPECT_EQ(Canvas.MoveRefusal(), "");

    // A cylinder pushed into the square.
    Canvas.Edges.Add(Cylinder({0.25, 0.6}, 0.1));
    ASSERT_TRUE(Canvas.Select({skCylinder, 1, 0}));
    Canvas.KeyDown(vkRight, 0); // 0.018 m left between them
    Canvas.KeyDown(vkRight, 0);
    ASSERT_EQ(Refusals.size(), 2u);
    EXPECT_EQ(Refusals[1], "Невозможно переместить цилиндр. Границы при этом пересекутся.");
}

TEST_F(EditTest, PointMoveThatCollapsesASegmentIsRefused) {
    Canvas.Edges.Add(Square());
    Select(200, 300); // (0.8, 0.4), P2 of segment 0
    TEdgeSegment S = Canvas.Edges.Item(0).GetSegment(0);
    S.P2 = {0.8, 0.8}; // onto the next corner: segment 1 would vanish
    EXPECT_FALSE(Canvas.ApplySegment(S));
    S.P2 = S.P1; // the segment itself would vanish
    EXPECT_FALSE(Canvas.ApplySegment(S));
    EXPECT_EQ(Modifies, 0);
}

TEST_F(EditTest, FreeEndOfASemiInfiniteObjectIsTestedByItsRay) {
    Canvas.Edges.Add(Chain({{0.4, 0.4}, {0.8, 0.4}, {0.8, 0.8}}));
    Canvas.Edges.Add(Polygon({{0.0, 0.5}, {0.2, 0.5}, {0.2, 0.7}, {0.0, 0.7}}));
    Select(100, 300);
    ASSERT_EQ(Canvas.SelKind(), skFirstPoint);
    TEdgeSegment S = Canvas.Edges.Item(0).GetSegment(0);
    S.P1 = {0.4, 0.55}; // the ray backwards would run into the square on the left
    const auto Before = ModelBytes(Canvas.Edges);
    EXPECT_FALSE(Canvas.ApplySegment(S));
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
    S.P1 = {0.4, 0.35};
    EXPECT_TRUE(Canvas.ApplySegment(S));
    ExpectPoint(Canvas.Edges.Item(0).GetSegment(0).P1, {0.4, 0.35});
    EXPECT_EQ(Modifies, 1);
}

TEST_F(EditTest, CylinderMovesOnlyWhereItsDiscIsFree) {
    Canvas.Edges.Add(Square());
    Canvas.Edges.Add(Cylinder({1.6, 0.6}, 0.2));
    Select(400, 250);
    ASSERT_EQ(Canvas.SelKind(), skCylinder);
    TEdgeSegment S0 = Canvas.Edges.Item(1).GetSegment(0);
    const auto Before = ModelBytes(Canvas.Edges);
    S0.P1 = {0.9, 0.6}; // the disc would overlap the square
    EXPECT_FALSE(Canvas.ApplySegment(S0));
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
    S0.P1 = {1.5, 0.6};
    S0.P2.X = 0; // no disc at all
    EXPECT_FALSE(Canvas.ApplySegment(S0));
    S0.P2.X = 0.25; // moved and grown; its own old disc is no obstacle
    EXPECT_TRUE(Canvas.ApplySegment(S0));
    ExpectPoint(Canvas.Edges.Item(1).GetSegment(0).P1, {1.5, 0.6});
    EXPECT_EQ(Canvas.Edges.Item(1).GetSegment(0).P2.X, 0.25);
    EXPECT_EQ(Modifies, 1);

    Canvas.KeyDown(vkUp, ssCtrl);
    EXPECT_DOUBLE_EQ(Canvas.Edges.Item(1).GetSegment(0).P1.Y, 0.6 + Canvas.Scale);
}

// ---------------------------------------------------------------- delete

TEST_F(EditTest, DeleteAsksFirst) {
    Canvas.Edges.Add(Square());
    Canvas.Edges.Add(Cylinder({1.6, 0.6}, 0.2));
    std::vector<std::string> Asked;
    TAnswer Answer = TAnswer::No;
    Canvas.Question = [&](const std::string& Text) {
        Asked.push_back(Text);
        return Answer;
    };
    Select(200, 300); // one point of the square selects the whole object for deletion
    Selects = 0;
    Canvas.KeyDown(vkDelete, 0);
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], "Вы действительно хотите удалить выбранную границу?");
    EXPECT_EQ(Canvas.Edges.Count(), 2);
    EXPECT_EQ(Changes, 0);

    Answer = TAnswer::Yes;
    Canvas.KeyDown(vkDelete, 0);
    ASSERT_EQ(Canvas.Edges.Count(), 1);
    EXPECT_EQ(Canvas.Edges.Item(0).Kind, ekCylinder);
    EXPECT_EQ(Canvas.SelKind(), skNone);
    EXPECT_EQ(Selects, 1);
    EXPECT_EQ(Changes, 1);

    // Nothing selected: no question.
    Canvas.DeleteSelected();
    EXPECT_EQ(Asked.size(), 2u);
}

TEST_F(EditTest, DeleteWithoutAnAnswererDeletesNothing) {
    Canvas.Edges.Add(Square());
    Select(200, 300);
    Canvas.DeleteSelected();
    EXPECT_EQ(Canvas.Edges.Count(), 1);
}

// ---------------------------------------------------------------- invert

TEST_F(EditTest, InvertingTwiceKeepsTheSamePointSelected) {
    Canvas.Edges.Add(Polygon({{0.4, 0.4}, {0.8, 0.4}, {0.8, 0.8}, {0.6, 1.0}, {0.4, 0.8}}));
    Canvas.Edges.Add(Chain({{1.2, 0.4}, {1.6, 0.4}, {1.6, 0.8}, {1.2, 1.2}}));
    for (int E = 0; E < 2; ++E) {
        const int N = Canvas.Edges.Item(E).Count();
        for (int J = 0; J < N; ++J) {
            for (TSelKind K : {skPoint, skFirstPoint}) {
                Canvas.Select({K, E, J});
                const TRealPoint P = SelectedPoint();
                Canvas.InvertSelected();
                ExpectPoint(SelectedPoint(), P);
                Canvas.InvertSelected();
                ExpectPoint(SelectedPoint(), P);
            }
        }
    }
}

TEST_F(EditTest, InvertedSegmentKeepsItsSegment) {
    Canvas.Edges.Add(Polygon({{0.4, 0.4}, {0.8, 0.4}, {0.8, 0.8}}, {1, 2, 3}));
    Canvas.Select({skSegment, 0, 0});
    Canvas.InvertSelected();
    EXPECT_EQ(Canvas.SelSegment(), 2);
    EXPECT_EQ(Canvas.SelKind(), skSegment);
    EXPECT_EQ(Canvas.Edges.Item(0).GetSegment(2).V, 1.0);
    ExpectPoint(Canvas.Edges.Item(0).GetSegment(2).P1, {0.8, 0.4});
}

TEST_F(EditTest, MovingAPointAfterInvertingMovesBothSegments) {
    Canvas.Edges.Add(Square());
    Select(200, 300); // end point of segment 0
    ASSERT_EQ(Canvas.SelKind(), skPoint);
    ASSERT_EQ(Canvas.SelSegment(), 0);
    Canvas.InvertSelected();
    EXPECT_EQ(Canvas.SelKind(), skFirstPoint);
    EXPECT_EQ(Canvas.SelSegment(), 3);
    Canvas.KeyDown(vkDown, 0);
    EXPECT_EQ(Modifies, 1);
    const TEdge& E = Canvas.Edges.Item(0);
    EXPECT_TRUE(IsClosedChain(E));
    ExpectPoint(E.GetSegment(3).P1, {0.8, 0.4 - 8 * Canvas.Scale});
    ExpectPoint(E.GetSegment(2).P2, {0.8, 0.4 - 8 * Canvas.Scale});
}

// ---------------------------------------------------------------- arcs

TEST_F(EditTest, ArcConversionReplacesTheSegment) {
    Canvas.Edges.Add(Square());
    Canvas.Select({skSegment, 0, 0});
    ASSERT_TRUE(Canvas.ConvertSelectedToArc(5, 0.15));
    const TEdge& E = Canvas.Edges.Item(0);
    ASSERT_EQ(E.Count(), 8);
    ExpectPoint(E.GetSegment(0).P1, {0.4, 0.4});
    EXPECT_NEAR(E.GetSegment(4).P2.X, 0.8, 1e-12);
    EXPECT_NEAR(E.GetSegment(4).P2.Y, 0.4, 1e-12);
    ExpectPoint(E.GetSegment(5).P1, {0.8, 0.4});
    EXPECT_TRUE(Canvas.Edges.IsValid());
}

TEST_F(EditTest, ArcThatWouldCrossIsUndoneExactly) {
    Canvas.Edges.Add(Square());
    // Inside the square, right in the way of an arc bulging in by 0.15.
    Canvas.Edges.Add(Polygon({{0.45, 0.5}, {0.6, 0.45}, {0.75, 0.5}}));
    Canvas.Select({skSegment, 0, 0});
    const auto Before = ModelBytes(Canvas.Edges);
    EXPECT_FALSE(Canvas.ConvertSelectedToArc(5, 0.15));
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
    // Bulging the other way is free.
    EXPECT_TRUE(Canvas.ConvertSelectedToArc(5, -0.15));
    EXPECT_EQ(Canvas.Edges.Item(0).Count(), 8);
}

TEST_F(EditTest, ArcNeedsAnInnerSegmentAndAFittingHeight) {
    Canvas.Edges.Add(Chain({{0.4, 0.4}, {0.8, 0.4}, {0.8, 0.8}, {1.2, 0.8}}));
    const auto Before = ModelBytes(Canvas.Edges);
    Canvas.Select({skSegment, 0, 0});
    EXPECT_FALSE(Canvas.ConvertSelectedToArc(4, 0.1));
    Canvas.Select({skSegment, 0, 2});
    EXPECT_FALSE(Canvas.ConvertSelectedToArc(4, 0.1));
    Canvas.Select({skSegment, 0, 1});
    EXPECT_FALSE(Canvas.ConvertSelectedToArc(4, 0.21)); // more than half the length
    EXPECT_FALSE(Canvas.ConvertSelectedToArc(4, 0));
    EXPECT_EQ(ModelBytes(Canvas.Edges), Before);
    EXPECT_TRUE(Canvas.ConvertSelectedToArc(4, 0.2)); // a half circle
    EXPECT_EQ(Canvas.Edges.Item(0).Count(), 6);
}

} // namespace
} // namespace kalvex::test
