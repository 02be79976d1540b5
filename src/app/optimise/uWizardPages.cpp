#include "app/optimise/uWizardPages.h"

#include "app/optimise/uWizardParts.h"
#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "canvas/uPaintEdges.h"
#include "results/uParticle.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace kalvex {

namespace {

// "<< Назад", "Дальше >>", "Отмена" at the bottom of a page.
void AddPageButtons(QDialog* D, QBoxLayout* Main, QPushButton*& Back, QPushButton*& Next,
                    QPushButton*& Cancel) {
    Back = Button(D, "<< Назад", "btBack");
    Next = Button(D, "Дальше >>", "btNext");
    Next->setDefault(true);
    Cancel = Button(D, "Отмена", "btCancel");
    auto* Row = new QHBoxLayout;
    Row->addStretch();
    Row->addWidget(Back);
    Row->addWidget(Next);
    Row->addWidget(Cancel);
    Main->addLayout(Row);
    QObject::connect(Cancel, &QPushButton::clicked, D, &QDialog::reject);
}

QLineEdit* Edit(QGridLayout* G, int Row, const char* Label, const char* Name, double Value,
                const char* Unit = nullptr) {
    QLineEdit* E = AddEditRow(G, Row, U(Label), Name, Unit ? U(Unit) : QString());
    E->setText(FieldNumber(Value));
    E->setMinimumWidth(90);
    return E;
}

// A field's number when its text converts; otherwise the value stays.
void KeepTyped(const QLineEdit* E, double& Value) {
    if (const std::optional<double> V = ParseNumber(E->text()))
        Value = *V;
}

} // namespace

QString FieldNumber(double Value) {
    QLocale L;
    L.setNumberOptions(QLocale::OmitGroupSeparator);
    // Plain decimals where they hold the value (0,0000178 rather than 1,78E-05).
    QString S = L.toString(Value, 'f', 10);
    const QString Sep = L.decimalPoint();
    if (S.contains(Sep)) {
        while (S.endsWith(QLatin1Char('0')))
            S.chop(1);
        if (S.endsWith(Sep))
            S.chop(Sep.size());
    }
    bool Ok = false;
    if (L.toDouble(S, &Ok) == Value && Ok)
        return S;
    return L.toString(Value, 'g', 15);
}

void TPointMarker::Show(QLineEdit* X, QLineEdit* Y) const {
    if (!Canvas)
        return;
    // Text that does not convert leaves the marker where it is.
    const std::optional<double> PX = ParseNumber(X->text());
    const std::optional<double> PY = ParseNumber(Y->text());
    if (PX && PY)
        Canvas->SpeedPoint = {*PX, *PY};
    Canvas->ShowSpeedPoint = true;
    if (Redraw)
        Redraw();
}

void TPointMarker::Hide() const {
    if (!Canvas)
        return;
    Canvas->ShowSpeedPoint = false;
    if (Redraw)
        Redraw();
}

// ---------------------------------------------------------------- TfrmChooseType

TfrmChooseType::TfrmChooseType(int Task, QWidget* Owner) : QDialog(Owner) {
    setObjectName(QStringLiteral("frmChooseType"));
    setWindowTitle(U("Выбор оптимальных параметров системы аспирации "));
    auto* Main = new QVBoxLayout(this);
    auto* Group = new QGroupBox(U(" Укажите тип задачи, решаемой системой аспирации: "), this);
    Group->setObjectName(QStringLiteral("rgTaskType"));
    auto* GL = new QVBoxLayout(Group);
    rgTaskType = new QButtonGroup(this);
    for (int I = 0; I < 3; ++I) {
        auto* R = new QRadioButton(U(TaskNames[I]), Group);
        R->setObjectName(QStringLiteral("rbTask%1").arg(I));
        rgTaskType->addButton(R, I);
        GL->addWidget(R);
    }
    rgTaskType->button(Task >= 0 && Task < 3 ? Task : 0)->setChecked(true);
    Main->addWidget(Group);
    const TDialogButtons B = AddDialogButtons(this, Main, U("Дальше >>"), U("Отмена"));
    btNext = B.Ok;
    btNext->setObjectName(QStringLiteral("btNext"));
    B.Cancel->setObjectName(QStringLiteral("btCancel"));
    connect(btNext, &QPushButton::clicked, this, [this] { done(prNext); });
}

int TfrmChooseType::Task() const {
    return rgTaskType->checkedId();
}

// ---------------------------------------------------------------- TfrmSpeedData

