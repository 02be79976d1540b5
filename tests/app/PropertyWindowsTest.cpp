// The property windows and editing dialogs driven as a person does: typing into fields
// (with the locale's decimal separator) and pressing the buttons.
#include "ModelBuilders.h"
#include "RecordingMessages.h"
#include "TestSupport.h"
#include "app/canvas/uConvArc.h"
#include "app/canvas/uCylProp.h"
#include "app/canvas/uEdgeProp.h"
#include "app/canvas/uPropertyWindows.h"
#include "app/settings/uSettingsDlg.h"
#include "app/solver/uDiscreteProp.h"
#include "app/uNumberText.h"
#include "document/uDocument.h"
#include "settings/uSettings.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// A number as the user types it here: "0.25" becomes "0,25" under a comma locale.
QString Typed(const char* Text) {
    return QString::fromLatin1(Text).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

void TypeInto(QWidget* Field, const QString& Text) {
    QTest::keyClick(Field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Field, Text);
}

// Near the left edge, where a check box has its box.
void Click(QWidget* Button) {
    QTest::mouseClick(Button, Qt::LeftButton, {}, QPoint(8, Button->height() / 2));
}

// Runs Do on the modal dialog once it is up; a dialog Do leaves open is cancelled.
void WhenModal(std::function<void(QDialog*)> Do) {
    QTimer::singleShot(0, [Do] {
        auto* D = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(D, nullptr);
        Do(D);
        if (D->isVisible())
            D->reject();
    });
}

// A unit square (segment 0 from (0,0) to (1,0)) and a cylinder of radius 0.5 at (5, 5)
// with a slit from 10 to 20 degrees at -3 m/s; all tool windows shown.
struct PropertyWindowsTest : testing::Test {
    PropertyWindowsTest() : Windows(Doc, Msg, &Owner) {
        Doc.Canvas().Edges.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
        Doc.Canvas().Edges.Add(Cylinder({5, 5}, 0.5, 0.0, true, 10, 20, -3));
        Edge = static_cast<TfrmEdgeProp*>(Windows.EdgeProp());
        Cyl = static_cast<TfrmCylProp*>(Windows.CylProp());
        Discrete = static_cast<TfrmDiscreteProp*>(Windows.DiscreteProp());
        for (QWidget* W : {Windows.EdgeProp(), Windows.CylProp(), Windows.DiscreteProp()})
            W->show();
    }
    void Select(TSelKind Kind, int EdgeIdx, int Segment) {
        ASSERT_TRUE(Doc.Canvas().Select({Kind, EdgeIdx, Segment}));
        Windows.FillPropertyWindows();
    }
    TEdgeSegment S(int EdgeIdx, int Segment) const {
        return Doc.Canvas().Edges.Item(EdgeIdx).GetSegment(Segment);
    }

    QWidget Owner;
    TDocument Doc;
    TRecordingMessages Msg;
    TPropertyWindows Windows;
    TfrmEdgeProp* Edge;
    TfrmCylProp* Cyl;
    TfrmDiscreteProp* Discrete;
};

} // namespace

TEST_F(PropertyWindowsTest, PointFieldsReportBadInputAndShowTheStoredValues) {
    EXPECT_FALSE(Edge->edX->isEnabled());
    // A field is named by its label, for screen readers.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(Cyl->edRadius)->text(QAccessible::Name),
              QStringLiteral("R = "));
    Select(skPoint, 0, 0); // (1, 0)
    EXPECT_EQ(Edge->edX->text(), NumberText(1.0));
    EXPECT_FALSE(Edge->edSpeed->isEnabled());
    EXPECT_FALSE(Edge->btnConvArc->isEnabled());

    Click(Edge->Button1);
    EXPECT_TRUE(Msg.Texts.isEmpty());
    EXPECT_TRUE(Doc.Saved());

    QSignalSpy Applied(&Windows, &TPropertyWindows::Applied);
    TypeInto(Edge->edX, QStringLiteral("abc"));
    TypeInto(Edge->edY, Typed("0.25"));
    Click(Edge->Button1);
    EXPECT_EQ(Msg.Texts, QStringList{QStringLiteral("Ошибка при вводе координаты X.")});
    EXPECT_EQ(Edge->edX->text(), NumberText(1.0));
    EXPECT_EQ(Edge->edY->text(), NumberText(0.25));
    EXPECT_EQ(S(0, 0).P2.Y, 0.25);
    EXPECT_FALSE(Doc.Saved());
    EXPECT_EQ(Applied.count(), 1);

    // Onto the far side of the square: refused, the stored point shown again.
    Msg.Texts.clear();
    TypeInto(Edge->edY, Typed("2.5"));
    TypeInto(Edge->edX, Typed("0.5"));
    Click(Edge->Button1);
    EXPECT_EQ(Msg.Texts, QStringList{QStringLiteral("Невозможно изменить координаты точки.\n"
                                                    "Границы при этом пересекутся.")});
    EXPECT_EQ(Edge->edY->text(), NumberText(0.25));

    // A field shown rounded and left alone keeps its exact value.
    TEdgeSegment Seg = S(0, 0);
    Seg.P2.X = 1.12345;
    Doc.Canvas().Edges.Item(0).SetSegment(0, Seg);
    Select(skPoint, 0, 0);
    // Typed by an assistive tool, as a screen reader user does.
    QAccessibleInterface* Y = QAccessible::queryAccessibleInterface(Edge->edY);
    ASSERT_NE(Y->editableTextInterface(), nullptr);
    Y->editableTextInterface()->replaceText(0, Edge->edY->text().size(), Typed("0.125"));
    Click(Edge->Button1);
    EXPECT_EQ(S(0, 0).P2.X, 1.12345);
    EXPECT_EQ(S(0, 0).P2.Y, 0.125);
}

