// The discretisation dialog: the global parameters, the method, and "Выполнить",
// which discretises the model and writes the discretisation file. Created once by the
// main window, so its fields keep what was typed between openings.
#pragma once

#include "solver/uDiscretization.h"

#include <QDialog>

#include <optional>

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

    // The settings as the fields hold them; nothing when one does not convert.
    std::optional<TDiscretizationSettings> Settings() const;

    QLineEdit* edStep = nullptr;
    QLineEdit* edScaler = nullptr;
    QLineEdit* edInfiniteScaler = nullptr;
    QLineEdit* edInfiniteCount = nullptr;
    QLineEdit* edCylStep = nullptr;
    QButtonGroup* rgDiscrMethod = nullptr;
    // Which solve the elements of the settings as typed will take.
    QLabel* lbSolver = nullptr;

protected:
    // The model may have changed since the last opening.
    void showEvent(QShowEvent* Event) override;

private:
    void MethodChanged();
    void ShowSolver();
    void Execute();

    TDocument& Doc;
    TMessages& Msg;
};

} // namespace kalvex
