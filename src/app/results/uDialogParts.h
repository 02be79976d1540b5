// Pieces the result dialogs share: a titled choice, the two buttons and a field that
// is enabled together with its label.
#pragma once

#include "app/results/uParticleFields.h"
#include "app/uFormRows.h"
#include "app/uNumberText.h"
#include "results/uParticle.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

namespace kalvex {

inline QButtonGroup* AddChoice(QWidget* Owner, QBoxLayout* Into, const QString& Title,
                               const char* Name, const QStringList& Items, int Checked) {
    auto* Box = new QGroupBox(Title, Owner);
    Box->setObjectName(QLatin1String(Name));
    auto* L = new QVBoxLayout(Box);
    auto* Group = new QButtonGroup(Box);
    Group->setObjectName(QLatin1String(Name));
    for (int I = 0; I < Items.size(); ++I) {
        auto* R = new QRadioButton(Items[I], Box);
        Group->addButton(R, I);
        L->addWidget(R);
    }
    Group->button(Checked)->setChecked(true);
    Into->addWidget(Box);
    return Group;
}

// "Построить"/"Вычислить" (default) and "Отмена"/"Закрыть"; the first is returned.
inline QPushButton* AddButtons(QDialog* Owner, QBoxLayout* Into, const QString& Go,
                               const char* GoName, const QString& Cancel) {
    auto* Buttons = new QDialogButtonBox(Owner);
    QPushButton* B = Buttons->addButton(Go, QDialogButtonBox::ActionRole);
    B->setObjectName(QLatin1String(GoName));
    B->setDefault(true);
    QPushButton* C = Buttons->addButton(Cancel, QDialogButtonBox::RejectRole);
    C->setObjectName(QStringLiteral("btCancel"));
    QObject::connect(C, &QPushButton::clicked, Owner, &QDialog::reject);
    Into->addWidget(Buttons);
    return B;
}

// A titled group of field rows; the fields keep their width, the space goes right.
inline QGridLayout* AddFieldGroup(QWidget* Owner, QBoxLayout* Into, const QString& Title) {
    auto* Box = new QGroupBox(Title, Owner);
    Into->addWidget(Box);
    auto* G = new QGridLayout(Box);
    G->setColumnStretch(3, 1);
    return G;
}

// A labelled number field showing Default exactly.
inline QLineEdit* AddNumberRow(QGridLayout* G, int Row, const QString& Label, const char* Name,
                               double Default, const QString& Unit = {}) {
    QLineEdit* E = AddEditRow(G, Row, Label, Name, Unit);
    E->setText(ShortestText(Default));
    return E;
}

// The particle's and the medium's data below the diameter (rows 1 to 6 of Particle) and
// the build parameters in a group of their own, as the particle dialogs show them.
inline TParticleDataFields AddParticleDataRows(QWidget* Owner, QBoxLayout* Main,
                                               QGridLayout* Particle, const TParticleParams& D) {
    const QString Density = QStringLiteral("кг/м<sup>3</sup>");
    TParticleDataFields F{};
    QGridLayout* G = Particle;
    F.edHi = AddNumberRow(G, 1, QStringLiteral("Коэффициент динамической формы частицы"), "edHi",
                          D.Chi);
    F.edRo1 =
        AddNumberRow(G, 2, QStringLiteral("Плотность частицы"), "edRo1", D.RhoParticle, Density);
    F.edRo = AddNumberRow(G, 3, QStringLiteral("Плотность среды"), "edRo", D.RhoAir, Density);
    F.edMu = AddNumberRow(G, 4, QStringLiteral("Динамическая вязкость воздуха"), "edMu", D.Mu,
                          QStringLiteral("Па*с"));
    F.edK = AddNumberRow(G, 5, QStringLiteral("Коэффициент восстановления при ударе"), "edK",
                         D.Restitution);
    F.edF = AddNumberRow(G, 6, QStringLiteral("Коэффициент трения скольжения"), "edF", D.Friction);
    G = AddFieldGroup(Owner, Main, QStringLiteral(" Параметры построения: "));
    F.edStep = AddNumberRow(G, 0, QStringLiteral("Шаг интегрирования"), "edStep", D.H,
                            QStringLiteral("сек."));
    F.edMaxTime = AddNumberRow(G, 1, QStringLiteral("Максимальное время моделирования"),
                               "edMaxTime", D.TMax, QStringLiteral("сек."));
    return F;
}

inline void SetFieldEnabled(QWidget* Owner, QLineEdit* Field, bool On) {
    Field->setEnabled(On);
    for (QLabel* L : Owner->findChildren<QLabel*>())
        if (L->buddy() == Field)
            L->setEnabled(On);
}

} // namespace kalvex
