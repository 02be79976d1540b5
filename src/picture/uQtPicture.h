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

} // namespace kalvex
