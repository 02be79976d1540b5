// The main window shown at a fixed size with a recording message service, and the
// ways a person reaches its actions, panels and canvas.
#pragma once

#include "app/canvas/uEdgesPaintBox.h"
#include "app/uMain.h"

#include "RecordingMessages.h"
#include "TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace kalvex::test {

class TMainWindowFixture : public testing::Test {
protected:
    TMainWindowFixture() : Window(Msg, Dir.Path / "kalvex.ini") {
        Window.resize(1000, 700);
        Window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
        Box = Window.PaintBox();
    }
    ~TMainWindowFixture() override {
        // Nothing left to ask when the window goes.
        Msg.Answers = {TMsgAnswer::No};
        Window.close();
    }

    QAction* Act(const char* Name) {
        auto* A = Window.findChild<QAction*>(QLatin1String(Name));
        EXPECT_NE(A, nullptr) << Name;
        return A;
    }
    QString Panel(const char* Name) {
        return Window.findChild<QLabel*>(QLatin1String(Name))->text();
    }
    void Click(QPoint P, Qt::MouseButton B = Qt::LeftButton,
               Qt::KeyboardModifiers M = Qt::NoModifier) {
        QTest::mouseMove(Box, P);
        QTest::mouseClick(Box, B, M, P);
    }
    // A triangle drawn with three clicks and closed with the right button.
    void DrawTriangle() {
        Act("tbDrawFiniteEdge")->trigger();
        Click({100, 300});
        Click({300, 300});
        Click({300, 100});
        Click({150, 150}, Qt::RightButton);
    }
    TEdgesCanvas& Canvas() { return Window.Document().Canvas(); }

    TTempDir Dir;
    TRecordingMessages Msg;
    TfrmMain Window;
    TEdgesPaintBox* Box = nullptr;
};

} // namespace kalvex::test
