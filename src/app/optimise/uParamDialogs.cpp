#include "app/optimise/uParamDialogs.h"

#include "app/optimise/uWizardPages.h"
#include "app/optimise/uWizardParts.h"
#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uWizard.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace kalvex {

namespace {

bool IsCylinder(const TChangeObject& O) {
    return O.Name.rfind("Цилиндр", 0) == 0;
}

} // namespace

QString FormulaLine(const TChangeInfo& C, const QString& ParamName) {
    return U(FormulaText(C.ObjectName, C.Kind, FieldNumber(C.Scaler).toStdString(),
                         ParamName.toStdString()));
}

// ---------------------------------------------------------------- TfrmOtsosInfo

TfrmOtsosInfo::TfrmOtsosInfo(TMessages& M, const TParamInfo& P, QWidget* Owner)
    : QDialog(Owner), Msg(M) {
    setObjectName(QStringLiteral("frmOtsosInfo"));
    setWindowTitle(U("Информация об отсосе"));
    auto* Main = new QVBoxLayout(this);
    auto* G = new QGridLayout;
    lbName = new QLabel(U(P.Name), this);
    lbName->setObjectName(QStringLiteral("lbName"));
    G->addWidget(new QLabel(U("Имя отсоса:"), this), 0, 0);
    G->addWidget(lbName, 0, 1);
    G->addWidget(new QLabel(U("Пределы изменения производительности:"), this), 1, 0, 1, 3);
    edLowLimit = AddEditRow(G, 2, U("от"), "edLowLimit", U("м/с"));
    edHighLimit = AddEditRow(G, 3, U("до"), "edHighLimit", U("м/с"));
    edChangeStep =
        AddEditRow(G, 4, U("Шаг изменения производительности:"), "edChangeStep", U("м/с"));
    edStartValue = AddEditRow(G, 5, U("Начальное значение:"), "edStartValue", U("м/с"));
    Main->addLayout(G);
    edLowLimit->setText(NumberText(P.MinValue));
    edHighLimit->setText(NumberText(P.MaxValue));
    edChangeStep->setText(NumberText(P.Step));
    edStartValue->setText(NumberText(P.Value));
    btOk = AddDialogButtons(this, Main, U("ОК"), U("Отмена")).Ok;
    connect(btOk, &QPushButton::clicked, this, [this] {
        const TTyped L = ParseNumber(edLowLimit->text()), H = ParseNumber(edHighLimit->text()),
                     S = ParseNumber(edChangeStep->text()), V = ParseNumber(edStartValue->text());
        if (const auto Fault = CheckSuctionInfo(L, H, S, V)) {
            Msg.Show(U(*Fault));
            return;
        }
        Low = *L;
        High = *H;
        Step = *S;
        Start = *V;
        accept();
    });
}

// ---------------------------------------------------------------- TfrmFormula

TfrmFormula::TfrmFormula(TMessages& M, std::vector<TChangeObject> O, const QString& Param,
                         QWidget* Owner)
    : QDialog(Owner), Msg(M), Objects(std::move(O)), ParamName(Param) {
    setObjectName(QStringLiteral("frmFormula"));
    setWindowTitle(U("Ввод формулы"));
    auto* Main = new QVBoxLayout(this);
    auto* G = new QGridLayout;
    cmbNames = new QComboBox(this);
    cmbNames->setObjectName(QStringLiteral("cmbNames"));
    for (const TChangeObject& Obj : Objects)
        cmbNames->addItem(U(Obj.Name));
    AddFieldRow(G, 0, U("Изменяемый объект:"), cmbNames);
    cmbChange = new QComboBox(this);
    cmbChange->setObjectName(QStringLiteral("cmbChange"));
    AddFieldRow(G, 1, U("Что изменять"), cmbChange);
    edScaler = AddEditRow(G, 2, U("Множитель:"), "edScaler");
    edScaler->setText(FieldNumber(1.0));
    edFormula = new QLineEdit(this);
    edFormula->setObjectName(QStringLiteral("edFormula"));
    edFormula->setReadOnly(true);
    G->addWidget(edFormula, 3, 0, 1, 3);
    Main->addLayout(G);
    btOk = AddDialogButtons(this, Main, U("ОК"), U("Отмена")).Ok;

    if (!Objects.empty())
        cmbNames->setCurrentIndex(0);
    ObjectChosen();
    connect(cmbNames, &QComboBox::currentIndexChanged, this, [this] { ObjectChosen(); });
    connect(cmbChange, &QComboBox::currentIndexChanged, this, [this] { Rebuild(); });
    connect(edScaler, &QLineEdit::textChanged, this, [this] { Rebuild(); });
    connect(btOk, &QPushButton::clicked, this, [this] {
        const int I = cmbNames->currentIndex();
        const TTyped K = ParseNumber(edScaler->text());
        if (I < 0 || !K) {
            Msg.Show(U(MsgInputError));
            return;
        }
        const TChangeObject& Obj = Objects[static_cast<std::size_t>(I)];
        Change = {Obj.EdgeIndex, Obj.SegIndex, *K,
                  static_cast<std::uint8_t>(cmbChange->currentIndex()), Obj.Name};
        accept();
    });
}

