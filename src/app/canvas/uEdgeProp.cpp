#include "app/canvas/uEdgeProp.h"

#include "app/uFormRows.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kalvex {

TfrmEdgeProp::TfrmEdgeProp(QWidget* Owner) : QDialog(Owner, Qt::Tool) {
    setObjectName(QStringLiteral("frmEdgeProp"));
    setWindowTitle(QStringLiteral("Прямолин. область"));
    auto* Main = new QVBoxLayout(this);

    auto* Point = new QGroupBox(QStringLiteral(" Выбранная точка:"), this);
    auto* PG = new QGridLayout(Point);
    edX = AddEditRow(PG, 0, QStringLiteral("X = "), "edX", QStringLiteral("м"));
    edY = AddEditRow(PG, 1, QStringLiteral("Y = "), "edY", QStringLiteral("м"));
    Main->addWidget(Point);

    auto* Seg = new QGroupBox(QStringLiteral(" Выбранное ребро: "), this);
    auto* SG = new QGridLayout(Seg);
    SG->addWidget(new QLabel(QStringLiteral("Скорость:"), Seg), 0, 0, 1, 3);
    edSpeed = AddEditRow(SG, 1, QStringLiteral("V = "), "edSpeed", QStringLiteral("м/с"));
    Main->addWidget(Seg);

    btnInvert = new QPushButton(QStringLiteral("Повернуть сторону воздуха"), this);
    btnInvert->setObjectName(QStringLiteral("btnInvert"));
    btnConvArc = new QPushButton(QStringLiteral("Преобраз. в дугу"), this);
    btnConvArc->setObjectName(QStringLiteral("btnConvArc"));
    Button1 = new QPushButton(QStringLiteral("Принять"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    auto* Buttons = new QHBoxLayout;
    Buttons->addWidget(btnInvert);
    Buttons->addWidget(btnConvArc);
    Main->addLayout(Buttons);
    Main->addWidget(Button1);

    Clear();
    adjustSize();
    if (const QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().right() - frameGeometry().width() - 2, 69);
}

void TfrmEdgeProp::Clear() {
    for (QLineEdit* E : {edX, edY, edSpeed}) {
        E->clear();
        E->setEnabled(false);
    }
    for (QPushButton* B : {Button1, btnInvert, btnConvArc})
        B->setEnabled(false);
}

} // namespace kalvex
