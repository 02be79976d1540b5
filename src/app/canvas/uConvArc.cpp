#include "app/canvas/uConvArc.h"

#include "app/uFormRows.h"
#include "app/uMessages.h"
#include "app/uNumberText.h"
#include "document/uPropertyEdit.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kalvex {

TfrmConvArc::TfrmConvArc(TDocument& D, TMessages& M, QWidget* Owner)
    : QDialog(Owner), Doc(D), Msg(M) {
    setObjectName(QStringLiteral("frmConvArc"));
    setWindowTitle(QStringLiteral("Преобразовать в дугу"));
    auto* Main = new QVBoxLayout(this);
    auto* Box = new QGroupBox(QStringLiteral(" Параметры преобразования: "), this);
    auto* G = new QGridLayout(Box);
    edHeight = AddEditRow(G, 0, QStringLiteral("Высота дуги:"), "edHeight", QStringLiteral("м"));
    edHeight->setText(QLocale().toString(0.1));
    edNumSegs = AddEditRow(G, 1, QStringLiteral("Количество сегментов:"), "edNumSegs");
    edNumSegs->setText(QStringLiteral("5"));
    rgDirection = new QGroupBox(QStringLiteral(" Направление изгиба: "), Box);
    rgDirection->setObjectName(QStringLiteral("rgDirection"));
    auto* DL = new QVBoxLayout(rgDirection);
    Direction = new QButtonGroup(rgDirection);
    const QStringList Items{QStringLiteral("Во внешнюю сторону"),
                            QStringLiteral("Во внутреннюю сторону")};
    for (int I = 0; I < Items.size(); ++I) {
        auto* R = new QRadioButton(Items[I], rgDirection);
        Direction->addButton(R, I);
        DL->addWidget(R);
    }
    Direction->button(0)->setChecked(true);
    G->addWidget(rgDirection, 2, 0, 1, 3);
    Main->addWidget(Box);

    const TDialogButtons Buttons =
        AddDialogButtons(this, Main, QStringLiteral("Преобразовать"), QStringLiteral("Отмена"));
    Button1 = Buttons.Ok;
    Button2 = Buttons.Cancel;
    connect(Button1, &QPushButton::clicked, this, &TfrmConvArc::Convert);
}

void TfrmConvArc::Convert() {
    const TApplyOutcome Out =
        ConvertSelectionToArc(Doc, {ParseNumber(edHeight->text()), ParseInteger(edNumSegs->text()),
                                    Direction->checkedId()});
    for (const std::string& Text : Out.Messages)
        Msg.Show(QString::fromStdString(Text));
    if (Out.Changed)
        accept();
}

} // namespace kalvex
