#include "app/optimise/uChooseParams.h"

#include "app/results/uRunScope.h"

#include "app/optimise/uParamDialogs.h"
#include "app/optimise/uWizardParts.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace kalvex {

namespace {

QLabel* Value(QWidget* Parent, const char* Name) {
    auto* L = new QLabel(Parent);
    L->setObjectName(QString::fromLatin1(Name));
    return L;
}

// The four rows of a parameter's information: range, step and start value.
void InfoRows(QGridLayout* G, const char* RangeLabel, const char* StepLabel, QLabel* Low,
              QLabel* High, QLabel* Step, QLabel* Start) {
    QWidget* P = G->parentWidget();
    G->addWidget(new QLabel(U(RangeLabel), P), 0, 0, 1, 4);
    G->addWidget(new QLabel(U("от:"), P), 1, 0);
    G->addWidget(Low, 1, 1);
    G->addWidget(new QLabel(U("до:"), P), 1, 2);
    G->addWidget(High, 1, 3);
    G->addWidget(new QLabel(U(StepLabel), P), 2, 0, 1, 2);
    G->addWidget(Step, 2, 2, 1, 2);
    G->addWidget(new QLabel(U("Начальное значение:"), P), 3, 0, 1, 2);
    G->addWidget(Start, 3, 2, 1, 2);
}

const char* const TaskFilter = "Задачи оптимизации (*.json)";

} // namespace

