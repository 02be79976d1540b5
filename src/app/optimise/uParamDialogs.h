// The dialogs of one searched parameter: a suction opening's range, a geometric
// parameter with its formulas, and one formula.
#pragma once

#include "optimise/uOptEdges.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kalvex {

class TMessages;

class TfrmOtsosInfo : public QDialog {
    Q_OBJECT
public:
    TfrmOtsosInfo(TMessages& Msg, const TParamInfo& Param, QWidget* Owner = nullptr);
    // Range, step and start value as accepted.
    double Low = 0.0, High = 0.0, Step = 0.0, Start = 0.0;

    QLabel* lbName;
    QLineEdit *edLowLimit, *edHighLimit, *edChangeStep, *edStartValue;
    QPushButton* btOk;

private:
    TMessages& Msg;
};

class TfrmFormula : public QDialog {
    Q_OBJECT
public:
    // Objects: the vertices and cylinders; ParamName: the name the formula shows.
    TfrmFormula(TMessages& Msg, std::vector<TChangeObject> Objects, const QString& ParamName,
                QWidget* Owner = nullptr);
    // The formula as accepted.
    TChangeInfo Change;
    QString Text() const;

    QComboBox *cmbNames, *cmbChange;
    QLineEdit *edScaler, *edFormula;
    QPushButton* btOk;

private:
    void ObjectChosen();
    void Rebuild();
    TMessages& Msg;
    std::vector<TChangeObject> Objects;
    QString ParamName;
};

class TfrmParamInfo : public QDialog {
    Q_OBJECT
public:
    // Existing: the parameters already defined, for the check of a new name.
    TfrmParamInfo(TMessages& Msg, const TParamInfo& Param, bool IsNew,
                  const TOptimizedParams& Existing, std::vector<TChangeObject> Objects,
                  QWidget* Owner = nullptr);
    const TParamInfo& Param() const { return FParam; }

    // The formula commands, as their buttons run them.
    void AddFormula();
    void DeleteFormula();

    QLineEdit *edName, *edLimFrom, *edLimTo, *edStep, *edStartValue;
    QListWidget* lbFormula;
    QPushButton *btAddFormula, *btDeleteFormula, *btOk;

private:
    void FillFormulas();
    void Accept();
    TMessages& Msg;
    TParamInfo FParam;
    bool IsNew;
    const TOptimizedParams& Existing;
    std::vector<TChangeObject> Objects;
};

// A formula's line in the lists: the multiplier in the locale's general format.
QString FormulaLine(const TChangeInfo& C, const QString& ParamName);

} // namespace kalvex
