// The main window used as a person uses it: mouse and keys on the canvas, menus and
// tool buttons, the boxes answered from a script.
#include "app/canvas/uEdgesPaintBox.h"
#include "app/canvas/uPropertyWindows.h"
#include "app/optimise/uChooseParams.h"
#include "app/optimise/uParamDialogs.h"
#include "app/uHelp.h"
#include "app/uMain.h"
#include "app/uNumberText.h"

#include "MainWindowFixture.h"
#include "RecordingMessages.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace kalvex;
using namespace kalvex::test;

namespace {

using MainWindowTest = TMainWindowFixture;

} // namespace

TEST_F(MainWindowTest, OpensInEditingAsDescribed) {
    EXPECT_EQ(Window.windowHandle()->title(), QString::fromUtf8("Kalvex 2 - Система1.asp"));
    EXPECT_EQ(Panel("sbMode"), QString::fromUtf8(" Редактирование"));
    EXPECT_TRUE(Panel("sbElements").isEmpty());
    EXPECT_TRUE(std::filesystem::exists(Dir.Path / "kalvex.ini"));

    // The modelling menu and buttons wait hidden; the editing ones are there.
    EXPECT_FALSE(Window.findChild<QMenu*>("mnuCount")->menuAction()->isVisible());
    EXPECT_TRUE(Window.findChild<QMenu*>("mnuEditing")->menuAction()->isVisible());
    EXPECT_FALSE(Act("tbFlowLines")->isVisible());
    EXPECT_FALSE(Act("tbShowNames")->isVisible());
    EXPECT_TRUE(Act("tbDrawCylinder")->isVisible());

    // Every tool button shows its own picture and is named by its hint.
    for (QToolButton* B : Window.findChildren<QToolButton*>()) {
        if (!B->objectName().startsWith("tb"))
            continue;
        EXPECT_FALSE(B->icon().pixmap(24, 24).isNull()) << B->objectName().toStdString();
        EXPECT_EQ(B->accessibleName(), B->defaultAction()->toolTip());
    }
    EXPECT_EQ(Window.findChild<QToolButton*>("tbDrawInfiniteEdge")->accessibleName(),
              QString::fromUtf8("Нарисовать прямолинейную полубесконечную область"));
    // The two velocity buttons say which is which.
    const QString ByClick = Window.findChild<QToolButton*>("tbSpeed")->accessibleName();
    const QString ByFields = Window.findChild<QToolButton*>("tbSpeed2")->accessibleName();
    EXPECT_NE(ByClick, ByFields);
    EXPECT_TRUE(ByClick.startsWith(QString::fromUtf8("Рассчитать скорость в точке ")));
    EXPECT_TRUE(ByFields.startsWith(QString::fromUtf8("Рассчитать скорость в точке ")));
    EXPECT_FALSE(TakeCursor().pixmap().isNull());
    // A screen reader toggles a tool button rather than clicking it: the tool changes too.
    Window.findChild<QToolButton*>("tbSelect")->toggle();
    EXPECT_EQ(Canvas().Tool(), etSelect);
    EXPECT_TRUE(Act("tbSelect")->isChecked());

    // The tool windows stand beside it, ticked in "Окна"; the tick hides them.
    EXPECT_TRUE(Window.PropertyWindows().EdgeProp()->isVisible());
    EXPECT_TRUE(Act("miEdgeProp")->isChecked());
    Act("miEdgeProp")->trigger();
    EXPECT_FALSE(Window.PropertyWindows().EdgeProp()->isVisible());
    Act("miFilePanel")->trigger();
    EXPECT_FALSE(Window.findChild<QToolBar*>("tbrFile")->isVisible());

    // The about box names the version.
    QString AboutText;
    QTimer::singleShot(0, [&] {
        QWidget* Dlg = QApplication::activeModalWidget();
        ASSERT_NE(Dlg, nullptr);
        for (QLabel* L : Dlg->findChildren<QLabel*>())
            AboutText += L->text() + "\n";
        QTest::keyClick(Dlg, Qt::Key_Return);
    });
    Act("miAbout")->trigger();
    EXPECT_TRUE(AboutText.contains(QString::fromUtf8("Версия 2.0")));
}

