// The modelling mode as a person works in it: the switch and its refusals, the
// discretisation dialog, the velocity, flow lines, particles, refining and saving the
// results. Counts and velocities are checked against the command-line calculator.
#include "app/results/uDesignDlg.h"
#include "app/results/uFlowLinesDlg.h"
#include "app/results/uPartTracesDlg.h"
#include "app/results/uPictureSizeDlg.h"
#include "app/results/uSpeedDlg.h"
#include "app/solver/uDiscret.h"
#include "app/uNumberText.h"
#include "canvas/uPaintEdges.h"
#include "results/uContour.h"
#include "results/uEfficiency.h"
#include "results/uResultsFile.h"

#include "MainWindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <tuple>

using namespace kalvex;
using namespace kalvex::test;

namespace {

// What a command prints.
std::string Output(const std::string& Cmd) {
    std::string Out;
    if (FILE* P = popen(Cmd.c_str(), "r")) {
        char Buf[512];
        while (std::fgets(Buf, sizeof Buf, P) != nullptr)
            Out += Buf;
        pclose(P);
    }
    return Out;
}

// A line's value in pdfinfo's report ("Pages:           1" gives "1").
std::string PdfInfo(const std::string& File, const std::string& Field) {
    std::istringstream Lines(Output("pdfinfo " + File));
    for (std::string Line; std::getline(Lines, Line);)
        if (Line.rfind(Field + ":", 0) == 0)
            return Line.substr(Line.find_first_not_of(' ', Field.size() + 1));
    return {};
}

// What the calculator prints for the arguments, run on a system in Dir.
std::string Calc(const std::string& Args) {
    return Output(std::string(KALVEX_CALC) + " " + Args);
}

std::vector<std::uint8_t> Bytes(const std::string& Path) {
    std::ifstream F(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(F), {}};
}

class ModellingTest : public TMainWindowFixture {
protected:
    // Acts on the modal dialog once it is up.
    static void OnModal(std::function<void(QWidget*)> F) {
        QTimer::singleShot(0, [F] { F(QApplication::activeModalWidget()); });
    }
    static void Press(QWidget* Dialog, const char* Button) {
        auto* B = Dialog->findChild<QPushButton*>(QLatin1String(Button));
        ASSERT_NE(B, nullptr) << Button;
        QTest::mouseClick(B, Qt::LeftButton);
    }
    // The example copied beside the test's folder and opened.
    void OpenExample(const std::string& Name) {
        System = Dir.File(Name);
        std::filesystem::copy_file(ExamplePath(Name), System);
        Window.OpenSystem(QString::fromStdString(System));
    }
    // Opens the example and enters modelling, discretised with the dialog's defaults.
    void EnterModelling(const std::string& Name) {
        OpenExample(Name);
        OnModal([](QWidget* D) { Press(D, "btDo"); });
        Act("miCountMode")->trigger();
        ASSERT_EQ(Window.Document().Mode(), TMode::mdCount);
    }
    // "Изолиния скорости..." for Speed in a coarse grid over the view.
    void BuildContour(double Speed) {
        OnModal([Speed](QWidget* D) {
            auto* Dlg = qobject_cast<TfrmContour*>(D);
            ASSERT_NE(Dlg, nullptr);
            Dlg->edSpeed->setText(ShortestText(Speed));
            Dlg->edCells->setText(QStringLiteral("60"));
            Press(D, "btBuild");
        });
        Act("miContour")->trigger();
    }
    QString Last() const { return Msg.Texts.isEmpty() ? QString() : Msg.Texts.last(); }
    TDrawLines& Lines() { return Canvas().DrawLines; }

    std::string System;
};

} // namespace

