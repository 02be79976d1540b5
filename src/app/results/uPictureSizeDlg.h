// "Размер рисунка": after the name of a PNG or PDF picture is chosen, its resolution
// (or its size in pixels) or the sheet it is laid on.
#pragma once

#include "canvas/uPaintEdges.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kalvex {

class TMessages;

class TfrmPictureSize : public QDialog {
    Q_OBJECT
public:
    TfrmPictureSize(TMessages& Msg, QWidget* Owner);

    // Offers the choice for a picture of Size pixels saved as Format (PNG or PDF),
    // starting from Options; true, with Options changed, when the user accepts.
    bool Choose(TPictureFormat Format, TPictureSize Size, TPictureOptions& Options);

    QGroupBox* gbPng;
    QLineEdit* edDpi;
    QLineEdit* edWidth;
    QLineEdit* edHeight;
    QGroupBox* gbPdf;
    QComboBox* cbPaper;
    QComboBox* cbOrientation;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    void DpiEdited();
    void SideEdited(bool Width);
    // The pixel fields for the resolution Chosen, where it gives a PNG.
    void ShowPixels();
    void Accept();

    TMessages& Msg;
    TPictureFormat FFormat = TPictureFormat::Png;
    TPictureSize FSize;
    // The resolution the fields stand for; nothing while the last one edited is no number.
    std::optional<double> Chosen;
};

} // namespace kalvex
