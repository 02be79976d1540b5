// The optimisation wizard: its checks and lists as the dialogs show them, and a search
// set up in the window that the command line repeats from the saved task file.
#include "app/optimise/uChooseParams.h"
#include "app/optimise/uParamDialogs.h"
#include "app/optimise/uWizardPages.h"
#include "app/uMain.h"
#include "geometry/uEdges.h"

#include "ModelBuilders.h"
#include "RecordingMessages.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "optimise/uOptTask.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace kalvex;
using namespace kalvex::test;

namespace {

QString U(const char* Text) {
    return QString::fromUtf8(Text);
}

QString LocaleNumber(const char* Ru) {
    return QLocale().decimalPoint() == QStringLiteral(",") ? U(Ru) : U(Ru).replace(',', '.');
}

void Click(QWidget* D, const char* Button) {
    auto* B = D->findChild<QPushButton*>(QLatin1String(Button));
    ASSERT_NE(B, nullptr) << Button;
    B->click();
}

void Type(QWidget* D, const char* Field, const QString& Text) {
    auto* E = D->findChild<QLineEdit*>(QLatin1String(Field));
    ASSERT_NE(E, nullptr) << Field;
    E->setText(Text);
}

// Runs Do on the modal dialog of that name once it is up.
void WhenShown(const QString& Name, std::function<void(QWidget*)> Do, int Tries = 1000) {
    QTimer::singleShot(5, [=] {
        QWidget* D = QApplication::activeModalWidget();
        if (D && D->objectName() == Name && D->isVisible())
            Do(D);
        else if (Tries > 0)
            WhenShown(Name, Do, Tries - 1);
    });
}

std::string ReadText(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

TEdges HoodProbe() {
    TEdges M;
    M.LoadFromFile(ExamplePath("hood_probe.asp"));
    return M;
}

} // namespace

TEST(WizardDialogs, ParameterChecksRefuseWhatTheSearchCannotUse) {
    TRecordingMessages Msg;
    TOptimizedParams None;
    const auto TryName = [&](const char* Name) {
        TfrmParamInfo D(Msg, TWizard::NewGeometric(), true, None, {});
        Type(&D, "edName", U(Name));
        D.btOk->click();
        return D.result() == QDialog::Accepted;
    };
    EXPECT_FALSE(TryName("Param_1"));
    EXPECT_FALSE(TryName("1abc"));
    EXPECT_TRUE(TryName("p2"));
    EXPECT_EQ(Msg.Texts,
              QStringList({U("Некорректное имя параметра."), U("Некорректное имя параметра.")}));

    // A geometric range needs two different limits; a suction range may be one value.
    Msg.Texts.clear();
    TfrmParamInfo Geom(Msg, TWizard::NewGeometric(), true, None, {});
    Type(&Geom, "edLimFrom", U("1"));
    Type(&Geom, "edLimTo", U("1"));
    Type(&Geom, "edStartValue", U("1"));
    Geom.btOk->click();
    EXPECT_NE(Geom.result(), QDialog::Accepted);
    TParamInfo Suction = TWizard::NewGeometric();
    Suction.Name = "Отсос1";
    TfrmOtsosInfo Equal(Msg, Suction, nullptr);
    Type(&Equal, "edLowLimit", U("2"));
    Type(&Equal, "edHighLimit", U("2"));
    Type(&Equal, "edStartValue", U("2"));
    Equal.btOk->click();
    EXPECT_EQ(Equal.result(), QDialog::Accepted);
    EXPECT_EQ(Equal.Low, 2.0);
    EXPECT_EQ(Equal.High, 2.0);

    // A start value outside the range, in both dialogs.
    TfrmOtsosInfo Outside(Msg, Suction, nullptr);
    Type(&Outside, "edLowLimit", U("1"));
    Type(&Outside, "edHighLimit", U("2"));
    Type(&Outside, "edStartValue", U("3"));
    Outside.btOk->click();
    EXPECT_NE(Outside.result(), QDialog::Accepted);
    Type(&Geom, "edLimFrom", U("0"));
    Type(&Geom, "edStartValue", U("-1"));
    Geom.btOk->click();
    EXPECT_NE(Geom.result(), QDialog::Accepted);
    const QString Outside2 = U("Начальное значение должно находиться\nмежду пределами изменения");
    EXPECT_EQ(Msg.Texts, QStringList({U("Несоответствие пределов изменения параметра.\nПервый "
                                        "должен быть меньше второго."),
                                      Outside2, Outside2}));
}

TEST(WizardDialogs, FormulaTextFollowsObjectItemAndMultiplier) {
    TRecordingMessages Msg;
    TfrmFormula D(Msg, {{"Точка1", 0, 0}, {"Точка2", 0, 1}, {"Цилиндр1", 1, 0}}, U("h"));
    D.cmbNames->setCurrentIndex(1);
    D.cmbChange->setCurrentIndex(1);
    D.edScaler->setText(LocaleNumber("0,5"));
    EXPECT_EQ(D.edFormula->text(),
              U("Точка2.y := Точка2.y + (") + LocaleNumber("0,5") + U(") * h"));
    // Only a cylinder has a radius; choosing an object starts again at X.
    EXPECT_EQ(D.cmbChange->count(), 2);
    D.cmbNames->setCurrentIndex(2);
    EXPECT_EQ(D.cmbChange->count(), 3);
    EXPECT_EQ(D.cmbChange->currentIndex(), 0);
}

TEST(WizardDialogs, DeletingAsksAboutTheChosenItemAndKeepsTheRest) {
    TRecordingMessages Msg;
    TWizard W;
    ASSERT_TRUE(W.Prepare(HoodProbe(), {}));
    ASSERT_EQ(W.SuctionCount(), 1);
    W.SetSuction(0, 1.0, 4.0, 0.5, 2.0);
    for (const char* Name : {"a", "b"}) {
        TParamInfo P = TWizard::NewGeometric();
        P.Name = Name;
        W.AddGeometric(P);
    }
    const TParamInfo SuctionBefore = W.Suction(0);
    TfrmChooseParams Params(W, Msg, {});
    Params.lbGeomParams->setCurrentRow(0);
    Msg.Answers = {TMsgAnswer::Yes};
    Params.btDeleteGeom->click();
    EXPECT_EQ(Msg.Texts.value(0), U("Вы действительно хотите удалить\nпараметр a ?"));
    ASSERT_EQ(W.GeomCount(), 1);
    EXPECT_EQ(W.Geometric(0).Name, "b");
    EXPECT_EQ(Params.lbGeomParams->count(), 1);
    ASSERT_EQ(W.SuctionCount(), 1);
    const TParamInfo& SuctionAfter = W.Suction(0);
    EXPECT_EQ(SuctionAfter.Name, SuctionBefore.Name);
    EXPECT_EQ(SuctionAfter.MinValue, 1.0);
    EXPECT_EQ(SuctionAfter.MaxValue, 4.0);
    EXPECT_EQ(SuctionAfter.Step, 0.5);
    EXPECT_EQ(SuctionAfter.Value, 2.0);
    EXPECT_EQ(Params.lbOtsoses->count(), 1);

    TParticleData Data;
    Data.Particles = {{{0.1, 0.2}, {0, 0}}, {{0.3, 0.4}, {0, 0}}};
    TfrmPartsData Parts(Msg, {}, 1, Data);
    Parts.lbParts->setCurrentRow(1);
    EXPECT_EQ(Parts.lbX->text(), LocaleNumber("0,300") + U(" м"));
    Msg.Texts.clear();
    Msg.Answers = {TMsgAnswer::Yes};
    Parts.btDelete->click();
    EXPECT_EQ(Msg.Texts, QStringList{U("Вы действительно хотите удалить\nинформацию о Частице2?")});
    EXPECT_EQ(Parts.lbParts->count(), 1);
    ASSERT_EQ(Parts.Data().Particles.size(), 1u);
    EXPECT_EQ(Parts.Data().Particles[0].Position.X, 0.1);
}

// While the search runs only its stop button acts; stopped, it reports the best point
// found so far.
TEST(WizardDialogs, OnlyTheStopButtonActsWhileTheSearchRuns) {
    TRecordingMessages Msg;
    TWizard W;
    ASSERT_TRUE(W.Prepare(HoodProbe(), {}));
    ASSERT_EQ(W.LoadTask(LoadOptTask(ExamplePath("task_velocity.json"))), std::nullopt);
    TfrmChooseParams D(W, Msg, {});
    D.show();
    bool Seen = false;
    std::function<void()> StopOnceEvaluated = [&] {
        if (D.lbProgress->text().isEmpty()) {
            QTimer::singleShot(0, StopOnceEvaluated);
            return;
        }
        Seen = true;
        EXPECT_TRUE(W.Running());
        EXPECT_EQ(D.btStart->text(), U("Остановить поиск"));
        EXPECT_TRUE(D.btStart->isEnabled());
        for (QPushButton* B : {D.btCancel, D.btBack, D.btAddGeom, D.btEditOtsos, D.btSaveTask})
            EXPECT_FALSE(B->isEnabled()) << B->objectName().toStdString();
        EXPECT_TRUE(D.lbSearching->isVisible());
        D.reject();
        D.btStart->click();
    };
    QTimer::singleShot(0, StopOnceEvaluated);
    Msg.Answers = {TMsgAnswer::No};
    D.btStart->click();
    ASSERT_TRUE(Seen);
    EXPECT_TRUE(W.Stopped());
    EXPECT_TRUE(D.isVisible());
    EXPECT_EQ(D.btStart->text(), U("Начать поиск"));
    EXPECT_TRUE(D.btCancel->isEnabled());
    EXPECT_FALSE(D.lbSearching->isVisible());
    ASSERT_FALSE(Msg.Texts.isEmpty());
    EXPECT_TRUE(Msg.Texts.front().contains(U("Отсос1 = "))) << Msg.Texts.front().toStdString();
}

// The window on a copy of the probe hood, in modelling mode.
class WizardWindow : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(ExamplePath("hood_probe.asp"), Dir.Path / "hood_probe.asp");
        Window.show();
        Window.OpenSystem(QString::fromStdString(Dir.File("hood_probe.asp")));
        Window.Document().PrepareModelling = [] { return true; };
        Window.SwitchMode(TMode::mdCount);
        ASSERT_EQ(Window.Document().Mode(), TMode::mdCount);
    }
    ~WizardWindow() override {
        Msg.Answers = {TMsgAnswer::No};
        Window.close();
    }

    TTempDir Dir;
    TRecordingMessages Msg;
    TfrmMain Window{Msg, Dir.Path / "kalvex.ini"};
};

