#include "canvas/uPageLayout.h"

#include "base/uKalvexError.h"
#include "canvas/uMetafile.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kalvex {

namespace {

constexpr double MmPerInch = 25.4;

} // namespace

TPaperMm PictureMm(TPictureSize Size) {
    return {Size.Width * MmPerInch / MetafileDpi, Size.Height * MmPerInch / MetafileDpi};
}

TPaperMm PaperMm(TPaperKind Paper, TPictureSize Picture) {
    switch (Paper) {
    case TPaperKind::A4:
        return {210, 297};
    case TPaperKind::A3:
        return {297, 420};
    case TPaperKind::Picture:
        break;
    }
    return PictureMm(Picture);
}

bool WantsLandscape(TPictureSize Picture) {
    return Picture.Width > Picture.Height;
}

TPaperMm OrientPaper(TPaperMm Upright, TPaperOrientation Orientation, TPictureSize Picture) {
    const bool Landscape = Orientation == TPaperOrientation::Auto
                               ? WantsLandscape(Picture)
                               : Orientation == TPaperOrientation::Landscape;
    const bool Wide = Upright.Width > Upright.Height;
    if (Landscape != Wide && Upright.Width != Upright.Height)
        std::swap(Upright.Width, Upright.Height);
    return Upright;
}

TPageLayout LayoutPage(TPictureSize Picture, TPaperMm Paper, bool Caption, double Margin) {
    TPageLayout L;
    const double Top = Margin + (Caption ? CaptionHeight + CaptionSpacing : 0);
    const double AreaW = std::max(0.0, Paper.Width - 2 * Margin);
    const double AreaH = std::max(0.0, Paper.Height - Top - Margin);
    if (Caption)
        L.Caption = {Margin, Margin, AreaW, CaptionHeight};
    if (Picture.Width <= 0 || Picture.Height <= 0 || AreaW <= 0 || AreaH <= 0)
        return L;
    const double K = std::min(AreaW / Picture.Width, AreaH / Picture.Height);
    const double W = Picture.Width * K;
    const double H = Picture.Height * K;
    L.Picture = {Margin + (AreaW - W) / 2, Top + (AreaH - H) / 2, W, H};
    return L;
}

double DpiForPixels(int PictureSide, double Side) {
    if (PictureSide <= 0)
        return DefaultPictureDpi;
    double Dpi = Side * MetafileDpi / PictureSide;
    // RasterSize rounds up: a hair over would give a pixel more than asked.
    for (int I = 0; I < 4 && std::ceil(PictureSide * (Dpi / MetafileDpi)) > Side; ++I)
        Dpi = std::nextafter(Dpi, 0.0);
    return Dpi;
}

TPictureSize CheckedPngSize(TPictureSize Picture, std::optional<double> Dpi) {
    if (!Dpi)
        throw TRefusal("Ошибка при вводе параметров", "not a number");
    return RasterSize(Picture, *Dpi);
}

} // namespace kalvex