TEST_F(ModellingTest, RefusedThenDiscretisedAsTheCalculatorDoes) {
    OpenExample("hood.asp");
    TEdge& E = Canvas().Edges.Item(0);
    TEdgeSegment S = E.GetSegment(0);
    S.V += 1;
    E.SetSegment(0, S);
    Act("miCountMode")->trigger();
    // The net flow in the user's notation, and the way out.
    EXPECT_EQ(Last(), QString::fromUtf8("Некорректно заданы граничные условия.\n"
                                        "Переход в режим моделирования невозможен.\n"
                                        "Суммарный расход через границы ") +
                          NumberText(Canvas().Edges.TotalFlow()) +
                          QString::fromUtf8(" м²/с, а должен быть равен нулю.\n"
                                            "Выделите отверстие и выберите «Автоподбор "
                                            "скорости»:\nего скорость уравновесит расход."));
    S.V -= 1;
    E.SetSegment(0, S);
    Window.Document().MarkChanged();
    Act("tbMode")->trigger();
    // Offered for saving; cancelled, the window stays in editing.
    EXPECT_TRUE(Last().startsWith(QString::fromUtf8("Файл не сохранен.\n")))
        << Last().toStdString();
    EXPECT_EQ(Window.Document().Mode(), TMode::mdEdit);

    // Saved: the dialog comes up with its defaults; cancelling it keeps editing.
    Act("miSave")->trigger();
    OnModal([](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmDiscret*>(D);
        ASSERT_NE(Dlg, nullptr);
        EXPECT_EQ(Dlg->edStep->text(), ShortestText(0.0004));
        EXPECT_TRUE(Dlg->edScaler->isEnabled());
        Dlg->rgDiscrMethod->button(0)->click();
        EXPECT_FALSE(Dlg->edScaler->isEnabled());
        EXPECT_FALSE(Dlg->edCylStep->isEnabled());
        // The path of the solve follows the element count the fields give.
        const auto Solver = [&] { return Dlg->lbSolver->text().toStdString(); };
        EXPECT_EQ(Solver(), "Метод решения: быстрый мультипольный (без матрицы)");
        Dlg->edStep->setText(ShortestText(0.01));
        EXPECT_EQ(Solver(), "Метод решения: прямой (LU)");
        Dlg->edStep->setText(ShortestText(0.003));
        EXPECT_EQ(Solver(), "Метод решения: итерационный (GMRES)");
        Dlg->edStep->setText(QStringLiteral("x"));
        EXPECT_EQ(Solver(), "Метод решения: —");
        Dlg->edStep->setText(ShortestText(0.0004));
        Dlg->rgDiscrMethod->button(1)->click();
        Press(D, "btCancel");
    });
    Act("miCountMode")->trigger();
    EXPECT_EQ(Window.Document().Mode(), TMode::mdEdit);
    EXPECT_FALSE(std::filesystem::exists(Window.Document().CompanionPath()));

    OnModal([](QWidget* D) { Press(D, "btDo"); });
    Act("miCountMode")->trigger();
    EXPECT_EQ(Window.Document().Mode(), TMode::mdCount);
    EXPECT_EQ(Panel("sbMode"), QString::fromUtf8(" Моделирование"));
    const std::string Count = Calc("discretize " + System + " --out " + Dir.File("calc.dsc"));
    EXPECT_EQ(Panel("sbElements"), QString::fromUtf8(" Граничных элементов: ") +
                                       QString::fromStdString(Count.substr(10)).trimmed());
    EXPECT_EQ(Bytes(Window.Document().CompanionPath().string()), Bytes(Dir.File("calc.dsc")));

    // Back and forth again: the file beside the system is loaded, nothing is asked.
    Act("miEditMode")->trigger();
    EXPECT_TRUE(Panel("sbElements").isEmpty());
    const qsizetype Asked = Msg.Texts.size();
    Act("miCountMode")->trigger();
    EXPECT_EQ(Window.Document().Mode(), TMode::mdCount);
    EXPECT_EQ(Msg.Texts.size(), Asked);
}

TEST_F(ModellingTest, VelocityAtATypedPointAndByTheTool) {
    EnterModelling("hood.asp");
    std::istringstream Out(Calc("velocity " + System + " 1 1"));
    double X = 0, Y = 0, Vx = 0, Vy = 0;
    ASSERT_TRUE(Out >> X >> Y >> Vx >> Vy);
    const QString First = QString::fromUtf8("Скорость воздуха в точке (") + NumberText(1) +
                          QLatin1Char(';') + NumberText(1) + QStringLiteral("):");
    OnModal([this](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmSpeed*>(D);
        ASSERT_NE(Dlg, nullptr);
        EXPECT_TRUE(Canvas().ShowSpeedPoint);
        Dlg->edX->setText(ShortestText(2.5));
        EXPECT_EQ(Canvas().SpeedPoint.X, 2.5);
        Dlg->edX->setText(QStringLiteral("1"));
        Press(D, "btCompute");
        Press(D, "btCancel");
    });
    Act("tbSpeed2")->trigger();
    EXPECT_FALSE(Canvas().ShowSpeedPoint);
    EXPECT_EQ(Last(), First + QString::fromUtf8("\nVx = ") + NumberText(Vx) +
                          QString::fromUtf8(" м/с\nVy = ") + NumberText(Vy) +
                          QString::fromUtf8(" м/с\n|V| = ") + NumberText(std::hypot(Vx, Vy)) +
                          QString::fromUtf8(" м/с"));
    if (QLocale().decimalPoint() == QLatin1Char(',')) {
        EXPECT_TRUE(
            Last().startsWith(QString::fromUtf8("Скорость воздуха в точке (1,000;1,000):")));
    }

    // The tool: a click reports the velocity under the mouse.
    Act("tbSpeed")->trigger();
    const TPixel P = Canvas().WorldToScreen({1, 1});
    Click({P.X, P.Y});
    const TRealPoint At = Canvas().ScreenToWorld(P);
    const TRealPoint V = Window.Document().Solver().Velocity(At);
    EXPECT_EQ(Last(), VelocityMessage(At, V));
}

