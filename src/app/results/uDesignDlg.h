// The designer's questions of a solved flow: where the air still moves at the capture
// velocity (a contour drawn as a result line) and which share of the dust of each size
// the hood catches (a curve in a chart window).
#pragma once

#include "app/results/uParticleFields.h"
#include "app/results/uRunScope.h"
#include "results/uEfficiency.h"

#include <vector>

class QChartView;
class QLineEdit;
class QLineSeries;
class QProgressBar;
class QPushButton;

namespace kalvex {

class TfrmContour : public TRunDialog {
    Q_OBJECT
public:
    TfrmContour(TRunContext& Context, QWidget* Parent = nullptr);

    QLineEdit* edSpeed = nullptr;
    QLineEdit *edX0 = nullptr, *edY0 = nullptr, *edX1 = nullptr, *edY1 = nullptr;
    QLineEdit* edCells = nullptr;
    QPushButton* btBuild = nullptr;
    QProgressBar* pbProgress = nullptr;

protected:
    // The box is the part of the model in view each time the dialog opens.
    void showEvent(QShowEvent* Event) override;

private:
    void Build();
};

// The fraction caught against the diameter, on a logarithmic diameter axis; saved as
// a PNG picture or as CSV rows d,caught,total,fraction.
class TfrmEfficiencyChart : public QDialog {
    Q_OBJECT
public:
    TfrmEfficiencyChart(TMessages& Msg, QWidget* Parent = nullptr);
    // SystemPath: the system's path without its extension, where the saves start.
    void SetRows(std::vector<TEfficiencyRow> Rows, QString SystemPath);
    const std::vector<TEfficiencyRow>& Rows() const { return FRows; }

    // The chart's points: diameter in micrometres, fraction caught.
    static constexpr double MicrometresPerMetre = 1e6;
    QChartView* View = nullptr;
    QLineSeries* Series = nullptr;
    QPushButton* btSavePng = nullptr;
    QPushButton* btSaveCsv = nullptr;

private:
    void SavePng();
    void SaveCsv();
    TMessages& Msg;
    std::vector<TEfficiencyRow> FRows;
    QString Stem;
};

class TfrmEfficiency : public TRunDialog, public TParticleDataFields {
    Q_OBJECT
public:
    TfrmEfficiency(TRunContext& Context, TfrmEfficiencyChart& Chart, QWidget* Parent = nullptr);

    QLineEdit *edXA = nullptr, *edYA = nullptr, *edXB = nullptr, *edYB = nullptr;
    QLineEdit* edN = nullptr;
    QLineEdit* edDiameters = nullptr;
    QLineEdit *edVx = nullptr, *edVy = nullptr;
    QPushButton* btBuild = nullptr;
    QProgressBar* pbProgress = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void Build();
    TfrmEfficiencyChart& Chart;
    bool LineFilled = false;
};

// "0,00001; 0,0001" in the user's notation: the numbers separated by ';' or blanks.
std::optional<std::vector<double>> ParseNumberList(const QString& Text);

} // namespace kalvex
