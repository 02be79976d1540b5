// Pictures on paper: the printed page and the PDF page the user picks, and the PNG's
// resolution chosen by pixels. Lengths on paper are in millimetres.
#pragma once

#include "canvas/uPaintEdges.h"

#include <optional>

namespace kalvex {

struct TPaperMm {
    double Width = 0;
    double Height = 0;
};

struct TRectMm {
    double X = 0;
    double Y = 0;
    double Width = 0;
    double Height = 0;
};

inline constexpr double PageMargin = 10;    // around the picture and its caption
inline constexpr double CaptionHeight = 8;  // the caption line above the picture
inline constexpr double CaptionSpacing = 2; // between the caption and the picture

// A picture of Size pixels at MetafileDpi, in millimetres.
TPaperMm PictureMm(TPictureSize Size);
// The sheet, upright (A4 210 × 297); for Picture the picture's own size.
TPaperMm PaperMm(TPaperKind Paper, TPictureSize Picture);
bool WantsLandscape(TPictureSize Picture);
// The sheet turned as asked (Auto: as the picture is).
TPaperMm OrientPaper(TPaperMm Upright, TPaperOrientation Orientation, TPictureSize Picture);

struct TPageLayout {
    TRectMm Picture; // fitted inside the margins, its proportions kept, centred
    TRectMm Caption; // empty without a caption
};
// The picture on a sheet of Paper (as turned): inside Margin on every side, below the
// caption line when Caption, as large as fits. A picture with no area gets none.
TPageLayout LayoutPage(TPictureSize Picture, TPaperMm Paper, bool Caption,
                       double Margin = PageMargin);

// The resolution that makes a side of PictureSide pixels Side pixels long in the PNG
// (as RasterSize rounds); DefaultPictureDpi for a side of no length.
double DpiForPixels(int PictureSide, double Side);
// The resolution typed for a PNG: nothing (text that is no number) is refused as an
// input error, the rest by RasterSize's rules; gives the PNG's size.
TPictureSize CheckedPngSize(TPictureSize Picture, std::optional<double> Dpi);

} // namespace kalvex