TEST_F(ModellingTest, FieldOfLinesCancelledMidwayKeepsItsLinesAndSavesThem) {
    EnterModelling("hood.asp");
    // Events after every line: the whole field takes less than their usual interval.
    Window.Document().Solver().PumpInterval = {};
    bool SawBusy = false;
    OnModal([&](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmFlowLines*>(D);
        ASSERT_NE(Dlg, nullptr);
        Dlg->edInterval->setText(ShortestText(0.01));
        // Cancel once two lines are drawn.
        auto* Watch = new QTimer(Dlg);
        QObject::connect(Watch, &QTimer::timeout, Dlg, [&, Dlg, Watch] {
            if (Lines().Count < 2)
                return;
            Watch->stop();
            SawBusy = Window.Busy() && !Window.menuBar()->isEnabled() &&
                      !Act("tbMode")->isEnabled() && !Box->isEnabled();
            Press(Dlg, "btCancel");
        });
        Watch->start(0);
        Press(D, "btBuild");
    });
    Act("tbFlowLines")->trigger();
    EXPECT_TRUE(SawBusy);
    const std::string Full = Calc("flowlines " + System + " --interval 0.01");
    EXPECT_EQ(Full.substr(0, 10), "lines: 12\n");
    EXPECT_GE(Lines().Count, 2);
    EXPECT_LT(Lines().Count, 12);
    EXPECT_FALSE(Window.Busy());
    EXPECT_TRUE(Window.menuBar()->isEnabled());
    EXPECT_TRUE(Act("tbMode")->isEnabled());

    // Saved as a results file and as a picture, as the core writes them.
    Msg.Files = {QString::fromStdString(Dir.File("lines.mod"))};
    Act("miSaveRes_Mod")->trigger();
    ASSERT_FALSE(Msg.Dialogs.isEmpty());
    EXPECT_EQ(Msg.Dialogs.last().Title, QString::fromUtf8("Сохранить результаты моделирования"));
    EXPECT_EQ(Msg.Dialogs.last().Filter, QString::fromUtf8("Результаты моделирования (*.mod)"));
    EXPECT_EQ(Msg.Dialogs.last().Initial, QString::fromStdString(Dir.File("hood.mod")));
    EXPECT_EQ(Bytes(Dir.File("lines.mod")), SaveResultsToBytes(Canvas().Edges, Lines()));
    Msg.Files = {QString::fromStdString(Dir.File("lines.wmf"))};
    Act("miSaveRes_Wmf")->trigger();
    EXPECT_TRUE(Msg.Dialogs.last().Filter.startsWith(QString::fromUtf8("Метафайлы (*.wmf);;")));
    EXPECT_EQ(Msg.Dialogs.last().DefaultSuffix, QStringLiteral("wmf"));
    EXPECT_EQ(Msg.Dialogs.last().Initial, QString::fromStdString(Dir.File("hood.wmf")));
    ExportPicture(Canvas().Edges, Lines(), Canvas().Scale, Dir.File("same.wmf"));
    const std::vector<std::uint8_t> Wmf = Bytes(Dir.File("lines.wmf"));
    ASSERT_GT(Wmf.size(), 4u);
    EXPECT_EQ(Wmf[0], 0xD7);
    EXPECT_EQ(Wmf, Bytes(Dir.File("same.wmf")));

    // Deleting the results empties the store.
    Act("tbDelModel")->trigger();
    EXPECT_EQ(Lines().Count, 0);
}

TEST_F(ModellingTest, ParticleTraceAndABlownUpCase) {
    EnterModelling("hood.asp");
    OnModal([](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmPartTraces*>(D);
        ASSERT_NE(Dlg, nullptr);
        EXPECT_EQ(Dlg->lbTime->text(), NumberText(0));
        Dlg->edMaxTime->setText(ShortestText(0.05));
        Press(D, "btBuild");
    });
    Act("tbPartTrace")->trigger();
    EXPECT_EQ(Lines().Count, 1);
    const double Time = Window.Document().RotationTime();
    EXPECT_GT(Time, 0.0);
    EXPECT_FALSE(Window.PartTracesDialog()->lbRe->text().isEmpty());
    // The flight ends with what became of the particle.
    EXPECT_EQ(Msg.Texts, QStringList{QString::fromUtf8("Частица не уловлена за время "
                                                       "моделирования (") +
                                     NumberText(Time) + QStringLiteral(" с).")});

    // No viscosity, a negative diameter: refused before anything is traced, the field
    // named and its value in the user's notation; the dialog stays open for a fix.
    for (const auto& [Field, Value, Named] :
         {std::tuple{"edMu", 0.0, "Динамическая вязкость воздуха"},
          std::tuple{"edDe", -1.5, "Эквивалентный диаметр частицы"}}) {
        const qsizetype Shown = Msg.Texts.size();
        bool StayedOpen = false;
        OnModal([&, Field = Field, Value = Value](QWidget* D) {
            D->findChild<QLineEdit*>(QLatin1String(Field))->setText(ShortestText(Value));
            Press(D, "btBuild");
            StayedOpen = D->isVisible();
            Press(D, "btCancel");
        });
        Act("N10")->trigger();
        EXPECT_TRUE(StayedOpen);
        ASSERT_EQ(Msg.Texts.size(), Shown + 1);
        EXPECT_TRUE(Last().startsWith(QString::fromUtf8("Ошибка при вводе параметров.\n") +
                                      QString::fromUtf8(Named)))
            << Last().toStdString();
        EXPECT_TRUE(Last().contains(QStringLiteral("(задано ") + ShortestText(Value) + ")"))
            << Last().toStdString();
        EXPECT_EQ(Lines().Count, 1);
        EXPECT_EQ(Window.Document().RotationTime(), Time);
    }
}