// The whole wizard in the window on the probe hood: the example task opened, saved,
// opened again and saved again unchanged; the search run in the window; the command line
// on the saved file finds the same point.
TEST_F(WizardWindow, SearchInTheWindowMatchesTheCommandLineOnTheSavedTask) {
    auto* N11 = Window.findChild<QAction*>(QStringLiteral("N11"));
    ASSERT_NE(N11, nullptr);
    EXPECT_TRUE(N11->isVisible());

    const std::string Saved = Dir.File("task.json");
    const std::string Again = Dir.File("again.json");
    Msg.Files = {QString::fromStdString(ExamplePath("task_velocity.json")),
                 QString::fromStdString(Saved), QString::fromStdString(Saved),
                 QString::fromStdString(Again), QString::fromStdString(Dir.File("report.txt"))};
    // The first report is copied and saved before its OK.
    Msg.Commands = {0, 1};
    // The report is answered "No" once to look at the dialog, then "Yes" to apply.
    Msg.Answers = {TMsgAnswer::No, TMsgAnswer::Yes};
    QString Progress, ButtonAfter;
    WhenShown(QStringLiteral("frmChooseType"), [&](QWidget* D) {
        WhenShown(QStringLiteral("frmSpeedData"), [&](QWidget* S) {
            // The point marker is on while the page shows, at the typed point.
            Type(S, "edX", LocaleNumber("0,3"));
            EXPECT_TRUE(Window.Document().Canvas().ShowSpeedPoint);
            EXPECT_EQ(Window.Document().Canvas().SpeedPoint.X, 0.3);
            WhenShown(QStringLiteral("frmChooseParams"), [&](QWidget* P) {
                Click(P, "btOpenTask");
                Click(P, "btSaveTask");
                Click(P, "btOpenTask");
                Click(P, "btSaveTask");
                Click(P, "btStart");
                Progress = P->findChild<QLabel*>(QStringLiteral("lbProgress"))->text();
                ButtonAfter = P->findChild<QPushButton*>(QStringLiteral("btStart"))->text();
                Click(P, "btStart");
            });
            Click(S, "btNext");
        });
        Click(D, "btNext");
    });
    N11->trigger();
    EXPECT_FALSE(Window.Document().Canvas().ShowSpeedPoint);

    // Saved, read back by the command line's reader and by the wizard: unchanged.
    const std::string Text = ReadText(Saved);
    EXPECT_EQ(ReadText(Again), Text);
    EXPECT_EQ(WriteOptTask(ParseOptTask(Text)), Text);

    EXPECT_TRUE(Progress.startsWith(U("Рассчитано моделей: "))) << Progress.toStdString();
    EXPECT_EQ(ButtonAfter, U("Начать поиск"));
    ASSERT_GE(Msg.Icons.size(), 1u);
    const QString Report = Msg.Texts.value(0);
    EXPECT_TRUE(Report.startsWith(U("Для обеспечения заданной скорости должны быть\n")))
        << Report.toStdString();
    EXPECT_TRUE(Report.contains(U("Отсос1 = "))) << Report.toStdString();
    EXPECT_EQ(Msg.Icons.front(), TMsgIcon::Information);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Report);
    EXPECT_EQ(QString::fromStdString(ReadText(Dir.File("report.txt"))).trimmed(), Report.trimmed());

    // Better than the start velocity of the task (2 m/s) at the point.
    const TWizard& W = Window.OptWizard();
    ASSERT_EQ(W.Best().size(), 2u);
    EXPECT_GT(W.Best()[0], 2.0);

    QProcess Calc;
    Calc.start(QStringLiteral(KALVEX_CALC),
               {QStringLiteral("optimize"), QString::fromStdString(Dir.File("hood_probe.asp")),
                QString::fromStdString(Saved)});
    ASSERT_TRUE(Calc.waitForFinished(120000));
    ASSERT_EQ(Calc.exitCode(), 0) << Calc.readAllStandardError().toStdString();
    const QString Out = QString::fromUtf8(Calc.readAllStandardOutput());
    const QStringList BestLine =
        Out.section(QStringLiteral("best:"), 1).section('\n', 0, 0).split(' ', Qt::SkipEmptyParts);
    ASSERT_EQ(BestLine.size(), 2) << Out.toStdString();
    EXPECT_DOUBLE_EQ(BestLine[0].toDouble(), W.Best()[0]);
    EXPECT_DOUBLE_EQ(BestLine[1].toDouble(), W.Best()[1]);

    // Applied: the slot has the suction the report names, the model is unsaved, and
    // editing resumes.
    EXPECT_EQ(Window.Document().Mode(), TMode::mdEdit);
    EXPECT_FALSE(Window.Document().Saved());
    ASSERT_GT(W.BestValue(), 0.0);
    EXPECT_NEAR(Window.Document().Canvas().Edges.Items[0].Segments[1].V,
                W.Best()[0] / W.BestValue(), 1e-9);
}

