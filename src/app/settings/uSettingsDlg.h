// " Настройки": width and colour of the boundaries, style and colour of the axes.
#pragma once

#include "document/uPropertyEdit.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QPushButton;
class QSpinBox;

namespace kalvex {

class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSettings(QWidget* Owner);
    void Preset(const TDrawingSettings& S);
    TDrawingSettings Values() const;

    // The colour dialog behind the swatches: nothing when the user cancels.
    std::function<std::optional<TColor>(TColor Current, QWidget* Parent)> ChooseColor;

    QSpinBox* seEdgeWidth;
    QPushButton* stEdgeColor;
    QComboBox* cmbLineStyle;
    QPushButton* stAxesColor;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    void Pick(QPushButton* Swatch);
};

} // namespace kalvex
