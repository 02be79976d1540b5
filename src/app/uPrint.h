// "Файл" › "Печать...": the picture the results are saved as, on paper, after a preview.
#pragma once

#include "canvas/uPaintEdges.h"

#include <cstdint>
#include <vector>

class QPrinter;
class QWidget;

namespace kalvex {

class TDocument;

// Draws the SVG picture of Size pixels on one page of Printer, as large as the page
// allows without changing its proportions. False when the printer cannot be drawn on.
bool PrintPicture(const std::vector<std::uint8_t>& Svg, TPictureSize Size, QPrinter& Printer);
// The system's picture (with the results in modelling) in Qt's print preview.
void ShowPrintPreview(const TDocument& Doc, QWidget* Parent);

} // namespace kalvex
