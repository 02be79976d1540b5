// "Преобразовать в дугу": the selected segment becomes an arc of a few segments.
#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace kalvex {

class TDocument;
class TMessages;

class TfrmConvArc : public QDialog {
    Q_OBJECT
public:
    TfrmConvArc(TDocument& Doc, TMessages& Msg, QWidget* Owner);

    QLineEdit* edHeight;
    QLineEdit* edNumSegs;
    QGroupBox* rgDirection;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    // Stays open unless the segment became an arc.
    void Convert();
    TDocument& Doc;
    TMessages& Msg;
    QButtonGroup* Direction;
};

} // namespace kalvex