TEST_F(ModellingTest, ParticleCancelledInFlightKeepsItsPathAndTime) {
    EnterModelling("hood.asp");
    bool SawBusy = false;
    OnModal([&](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmPartTraces*>(D);
        ASSERT_NE(Dlg, nullptr);
        Dlg->edStep->setText(ShortestText(0.00001));
        Dlg->edMaxTime->setText(ShortestText(5));
        // "Отмена" once the flight time shown has moved.
        auto* Watch = new QTimer(Dlg);
        QObject::connect(Watch, &QTimer::timeout, Dlg, [&, Dlg, Watch] {
            if (Dlg->lbTime->text() == NumberText(0))
                return;
            Watch->stop();
            SawBusy = Window.Busy() && !Window.menuBar()->isEnabled();
            Press(Dlg, "btCancel");
        });
        Watch->start(0);
        Press(D, "btBuild");
    });
    Act("tbPartTrace")->trigger();
    EXPECT_TRUE(SawBusy);
    EXPECT_FALSE(Window.Busy());
    EXPECT_TRUE(Window.menuBar()->isEnabled());
    ASSERT_EQ(Lines().Count, 1);
    EXPECT_GT(Lines().Lines.back().size(), 1u);
    EXPECT_GT(Window.Document().RotationTime(), 0.0);
    // Stopped early: the whole flight lasts the 5 s given.
    EXPECT_LT(Window.Document().RotationTime(), 1.0) << Window.Document().RotationTime();
    EXPECT_TRUE(Msg.Texts.isEmpty()) << Msg.Texts.join(QLatin1Char('|')).toStdString();
}

TEST_F(ModellingTest, RefineInARectangleWithEscapeCancelling) {
    EnterModelling("hood.asp");
    const int Before = Window.Document().ElementCount();
    Act("tbDiscr2")->trigger();
    const QImage Clean = Box->ScreenImage();
    Click({5, 5});
    QTest::mouseMove(Box, {400, 300});
    const QImage Band = Box->ScreenImage();
    EXPECT_NE(Band.pixel(200, 5), Clean.pixel(200, 5));
    // All four sides.
    EXPECT_NE(Band.pixel(5, 150), Clean.pixel(5, 150));
    EXPECT_NE(Band.pixel(400, 150), Clean.pixel(400, 150));
    EXPECT_NE(Band.pixel(200, 300), Clean.pixel(200, 300));
    QTest::keyClick(Box, Qt::Key_Escape);
    EXPECT_EQ(Box->ScreenImage(), Clean);
    EXPECT_EQ(Window.Document().ElementCount(), Before);

    Click({1, 1});
    Click({Box->width() - 2, Box->height() - 2});
    const int After = Window.Document().ElementCount();
    EXPECT_GT(After, Before);
    EXPECT_EQ(Panel("sbElements"),
              QString::fromUtf8(" Граничных элементов: ") + QString::number(After));
    TEdgeElements Saved;
    Saved.LoadFromFile(Window.Document().CompanionPath().string());
    EXPECT_EQ(Saved.Count, After);
}

TEST_F(ModellingTest, ClosingDuringABuildStopsItThenAsks) {
    EnterModelling("hood.asp");
    Window.Document().Solver().PumpInterval = {};
    qsizetype AskedDuringRun = -1;
    OnModal([&](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmFlowLines*>(D);
        ASSERT_NE(Dlg, nullptr);
        Dlg->edInterval->setText(ShortestText(0.01));
        auto* Watch = new QTimer(Dlg);
        QObject::connect(Watch, &QTimer::timeout, Dlg, [&, Watch] {
            if (Lines().Count < 2)
                return;
            Watch->stop();
            Window.Document().MarkChanged();
            const qsizetype Before = Msg.Texts.size();
            Window.close();
            AskedDuringRun = Msg.Texts.size() - Before;
        });
        Watch->start(0);
        Press(D, "btBuild");
    });
    Msg.Answers = {TMsgAnswer::No};
    Act("tbFlowLines")->trigger();
    EXPECT_EQ(AskedDuringRun, 0);
    EXPECT_LT(Lines().Count, 12);
    for (int I = 0; I < 100 && Window.isVisible(); ++I)
        QTest::qWait(10);
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Last(), QString::fromUtf8("Сохранить изменения в файле hood.asp?"));
}