// Closing the window while the search runs stops it, skips its report and then asks
// about the unsaved system, as for any long run.
TEST_F(WizardWindow, ClosingTheWindowDuringTheSearchStopsItThenAsks) {
    Msg.Files = {QString::fromStdString(ExamplePath("task_velocity.json"))};
    bool Blocked = true;
    qsizetype Said = -1;
    WhenShown(QStringLiteral("frmChooseType"), [&](QWidget* D) {
        WhenShown(QStringLiteral("frmSpeedData"), [&](QWidget* S) {
            WhenShown(QStringLiteral("frmChooseParams"), [&](QWidget* P) {
                Click(P, "btOpenTask");
                auto* Watch = new QTimer(P);
                QObject::connect(Watch, &QTimer::timeout, P, [&, P, Watch] {
                    if (P->findChild<QLabel*>(QStringLiteral("lbProgress"))->text().isEmpty())
                        return;
                    Watch->stop();
                    Blocked = QGuiApplication::modalWindow() != nullptr;
                    Window.Document().MarkChanged();
                    Said = Msg.Texts.size();
                    Window.close();
                });
                Watch->start(0);
                Click(P, "btStart");
            });
            Click(S, "btNext");
        });
        Click(D, "btNext");
    });
    Msg.Answers = {TMsgAnswer::No};
    Window.findChild<QAction*>(QStringLiteral("N11"))->trigger();
    EXPECT_FALSE(Blocked);
    EXPECT_FALSE(Window.OptWizard().Running());
    for (int I = 0; I < 100 && Window.isVisible(); ++I)
        QTest::qWait(10);
    EXPECT_FALSE(Window.isVisible());
    ASSERT_GE(Said, 0);
    EXPECT_EQ(Msg.Texts.mid(Said), QStringList{U("Сохранить изменения в файле hood_probe.asp?")});
}

