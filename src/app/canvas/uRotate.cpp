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

    Button1 = new QPushButton(QStringLiteral("Повернуть"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(Button1);
    Buttons->addWidget(Button2);
    Main->addLayout(Buttons);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace kalvex
