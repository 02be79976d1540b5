#include "app/canvas/uCylProp.h"

#include "app/uFormRows.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace kalvex {

namespace {

QGridLayout* Group(QVBoxLayout* Main, QWidget* Parent, const QString& Title) {
    auto* Box = new QGroupBox(Title, Parent);
    Main->addWidget(Box);
    return new QGridLayout(Box);
}

} // namespace

TfrmCylProp::TfrmCylProp(QWidget* Owner) : QDialog(Owner, Qt::Tool) {
    setObjectName(QStringLiteral("frmCylProp"));
    setWindowTitle(QStringLiteral("Цилиндрич. область"));
    auto* Main = new QVBoxLayout(this);
    const QString M = QStringLiteral("м");

    QGridLayout* G = Group(Main, this, QStringLiteral(" Координаты центра: "));
    edX = AddEditRow(G, 0, QStringLiteral("X = "), "edX", M);
    edY = AddEditRow(G, 1, QStringLiteral("Y = "), "edY", M);
    G = Group(Main, this, QStringLiteral(" Радиус: "));
    edRadius = AddEditRow(G, 0, QStringLiteral("R = "), "edRadius", M);
    G = Group(Main, this, QStringLiteral(" Скорость вращения: "));
    edTurnSpeed = AddEditRow(G, 0, QStringLiteral("V = "), "edTurnSpeed", QStringLiteral("м/c"));

    cbCrack = new QCheckBox(QStringLiteral("Щель:"), this);
    cbCrack->setObjectName(QStringLiteral("cbCrack"));
    Main->addWidget(cbCrack);
    auto* Slit = new QGridLayout;
    Main->addLayout(Slit);
    edAng1 = AddEditRow(Slit, 0, QStringLiteral("начальный угол, град."), "edAng1");
    edAng2 = AddEditRow(Slit, 1, QStringLiteral("конечный угол, град."), "edAng2");
    edSpeed = AddEditRow(Slit, 2, QStringLiteral("скорость, м/с"), "edSpeed");

    Button1 = new QPushButton(QStringLiteral("Принять"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Main->addWidget(Button1);

    Clear();
    adjustSize();
    if (const QScreen* S = QGuiApplication::primaryScreen())
        move(S->availableGeometry().right() - frameGeometry().width() - 2, 290);
}

void TfrmCylProp::Clear() {
    for (QLineEdit* E : {edX, edY, edRadius, edTurnSpeed, edAng1, edAng2, edSpeed}) {
        E->clear();
        E->setEnabled(false);
    }
    cbCrack->setChecked(false);
    cbCrack->setEnabled(false);
    Button1->setEnabled(false);
}

} // namespace kalvex
