// The segment window "Прямолин. область": the selected point or segment of a
// straight-edged region.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kalvex {

class TfrmEdgeProp : public QDialog {
    Q_OBJECT
public:
    explicit TfrmEdgeProp(QWidget* Owner);
    // Empties the fields and disables every control.
    void Clear();

    QLineEdit* edX;
    QLineEdit* edY;
    QLineEdit* edSpeed;
    QPushButton* Button1;
    QPushButton* btnInvert;
    QPushButton* btnConvArc;
};

} // namespace kalvex