TfrmChooseParams::TfrmChooseParams(TWizard& Wizard, TMessages& M, QString F, QWidget* Owner,
                                   TSearchHost H)
    : QDialog(Owner), W(Wizard), Msg(M), Folder(std::move(F)), Host(std::move(H)) {
    setObjectName(QStringLiteral("frmChooseParams"));
    setWindowTitle(U("Задание оптимизируемых параметров"));
    auto* Main = new QVBoxLayout(this);
    auto* Top = new QHBoxLayout;

    // Geometric parameters
    auto* Geom = new QVBoxLayout;
    Geom->addWidget(new QLabel(U("Геометрические параметры:"), this));
    auto* GList = new QGroupBox(U("Список параметров:"), this);
    auto* GL = new QVBoxLayout(GList);
    lbGeomParams = new QListWidget(GList);
    lbGeomParams->setObjectName(QStringLiteral("lbGeomParams"));
    GL->addWidget(lbGeomParams);
    auto* GB = new QHBoxLayout;
    GB->addWidget(btAddGeom = Button(GList, "Добавить", "btAddGeom"));
    GB->addWidget(btDeleteGeom = Button(GList, "Удалить", "btDeleteGeom"));
    GB->addWidget(btEditGeom = Button(GList, "Изменить", "btEditGeom"));
    GL->addLayout(GB);
    Geom->addWidget(GList);
    auto* GInfo = new QGroupBox(U(" Информация о параметре: "), this);
    auto* GIL = new QVBoxLayout(GInfo);
    auto* GIG = new QGridLayout;
    GIL->addLayout(GIG);
    lbLowLimit = Value(GInfo, "lbLowLimit");
    lbHighLimit = Value(GInfo, "lbHighLimit");
    lbChangeStep = Value(GInfo, "lbChangeStep");
    lbGeomStartValue = Value(GInfo, "lbGeomStartValue");
    // The grid's parent is the group box once it is in its layout.
    InfoRows(GIG, "Пределы изменения:", "Шаг изменения:", lbLowLimit, lbHighLimit, lbChangeStep,
             lbGeomStartValue);
    GIL->addWidget(new QLabel(U("Формулы, описывающие изменение параметра:"), GInfo));
    lbFormula = new QListWidget(GInfo);
    lbFormula->setObjectName(QStringLiteral("lbFormula"));
    GIL->addWidget(lbFormula);
    Geom->addWidget(GInfo);
    Top->addLayout(Geom);

    // Suction openings
    auto* Suct = new QVBoxLayout;
    Suct->addWidget(new QLabel(U("Производительности отсосов:"), this));
    auto* SList = new QGroupBox(U("Список отсосов:"), this);
    auto* SL = new QVBoxLayout(SList);
    lbOtsoses = new QListWidget(SList);
    lbOtsoses->setObjectName(QStringLiteral("lbOtsoses"));
    SL->addWidget(lbOtsoses);
    SL->addWidget(btEditOtsos = Button(SList, "Изменить", "btEditOtsos"));
    Suct->addWidget(SList);
    auto* SInfo = new QGroupBox(U(" Информация об отсосе: "), this);
    auto* SIG = new QGridLayout(SInfo);
    lbOtsosLowLimit = Value(SInfo, "lbOtsosLowLimit");
    lbOtsosHighLimit = Value(SInfo, "lbOtsosHighLimit");
    lbOtsosChangeStep = Value(SInfo, "lbOtsosChangeStep");
    lbOtsosStartValue = Value(SInfo, "lbOtsosStartValue");
    InfoRows(SIG, "Пределы изменения производительности:", "Шаг изменения производительности:",
             lbOtsosLowLimit, lbOtsosHighLimit, lbOtsosChangeStep, lbOtsosStartValue);
    Suct->addWidget(SInfo);
    Top->addLayout(Suct);
    Main->addLayout(Top);

    // Options
    auto* Opt = new QGroupBox(U(" Параметры оптимизации: "), this);
    auto* OL = new QGridLayout(Opt);
    cbTabulation = new QCheckBox(U("Осуществить предварительную табуляцию"), Opt);
    cbTabulation->setObjectName(QStringLiteral("cbTabulation"));
    OL->addWidget(cbTabulation, 0, 0, 1, 3);
    seTabScaler = new QDoubleSpinBox(Opt);
    seTabScaler->setObjectName(QStringLiteral("seTabScaler"));
    seTabScaler->setRange(1.0, 10.0);
    seTabScaler->setSingleStep(0.1);
    seTabScaler->setDecimals(1);
    auto* Before = new QLabel(U("При табуляции увеличить шаг изменения параметров в "), Opt);
    Before->setBuddy(seTabScaler);
    OL->addWidget(Before, 1, 0);
    OL->addWidget(seTabScaler, 1, 1);
    OL->addWidget(new QLabel(U("раз"), Opt), 1, 2);
    Main->addWidget(Opt);

    lbSearching = new QLabel(U("Идет поиск оптимальных значений параметров ..."), this);
    lbSearching->setObjectName(QStringLiteral("lbSearching"));
    lbSearching->hide();
    Main->addWidget(lbSearching);
    lbProgress = Value(this, "lbProgress");
    Main->addWidget(lbProgress);

    auto* Row = new QHBoxLayout;
    Row->addWidget(btOpenTask = Button(this, "Открыть задачу...", "btOpenTask"));
    Row->addWidget(btSaveTask = Button(this, "Сохранить задачу...", "btSaveTask"));
    Row->addStretch();
    Row->addWidget(btBack = Button(this, "<< Назад", "btBack"));
    Row->addWidget(btStart = Button(this, "Начать поиск", "btStart"));
    Row->addWidget(btCancel = Button(this, "Отмена", "btCancel"));
    btStart->setDefault(true);
    Main->addLayout(Row);
    Idle = {GList, GInfo, SList, SInfo, Opt, btOpenTask, btSaveTask, btBack, btCancel};

    cbTabulation->setChecked(W.Tabulate);
    seTabScaler->setValue(W.TabScaler);
    seTabScaler->setEnabled(W.Tabulate);
    FillLists();

    connect(cbTabulation, &QCheckBox::toggled, seTabScaler, &QWidget::setEnabled);
    connect(lbGeomParams, &QListWidget::currentRowChanged, this, [this] { ShowGeometric(); });
    connect(lbOtsoses, &QListWidget::currentRowChanged, this, [this] { ShowSuction(); });
    connect(btAddGeom, &QPushButton::clicked, this, &TfrmChooseParams::AddGeometric);
    connect(btEditGeom, &QPushButton::clicked, this, &TfrmChooseParams::EditGeometric);
    connect(btDeleteGeom, &QPushButton::clicked, this, &TfrmChooseParams::DeleteGeometric);
    connect(btEditOtsos, &QPushButton::clicked, this, &TfrmChooseParams::EditSuction);
    connect(btSaveTask, &QPushButton::clicked, this, &TfrmChooseParams::SaveTask);
    connect(btOpenTask, &QPushButton::clicked, this, &TfrmChooseParams::OpenTask);
    connect(btStart, &QPushButton::clicked, this, &TfrmChooseParams::StartOrStop);
    connect(btBack, &QPushButton::clicked, this, [this] { done(prBack); });
    connect(btCancel, &QPushButton::clicked, this, &TfrmChooseParams::reject);
}

void TfrmChooseParams::FillLists() {
    lbOtsoses->clear();
    for (int I = 0; I < W.SuctionCount(); ++I)
        lbOtsoses->addItem(U(W.Suction(I).Name));
    lbGeomParams->clear();
    for (int K = 0; K < W.GeomCount(); ++K)
        lbGeomParams->addItem(U(W.Geometric(K).Name));
    ShowGeometric();
    ShowSuction();
}

