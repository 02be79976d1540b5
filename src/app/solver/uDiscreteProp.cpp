#include "app/solver/uDiscreteProp.h"

#include "app/uFormRows.h"
#include "app/uNumberText.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kalvex {

namespace {

// Lengths here are often below a millimetre: three decimals would show 0.0004 as zero.
QString ExactText(double V) {
    QLocale L;
    L.setNumberOptions(QLocale::OmitGroupSeparator);
    return L.toString(V, 'f', QLocale::FloatingPointShortest);
}

QButtonGroup* Choice(QGroupBox* Box, QBoxLayout* Layout, const QStringList& Items) {
    auto* Group = new QButtonGroup(Box);
    for (int I = 0; I < Items.size(); ++I) {
        auto* R = new QRadioButton(Items[I], Box);
        Group->addButton(R, I);
        Layout->addWidget(R);
    }
    return Group;
}

TEditedField Real(const QLineEdit* E) {
    if (!FieldEdited(E))
        return {};
    return {true, ParseNumber(E->text())};
}

} // namespace

TfrmDiscreteProp::TfrmDiscreteProp(QWidget* Owner) : QDialog(Owner, Qt::Tool) {
    setObjectName(QStringLiteral("frmDiscreteProp"));
    setWindowTitle(QStringLiteral("Параметры дискретизации выбр. ребра"));
    auto* Main = new QVBoxLayout(this);

    rgDiscretizationType = new QGroupBox(QStringLiteral(" Тип дискретизации "), this);
    rgDiscretizationType->setObjectName(QStringLiteral("rgDiscretizationType"));
    TypeGroup = Choice(rgDiscretizationType, new QHBoxLayout(rgDiscretizationType),
                       {QStringLiteral("ГИУ"), QStringLiteral("МДВ")});
    Main->addWidget(rgDiscretizationType);

    Pages = new QStackedWidget(this);
    pnMBE = new QWidget(Pages);
    pnMBE->setObjectName(QStringLiteral("pnMBE"));
    auto* MBE = new QVBoxLayout(pnMBE);
    MBE->setContentsMargins(0, 0, 0, 0);
    rgDiscrMethod = new QGroupBox(QStringLiteral(" Способ разбиения: "), pnMBE);
    rgDiscrMethod->setObjectName(QStringLiteral("rgDiscrMethod"));
    MethodGroup = Choice(rgDiscrMethod, new QVBoxLayout(rgDiscrMethod),
                         {QStringLiteral("Одинаковые граничные элементы"),
                          QStringLiteral("Неодинаковые граничные элементы")});
    MBE->addWidget(rgDiscrMethod);
    auto* G = new QGridLayout;
    MBE->addLayout(G);
    edBaseLength =
        AddEditRow(G, 0, QStringLiteral("Базовая длина граничного элемента, м"), "edBaseLength");
    edScaler = AddEditRow(G, 1, QStringLiteral("Множитель для конечных ребер"), "edScaler");
    edInfiniteScaler =
        AddEditRow(G, 2, QStringLiteral("Множитель для бесконечных ребер"), "edInfiniteScaler");
    edInfiniteCount = AddEditRow(G, 3, QStringLiteral("Количество элементов для бесконечных ребер"),
                                 "edInfiniteCount");
    edCylBaseLength = AddEditRow(G, 4, QStringLiteral("Длина граничного элемента для цилиндров, м"),
                                 "edCylBaseLength");
    Pages->addWidget(pnMBE);

    pnMDV = new QWidget(Pages);
    pnMDV->setObjectName(QStringLiteral("pnMDV"));
    auto* MDV = new QGridLayout(pnMDV);
    edVortexStep =
        AddEditRow(MDV, 0, QStringLiteral("Расстояние между присоед. вихрями (расч. точками), м"),
                   "edVortexStep");
    MDV->setRowStretch(1, 1);
    Pages->addWidget(pnMDV);
    Main->addWidget(Pages);

    Button1 = new QPushButton(QStringLiteral("Принять"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Main->addWidget(Button1);

    connect(TypeGroup, &QButtonGroup::idClicked, this, [this](int Id) { SetType(Id); });

    // Narrow enough to stand in the column of tool windows: the labels wrap.
    for (QLabel* L : findChildren<QLabel*>()) {
        L->setWordWrap(true);
        L->setMinimumWidth(170);
        L->setMaximumWidth(200);
    }
    for (QLineEdit* E : findChildren<QLineEdit*>())
        E->setMaximumWidth(110);

    Reset();
    adjustSize();
    if (const QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().right() - frameGeometry().width() - 2, 575);
}

void TfrmDiscreteProp::SetType(int Type) {
    Pages->setCurrentWidget(Type == 1 ? pnMDV : pnMBE);
}

void TfrmDiscreteProp::Reset() {
    rgDiscretizationType->setEnabled(false);
    rgDiscrMethod->setEnabled(false);
    for (QLineEdit* E : {edBaseLength, edScaler, edInfiniteScaler, edInfiniteCount, edCylBaseLength,
                         edVortexStep}) {
        E->clear();
        E->setEnabled(false);
    }
    Button1->setEnabled(false);
}

void TfrmDiscreteProp::Fill(const TEdgeSegment& S) {
    rgDiscretizationType->setEnabled(true);
    rgDiscrMethod->setEnabled(true);
    for (QLineEdit* E :
         {edBaseLength, edScaler, edInfiniteScaler, edInfiniteCount, edCylBaseLength, edVortexStep})
        E->setEnabled(true);
    Button1->setEnabled(true);
    const int Type = S.DiscretizationType == 1 ? 1 : 0;
    TypeGroup->button(Type)->setChecked(true);
    SetType(Type);
    MethodGroup->button(S.EqualElements() ? 0 : 1)->setChecked(true);
    // Only what the user changes afterwards is stored.
    FillField(edBaseLength, ExactText(S.BaseLength));
    FillField(edCylBaseLength, ExactText(S.CylBaseLength));
    FillField(edScaler, ExactText(S.Scaler));
    FillField(edInfiniteScaler, ExactText(S.InfiniteScaler));
    FillField(edVortexStep, ExactText(S.VortexStep()));
    FillField(edInfiniteCount, QString::number(S.InfiniteCount));
}

TDiscreteInput TfrmDiscreteProp::Input() const {
    TDiscreteInput In;
    In.Type = TypeGroup->checkedId() == 1 ? 1 : 0;
    In.Method = MethodGroup->checkedId() == 1 ? 1 : 0;
    In.BaseLength = Real(edBaseLength);
    In.Scaler = Real(edScaler);
    In.InfiniteScaler = Real(edInfiniteScaler);
    In.CylBaseLength = Real(edCylBaseLength);
    In.VortexStep = Real(edVortexStep);
    if (FieldEdited(edInfiniteCount)) {
        const std::optional<int> N = ParseInteger(edInfiniteCount->text());
        In.InfiniteCount = {true, N ? std::optional<double>(*N) : std::nullopt};
    }
    return In;
}

} // namespace kalvex