TEST_F(ModellingTest, ClosingTheWindowDuringAParticleStopsItThenAsks) {
    EnterModelling("hood.asp");
    bool Blocked = true;
    OnModal([&](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmPartTraces*>(D);
        ASSERT_NE(Dlg, nullptr);
        Dlg->edStep->setText(ShortestText(0.00001));
        Dlg->edMaxTime->setText(ShortestText(5));
        auto* Watch = new QTimer(Dlg);
        QObject::connect(Watch, &QTimer::timeout, Dlg, [&, Dlg, Watch] {
            if (Dlg->lbTime->text() == NumberText(0))
                return;
            Watch->stop();
            // Qt hands no close request of the window system to a window that a
            // modal one blocks.
            Blocked = QGuiApplication::modalWindow() != nullptr;
            Window.Document().MarkChanged();
            Window.close();
        });
        Watch->start(0);
        Press(D, "btBuild");
    });
    Msg.Answers = {TMsgAnswer::No};
    Act("tbPartTrace")->trigger();
    EXPECT_FALSE(Blocked);
    for (int I = 0; I < 100 && Window.isVisible(); ++I)
        QTest::qWait(10);
    EXPECT_FALSE(Window.isVisible());
    EXPECT_LT(Window.Document().RotationTime(), 1.0);
    EXPECT_EQ(Last(), QString::fromUtf8("Сохранить изменения в файле hood.asp?"));
}

TEST_F(ModellingTest, FirstVelocitySolvesBusyAndEscStopsIt) {
    EnterModelling("hood.asp");
    TCountEdges& S = Window.Document().Solver();
    Act("tbSpeed")->trigger();
    // Without the memory the system needs: refused with its size, before anything is
    // assembled.
    S.MemoryProbe = [] { return std::optional<double>(0.0); };
    Click({400, 300});
    EXPECT_TRUE(Last().startsWith(QString::fromUtf8("Недостаточно памяти для решения системы из ")))
        << Last().toStdString();
    S.MemoryProbe = nullptr;
    Msg.Texts.clear();

    S.PumpInterval = {};
    bool SawBusy = false;
    // The move first: moving processes events.
    QTest::mouseMove(Box, {400, 300});
    QTimer::singleShot(0, &Window, [&] {
        SawBusy = Window.Busy() && !Window.menuBar()->isEnabled();
        QTest::keyClick(&Window, Qt::Key_Escape);
    });
    QTest::mouseClick(Box, Qt::LeftButton, {}, {400, 300});
    EXPECT_TRUE(SawBusy);
    // Stopped: nothing said, nothing half-solved kept, the window usable.
    EXPECT_TRUE(Msg.Texts.isEmpty()) << Msg.Texts.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(S.Solved());
    EXPECT_FALSE(Window.Busy());
    EXPECT_TRUE(Window.menuBar()->isEnabled());
    Click({400, 300});
    EXPECT_TRUE(Last().startsWith(QString::fromUtf8("Скорость воздуха в точке")))
        << Last().toStdString();
}

TEST_F(ModellingTest, DialogFaultsAndASingleLineFromAPickedPoint) {
    OpenExample("hood.asp");
    // Unreadable text is refused by the dialog; a number the core cannot use is refused
    // with the core's reason, in an error box; the dialog stays open either way.
    OnModal([this](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmDiscret*>(D);
        ASSERT_NE(Dlg, nullptr);
        Dlg->edStep->setText(QStringLiteral("abc"));
        Press(D, "btDo");
        EXPECT_EQ(Last(), QString::fromUtf8("Ошибка при вводе параметров."));
        Dlg->edStep->setText(QStringLiteral("0"));
        Press(D, "btDo");
        EXPECT_TRUE(Last().startsWith(QString::fromUtf8("Базовая длина граничного элемента")));
        EXPECT_EQ(Msg.Icons.back(), TMsgIcon::Error);
        EXPECT_TRUE(D->isVisible());
        Dlg->edStep->setText(ShortestText(0.0004));
        Press(D, "btDo");
    });
    Act("miCountMode")->trigger();
    ASSERT_EQ(Window.Document().Mode(), TMode::mdCount);

    Act("tbFlowLine")->trigger();
    const TRealPoint At = Canvas().ScreenToWorld({120, 300});
    // The move first: moving processes events, and the dialog is not up yet.
    QTest::mouseMove(Box, {120, 300});
    OnModal([&](QWidget* D) {
        auto* Dlg = qobject_cast<TfrmFlowLine*>(D);
        ASSERT_NE(Dlg, nullptr);
        EXPECT_EQ(Dlg->edX->text(), NumberText(At.X));
        EXPECT_EQ(Dlg->edY->text(), NumberText(At.Y));
        Press(D, "btBuild");
    });
    QTest::mouseClick(Box, Qt::LeftButton, Qt::NoModifier, {120, 300});
    EXPECT_EQ(Lines().Count, 1);
    EXPECT_GT(Lines().Lines[0].size(), 1u);
}

