// The window "Параметры дискретизации выбр. ребра": the discretisation settings stored
// with the selected segment.
#pragma once

#include "document/uPropertyEdit.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace kalvex {

class TfrmDiscreteProp : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDiscreteProp(QWidget* Owner);
    // Disables the controls and empties the fields.
    void Reset();
    // Shows the segment's values, with every digit they need to read back the same.
    void Fill(const TEdgeSegment& S);
    // The choices and the fields as the user left them (only edited fields are read).
    TDiscreteInput Input() const;

    QGroupBox* rgDiscretizationType;
    QGroupBox* rgDiscrMethod;
    QStackedWidget* Pages;
    QWidget* pnMBE;
    QWidget* pnMDV;
    QLineEdit* edBaseLength;
    QLineEdit* edScaler;
    QLineEdit* edInfiniteScaler;
    QLineEdit* edInfiniteCount;
    QLineEdit* edCylBaseLength;
    QLineEdit* edVortexStep;
    QPushButton* Button1;

private:
    void SetType(int Type);
    QButtonGroup* TypeGroup;
    QButtonGroup* MethodGroup;
};

} // namespace kalvex
