// The discretisation dialog: the global parameters, the method, and "Выполнить",
// which discretises the model and writes the discretisation file. Created once by the
// main window, so its fields keep what was typed between openings.
#pragma once

#include <QDialog>

class QButtonGroup;
class QLabel;
class QLineEdit;

namespace kalvex {

class TDocument;
class TMessages;

class TfrmDiscret : public QDialog {
    Q_OBJECT
public:
    TfrmDiscret(TDocument& Doc, TMessages& Msg, QWidget* Parent = nullptr);

    QLineEdit* edStep = nullptr;
    QLineEdit* edScaler = nullptr;
    QLineEdit* edInfiniteScaler = nullptr;
    QLineEdit* edInfiniteCount = nullptr;
    QLineEdit* edCylStep = nullptr;
    QButtonGroup* rgDiscrMethod = nullptr;

private:
    void MethodChanged();
    void Execute();

    TDocument& Doc;
    TMessages& Msg;
};

} // namespace kalvex