TEST_F(ModellingTest, SpeedContourIsAResultLineOfItsOwnColour) {
    EnterModelling("slot.asp");
    BuildContour(0.25);
    EXPECT_TRUE(Msg.Texts.isEmpty()) << Msg.Texts.join(QLatin1Char('|')).toStdString();
    ASSERT_GE(Lines().Count, 1);
    for (const TColorPointArray& L : Lines().Lines) {
        ASSERT_GE(L.size(), 2u);
        EXPECT_EQ(L[1].Color, ContourColor);
    }
    EXPECT_FALSE(Window.Busy());
}

TEST_F(ModellingTest, EfficiencyCurveHoldsTheCoreFractions) {
    EnterModelling("cylinder.asp");
    const std::vector<double> D = {0.00001, 0.0003};
    OnModal([&](QWidget* W) {
        auto* Dlg = qobject_cast<TfrmEfficiency*>(W);
        ASSERT_NE(Dlg, nullptr);
        Dlg->edXA->setText(ShortestText(-0.25));
        Dlg->edYA->setText(ShortestText(0.625));
        Dlg->edXB->setText(ShortestText(0.25));
        Dlg->edYB->setText(ShortestText(0.625));
        Dlg->edN->setText(QStringLiteral("4"));
        Dlg->edDiameters->setText(ShortestText(D[0]) + QStringLiteral("; ") + ShortestText(D[1]));
        Dlg->edMaxTime->setText(ShortestText(2));
        Press(W, "btBuild");
    });
    Act("miEfficiency")->trigger();
    EXPECT_TRUE(Msg.Texts.isEmpty()) << Msg.Texts.join(QLatin1Char('|')).toStdString();
    TfrmEfficiencyChart* Chart = Window.EfficiencyChart();
    ASSERT_TRUE(Chart->isVisible());

    TEfficiencyParams P;
    P.From = {-0.25, 0.625};
    P.To = {0.25, 0.625};
    P.Count = 4;
    P.Diameters = D;
    P.Particle.TMax = 2;
    const TEfficiencyOutcome Core = CaptureEfficiency(Window.Document().Solver(), P);
    ASSERT_EQ(Chart->Series->count(), 2);
    for (int I = 0; I < 2; ++I) {
        const TEfficiencyRow& R = Core.Rows[static_cast<std::size_t>(I)];
        EXPECT_EQ(Chart->Series->at(I),
                  QPointF(R.D * 1e6, static_cast<double>(R.Caught) / R.Total));
    }

    // The table is the calculator's, every digit; offered under the system's name.
    Msg.Files = {QString::fromStdString(Dir.File("e.csv"))};
    Press(Chart, "btSaveCsv");
    EXPECT_EQ(Msg.Dialogs.last().Initial, QString::fromStdString(Dir.File("cylinder.csv")));
    const std::string Csv = EfficiencyCsv(Core.Rows);
    EXPECT_EQ(Bytes(Dir.File("e.csv")), std::vector<std::uint8_t>(Csv.begin(), Csv.end()));
    Msg.Files = {QString::fromStdString(Dir.File("e.png"))};
    Press(Chart, "btSavePng");
    EXPECT_EQ(QImage(QString::fromStdString(Dir.File("e.png"))).size(), Chart->View->size());

    // A file that cannot be replaced is told and stays whole.
    for (const char* Name : {"e.csv", "e.png"}) {
        const std::vector<std::uint8_t> Old = Bytes(Dir.File(Name));
        std::filesystem::permissions(Dir.File(Name), std::filesystem::perms::owner_read);
        Msg.Files = {QString::fromStdString(Dir.File(Name))};
        Msg.Texts.clear();
        Press(Chart, std::string(Name) == "e.csv" ? "btSaveCsv" : "btSavePng");
        ASSERT_EQ(Msg.Texts.size(), 1);
        EXPECT_TRUE(Msg.Texts[0].contains(QString::fromUtf8("только для чтения")))
            << Msg.Texts[0].toStdString();
        EXPECT_EQ(Bytes(Dir.File(Name)), Old);
    }
    Chart->close();
}

TEST_F(ModellingTest, ResultsPictureIsSavedAsPngSvgAndPdfToo) {
    EnterModelling("slot.asp");
    BuildContour(0.5);
    // PNG and PDF ask their size first; accepted as offered, as before.
    OnModal([](QWidget* D) { Press(D, "Button1"); });
    Msg.Files = {QString::fromStdString(Dir.File("r.png"))};
    Act("miSaveRes_Wmf")->trigger();
    Msg.Files = {QString::fromStdString(Dir.File("r.svg"))};
    Act("miSaveRes_Wmf")->trigger();
    OnModal([](QWidget* D) { Press(D, "Button1"); });
    Msg.Files = {QString::fromStdString(Dir.File("r.pdf"))};
    Act("miSaveRes_Wmf")->trigger();
    const QImage Png(QString::fromStdString(Dir.File("r.png")), "PNG");
    ASSERT_FALSE(Png.isNull());
    EXPECT_EQ(Png.pixelColor(1, 1), QColor(Qt::white));
    const std::vector<std::uint8_t> Svg = Bytes(Dir.File("r.svg"));
    const std::string Head(Svg.begin(), Svg.begin() + std::min<std::size_t>(Svg.size(), 200));
    EXPECT_NE(Head.find("<svg"), std::string::npos);
    const std::vector<std::uint8_t> Pdf = Bytes(Dir.File("r.pdf"));
    ASSERT_GE(Pdf.size(), 5u);
    EXPECT_EQ(std::string(Pdf.begin(), Pdf.begin() + 5), "%PDF-");
}

