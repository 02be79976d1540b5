// Pieces the result dialogs share: a titled choice, the two buttons and a field that
// is enabled together with its label.
#pragma once

#include <QButtonGroup>
#include <QDialogButtonBox>
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

inline void SetFieldEnabled(QWidget* Owner, QLineEdit* Field, bool On) {
    Field->setEnabled(On);
    for (QLabel* L : Owner->findChildren<QLabel*>())
        if (L->buddy() == Field)
            L->setEnabled(On);
}

} // namespace kalvex
