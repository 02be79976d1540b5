// PNG and PDF made from the SVG the core draws, through Qt: shared by the window and
// the command line. Printing draws the same SVG on the printer's page.
#pragma once

#include "canvas/uMetafile.h"
#include "canvas/uPageLayout.h"
#include "canvas/uPaintEdges.h"

#include <QString>

#include <cstdint>
#include <vector>

class QPainter;

namespace kalvex {

// A TPictureConverter. Needs a QGuiApplication (for the fonts); EnsurePictureApp makes
// one, off-screen, where there is none.
std::vector<std::uint8_t> QtConvertPicture(const std::vector<std::uint8_t>& Svg,
                                           TPictureFormat Format, TPictureSize Size, double Dpi,
                                           TPdfPage Page);
void EnsurePictureApp();

// Draws the SVG of a picture of Size pixels on a page of Paper millimetres whose painter
// has DotsPerMm device units to the millimetre, as LayoutPage places it, with Caption
// (when not empty) on the line above. False when the SVG cannot be read.
bool PaintPictureOnPage(QPainter& Painter, double DotsPerMm, const std::vector<std::uint8_t>& Svg,
                        TPictureSize Size, TPaperMm Paper, const QString& Caption = {});

} // namespace kalvex