TEST_F(ModellingTest, PictureSizeIsChosenAfterTheNameAndKeptForTheSession) {
    EnterModelling("slot.asp");
    BuildContour(0.5);
    // Saves Name with the size dialog driven by Drive.
    auto Save = [this](const char* Name, std::function<void(TfrmPictureSize*)> Drive) {
        OnModal([Drive](QWidget* D) {
            auto* Dlg = qobject_cast<TfrmPictureSize*>(D);
            ASSERT_NE(Dlg, nullptr);
            Drive(Dlg);
        });
        Msg.Files = {QString::fromStdString(Dir.File(Name))};
        Act("miSaveRes_Wmf")->trigger();
    };
    auto Type = [](QLineEdit* E, const QString& Text) {
        E->selectAll();
        QTest::keyClicks(E, Text);
    };
    auto Png = [this](const char* Name) {
        return QImage(QString::fromStdString(Dir.File(Name)), "PNG").size();
    };
    QString Offered;
    Save("96.png", [&](TfrmPictureSize* D) {
        Offered = D->edDpi->text();
        EXPECT_TRUE(D->gbPng->isVisibleTo(D));
        EXPECT_FALSE(D->gbPdf->isVisibleTo(D));
        Type(D->edDpi, QStringLiteral("192"));
        Press(D, "Button1");
    });
    EXPECT_EQ(Offered, QStringLiteral("96"));
    std::vector<std::uint8_t> Svg;
    const TPictureSize Size = Window.Document().ResultsPicture(Svg);
    EXPECT_EQ(Png("96.png"), QSize(2 * Size.Width, 2 * Size.Height));

    // Out of bounds: said so, the dialog stays; cancelled, nothing is written.
    Save("big.png", [&](TfrmPictureSize* D) {
        Offered = D->edDpi->text();
        Type(D->edDpi, QStringLiteral("5000"));
        Press(D, "Button1");
        EXPECT_TRUE(D->isVisible());
        Press(D, "Button2");
    });
    EXPECT_EQ(Offered, QStringLiteral("192"));
    EXPECT_EQ(Last(), QString::fromUtf8("Разрешение должно быть от 24 до 1200 точек на дюйм"));
    EXPECT_FALSE(std::filesystem::exists(Dir.File("big.png")));

    // By the width in pixels: the height shown follows, and is what is saved.
    int Height = 0;
    Save("w.png", [&](TfrmPictureSize* D) {
        Type(D->edWidth, QStringLiteral("1000"));
        Height = D->edHeight->text().toInt();
        Press(D, "Button1");
    });
    EXPECT_EQ(Png("w.png"), QSize(1000, Height));
    EXPECT_NEAR(Height, 1000.0 * Size.Height / Size.Width, 1);

    Save("a4.pdf", [&](TfrmPictureSize* D) {
        EXPECT_FALSE(D->cbOrientation->isEnabled());
        D->cbPaper->setCurrentIndex(1);
        D->cbOrientation->setCurrentIndex(1);
        Press(D, "Button1");
    });
    EXPECT_EQ(PdfInfo(Dir.File("a4.pdf"), "Page size"), "595 x 842 pts (A4)");
}

