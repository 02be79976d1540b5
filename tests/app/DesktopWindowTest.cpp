// What every desktop program has: the unsaved mark in the title, the usual keys, the
// recent files, a dropped file, and the view that shows the whole system.
#include "MainWindowFixture.h"
#include "ModelBuilders.h"
#include "geometry/uBinaryIO.h"

#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

#include <filesystem>

using namespace kalvex;
using namespace kalvex::test;

namespace {

using DesktopWindowTest = TMainWindowFixture;

QString Q(const std::string& S) {
    return QString::fromStdString(S);
}

} // namespace

TEST_F(DesktopWindowTest, TheTitleMarksAnUnsavedSystemOnly) {
    const QString Saved = QString::fromUtf8("Kalvex 2 - Система1.asp");
    EXPECT_FALSE(Window.isWindowModified());
    EXPECT_EQ(Window.windowHandle()->title(), Saved);
    DrawTriangle();
    EXPECT_TRUE(Window.isWindowModified());
    EXPECT_NE(Window.windowHandle()->title(), Saved);
    Act("miUndo")->trigger();
    EXPECT_FALSE(Window.isWindowModified());
    EXPECT_EQ(Window.windowHandle()->title(), Saved);
}

TEST_F(DesktopWindowTest, SaveAsAndExitHaveTheirKeys) {
    EXPECT_EQ(Act("miSaveAs")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(Act("miExit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(Act("miHelp")->shortcut(), QKeySequence(QKeySequence::HelpContents));
}

TEST_F(DesktopWindowTest, RecentFilesAreKeptBesideTheSettingsAndAMissingOneIsDropped) {
    ModelOf({Polygon({{0, 0}, {1, 0}, {1, 1}})}).SaveToFile(Dir.File("a.asp"));
    ModelOf({Polygon({{0, 0}, {2, 0}, {2, 2}})}).SaveToFile(Dir.File("b.asp"));
    auto* Recent = Window.findChild<QMenu*>("mnuRecent");
    ASSERT_NE(Recent, nullptr);
    EXPECT_FALSE(Recent->isEnabled());
    Window.OpenSystem(Q(Dir.File("a.asp")));
    Window.OpenSystem(Q(Dir.File("b.asp")));
    ASSERT_EQ(Recent->actions().size(), 2);
    EXPECT_EQ(Recent->actions()[0]->data().toString(), Q(Dir.File("b.asp")));
    EXPECT_TRUE(std::filesystem::exists(Dir.Path / "kalvex.recent"));
    // kalvex.ini keeps its own keys only.
    const std::vector<std::uint8_t> Ini = ReadWholeFile(Dir.File("kalvex.ini"));
    EXPECT_EQ(std::string(Ini.begin(), Ini.end()).find("b.asp"), std::string::npos);

    // A new window reads the list; picking an entry opens it.
    TfrmMain Again(Msg, Dir.Path / "kalvex.ini");
    auto* Menu2 = Again.findChild<QMenu*>("mnuRecent");
    ASSERT_EQ(Menu2->actions().size(), 2);
    Menu2->actions()[1]->trigger();
    EXPECT_EQ(Again.Document().FileName(), "a.asp");

    std::filesystem::remove(Dir.File("b.asp"));
    Recent->actions()[0]->trigger();
    EXPECT_TRUE(Msg.Texts.last().contains(Q(Dir.File("b.asp"))));
    EXPECT_EQ(Window.Document().FileName(), "b.asp"); // the open system stays
    ASSERT_EQ(Recent->actions().size(), 1);
    EXPECT_EQ(Recent->actions()[0]->data().toString(), Q(Dir.File("a.asp")));
}

TEST_F(DesktopWindowTest, ADroppedSystemOpensAfterTheSavePrompt) {
    ModelOf({Polygon({{0, 0}, {1, 0}, {1, 1}})}).SaveToFile(Dir.File("drop.asp"));
    DrawTriangle();
    QMimeData Data;
    Data.setUrls({QUrl::fromLocalFile(Q(Dir.File("drop.asp")))});
    QDragEnterEvent Enter({10, 10}, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Window, &Enter);
    EXPECT_TRUE(Enter.isAccepted());
    QDropEvent Drop(QPointF(10, 10), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
    Msg.Answers = {TMsgAnswer::No};
    QApplication::sendEvent(&Window, &Drop);
    QTRY_COMPARE(Window.Document().FileName(), std::string("drop.asp"));
    EXPECT_EQ(Msg.Texts.last(), QString::fromUtf8("Сохранить изменения в файле Система1.asp?"));

    // Anything else is not taken.
    QMimeData Other;
    Other.setUrls({QUrl::fromLocalFile(Q(Dir.File("drop.dsc")))});
    QDragEnterEvent Refused({10, 10}, Qt::CopyAction, &Other, Qt::LeftButton, Qt::NoModifier);
    Refused.setAccepted(false);
    QApplication::sendEvent(&Window, &Refused);
    EXPECT_FALSE(Refused.isAccepted());
}

TEST_F(DesktopWindowTest, OpeningFitsTheSystemAndTheMenuFitsItAgain) {
    const std::string Hood = ExamplePath("hood.asp");
    Window.OpenSystem(Q(Hood));
    TEdgesCanvas& C = Canvas();
    TRealPoint TL;
    TRealPoint BR;
    C.Edges.GetBounds(TL, BR);
    auto Inside = [&] {
        const TPixel A = C.WorldToScreen(TL);
        const TPixel B = C.WorldToScreen(BR);
        return A.X > 0 && B.X < Box->width() && B.Y > 0 && A.Y < Box->height();
    };
    EXPECT_TRUE(Inside());
    Act("miZoomIn")->trigger();
    Act("miZoomIn")->trigger();
    QTest::mouseClick(Box, Qt::MiddleButton, {}, {5, 5});
    Act("miZoomFit")->trigger();
    EXPECT_TRUE(Inside());
}