void TfrmChooseParams::ShowGeometric() {
    const int K = lbGeomParams->currentRow();
    lbFormula->clear();
    if (K < 0 || K >= W.GeomCount()) {
        for (QLabel* L : {lbLowLimit, lbHighLimit, lbChangeStep, lbGeomStartValue})
            L->clear();
        return;
    }
    const TParamInfo& P = W.Geometric(K);
    lbLowLimit->setText(NumberText(P.MinValue));
    lbHighLimit->setText(NumberText(P.MaxValue));
    lbChangeStep->setText(NumberText(P.Step));
    lbGeomStartValue->setText(NumberText(P.Value));
    for (const TChangeInfo& C : P.Changes)
        lbFormula->addItem(FormulaLine(C, U(P.Name)));
}

void TfrmChooseParams::ShowSuction() {
    const int I = lbOtsoses->currentRow();
    if (I < 0 || I >= W.SuctionCount()) {
        for (QLabel* L : {lbOtsosLowLimit, lbOtsosHighLimit, lbOtsosChangeStep, lbOtsosStartValue})
            L->clear();
        return;
    }
    const TParamInfo& P = W.Suction(I);
    const QString Unit = U(" м/с");
    lbOtsosLowLimit->setText(NumberText(P.MinValue) + Unit);
    lbOtsosHighLimit->setText(NumberText(P.MaxValue) + Unit);
    lbOtsosChangeStep->setText(NumberText(P.Step) + Unit);
    lbOtsosStartValue->setText(NumberText(P.Value) + Unit);
}

void TfrmChooseParams::AddGeometric() {
    TfrmParamInfo D(Msg, TWizard::NewGeometric(), true, W.Params(), W.FormulaObjects(), this);
    if (D.exec() != QDialog::Accepted)
        return;
    W.AddGeometric(D.Param());
    lbGeomParams->addItem(U(D.Param().Name));
    lbGeomParams->setCurrentRow(lbGeomParams->count() - 1);
    ShowGeometric();
}

void TfrmChooseParams::EditGeometric() {
    const int K = lbGeomParams->currentRow();
    if (K < 0 || K >= W.GeomCount())
        return;
    TfrmParamInfo D(Msg, W.Geometric(K), false, W.Params(), W.FormulaObjects(), this);
    if (D.exec() != QDialog::Accepted)
        return;
    W.ReplaceGeometric(K, D.Param());
    lbGeomParams->item(K)->setText(U(D.Param().Name));
    ShowGeometric();
}

void TfrmChooseParams::DeleteGeometric() {
    const int K = lbGeomParams->currentRow();
    if (K < 0 || K >= W.GeomCount())
        return;
    if (Msg.AskYesNo(U(DeleteParamQuestion(W.Geometric(K).Name))) != TMsgAnswer::Yes)
        return;
    W.DeleteGeometric(K);
    {
        const QSignalBlocker Block(lbGeomParams);
        std::unique_ptr<QListWidgetItem>(lbGeomParams->takeItem(K)).reset();
        lbGeomParams->setCurrentRow(-1);
    }
    ShowGeometric();
}

void TfrmChooseParams::EditSuction() {
    const int I = lbOtsoses->currentRow();
    if (I < 0 || I >= W.SuctionCount())
        return;
    TfrmOtsosInfo D(Msg, W.Suction(I), this);
    if (D.exec() != QDialog::Accepted)
        return;
    W.SetSuction(I, D.Low, D.High, D.Step, D.Start);
    ShowSuction();
}

void TfrmChooseParams::TakeOptions() {
    W.Tabulate = cbTabulation->isChecked();
    W.TabScaler = seTabScaler->value();
}

void TfrmChooseParams::SaveTask() {
    const QString Name =
        Msg.SaveFileName({U("Сохранить задачу"), U(TaskFilter), QStringLiteral("json"), Folder});
    if (Name.isEmpty())
        return;
    TakeOptions();
    try {
        SaveOptTask(W.ToTask(), Name.toStdString());
    } catch (const TKalvexError& E) {
        Msg.Show(U(E.what()));
    }
}

void TfrmChooseParams::OpenTask() {
    const QString Name =
        Msg.OpenFileName({U("Открыть задачу"), U(TaskFilter), QStringLiteral("json"), Folder});
    if (Name.isEmpty())
        return;
    std::optional<std::string> Fault;
    try {
        Fault = W.LoadTask(LoadOptTask(Name.toStdString()));
    } catch (const TKalvexError& E) {
        Fault = E.what();
    }
    if (Fault) {
        Msg.Show(U(*Fault));
        return;
    }
    cbTabulation->setChecked(W.Tabulate);
    seTabScaler->setValue(W.TabScaler);
    FillLists();
}

void TfrmChooseParams::SetSearching(bool On) {
    for (QWidget* Wd : Idle)
        Wd->setEnabled(!On);
    btStart->setText(U(On ? "Остановить поиск" : "Начать поиск"));
    if (On == lbSearching->isHidden()) {
        lbSearching->setVisible(On);
        resize(width(), height() + (On ? 23 : -23));
    }
}

