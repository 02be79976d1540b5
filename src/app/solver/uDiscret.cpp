#include "app/solver/uDiscret.h"

#include "app/results/uRunScope.h"
#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uDocument.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kalvex {

TfrmDiscret::TfrmDiscret(TDocument& D, TMessages& M, QWidget* Parent)
    : QDialog(Parent), Doc(D), Msg(M) {
    setObjectName(QStringLiteral("frmDiscret"));
    setWindowTitle(QStringLiteral("Дискретизация границы"));
    auto* Main = new QVBoxLayout(this);

    auto* Method = new QGroupBox(QStringLiteral(" Способ дискретизации: "), this);
    Method->setObjectName(QStringLiteral("rgDiscrMethod"));
    auto* MethodLayout = new QVBoxLayout(Method);
    rgDiscrMethod = new QButtonGroup(Method);
    const QString Items[] = {QStringLiteral("Одинаковые граничные элементы"),
                             QStringLiteral("Неодинаковые граничные элементы")};
    for (int I = 0; I < 2; ++I) {
        auto* R = new QRadioButton(Items[I], Method);
        rgDiscrMethod->addButton(R, I);
        MethodLayout->addWidget(R);
    }
    rgDiscrMethod->button(1)->setChecked(true);
    Main->addWidget(Method);

    auto* Params = new QGroupBox(QStringLiteral(" Параметры дискретизации: "), this);
    auto* G = new QGridLayout(Params);
    edStep = AddEditRow(G, 0, QStringLiteral("Базовая длина граничного элемента, м"), "edStep");
    edScaler = AddEditRow(G, 1, QStringLiteral("Множитель для конечных ребер"), "edScaler");
    edInfiniteScaler =
        AddEditRow(G, 2, QStringLiteral("Множитель для бесконечных ребер"), "edInfiniteScaler");
    edInfiniteCount = AddEditRow(G, 3, QStringLiteral("Количество элементов для бесконечных ребер"),
                                 "edInfiniteCount");
    edCylStep = AddEditRow(G, 4, QStringLiteral("Длина граничного элемента для цилиндров, м"),
                           "edCylStep");
    const TDiscretizationSettings Defaults;
    edStep->setText(ShortestText(Defaults.Step));
    edScaler->setText(ShortestText(Defaults.Scaler));
    edInfiniteScaler->setText(ShortestText(Defaults.InfiniteScaler));
    edInfiniteCount->setText(QString::number(Defaults.InfiniteCount));
    edCylStep->setText(ShortestText(Defaults.CylStep));
    Main->addWidget(Params);
    lbSolver = new QLabel(this);
    lbSolver->setObjectName(QStringLiteral("lbSolver"));
    Main->addWidget(lbSolver);
    for (QLineEdit* E : {edStep, edScaler, edInfiniteScaler, edInfiniteCount, edCylStep})
        connect(E, &QLineEdit::textChanged, this, &TfrmDiscret::ShowSolver);

    auto* Buttons = new QDialogButtonBox(this);
    QPushButton* Do = Buttons->addButton(QStringLiteral("Выполнить"), QDialogButtonBox::AcceptRole);
    Do->setObjectName(QStringLiteral("btDo"));
    Do->setDefault(true);
    QPushButton* Cancel =
        Buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    Cancel->setObjectName(QStringLiteral("btCancel"));
    Main->addWidget(Buttons);
    connect(Do, &QPushButton::clicked, this, &TfrmDiscret::Execute);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(rgDiscrMethod, &QButtonGroup::idToggled, this, &TfrmDiscret::MethodChanged);
    MethodChanged();
}

void TfrmDiscret::MethodChanged() {
    const bool Graded = rgDiscrMethod->checkedId() == 1;
    for (QLineEdit* E : {edScaler, edCylStep}) {
        E->setEnabled(Graded);
        // The label goes with its field.
        for (QLabel* L : findChildren<QLabel*>())
            if (L->buddy() == E)
                L->setEnabled(Graded);
    }
    ShowSolver();
}

void TfrmDiscret::showEvent(QShowEvent* Event) {
    ShowSolver();
    QDialog::showEvent(Event);
}

void TfrmDiscret::ShowSolver() {
    const std::optional<TDiscretizationSettings> S = Settings();
    const std::optional<std::string> Line = S ? Doc.SolverLine(*S) : std::nullopt;
    lbSolver->setText(Line ? QString::fromStdString(*Line) : QStringLiteral("Метод решения: —"));
}

std::optional<TDiscretizationSettings> TfrmDiscret::Settings() const {
    TDiscretizationSettings S;
    S.Graded = rgDiscrMethod->checkedId() == 1;
    const std::optional<double> Step = ParseNumber(edStep->text());
    std::optional<double> Scaler = S.Scaler;
    std::optional<double> CylStep = S.CylStep;
    if (S.Graded) {
        Scaler = ParseNumber(edScaler->text());
        CylStep = ParseNumber(edCylStep->text());
    }
    const std::optional<double> InfiniteScaler = ParseNumber(edInfiniteScaler->text());
    const std::optional<int> InfiniteCount = ParseInteger(edInfiniteCount->text());
    if (!Step || !Scaler || !CylStep || !InfiniteScaler || !InfiniteCount)
        return std::nullopt;
    S.Step = *Step;
    S.Scaler = *Scaler;
    S.CylStep = *CylStep;
    S.InfiniteScaler = *InfiniteScaler;
    S.InfiniteCount = *InfiniteCount;
    return S;
}

void TfrmDiscret::Execute() {
    const std::optional<TDiscretizationSettings> S = Settings();
    if (!S) {
        Msg.Show(QStringLiteral("Ошибка при вводе параметров."));
        return;
    }
    std::optional<std::string> Notice;
    if (RunReported(Msg, [&] { Notice = Doc.Discretize(*S); })) {
        if (Notice)
            Msg.Show(QString::fromStdString(*Notice), TMsgIcon::Warning);
        accept();
    }
}

} // namespace kalvex
