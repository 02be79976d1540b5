// The cylinder window "Цилиндрич. область": centre, radius, rotation and slit of the
// selected cylinder.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kalvex {

class TfrmCylProp : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCylProp(QWidget* Owner);
    // Empties the fields and disables every control.
    void Clear();

    QLineEdit* edX;
    QLineEdit* edY;
    QLineEdit* edRadius;
    QLineEdit* edTurnSpeed;
    QCheckBox* cbCrack;
    QLineEdit* edAng1;
    QLineEdit* edAng2;
    QLineEdit* edSpeed;
    QPushButton* Button1;
};

} // namespace kalvex