void TfrmFormula::ObjectChosen() {
    const int I = cmbNames->currentIndex();
    const QSignalBlocker Block(cmbChange);
    cmbChange->clear();
    cmbChange->addItem(U("Координату X"));
    cmbChange->addItem(U("Координату Y"));
    if (I >= 0 && IsCylinder(Objects[static_cast<std::size_t>(I)]))
        cmbChange->addItem(U("Радиус"));
    cmbChange->setCurrentIndex(0);
    Rebuild();
}

QString TfrmFormula::Text() const {
    return edFormula->text();
}

void TfrmFormula::Rebuild() {
    const int I = cmbNames->currentIndex();
    if (I < 0) {
        edFormula->clear();
        return;
    }
    edFormula->setText(
        U(FormulaText(Objects[static_cast<std::size_t>(I)].Name, cmbChange->currentIndex(),
                      edScaler->text().toStdString(), ParamName.toStdString())));
}

// ---------------------------------------------------------------- TfrmParamInfo

TfrmParamInfo::TfrmParamInfo(TMessages& M, const TParamInfo& P, bool New,
                             const TOptimizedParams& Ex, std::vector<TChangeObject> O,
                             QWidget* Owner)
    : QDialog(Owner), Msg(M), FParam(P), IsNew(New), Existing(Ex), Objects(std::move(O)) {
    setObjectName(QStringLiteral("frmParamInfo"));
    setWindowTitle(U("Ввод геометрического параметра"));
    auto* Main = new QVBoxLayout(this);
    auto* G = new QGridLayout;
    edName = AddEditRow(G, 0, U("Имя параметра:"), "edName");
    G->addWidget(new QLabel(U("Пределы изменения:"), this), 1, 0, 1, 3);
    edLimFrom = AddEditRow(G, 2, U("от"), "edLimFrom");
    edLimTo = AddEditRow(G, 3, U("до"), "edLimTo");
    edStep = AddEditRow(G, 4, U("Шаг изменения:"), "edStep");
    edStartValue = AddEditRow(G, 5, U("Начальное значение"), "edStartValue");
    Main->addLayout(G);
    auto* Group = new QGroupBox(U(" Формулы изменения параметра: "), this);
    auto* GL = new QVBoxLayout(Group);
    lbFormula = new QListWidget(Group);
    lbFormula->setObjectName(QStringLiteral("lbFormula"));
    GL->addWidget(lbFormula);
    auto* Row = new QHBoxLayout;
    btAddFormula = new QPushButton(U("Добавить"), Group);
    btAddFormula->setObjectName(QStringLiteral("btAddFormula"));
    btDeleteFormula = new QPushButton(U("Удалить"), Group);
    btDeleteFormula->setObjectName(QStringLiteral("btDeleteFormula"));
    Row->addWidget(btAddFormula);
    Row->addWidget(btDeleteFormula);
    GL->addLayout(Row);
    Main->addWidget(Group);
    btOk = AddDialogButtons(this, Main, U("ОК"), U("Отмена")).Ok;

    edName->setText(U(P.Name));
    edLimFrom->setText(FieldNumber(P.MinValue));
    edLimTo->setText(FieldNumber(P.MaxValue));
    edStep->setText(FieldNumber(P.Step));
    edStartValue->setText(FieldNumber(P.Value));
    FillFormulas();
    connect(edName, &QLineEdit::textChanged, this, [this] { FillFormulas(); });
    connect(btAddFormula, &QPushButton::clicked, this, &TfrmParamInfo::AddFormula);
    connect(btDeleteFormula, &QPushButton::clicked, this, &TfrmParamInfo::DeleteFormula);
    connect(btOk, &QPushButton::clicked, this, &TfrmParamInfo::Accept);
}

void TfrmParamInfo::FillFormulas() {
    const int Row = lbFormula->currentRow();
    lbFormula->clear();
    for (const TChangeInfo& C : FParam.Changes)
        lbFormula->addItem(FormulaLine(C, edName->text()));
    lbFormula->setCurrentRow(Row < lbFormula->count() ? Row : lbFormula->count() - 1);
}

void TfrmParamInfo::AddFormula() {
    TfrmFormula D(Msg, Objects, edName->text(), this);
    if (D.exec() != QDialog::Accepted)
        return;
    FParam.Changes.push_back(D.Change);
    lbFormula->addItem(FormulaLine(D.Change, edName->text()));
}

void TfrmParamInfo::DeleteFormula() {
    const int I = lbFormula->currentRow();
    if (I < 0 || I >= static_cast<int>(FParam.Changes.size()))
        return;
    if (Msg.AskYesNo(U(DeleteFormulaQuestion(lbFormula->item(I)->text().toStdString()))) !=
        TMsgAnswer::Yes)
        return;
    FParam.Changes.erase(FParam.Changes.begin() + I);
    std::unique_ptr<QListWidgetItem>(lbFormula->takeItem(I)).reset();
}

void TfrmParamInfo::Accept() {
    const std::string Name = edName->text().toStdString();
    const TTyped From = ParseNumber(edLimFrom->text()), To = ParseNumber(edLimTo->text()),
                 Step = ParseNumber(edStep->text()), Start = ParseNumber(edStartValue->text());
    if (const auto Fault = CheckParamInfo(Name, IsNew, Existing, From, To, Step, Start)) {
        Msg.Show(U(*Fault));
        return;
    }
    FParam.Name = Name.substr(0, MaxNameLength);
    FParam.MinValue = *From;
    FParam.MaxValue = *To;
    FParam.Step = *Step;
    FParam.Value = *Start;
    accept();
}

} // namespace kalvex
