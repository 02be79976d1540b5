// Rows of labelled fields for the small windows: the label names its field (buddy), so
// screen readers and tests find a field by its label.
#pragma once

#include <QBoxLayout>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

namespace kalvex {

// "Label [field] unit" in row Row of G; the label is the field's buddy.
inline void AddFieldRow(QGridLayout* G, int Row, const QString& Label, QWidget* Field,
                        const QString& Unit = {}) {
    auto* L = new QLabel(Label, G->parentWidget());
    L->setBuddy(Field);
    G->addWidget(L, Row, 0);
    G->addWidget(Field, Row, 1);
    if (!Unit.isEmpty())
        G->addWidget(new QLabel(Unit, G->parentWidget()), Row, 2);
}

inline QLineEdit* AddEditRow(QGridLayout* G, int Row, const QString& Label, const char* Name,
                             const QString& Unit = {}) {
    auto* E = new QLineEdit(G->parentWidget());
    E->setObjectName(QString::fromLatin1(Name));
    AddFieldRow(G, Row, Label, E, Unit);
    return E;
}

// The two buttons at the bottom of a dialog, right-aligned: the default one
// ("Button1") and the cancelling one ("Button2", which rejects the dialog).
struct TDialogButtons {
    QPushButton* Ok;
    QPushButton* Cancel;
};

inline TDialogButtons AddDialogButtons(QDialog* D, QBoxLayout* Main, const QString& OkText,
                                       const QString& CancelText) {
    auto* Ok = new QPushButton(OkText, D);
    Ok->setObjectName(QStringLiteral("Button1"));
    Ok->setDefault(true);
    auto* Cancel = new QPushButton(CancelText, D);
    Cancel->setObjectName(QStringLiteral("Button2"));
    auto* Row = new QHBoxLayout;
    Row->addStretch();
    Row->addWidget(Ok);
    Row->addWidget(Cancel);
    Main->addLayout(Row);
    QObject::connect(Cancel, &QPushButton::clicked, D, &QDialog::reject);
    return {Ok, Cancel};
}

} // namespace kalvex
