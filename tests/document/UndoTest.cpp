#include "ModelBuilders.h"
#include "TestSupport.h"
#include "document/uDocument.h"
#include "document/uPropertyEdit.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kalvex;
using namespace kalvex::test;

namespace {

class TQuietUi : public TDocumentUi {
public:
    TSaveAnswer AskSaveChanges(const std::string& Text) override {
        Asked.push_back(Text);
        return TSaveAnswer::No;
    }
    std::optional<std::string> AskOpenName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> AskSaveName(const std::string&) override { return std::nullopt; }
    void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }
    std::vector<std::string> Asked, Messages;
};

// A saved system: a 1 m square letting air in on its left side, and a slit cylinder
// beside it; the canvas wired to the document as the window wires it.
struct UndoTest : testing::Test {
    UndoTest() {
        ModelOf({Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {0, 2, 0, -2}),
                 Cylinder({2, 0.5}, 0.2, 0.0, true, 10, 40, 0)})
            .SaveToFile(Dir.File("sys.asp"));
        Doc.OpenFile(Dir.File("sys.asp"), Ui);
        TEdgesCanvas& C = Doc.Canvas();
        C.OnChange = [this] { Doc.MarkChanged(); };
        C.OnModify = [this] { Doc.MarkChanged(); };
        C.Question = [](const std::string&) { return TAnswer::Yes; };
        C.SetTool(etSelect);
    }
    // The system file the model would be saved as.
    std::vector<std::uint8_t> FileBytes() const {
        Doc.Canvas().Edges.SaveToFile(Dir.File("probe.asp"));
        return ReadWholeFile(Dir.File("probe.asp"));
    }
    void Click(TRealPoint P, TMouseButton B = TMouseButton::mbLeft) {
        const TPixel Px = Doc.Canvas().WorldToScreen(P);
        Doc.Canvas().MouseDown(B, 0, Px.X, Px.Y);
        Doc.Canvas().MouseUp(B, 0, Px.X, Px.Y);
    }
    void Select(TSelKind Kind, int Edge, int Segment) {
        ASSERT_TRUE(Doc.Canvas().Select({Kind, Edge, Segment}));
    }
    TTempDir Dir;
    TQuietUi Ui;
    TDocument Doc;
};

} // namespace

TEST_F(UndoTest, EveryKindOfChangeIsOneNamedStepThatRoundTripsTheFile) {
    struct TChange {
        const char* Name;
        std::function<void()> Make;
    };
    TEdgesCanvas& C = Doc.Canvas();
    const TChange Changes[] = {
        {"рисование границы",
         [&] {
             C.SetTool(etClosedEdge);
             Click({1.4, 1.2});
             Click({1.6, 1.2});
             Click({1.6, 1.4});
             Click({1.6, 1.4}, TMouseButton::mbRight);
             C.SetTool(etSelect);
         }},
        {"рисование цилиндра",
         [&] {
             C.SetTool(etCylinder);
             Click({3, 3});
             Click({3.1, 3}, TMouseButton::mbRight);
             C.SetTool(etSelect);
         }},
        {"перемещение точки",
         [&] {
             Select(skPoint, 0, 0);
             C.KeyDown(vkUp, 0);
             C.KeyDown(vkUp, 0);
             C.KeyDown(vkRight, ssCtrl);
         }},
        {"перемещение цилиндра",
         [&] {
             Select(skCylinder, 1, 0);
             C.KeyDown(vkDown, 0);
         }},
        {"изменение скорости",
         [&] {
             Select(skSegment, 0, 1);
             ApplySegmentSpeed(Doc, 3.0);
         }},
        {"изменение цилиндра",
         [&] {
             Select(skCylinder, 1, 0);
             ApplyCylinderFields(Doc, {2.1, 0.6, 0.25, 1.0, true, 20, 50, -2});
         }},
        {"поворот стороны воздуха",
         [&] {
             Select(skSegment, 0, 0);
             InvertSelection(Doc);
         }},
        {"преобразование в дугу",
         [&] {
             Select(skSegment, 0, 2);
             ConvertSelectionToArc(Doc, {0.1, 4, 0});
         }},
        {"изменение дискретизации",
         [&] {
             Select(skSegment, 0, 2);
             TDiscreteInput In;
             In.BaseLength = {true, 0.01};
             ApplyDiscreteFields(Doc, In);
         }},
        {"автоподбор скорости",
         [&] {
             Select(skSegment, 0, 0);
             EXPECT_TRUE(Doc.AutoSelectSpeed());
         }},
        {"поворот цилиндров", [&] { Doc.RotateCylinders(30); }},
        {"удаление границы",
         [&] {
             Select(skCylinder, 1, 0);
             C.DeleteSelected();
         }},
    };
    std::vector<std::vector<std::uint8_t>> States{FileBytes()};
    for (const TChange& Change : Changes) {
        SCOPED_TRACE(Change.Name);
        const std::size_t Steps = Doc.History().UndoCount();
        Change.Make();
        EXPECT_EQ(Doc.History().UndoCount(), Steps + 1);
        EXPECT_EQ(Doc.UndoName(), Change.Name);
        States.push_back(FileBytes());
        ASSERT_NE(States.back(), States[States.size() - 2]);
    }
    // All the way back and forward again, each state to the byte.
    for (std::size_t I = States.size() - 1; I > 0; --I) {
        SCOPED_TRACE(Changes[I - 1].Name);
        EXPECT_EQ(Doc.UndoName(), Changes[I - 1].Name);
        ASSERT_TRUE(Doc.Undo());
        EXPECT_EQ(FileBytes(), States[I - 1]);
        EXPECT_EQ(Doc.RedoName(), Changes[I - 1].Name);
    }
    EXPECT_FALSE(Doc.CanUndo());
    EXPECT_TRUE(Doc.Saved());
    for (std::size_t I = 1; I < States.size(); ++I) {
        ASSERT_TRUE(Doc.Redo());
        EXPECT_EQ(FileBytes(), States[I]);
    }
    EXPECT_FALSE(Doc.CanRedo());
    EXPECT_FALSE(Doc.Saved());
}