void TfrmChooseParams::StartOrStop() {
    if (W.Running()) {
        W.Stop();
        return;
    }
    TakeOptions();
    const bool Speed = W.Task == 0;
    lbProgress->clear();
    SetSearching(true);
    bool Found = false;
    std::optional<std::string> Fault;
    // The main window stays closable while the search runs, and busy.
    ReleaseModality(*this);
    if (Host.SetBusy)
        Host.SetBusy(true);
    try {
        Found = W.Run([] { QCoreApplication::processEvents(); },
                      [this, Speed](int N, double Best) {
                          lbProgress->setText(
                              U("Рассчитано моделей: ") + QString::number(N) +
                              (Speed ? U(", лучшая скорость: ") + NumberText(Best) + U(" м/с")
                                     : U(", уловлено частиц: ") + QString::number(Best)));
                      });
    } catch (const TKalvexError& E) {
        Fault = E.what();
    }
    const bool Leave = Host.Leaving && Host.Leaving();
    if (Host.SetBusy)
        Host.SetBusy(false);
    SetSearching(false);
    // The main window is being closed: no report, no question.
    if (Leave) {
        done(prCancel);
        return;
    }
    if (Fault) {
        Msg.Show(U(*Fault));
        return;
    }
    if (!Found) {
        Msg.Show(U("Ни в одной из опробованных точек модель не удалось рассчитать."));
        return;
    }
    const QString Sep = QLocale().decimalPoint();
    ShowReport(U(W.Report(Sep.isEmpty() ? '.' : Sep.at(0).toLatin1())));
    if (Msg.AskYesNo(U("Применить найденные значения параметров к модели?")) != TMsgAnswer::Yes)
        return;
    try {
        FFound = W.FoundModel();
    } catch (const TKalvexError& E) {
        Msg.Show(U(E.what()));
        return;
    }
    done(prApply);
}

// The report stays up until OK, so that it can be copied and saved both.
void TfrmChooseParams::ShowReport(const QString& Report) {
    QStringList Commands{U("Копировать")};
    if (Host.SaveText)
        Commands << U("Сохранить в файл...");
    for (;;) {
        const int C = Msg.ShowWithCommands(Report, TMsgIcon::Information, Commands);
        if (C == 0) {
            QGuiApplication::clipboard()->setText(MessageText(Report));
        } else if (C == 1) {
            const QString Name =
                Msg.SaveFileName({U("Сохранить отчет"), U("Текстовые файлы (*.txt)"),
                                  QStringLiteral("txt"), Folder});
            if (Name.isEmpty())
                continue;
            try {
                Host.SaveText(Name.toStdString(), Report.toStdString());
            } catch (const TKalvexError& E) {
                Msg.Show(U(E.what()), TMsgIcon::Error);
            }
        } else {
            return;
        }
    }
}

void TfrmChooseParams::done(int R) {
    TakeOptions();
    QDialog::done(R);
}

int TfrmChooseParams::exec() {
    return ExecModal(*this, [this] { return QDialog::exec(); });
}

void TfrmChooseParams::reject() {
    // A running search ends only through its stop button.
    if (!W.Running())
        QDialog::reject();
}

void TfrmChooseParams::closeEvent(QCloseEvent* E) {
    if (W.Running()) {
        E->ignore();
        return;
    }
    QDialog::closeEvent(E);
}

// ---------------------------------------------------------------- the flow

std::optional<TEdges> RunOptimisationWizard(TWizard& W, TMessages& Msg, const TPointMarker& Marker,
                                            const QString& Folder, QWidget* Owner,
                                            const TSearchHost& Host) {
    if (!W.Ready()) {
        Msg.Show(U(MsgNotBalanced));
        return std::nullopt;
    }
    int Page = 1;
    for (;;) {
        if (Page == 1) {
            TfrmChooseType D(W.Task, Owner);
            if (D.exec() != prNext)
                return std::nullopt;
            W.Task = D.Task();
            Page = 2;
        } else if (Page == 2) {
            int R = prCancel;
            // What the page holds stays however it is left.
            if (W.Task == 0) {
                TfrmSpeedData D(Msg, Marker, W.Speed, Owner);
                R = D.exec();
                W.Speed = D.Data();
            } else {
                TfrmPartsData D(Msg, Marker, W.Task, W.Particles, Owner);
                R = D.exec();
                W.Particles = D.Data();
            }
            if (R == prCancel)
                return std::nullopt;
            Page = R == prBack ? 1 : 3;
        } else {
            TfrmChooseParams D(W, Msg, Folder, Owner, Host);
            const int R = D.exec();
            if (R == prBack)
                Page = 2;
            else
                return R == prApply ? D.Found() : std::nullopt;
        }
    }
}

} // namespace kalvex