TEST_F(PropertyWindowsTest, SegmentSpeedAndTheDiscretisationWindow) {
    TEdgeSegment Seg0 = S(0, 0);
    Seg0.BaseLength = 0.0004;
    Doc.Canvas().Edges.Item(0).SetSegment(0, Seg0);
    Select(skSegment, 0, 0);
    EXPECT_FALSE(Edge->edX->isEnabled());
    EXPECT_TRUE(Edge->btnConvArc->isEnabled());
    // Small lengths read back as they are, and an untouched field is not written back.
    EXPECT_EQ(Discrete->edBaseLength->text(), Typed("0.0004"));
    Click(Discrete->Button1);
    EXPECT_EQ(S(0, 0).BaseLength, 0.0004);
    EXPECT_TRUE(Doc.Saved());

    TypeInto(Discrete->edScaler, QStringLiteral("x"));
    TypeInto(Discrete->edCylBaseLength, Typed("0.25"));
    Click(Discrete->Button1);
    EXPECT_EQ(Msg.Texts,
              QStringList{QStringLiteral("Ошибка при задании множителя для конечных ребер")});
    EXPECT_EQ(S(0, 0).CylBaseLength, 0.25);
    EXPECT_EQ(Discrete->edScaler->text(), Typed("2"));
    EXPECT_FALSE(Doc.Saved());

    Msg.Texts.clear();
    TypeInto(Edge->edSpeed, Typed("-1.5"));
    Click(Edge->Button1);
    EXPECT_TRUE(Msg.Texts.isEmpty());
    EXPECT_EQ(S(0, 0).V, -1.5);
    EXPECT_EQ(Edge->edSpeed->text(), NumberText(-1.5));
}

TEST_F(PropertyWindowsTest, CylinderRefusalShowsTheStoredRadiusAndTheSlitComesBack) {
    Select(skCylinder, 1, 0);
    EXPECT_FALSE(Edge->Button1->isEnabled());
    EXPECT_TRUE(Cyl->cbCrack->isChecked());
    EXPECT_EQ(Cyl->edAng2->text(), NumberText(20.0));

    TypeInto(Cyl->edRadius, QStringLiteral("0"));
    Click(Cyl->Button1);
    EXPECT_EQ(Msg.Texts,
              QStringList{QStringLiteral("Невозможно изменить координаты центра\nили радиус "
                                         "цилиндрической области.")});
    EXPECT_EQ(S(1, 0).P2.X, 0.5);
    EXPECT_EQ(Cyl->edRadius->text(), NumberText(0.5));
    EXPECT_TRUE(Doc.Saved());

    Msg.Texts.clear();
    TypeInto(Cyl->edRadius, Typed("0.5"));
    Click(Cyl->cbCrack);
    Click(Cyl->Button1);
    EXPECT_FALSE(S(1, 0).HasSlit());
    EXPECT_EQ(Cyl->edAng2->text(), NumberText(20.0));
    Click(Cyl->cbCrack);
    Click(Cyl->Button1);
    EXPECT_TRUE(S(1, 0).HasSlit());
    EXPECT_EQ(S(1, 1).P1.Y, 20.0);
    EXPECT_EQ(S(1, 1).V, -3.0);
    EXPECT_TRUE(Msg.Texts.isEmpty());
}