TEST_F(MainWindowTest, DrawSelectAndMoveWithKeys) {
    // The rubber line follows the mouse and leaves no trace behind.
    Act("tbDrawFiniteEdge")->trigger();
    Click({100, 300});
    QTest::mouseMove(Box, {200, 200});
    EXPECT_EQ(Box->ScreenImage().pixelColor(150, 250), QColor(Qt::black));
    QTest::mouseMove(Box, {200, 400});
    EXPECT_EQ(Box->ScreenImage().pixelColor(150, 250), QColor(Qt::white));
    QTest::keyClick(Box, Qt::Key_Escape);
    EXPECT_EQ(Canvas().Edges.Count(), 0);

    DrawTriangle();
    ASSERT_EQ(Canvas().Edges.Count(), 1);
    EXPECT_EQ(Canvas().Edges.Item(0).Count(), 3);
    EXPECT_FALSE(Window.Document().Saved());
    // The centre line of the first side is on the screen.
    EXPECT_EQ(Box->ScreenImage().pixelColor(200, 300), QColor(Qt::black));

    // The status bar follows the mouse in metres.
    QTest::mouseMove(Box, {250, 150});
    EXPECT_EQ(Panel("sbCoords"), " " + NumberText(1.0) + ";" + NumberText(1.0));

    // Select the corner at (300, 100): the point commands only.
    Act("tbSelect")->trigger();
    Click({300, 100});
    EXPECT_EQ(Canvas().SelKind(), skPoint);
    EXPECT_TRUE(Act("miDeleteEdge")->isEnabled());
    EXPECT_TRUE(Act("miInvertEdge")->isEnabled());
    EXPECT_FALSE(Act("miConvArc")->isEnabled());
    EXPECT_FALSE(Act("miAutoSpeed")->isEnabled());

    // Up moves it eight pixels, Ctrl+Up one.
    const double Y0 = Canvas().Edges.Item(0).GetSegment(1).P2.Y;
    QTest::keyClick(Box, Qt::Key_Up);
    EXPECT_NEAR(Canvas().Edges.Item(0).GetSegment(1).P2.Y, Y0 + 8 * 0.004, 1e-12);
    QTest::keyClick(Box, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_NEAR(Canvas().Edges.Item(0).GetSegment(1).P2.Y, Y0 + 9 * 0.004, 1e-12);
    // The neighbour side follows.
    EXPECT_NEAR(Canvas().Edges.Item(0).GetSegment(2).P1.Y, Y0 + 9 * 0.004, 1e-12);

    // Right click on a side: the menu of the boundary, with what fits a segment.
    Click({200, 300}, Qt::RightButton);
    auto* Menu = Window.findChild<QMenu*>("pmEdges");
    EXPECT_TRUE(Menu->isVisible());
    EXPECT_TRUE(Act("pmConvArc")->isVisible());
    EXPECT_TRUE(Act("pmAutoSpeed")->isVisible());
    Menu->close();

    // Delete asks first; No keeps it, Yes deletes.
    Msg.Answers = {TMsgAnswer::No, TMsgAnswer::Yes};
    Act("miDeleteEdge")->trigger();
    EXPECT_EQ(Canvas().Edges.Count(), 1);
    Act("miDeleteEdge")->trigger();
    EXPECT_EQ(Canvas().Edges.Count(), 0);
    EXPECT_FALSE(Act("miDeleteEdge")->isEnabled());
}

TEST_F(MainWindowTest, RefusedKeyMoveSaysWhyInTheStatusBar) {
    DrawTriangle();
    Act("tbSelect")->trigger();
    Click({300, 100});
    ASSERT_EQ(Canvas().SelKind(), skPoint);
    // 25 steps of eight pixels down bring the corner onto the base's end.
    for (int I = 0; I < 24; ++I)
        QTest::keyClick(Box, Qt::Key_Down);
    EXPECT_TRUE(Panel("sbHint").isEmpty());
    const auto Before = Canvas().Edges.Item(0).GetSegment(1);
    QTest::keyClick(Box, Qt::Key_Down);
    EXPECT_EQ(Panel("sbHint"),
              QString::fromUtf8("Невозможно переместить точку. Концы отрезка при этом совпадут."));
    EXPECT_EQ(Canvas().Edges.Item(0).GetSegment(1).P2.Y, Before.P2.Y);
    // A move that is carried out clears it.
    QTest::keyClick(Box, Qt::Key_Up);
    EXPECT_TRUE(Panel("sbHint").isEmpty());
}

TEST_F(MainWindowTest, SavePromptThreeAnswers) {
    DrawTriangle();
    const QString Question = QString::fromUtf8("Сохранить изменения в файле Система1.asp?");

    Msg.Answers = {TMsgAnswer::Cancel};
    Act("miNew")->trigger();
    EXPECT_EQ(Msg.Texts.last(), Question);
    EXPECT_EQ(Canvas().Edges.Count(), 1);
    EXPECT_FALSE(Window.close()); // Cancel keeps the window open
    EXPECT_TRUE(Window.isVisible());

    Msg.Answers = {TMsgAnswer::Yes};
    Msg.Files = {QString::fromStdString(Dir.File("tri.asp"))};
    Act("tbNew")->trigger();
    EXPECT_TRUE(std::filesystem::exists(Dir.File("tri.asp")));
    EXPECT_EQ(Canvas().Edges.Count(), 0);
    EXPECT_EQ(Msg.Dialogs.last().Title, QString::fromUtf8("Сохранить файл"));

    DrawTriangle();
    Msg.Answers = {TMsgAnswer::No};
    Msg.Files = {QString::fromStdString(Dir.File("tri.asp"))};
    Act("miOpen")->trigger();
    EXPECT_EQ(Msg.Dialogs.last().Title, QString::fromUtf8("Открыть файл"));
    EXPECT_EQ(Window.windowHandle()->title(), QString::fromUtf8("Kalvex 2 - tri.asp"));
    ASSERT_EQ(Canvas().Edges.Count(), 1);
    EXPECT_TRUE(Window.Document().Saved());
}

TEST_F(MainWindowTest, ZoomInTwiceAndOutTwice) {
    Act("tbZoomIn")->trigger();
    Act("miZoomIn")->trigger();
    EXPECT_DOUBLE_EQ(Canvas().Scale, 0.004 / 1.25 / 1.25);
    EXPECT_DOUBLE_EQ(Window.Document().Solver().Scale, Canvas().Scale);
    Act("tbZoomOut")->trigger();
    Act("miZoomOut")->trigger();
    EXPECT_NEAR(Canvas().Scale, 0.004, 1e-15);
    Canvas().SetOrigin({5, 5});
    Act("tbZoomNo")->trigger();
    EXPECT_EQ(Canvas().Origin, (TPixel{0, 400}));
}

TEST_F(MainWindowTest, SettingsWidthTwentyIsStoredAsFifteen) {
    QTimer::singleShot(0, [] {
        QWidget* Dlg = QApplication::activeModalWidget();
        ASSERT_NE(Dlg, nullptr);
        Dlg->findChild<QSpinBox*>("seEdgeWidth")->setValue(20);
        Dlg->findChild<QPushButton*>("Button1")->click();
    });
    Act("miSettings")->trigger();
    EXPECT_EQ(Canvas().EdgeWidth(), 15);
    std::stringstream Ini;
    Ini << std::ifstream(Dir.Path / "kalvex.ini").rdbuf();
    EXPECT_NE(Ini.str().find("edgewidth=15"), std::string::npos) << Ini.str();
}

TEST_F(MainWindowTest, HelpWithoutAViewerSaysWhereTheGuideIs) {
    const QString Guide = GuidePath();
    ASSERT_FALSE(Guide.isEmpty());
    QList<QUrl> Asked;
    bool Opens = false;
    Window.UrlOpener = [&](const QUrl& U) {
        Asked << U;
        return Opens;
    };
    Act("miHelp")->trigger();
    ASSERT_EQ(Asked.size(), 1);
    EXPECT_EQ(Asked[0], QUrl::fromLocalFile(Guide));
    ASSERT_EQ(Msg.Texts.size(), 1);
    EXPECT_EQ(Msg.Texts[0], QString::fromUtf8("Не удалось открыть руководство пользователя в "
                                              "программе просмотра.\nОно находится в файле ") +
                                QDir::toNativeSeparators(Guide));
    // A viewer that opens it: nothing to say.
    Opens = true;
    Act("miHelp")->trigger();
    EXPECT_EQ(Asked.size(), 2);
    EXPECT_EQ(Msg.Texts.size(), 1);
}

// Labels read as words: no hyphen left from a line break, no misspelt word, in every
// dialog that shows them.
TEST_F(MainWindowTest, LabelsCarryNoBreakHyphensOrTypos) {
    TfrmChooseParams Params(Window.OptWizard(), Msg, QString(), &Window);
    TfrmOtsosInfo Otsos(Msg, TParamInfo{}, &Window);
    const QRegularExpression Broken(QStringLiteral("\\w- \\w|сементов|прозводит"),
                                    QRegularExpression::UseUnicodePropertiesOption);
    int Seen = 0;
    QStringList Bad;
    for (QLabel* L : Window.findChildren<QLabel*>()) {
        ++Seen;
        if (Broken.match(L->text()).hasMatch())
            Bad << L->text();
    }
    EXPECT_GT(Seen, 100);
    EXPECT_TRUE(Bad.isEmpty()) << Bad.join(QLatin1Char('|')).toStdString();
    for (const char* Word :
         {"Длина граничного элемента для цилиндров, м", "Коэффициент динамической формы частицы",
          "Коэффициент восстановления при ударе",
          "Количество сегментов:", "Шаг изменения производительности:"}) {
        const QString W = QString::fromUtf8(Word);
        const auto Labels = Window.findChildren<QLabel*>();
        EXPECT_TRUE(std::any_of(Labels.begin(), Labels.end(), [&](const QLabel* L) {
            return L->text() == W;
        })) << Word;
    }
}

TEST_F(MainWindowTest, StatusBarComesBackAfterAButtonsHint) {
    QStatusTipEvent Tip(QString::fromUtf8("Выбрать"));
    QApplication::sendEvent(&Window, &Tip);
    ASSERT_FALSE(Window.statusBar()->currentMessage().isEmpty());
    QTest::mouseMove(Box, {200, 200});
    QTest::mouseMove(Box, {210, 205});
    EXPECT_TRUE(Window.statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(Window.findChild<QLabel*>(QStringLiteral("sbMode"))->isVisible());
    EXPECT_TRUE(Window.findChild<QLabel*>(QStringLiteral("sbCoords"))->isVisible());
    EXPECT_FALSE(Panel("sbCoords").isEmpty());
}

// The tool windows stand down the right edge of the screen beside the window, owned by
// it (so kept above it), and "Окна" lists all three.
TEST(ToolWindowsTest, StandBesideTheDrawingOwnedByTheWindow) {
    TTempDir Dir;
    TRecordingMessages Msg;
    TfrmMain Window(Msg, Dir.Path / "kalvex.ini");
    Window.ShowBesideToolWindows();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    QWidget* Box = Window.PaintBox();
    const QRect Drawing(Box->mapToGlobal(QPoint(0, 0)), Box->size());
    const QRect Screen = Window.screen()->availableGeometry();
    TPropertyWindows& P = Window.PropertyWindows();
    for (QWidget* W : {P.EdgeProp(), P.CylProp(), P.DiscreteProp()}) {
        ASSERT_TRUE(W->isVisible()) << W->objectName().toStdString();
        EXPECT_FALSE(W->frameGeometry().intersects(Drawing)) << W->objectName().toStdString();
        EXPECT_TRUE(Screen.contains(W->frameGeometry())) << W->objectName().toStdString();
        EXPECT_EQ(W->windowHandle()->transientParent(), Window.windowHandle());
    }
    EXPECT_GT(Drawing.width(), Screen.width() / 3);
    const auto Items = Window.findChild<QMenu*>("mnuWindows")->actions();
    ASSERT_EQ(Items.size(), 3);
    EXPECT_TRUE(Items[2]->isChecked());
    Items[2]->trigger();
    EXPECT_FALSE(P.DiscreteProp()->isVisible());
    Window.close();
}
