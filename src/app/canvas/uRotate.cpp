#include "app/canvas/uRotate.h"

#include "app/uFormRows.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalvex {

TfrmRotate::TfrmRotate(QWidget* Owner) : QDialog(Owner) {
    setObjectName(QStringLiteral("frmRotate"));
    setWindowTitle(QStringLiteral("Поворот цилиндров"));
    auto* Main = new QVBoxLayout(this);
    auto* G = new QGridLayout;
    Main->addLayout(G);
    seAngle = new QDoubleSpinBox(this);
    seAngle->setObjectName(QStringLiteral("seAngle"));
    seAngle->setDecimals(1);
    seAngle->setRange(-180.0, 180.0);
    AddFieldRow(G, 0, QStringLiteral("Угол поворота, град:"), seAngle);

    const TDialogButtons Buttons =
        AddDialogButtons(this, Main, QStringLiteral("Повернуть"), QStringLiteral("Отмена"));
    Button1 = Buttons.Ok;
    Button2 = Buttons.Cancel;
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace kalvex
