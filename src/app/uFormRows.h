// Rows of labelled fields for the small windows: the label names its field (buddy), so
// screen readers and tests find a field by its label.
#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
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

} // namespace kalvex