// The particle task as a user sets it up: two particles added one by one, the search
// run, and the report's catch as the command line traces each particle.
TEST_F(WizardWindow, ParticleTaskCountsTheParticlesTheCommandLineSeesCaught) {

    const char* const Starts[][2] = {{"0,2", "0,1"}, {"0,6", "0,1"}};
    Msg.Answers = {TMsgAnswer::No}; // the best values are not applied
    int Listed = 0;
    WhenShown(QStringLiteral("frmChooseType"), [&](QWidget* D) {
        WhenShown(QStringLiteral("frmPartsData"), [&](QWidget* P) {
            Type(P, "edDe", LocaleNumber("0,00005"));
            Type(P, "edRo1", LocaleNumber("1500"));
            Type(P, "edStep", LocaleNumber("0,005"));
            Type(P, "edMaxTime", LocaleNumber("1"));
            for (const auto& S : Starts) {
                WhenShown(QStringLiteral("frmStartPartInfo"), [&, S](QWidget* I) {
                    Type(I, "edX", LocaleNumber(S[0]));
                    Type(I, "edY", LocaleNumber(S[1]));
                    Click(I, "Button1");
                });
                Click(P, "btAdd");
            }
            Listed = P->findChild<QListWidget*>(QStringLiteral("lbParts"))->count();
            WhenShown(QStringLiteral("frmChooseParams"), [&](QWidget* C) {
                Click(C, "btStart");
                Click(C, "btCancel");
            });
            Click(P, "btNext");
        });
        D->findChild<QRadioButton*>(QStringLiteral("rbTask1"))->setChecked(true);
        Click(D, "btNext");
    });
    Window.findChild<QAction*>(QStringLiteral("N11"))->trigger();
    EXPECT_EQ(Listed, 2);

    int Caught = 0;
    for (const auto& S : Starts) {
        QProcess Calc;
        Calc.start(QStringLiteral(KALVEX_CALC),
                   {QStringLiteral("particle"), QString::fromStdString(Dir.File("hood_probe.asp")),
                    QStringLiteral("--x"), U(S[0]).replace(',', '.'), QStringLiteral("--y"),
                    U(S[1]).replace(',', '.'), QStringLiteral("--d"), QStringLiteral("0.00005"),
                    QStringLiteral("--rho"), QStringLiteral("1500"), QStringLiteral("--h"),
                    QStringLiteral("0.005"), QStringLiteral("--tmax"), QStringLiteral("1")});
        ASSERT_TRUE(Calc.waitForFinished(60000));
        ASSERT_EQ(Calc.exitCode(), 0) << Calc.readAllStandardError().toStdString();
        Caught += QString::fromUtf8(Calc.readAllStandardOutput()).contains(U("caught: yes"));
    }
    ASSERT_FALSE(Msg.Texts.isEmpty());
    const QString Report = Msg.Texts.value(0);
    EXPECT_TRUE(Report.startsWith(U("Должны быть выбраны следующие\n"))) << Report.toStdString();
    EXPECT_TRUE(Report.endsWith(U("Количество уловленных частиц: %1").arg(Caught)))
        << Report.toStdString();
    EXPECT_EQ(Window.Document().Mode(), TMode::mdCount);
}

