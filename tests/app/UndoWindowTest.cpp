// Undo and redo as a person reaches them: the "Правка" menu and its keys.
#include "MainWindowFixture.h"
#include "app/canvas/uPropertyWindows.h"
#include "app/uNumberText.h"

#include <QLineEdit>

using namespace kalvex;
using namespace kalvex::test;

namespace {

using UndoWindowTest = TMainWindowFixture;

} // namespace

TEST_F(UndoWindowTest, CtrlZTakesBackTheMoveAndTheFieldsFollow) {
    EXPECT_FALSE(Act("miUndo")->isEnabled());
    EXPECT_EQ(Act("miUndo")->text(), QString::fromUtf8("Отменить"));
    DrawTriangle();
    EXPECT_EQ(Act("miUndo")->text(), QString::fromUtf8("Отменить: рисование границы"));

    Act("tbSelect")->trigger();
    Click({300, 100});
    ASSERT_EQ(Canvas().SelKind(), skPoint);
    auto* edY = Window.PropertyWindows().EdgeProp()->findChild<QLineEdit*>("edY");
    const QString Y0 = edY->text();
    QTest::keyClick(Box, Qt::Key_Up);
    QTest::keyClick(Box, Qt::Key_Up);
    EXPECT_NE(edY->text(), Y0);
    EXPECT_EQ(Act("miUndo")->text(), QString::fromUtf8("Отменить: перемещение точки"));
    EXPECT_FALSE(Act("miRedo")->isEnabled());

    // Both presses go back at once; the point stays selected and its field follows.
    QTest::keyClick(Box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edY->text(), Y0);
    EXPECT_EQ(Canvas().SelKind(), skPoint);
    EXPECT_EQ(Act("miRedo")->text(), QString::fromUtf8("Повторить: перемещение точки"));
    EXPECT_FALSE(Window.Document().Saved());

    QTest::keyClick(Box, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_NE(edY->text(), Y0);
    QTest::keyClick(Box, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(Box, Qt::Key_Z, Qt::ControlModifier);
    // Back to the empty new system: saved, nothing left to undo.
    EXPECT_EQ(Canvas().Edges.Count(), 0);
    EXPECT_TRUE(Window.Document().Saved());
    EXPECT_FALSE(Act("miUndo")->isEnabled());
    QTest::keyClick(Box, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Canvas().Edges.Count(), 1);
}
