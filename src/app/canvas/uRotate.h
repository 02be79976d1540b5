// "Поворот цилиндров": the angle by which the slits of the cylinders turn.
#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QPushButton;

namespace kalvex {

class TfrmRotate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRotate(QWidget* Owner);

    QDoubleSpinBox* seAngle;
    QPushButton* Button1;
    QPushButton* Button2;
};

} // namespace kalvex