TEST_F(PropertyWindowsTest, ConvertToArcRefusesThenMakesAHalfCircle) {
    Select(skSegment, 0, 0); // length 1
    bool StayedOpen = false;
    WhenModal([&](QDialog* D) {
        auto* Arc = static_cast<TfrmConvArc*>(D);
        EXPECT_EQ(Arc->edHeight->text(), Typed("0.1"));
        TypeInto(Arc->edHeight, Typed("0.51"));
        Click(Arc->Button1);
        TypeInto(Arc->edHeight, Typed("0.5"));
        TypeInto(Arc->edNumSegs, QStringLiteral("21"));
        Click(Arc->Button1);
        StayedOpen = Arc->isVisible();
        TypeInto(Arc->edNumSegs, QStringLiteral("2"));
        Click(Arc->Button1);
    });
    EXPECT_TRUE(Windows.ConvertToArc());
    EXPECT_TRUE(StayedOpen);
    EXPECT_EQ(Msg.Texts,
              (QStringList{QStringLiteral("Высота не должна превышать половины длины ребра"),
                           QStringLiteral("Количество сегментов должно быть от 2 до 20")}));
    ASSERT_EQ(Doc.Canvas().Edges.Item(0).Count(), 5);
    EXPECT_NEAR(S(0, 0).P2.X, 0.5, 1e-12);
    EXPECT_NEAR(S(0, 0).P2.Y, 0.5, 1e-12);
    EXPECT_FALSE(Doc.Saved());
}

TEST_F(PropertyWindowsTest, RotateAndSettingsDialogs) {
    WhenModal([](QDialog* D) {
        QWidget* Angle = D->findChild<QDoubleSpinBox*>(QStringLiteral("seAngle"));
        TypeInto(Angle, Typed("-45.5"));
        Click(D->findChild<QPushButton*>(QStringLiteral("Button1")));
    });
    EXPECT_EQ(Windows.AskRotation(), std::optional<double>(-45.5));

    WhenModal([](QDialog* D) {
        auto* Dlg = static_cast<TfrmSettings*>(D);
        Dlg->ChooseColor = [](TColor, QWidget*) { return std::optional<TColor>(clRed); };
        EXPECT_EQ(Dlg->seEdgeWidth->value(), 3);
        QTest::keyClicks(Dlg->seEdgeWidth, QStringLiteral("9"));
        EXPECT_EQ(Dlg->seEdgeWidth->value(), 3); // only the arrows change it
        for (int I = 0; I < 20; ++I)
            QTest::keyClick(Dlg->seEdgeWidth, Qt::Key_Up);
        EXPECT_EQ(Dlg->seEdgeWidth->value(), 20);
        Click(Dlg->stEdgeColor);
        Click(Dlg->Button1);
    });
    ASSERT_TRUE(Windows.EditSettings());
    EXPECT_EQ(Doc.Canvas().EdgeWidth(), 15);
    EXPECT_EQ(Doc.Canvas().EdgeColor, clRed);

    TTempDir Dir;
    const std::string Ini = Dir.File("kalvex.ini");
    WriteSettings(Ini, Doc.Canvas());
    std::ifstream In(Ini);
    std::stringstream Text;
    Text << In.rdbuf();
    EXPECT_NE(Text.str().find("edgewidth=15"), std::string::npos) << Text.str();
    EXPECT_NE(Text.str().find("edgecolor=clRed"), std::string::npos) << Text.str();
}

TEST_F(PropertyWindowsTest, SlitFieldsShowTheSelectedCylinderAndApplyWhatTheyShow) {
    Doc.Canvas().Edges.Add(Cylinder({8, 5}, 0.5, 0.0, false, 30, 40, 2));
    Select(skCylinder, 1, 0);
    EXPECT_EQ(Cyl->edAng1->text(), NumberText(10.0));
    Select(skCylinder, 2, 0);
    EXPECT_FALSE(Cyl->cbCrack->isChecked());
    EXPECT_EQ(Cyl->edAng1->text(), NumberText(30.0));
    EXPECT_EQ(Cyl->edAng2->text(), NumberText(40.0));
    EXPECT_EQ(Cyl->edSpeed->text(), NumberText(2.0));
    Click(Cyl->cbCrack);
    Click(Cyl->Button1);
    ASSERT_TRUE(S(2, 0).HasSlit());
    EXPECT_EQ(S(2, 1).P1.X, 30.0);
    EXPECT_EQ(S(2, 1).P1.Y, 40.0);
    EXPECT_EQ(S(2, 1).V, 2.0);
}