// A closed system without openings balances, so modelling opens; only the wizard refuses.
TEST(WizardRefusal, IsSaidWhenTheWizardOpensNotAtTheModeSwitch) {
    TTempDir Dir;
    TEdges M;
    M.Add(Polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
    M.SaveToFile(Dir.File("walls.asp"));
    TRecordingMessages Msg;
    TfrmMain Window(Msg, Dir.Path / "kalvex.ini");
    Window.OpenSystem(QString::fromStdString(Dir.File("walls.asp")));
    Window.Document().PrepareModelling = [] { return true; };
    Window.SwitchMode(TMode::mdCount);
    ASSERT_EQ(Window.Document().Mode(), TMode::mdCount);
    EXPECT_TRUE(Msg.Texts.isEmpty()) << Msg.Texts.join(QLatin1Char('|')).toStdString();
    Window.SwitchMode(TMode::mdEdit);
    Window.SwitchMode(TMode::mdCount);
    EXPECT_TRUE(Msg.Texts.isEmpty());
    Window.findChild<QAction*>(QStringLiteral("N11"))->trigger();
    ASSERT_EQ(Msg.Texts.size(), 1);
    EXPECT_TRUE(Msg.Texts.front().startsWith(
        U("Выбор оптимальных параметров для этой системы невозможен:")));
}

// Pages left by "<< Назад" or "Отмена" keep what they hold for the next opening; the
// canvas names the objects while the wizard is up.
TEST_F(WizardWindow, PagesKeepTheirFieldsAndOptionsAcrossBackAndOpenings) {
    auto* N11 = Window.findChild<QAction*>(QStringLiteral("N11"));
    auto Field = [](QWidget* D, const char* Name) {
        return D->findChild<QLineEdit*>(QLatin1String(Name))->text();
    };
    bool NamesShown = false, BackStayed = false, Ticked = false;
    double Scaler = 0.0;
    QString Diameter;
    Msg.Answers = {TMsgAnswer::No};
    WhenShown(QStringLiteral("frmChooseType"), [&](QWidget* D) {
        NamesShown = Window.Document().Canvas().ShowNames;
        D->findChild<QRadioButton*>(QStringLiteral("rbTask1"))->setChecked(true);
        WhenShown(QStringLiteral("frmPartsData"), [&](QWidget* P) {
            Type(P, "edDe", QStringLiteral("x"));
            Click(P, "btBack");
            BackStayed = P->isVisible();
            Type(P, "edDe", LocaleNumber("0,0002"));
            WhenShown(QStringLiteral("frmStartPartInfo"),
                      [](QWidget* S) { static_cast<TfrmStartPartInfo*>(S)->btOk->click(); });
            Click(P, "btAdd");
            P->findChild<QListWidget*>(QStringLiteral("lbParts"))->setCurrentRow(0);
            Click(P, "btDelete");
            WhenShown(QStringLiteral("frmChooseParams"), [&](QWidget* C) {
                auto* Params = static_cast<TfrmChooseParams*>(C);
                Params->cbTabulation->setChecked(true);
                Params->seTabScaler->setValue(2.5);
                WhenShown(QStringLiteral("frmPartsData"), [&](QWidget* P2) {
                    Diameter = Field(P2, "edDe");
                    WhenShown(QStringLiteral("frmChooseParams"), [&](QWidget* C2) {
                        auto* Again = static_cast<TfrmChooseParams*>(C2);
                        Ticked = Again->cbTabulation->isChecked();
                        Scaler = Again->seTabScaler->value();
                        Click(C2, "btCancel");
                    });
                    Click(P2, "btNext");
                });
                Click(C, "btBack");
            });
            Click(P, "btNext");
        });
        Click(D, "btNext");
    });
    N11->trigger();
    EXPECT_TRUE(NamesShown);
    EXPECT_FALSE(Window.Document().Canvas().ShowNames);
    EXPECT_TRUE(BackStayed);
    ASSERT_GE(Msg.Texts.size(), 2);
    EXPECT_EQ(Msg.Texts[0], U("Ошибка при вводе параметров"));
    EXPECT_EQ(Msg.Texts[1], U("Вы действительно хотите удалить\nинформацию о Частице1?"));
    EXPECT_EQ(Msg.Icons[1], TMsgIcon::Information);
    EXPECT_EQ(Diameter, LocaleNumber("0,0002"));
    EXPECT_TRUE(Ticked);
    EXPECT_EQ(Scaler, 2.5);

    // Cancelled on the particle page, then opened again: the typed number is there.
    QString Shape;
    WhenShown(QStringLiteral("frmChooseType"), [&](QWidget* D) {
        WhenShown(QStringLiteral("frmPartsData"), [&](QWidget* P) {
            Type(P, "edHi", LocaleNumber("1,5"));
            Click(P, "btCancel");
        });
        Click(D, "btNext");
    });
    N11->trigger();
    WhenShown(QStringLiteral("frmChooseType"), [&](QWidget* D) {
        WhenShown(QStringLiteral("frmPartsData"), [&](QWidget* P) {
            Shape = Field(P, "edHi");
            Click(P, "btCancel");
        });
        Click(D, "btNext");
    });
    N11->trigger();
    EXPECT_EQ(Shape, LocaleNumber("1,5"));
}
