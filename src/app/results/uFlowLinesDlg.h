// The two flow-line dialogs: a field of lines from the openings and a single line from
// a point picked on the canvas.
#pragma once

#include "app/results/uRunScope.h"
#include "geometry/GenFuncs.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kalvex {

class TfrmFlowLines : public TRunDialog {
    Q_OBJECT
public:
    TfrmFlowLines(TRunContext& Context, QWidget* Parent = nullptr);

    QLineEdit* edInterval = nullptr;
    QLineEdit* edStep = nullptr;
    QLineEdit* edLineLen = nullptr;
    QButtonGroup* rgDirection = nullptr;
    QPushButton* btBuild = nullptr;
    QLabel* lbStatus = nullptr;
    QProgressBar* pbLinesProgress = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void Build();
};

class TfrmFlowLine : public TRunDialog {
    Q_OBJECT
public:
    TfrmFlowLine(TRunContext& Context, QWidget* Parent = nullptr);
    // The point picked on the canvas, shown with three decimals.
    void SetStart(TRealPoint P);

    QLineEdit* edStep = nullptr;
    QLineEdit* edLineLen = nullptr;
    QButtonGroup* rgDirection = nullptr;
    QLineEdit* edX = nullptr;
    QLineEdit* edY = nullptr;
    QPushButton* btBuild = nullptr;
    QLabel* lbStatus = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void Build();
};

} // namespace kalvex