TEST_F(ModellingTest, PrintedPageIsOneSheetWithThePictureAndItsCaption) {
    QAction* Print = Act("miPrint");
    EXPECT_EQ(Print->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_TRUE(Window.findChild<QMenu*>(QStringLiteral("mnuFile"))->actions().contains(Print));
    EnterModelling("slot.asp");
    BuildContour(0.5);
    std::vector<std::uint8_t> Svg;
    const TPictureSize Size = Window.Document().ResultsPicture(Svg);
    QPrinter& Printer = Window.PreparedPrinter();
    EXPECT_EQ(Printer.pageLayout().orientation() == QPageLayout::Landscape,
              Size.Width > Size.Height);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(QString::fromStdString(Dir.File("print.pdf")));
    Printer.setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(Window.PrintPicture(Printer));
    EXPECT_EQ(PdfInfo(Dir.File("print.pdf"), "Pages"), "1");
    EXPECT_EQ(PdfInfo(Dir.File("print.pdf"), "Page size"),
              Size.Width > Size.Height ? "842 x 595 pts (A4)" : "595 x 842 pts (A4)");
    EXPECT_NE(Output("pdftotext " + Dir.File("print.pdf") + " -").find("slot.asp"),
              std::string::npos);

    // The preview draws the same page, without a word.
    const qsizetype Said = Msg.Texts.size();
    QString Preview;
    OnModal([&Preview](QWidget* D) {
        Preview = D->objectName();
        D->close();
    });
    Act("miPrintPreview")->trigger();
    EXPECT_EQ(Preview, QStringLiteral("frmPrintPreview"));
    EXPECT_EQ(Msg.Texts.size(), Said);
}

TEST_F(ModellingTest, SpeedLegendButtonShowsTheScaleAlsoInPictures) {
    EnterModelling("slot.asp");
    BuildContour(0.5);
    QAction* Legend = Act("tbLegend");
    ASSERT_TRUE(Legend->isVisible());
    EXPECT_FALSE(Canvas().LegendShown());
    Legend->trigger();
    EXPECT_TRUE(Canvas().LegendShown());
    EXPECT_EQ(Legend->toolTip(), QString::fromUtf8("Скрыть шкалу скоростей"));
    EXPECT_EQ(Canvas().LegendFormat(0.25), NumberText(0.25).toStdString());

    Msg.Files = {QString::fromStdString(Dir.File("legend.wmf"))};
    Act("miSaveRes_Wmf")->trigger();
    ExportPicture(Canvas().Edges, Lines(), Canvas().Scale, Dir.File("with.wmf"),
                  Canvas().LegendFormat);
    ExportPicture(Canvas().Edges, Lines(), Canvas().Scale, Dir.File("without.wmf"));
    EXPECT_EQ(Bytes(Dir.File("legend.wmf")), Bytes(Dir.File("with.wmf")));
    EXPECT_NE(Bytes(Dir.File("legend.wmf")), Bytes(Dir.File("without.wmf")));

    Legend->trigger();
    EXPECT_FALSE(Canvas().LegendShown());
    EXPECT_EQ(Legend->toolTip(), QString::fromUtf8("Показать шкалу скоростей"));
}

TEST_F(ModellingTest, AHoodTurnedOverIsNamedBeforeModelling) {
    OpenExample("hood.asp");
    Act("tbSelect")->trigger();
    const TPixel Wall = Canvas().WorldToScreen({1.0, 0.4});
    Click({Wall.X, Wall.Y});
    ASSERT_TRUE(Act("miInvertEdge")->isEnabled());
    Act("miInvertEdge")->trigger();
    EXPECT_EQ(Act("miInvertEdge")->text(), QString::fromUtf8("Повернуть сторону воздуха"));
    Act("miSave")->trigger();
    // Declined: the window stays in editing, where the boundary can be turned back.
    Msg.Answers = {TMsgAnswer::No};
    Act("miCountMode")->trigger();
    EXPECT_TRUE(Last().startsWith(QString::fromUtf8(
        "Граница 1: сторона воздуха не обращена ни к отсосу, ни к другой границе.\n")))
        << Last().toStdString();
    EXPECT_TRUE(Last().endsWith(QString::fromUtf8("Продолжить?")));
    EXPECT_EQ(Window.Document().Mode(), TMode::mdEdit);
    // The engineer means it: modelling goes on.
    Msg.Answers = {TMsgAnswer::Yes};
    OnModal([](QWidget* D) { Press(D, "btDo"); });
    Act("miCountMode")->trigger();
    EXPECT_EQ(Window.Document().Mode(), TMode::mdCount);
}

TEST_F(ModellingTest, AContourThatFindsNothingSaysWhy) {
    EnterModelling("hood.asp");
    BuildContour(50);
    EXPECT_EQ(Lines().Count, 0);
    EXPECT_TRUE(Last().startsWith(QString::fromUtf8("Изолиния скорости ") + NumberText(50) +
                                  QString::fromUtf8(" м/с не найдена:\nскорость воздуха в "
                                                    "прямоугольнике построения не больше ")))
        << Last().toStdString();
}

TEST_F(ModellingTest, PickingToolsAreReleasedByASecondPress) {
    EnterModelling("hood.asp");
    for (const char* Name : {"tbDiscr2", "tbFlowLine", "tbSpeed"}) {
        auto* B = Window.findChild<QToolButton*>(QLatin1String(Name));
        ASSERT_NE(B, nullptr) << Name;
        QTest::mouseClick(B, Qt::LeftButton);
        EXPECT_TRUE(Act(Name)->isChecked()) << Name;
        QTest::mouseClick(B, Qt::LeftButton);
        EXPECT_FALSE(Act(Name)->isChecked()) << Name;
        EXPECT_TRUE(Act("tbPan")->isChecked()) << Name;
    }
    // Released, the canvas pans: a click asks for no velocity.
    Click({300, 300});
    EXPECT_TRUE(Msg.Texts.isEmpty());
    // The pan tool itself stays down when pressed again.
    QTest::mouseClick(Window.findChild<QToolButton*>(QStringLiteral("tbPan")), Qt::LeftButton);
    EXPECT_TRUE(Act("tbPan")->isChecked());
}