TfrmSpeedData::TfrmSpeedData(TMessages& M, TPointMarker Mk, const TSpeedData& Data, QWidget* Owner)
    : QDialog(Owner), Msg(M), Marker(std::move(Mk)), FData(Data) {
    setObjectName(QStringLiteral("frmSpeedData"));
    setWindowTitle(U("Обеспечение необходимой скорости воздуха"));
    auto* Main = new QVBoxLayout(this);
    auto* Group = new QGroupBox(U(" Исходные данные: "), this);
    auto* G = new QGridLayout(Group);
    G->addWidget(new QLabel(U("Координаты точки:"), Group), 0, 0, 1, 3);
    edX = Edit(G, 1, "X =", "edX", Data.Point.X, "м");
    edY = Edit(G, 2, "Y =", "edY", Data.Point.Y, "м");
    G->addWidget(new QLabel(U("Модуль скорости воздуха:"), Group), 3, 0, 1, 3);
    edV = Edit(G, 4, "V =", "edV", Data.Speed, "м/c");
    G->addWidget(new QLabel(U("Направление:"), Group), 5, 0, 1, 3);
    edVnx = Edit(G, 6, "Vnx =", "edVnx", Data.Direction.X);
    edVny = Edit(G, 7, "Vny =", "edVny", Data.Direction.Y);
    Main->addWidget(Group);
    AddPageButtons(this, Main, btBack, btNext, btCancel);
    connect(btNext, &QPushButton::clicked, this, [this] { Leave(prNext); });
    connect(btBack, &QPushButton::clicked, this, [this] { Leave(prBack); });
    for (QLineEdit* E : {edX, edY})
        connect(E, &QLineEdit::textChanged, this, [this] { Marker.Show(edX, edY); });
}

void TfrmSpeedData::showEvent(QShowEvent* E) {
    QDialog::showEvent(E);
    Marker.Show(edX, edY);
}

void TfrmSpeedData::hideEvent(QHideEvent* E) {
    Marker.Hide();
    QDialog::hideEvent(E);
}

void TfrmSpeedData::Leave(TPageResult R) {
    const TTyped X = ParseNumber(edX->text()), Y = ParseNumber(edY->text()),
                 V = ParseNumber(edV->text()), Vnx = ParseNumber(edVnx->text()),
                 Vny = ParseNumber(edVny->text());
    if (const auto Fault = CheckSpeedData(X, Y, V, Vnx, Vny)) {
        Msg.Show(U(*Fault));
        return;
    }
    FData.Point = {*X, *Y};
    FData.Direction = {*Vnx, *Vny};
    FData.Speed = *V;
    done(R);
}

void TfrmSpeedData::done(int R) {
    if (R == prCancel) {
        KeepTyped(edX, FData.Point.X);
        KeepTyped(edY, FData.Point.Y);
        KeepTyped(edV, FData.Speed);
        KeepTyped(edVnx, FData.Direction.X);
        KeepTyped(edVny, FData.Direction.Y);
    }
    QDialog::done(R);
}

// ---------------------------------------------------------------- TfrmStartPartInfo

TfrmStartPartInfo::TfrmStartPartInfo(TMessages& M, TPointMarker Mk, const QString& Name,
                                     const TStartPartInfo& Info, QWidget* Owner)
    : QDialog(Owner), Msg(M), Marker(std::move(Mk)), FInfo(Info) {
    setObjectName(QStringLiteral("frmStartPartInfo"));
    setWindowTitle(Name + U(": начальные условия"));
    auto* Main = new QVBoxLayout(this);
    auto* Pos = new QGroupBox(U(" Координаты точки вылета: "), this);
    auto* PG = new QGridLayout(Pos);
    edX = Edit(PG, 0, "X =", "edX", Info.Position.X, "м");
    edY = Edit(PG, 1, "Y =", "edY", Info.Position.Y, "м");
    Main->addWidget(Pos);
    auto* Vel = new QGroupBox(U(" Начальная скорость:"), this);
    auto* VG = new QGridLayout(Vel);
    edVx = Edit(VG, 0, "Vx =", "edVx", Info.Velocity.X, "м/c");
    edVy = Edit(VG, 1, "Vy =", "edVy", Info.Velocity.Y, "м/c");
    Main->addWidget(Vel);
    const TDialogButtons B = AddDialogButtons(this, Main, U("ОК"), U("Отмена"));
    btOk = B.Ok;
    connect(btOk, &QPushButton::clicked, this, [this] {
        const TTyped X = ParseNumber(edX->text()), Y = ParseNumber(edY->text()),
                     Vx = ParseNumber(edVx->text()), Vy = ParseNumber(edVy->text());
        // A start the task file could not hold is no start either.
        if (const auto Fault = CheckStartInfo(X, Y, Vx, Vy)) {
            Msg.Show(U(*Fault));
            return;
        }
        FInfo.Position = {*X, *Y};
        FInfo.Velocity = {*Vx, *Vy};
        accept();
    });
    for (QLineEdit* E : {edX, edY})
        connect(E, &QLineEdit::textChanged, this, [this] { Marker.Show(edX, edY); });
}

