// PNG and PDF made from the SVG the core draws, through Qt: shared by the window and
// the command line.
#pragma once

#include "canvas/uMetafile.h"
#include "canvas/uPaintEdges.h"

#include <cstdint>
#include <vector>

namespace kalvex {

// A TPictureConverter. Needs a QGuiApplication (for the fonts); EnsurePictureApp makes
// one, off-screen, where there is none.
std::vector<std::uint8_t> QtConvertPicture(const std::vector<std::uint8_t>& Svg,
                                           TPictureFormat Format, TPictureSize Size, double Dpi);
void EnsurePictureApp();

// The page of a PDF: the picture's own size, or a sheet of paper it is fitted on.
enum class TPdfPage : std::uint8_t { Picture, A4, A3 };
std::vector<std::uint8_t> QtConvertPicture(const std::vector<std::uint8_t>& Svg,
                                           TPictureFormat Format, TPictureSize Size, double Dpi,
                                           TPdfPage Page);
// QtConvertPicture with PDFs on Page.
TPictureConverter PictureConverter(TPdfPage Page);

} // namespace kalvex