TEST_F(UndoTest, UndoingBackToTheSavedStateMakesTheSystemSavedAgain) {
    Select(skPoint, 0, 1);
    Doc.Canvas().KeyDown(vkUp, 0);
    EXPECT_FALSE(Doc.Saved());
    ASSERT_TRUE(Doc.Undo());
    EXPECT_TRUE(Doc.Saved());
    EXPECT_TRUE(Doc.CanClose(Ui));
    EXPECT_TRUE(Ui.Asked.empty());
    ASSERT_TRUE(Doc.Redo());
    EXPECT_FALSE(Doc.Saved());

    // Saved after the move: undoing it leaves the saved state, redoing comes back.
    ASSERT_TRUE(Doc.Save(Ui));
    ASSERT_TRUE(Doc.Undo());
    EXPECT_FALSE(Doc.Saved());
    ASSERT_TRUE(Doc.Redo());
    EXPECT_TRUE(Doc.Saved());
    // An arrow press after the save starts its own step, so the save is reachable.
    Doc.Canvas().KeyDown(vkUp, 0);
    ASSERT_TRUE(Doc.Undo());
    EXPECT_TRUE(Doc.Saved());
}

TEST_F(UndoTest, ARunOfArrowsOnOneObjectIsOneStepAndAnotherObjectStartsAnother) {
    TEdgesCanvas& C = Doc.Canvas();
    Select(skPoint, 0, 1);
    for (int I = 0; I < 5; ++I)
        C.KeyDown(vkUp, ssCtrl);
    Select(skPoint, 0, 2);
    C.KeyDown(vkLeft, ssCtrl);
    EXPECT_EQ(Doc.History().UndoCount(), 2u);
    // The property window's move is a step of its own, not part of the run.
    ApplyPointFields(Doc, 0.0, 0.9);
    EXPECT_EQ(Doc.History().UndoCount(), 3u);
}

TEST_F(UndoTest, TheSelectionFollowsTheRestoredObject) {
    TEdgesCanvas& C = Doc.Canvas();
    Select(skPoint, 0, 1);
    C.KeyDown(vkUp, 0);
    Select(skCylinder, 1, 0);
    C.DeleteSelected();
    EXPECT_EQ(C.SelKind(), skNone);
    ASSERT_TRUE(Doc.Undo());
    EXPECT_EQ(C.Selection().Kind, skCylinder);
    EXPECT_EQ(C.Selection().Edge, 1);
    C.DeselectAll();
    ASSERT_TRUE(Doc.Undo());
    EXPECT_EQ(C.SelKind(), skPoint);
    EXPECT_EQ(C.SelEdge(), 0);
    EXPECT_EQ(C.SelSegment(), 1);
}

TEST_F(UndoTest, ADrawingInProgressIsDroppedNotRestored) {
    TEdgesCanvas& C = Doc.Canvas();
    Select(skSegment, 0, 1);
    ApplySegmentSpeed(Doc, 3.0);
    const std::vector<std::uint8_t> Before = FileBytes();
    C.SetTool(etClosedEdge);
    Click({1.4, 1.2});
    Click({1.6, 1.2});
    ASSERT_TRUE(Doc.Undo());
    EXPECT_EQ(C.ClickCount(), 0);
    EXPECT_EQ(C.Edges.Count(), 2);
    EXPECT_NE(FileBytes(), Before);
    EXPECT_TRUE(Doc.Saved());
}

TEST_F(UndoTest, OpeningOrCreatingEmptiesTheHistoryAndItIsBounded) {
    TEdgesCanvas& C = Doc.Canvas();
    Select(skSegment, 0, 1);
    for (int I = 0; I < 300; ++I)
        ApplySegmentSpeed(Doc, 1.0 + I);
    EXPECT_GE(Doc.History().UndoCount(), 200u);
    EXPECT_LE(Doc.History().UndoCount(), TUndoHistory::MaxSteps);
    Doc.OpenFile(Dir.File("sys.asp"), Ui);
    EXPECT_FALSE(Doc.CanUndo());
    C.SetTool(etSelect);
    Select(skSegment, 0, 1);
    ApplySegmentSpeed(Doc, 5.0);
    ASSERT_TRUE(Doc.CanUndo());
    ASSERT_TRUE(Doc.New(Ui));
    EXPECT_FALSE(Doc.CanUndo());
    EXPECT_FALSE(Doc.CanRedo());
}

TEST_F(UndoTest, NothingIsUndoneWhileModelling) {
    Select(skSegment, 0, 1);
    ApplySegmentSpeed(Doc, 3.0);
    ASSERT_TRUE(Doc.CanUndo());
    Doc.PrepareModelling = [] { return true; };
    ASSERT_TRUE(Doc.Undo());
    ASSERT_TRUE(Doc.SwitchMode(TMode::mdCount, Ui));
    EXPECT_FALSE(Doc.CanRedo());
    EXPECT_FALSE(Doc.Redo());
}