void TfrmStartPartInfo::showEvent(QShowEvent* E) {
    QDialog::showEvent(E);
    Marker.Show(edX, edY);
}

void TfrmStartPartInfo::hideEvent(QHideEvent* E) {
    Marker.Hide();
    QDialog::hideEvent(E);
}

// ---------------------------------------------------------------- TfrmPartsData

TfrmPartsData::TfrmPartsData(TMessages& M, TPointMarker Mk, int Task, const TParticleData& Data,
                             QWidget* Owner)
    : QDialog(Owner), Msg(M), Marker(std::move(Mk)), FData(Data) {
    setObjectName(QStringLiteral("frmPartsData"));
    setWindowTitle(U(TaskNames[Task >= 1 && Task <= 2 ? Task : 1]));
    auto* Main = new QVBoxLayout(this);
    auto* Top = new QHBoxLayout;
    auto* Left = new QVBoxLayout;

    auto* Phys = new QGroupBox(U(" Характеристики частицы и среды: "), this);
    auto* PG = new QGridLayout(Phys);
    edDe = Edit(PG, 0, "Эквивалентный диаметр частиц", "edDe", Data.D, "м");
    edHi = Edit(PG, 1, "Коэффициент динамической формы частицы", "edHi", Data.Chi);
    edRo1 = Edit(PG, 2, "Плотность частиц", "edRo1", Data.RhoParticle, "кг/м³");
    edRo = Edit(PG, 3, "Плотность среды", "edRo", Data.RhoAir, "кг/м³");
    edMu = Edit(PG, 4, "Динамическая вязкость воздуха", "edMu", Data.Mu, "Па*с");
    edK = Edit(PG, 5, "Коэффициент восстановления при ударе", "edK", Data.Restitution);
    edF = Edit(PG, 6, "Коэффициент трения скольжения", "edF", Data.Friction);
    Left->addWidget(Phys);

    auto* Sim = new QGroupBox(U(" Параметры моделирования: "), this);
    auto* SG = new QGridLayout(Sim);
    edStep = Edit(SG, 0, "Шаг интегрирования:", "edStep", Data.H, "сек.");
    edMaxTime = Edit(SG, 1, "Максимальное время моделирования:", "edMaxTime", Data.TMax, "сек.");
    Left->addWidget(Sim);
    Top->addLayout(Left);

    auto* Right = new QVBoxLayout;
    auto* Parts = new QGroupBox(U(" Частицы: "), this);
    auto* PL = new QVBoxLayout(Parts);
    lbParts = new QListWidget(Parts);
    lbParts->setObjectName(QStringLiteral("lbParts"));
    PL->addWidget(lbParts);
    auto* PB = new QHBoxLayout;
    btAdd = Button(Parts, "Добавить", "btAdd");
    btDelete = Button(Parts, "Удалить", "btDelete");
    btEdit = Button(Parts, "Изменить", "btEdit");
    PB->addWidget(btAdd);
    PB->addWidget(btDelete);
    PB->addWidget(btEdit);
    PL->addLayout(PB);
    Right->addWidget(Parts);

    auto* Sel = new QGroupBox(U("Параметры выбранной частицы:"), this);
    auto* SelG = new QGridLayout(Sel);
    SelG->addWidget(new QLabel(U("Координаты точки вылета:"), Sel), 0, 0, 1, 2);
    SelG->addWidget(new QLabel(U("X = "), Sel), 1, 0);
    SelG->addWidget(lbX = new QLabel(Sel), 1, 1);
    SelG->addWidget(new QLabel(U("Y = "), Sel), 2, 0);
    SelG->addWidget(lbY = new QLabel(Sel), 2, 1);
    SelG->addWidget(new QLabel(U("Начальная скорость:"), Sel), 3, 0, 1, 2);
    SelG->addWidget(new QLabel(U("Vx = "), Sel), 4, 0);
    SelG->addWidget(lbVx = new QLabel(Sel), 4, 1);
    SelG->addWidget(new QLabel(U("Vy = "), Sel), 5, 0);
    SelG->addWidget(lbVy = new QLabel(Sel), 5, 1);
    lbX->setObjectName(QStringLiteral("lbX"));
    lbY->setObjectName(QStringLiteral("lbY"));
    lbVx->setObjectName(QStringLiteral("lbVx"));
    lbVy->setObjectName(QStringLiteral("lbVy"));
    Right->addWidget(Sel);
    Top->addLayout(Right);
    Main->addLayout(Top);
    AddPageButtons(this, Main, btBack, btNext, btCancel);

    for (int I = 0; I < static_cast<int>(FData.Particles.size()); ++I)
        lbParts->addItem(U(ParticleName(I)));
    connect(lbParts, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
    connect(btAdd, &QPushButton::clicked, this, &TfrmPartsData::AddParticle);
    connect(btEdit, &QPushButton::clicked, this, &TfrmPartsData::EditParticle);
    connect(btDelete, &QPushButton::clicked, this, &TfrmPartsData::DeleteParticle);
    connect(btNext, &QPushButton::clicked, this, [this] { Leave(prNext); });
    connect(btBack, &QPushButton::clicked, this, [this] { Leave(prBack); });
}

void TfrmPartsData::ShowSelected() {
    const int I = lbParts->currentRow();
    if (I < 0 || I >= static_cast<int>(FData.Particles.size())) {
        for (QLabel* L : {lbX, lbY, lbVx, lbVy})
            L->clear();
        return;
    }
    const TStartPartInfo& P = FData.Particles[static_cast<std::size_t>(I)];
    lbX->setText(NumberText(P.Position.X) + U(" м"));
    lbY->setText(NumberText(P.Position.Y) + U(" м"));
    lbVx->setText(NumberText(P.Velocity.X) + U(" м/с"));
    lbVy->setText(NumberText(P.Velocity.Y) + U(" м/с"));
}

void TfrmPartsData::AddParticle() {
    const int N = static_cast<int>(FData.Particles.size());
    TStartPartInfo Info;
    Info.Position = {1.0, 1.0};
    TfrmStartPartInfo D(Msg, Marker, U(ParticleName(N)), Info, this);
    if (D.exec() != QDialog::Accepted)
        return;
    FData.Particles.push_back(D.Info());
    lbParts->addItem(U(ParticleName(N)));
    lbParts->setCurrentRow(N);
    ShowSelected();
}

void TfrmPartsData::EditParticle() {
    const int I = lbParts->currentRow();
    if (I < 0 || I >= static_cast<int>(FData.Particles.size()))
        return;
    TfrmStartPartInfo D(Msg, Marker, lbParts->item(I)->text(),
                        FData.Particles[static_cast<std::size_t>(I)], this);
    if (D.exec() != QDialog::Accepted)
        return;
    FData.Particles[static_cast<std::size_t>(I)] = D.Info();
    ShowSelected();
}

void TfrmPartsData::DeleteParticle() {
    const int I = lbParts->currentRow();
    if (I < 0 || I >= static_cast<int>(FData.Particles.size()))
        return;
    if (Msg.AskYesNo(U(DeleteParticleQuestion(I)), TMsgIcon::Information) != TMsgAnswer::Yes)
        return;
    FData.Particles.erase(FData.Particles.begin() + I);
    std::unique_ptr<QListWidgetItem>(lbParts->takeItem(I)).reset();
    ShowSelected();
}

void TfrmPartsData::done(int R) {
    if (R == prCancel) {
        double* const Values[] = {&FData.D,        &FData.Chi, &FData.RhoParticle,
                                  &FData.RhoAir,   &FData.Mu,  &FData.Restitution,
                                  &FData.Friction, &FData.H,   &FData.TMax};
        const QLineEdit* const Fields[] = {edDe, edHi, edRo1,  edRo,     edMu,
                                           edK,  edF,  edStep, edMaxTime};
        for (std::size_t I = 0; I < std::size(Fields); ++I)
            KeepTyped(Fields[I], *Values[I]);
    }
    QDialog::done(R);
}

void TfrmPartsData::Leave(TPageResult R) {
    const TTyped V[] = {
        ParseNumber(edDe->text()), ParseNumber(edHi->text()),   ParseNumber(edRo1->text()),
        ParseNumber(edRo->text()), ParseNumber(edMu->text()),   ParseNumber(edK->text()),
        ParseNumber(edF->text()),  ParseNumber(edStep->text()), ParseNumber(edMaxTime->text())};
    for (const TTyped& X : V)
        if (!X) {
            Msg.Show(U(MsgInputError));
            return;
        }
    FData.D = *V[0];
    FData.Chi = *V[1];
    FData.RhoParticle = *V[2];
    FData.RhoAir = *V[3];
    FData.Mu = *V[4];
    FData.Restitution = *V[5];
    FData.Friction = *V[6];
    FData.H = *V[7];
    FData.TMax = *V[8];
    // Values no particle can have (a diameter of 0, a restitution of 5) would only fail
    // later, in the search or when the saved task is opened again.
    if (const auto Fault = CheckParticleParams(FData)) {
        Msg.Show(U(std::string(MsgInputError) + "\r" + Fault->Russian));
        return;
    }
    if (R == prNext && FData.Particles.empty()) {
        Msg.Show(U(MsgNoParticles));
        return;
    }
    done(R);
}

} // namespace kalvex
