// The picture export: the boundaries and the result lines as a metafile sized to fit
// them, with a margin of 15 pixels.
#include "base/uKalvexError.h"
#include "canvas/uMetafile.h"
#include "canvas/uPaintEdges.h"
#include "geometry/uBinaryIO.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kalvex {

bool IsWmfName(const std::string& FileName) {
    return PictureFormatOf(FileName) == TPictureFormat::Wmf;
}

TPictureFormat PictureFormatOf(const std::string& FileName) {
    if (FileName.size() < 4)
        return TPictureFormat::Emf;
    std::string Ext = FileName.substr(FileName.size() - 4);
    std::transform(Ext.begin(), Ext.end(), Ext.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    if (Ext == ".wmf")
        return TPictureFormat::Wmf;
    if (Ext == ".svg")
        return TPictureFormat::Svg;
    if (Ext == ".png")
        return TPictureFormat::Png;
    if (Ext == ".pdf")
        return TPictureFormat::Pdf;
    return TPictureFormat::Emf;
}

void CheckPictureDpi(double Dpi) {
    if (!(Dpi >= MinPictureDpi && Dpi <= MaxPictureDpi))
        throw TRefusal("Разрешение должно быть от 24 до 1200 точек на дюйм",
                       "the resolution must be from 24 to 1200 dots per inch");
}

bool IsPictureScale(double Scale) {
    return Scale > 0 && std::isfinite(Scale);
}

TPictureSize RasterSize(TPictureSize Size, double Dpi) {
    CheckPictureDpi(Dpi);
    const double K = Dpi / MetafileDpi;
    const double W = std::ceil(Size.Width * K);
    const double H = std::ceil(Size.Height * K);
    if (W > MaxRasterSide || H > MaxRasterSide)
        throw TRefusal("Рисунок слишком велик для этого разрешения",
                       "the picture is too large for this resolution");
    return {std::max(1, static_cast<int>(W)), std::max(1, static_cast<int>(H))};
}

TPictureSize TEdgesCanvas::ExportMetafile(const std::string& FileName) {
    std::vector<std::uint8_t> Bytes;
    const TPictureSize Size = RenderMetafile(IsWmfName(FileName), Bytes);
    WriteFileAtomic(FileName, Bytes);
    return Size;
}

TPictureSize TEdgesCanvas::RenderMetafile(bool Wmf, std::vector<std::uint8_t>& Bytes) {
    return RenderVector(Wmf ? TPictureFormat::Wmf : TPictureFormat::Emf, Bytes);
}

TPictureSize TEdgesCanvas::RenderVector(TPictureFormat Format, std::vector<std::uint8_t>& Bytes) {
    // The extent of the model, widened by the result lines. Without either the
    // picture is just the margin.
    const double Nan = std::nan("");
    TRealPoint TopLeft{Nan, Nan};
    TRealPoint BottomRight{Nan, Nan};
    Edges.GetBounds(TopLeft, BottomRight);
    bool HaveExtent = !std::isnan(TopLeft.X);
    if (DrawLines.Count >= 1) {
        TRealPoint LinesTopLeft{Nan, Nan};
        TRealPoint LinesBottomRight{Nan, Nan};
        DrawLines.GetLinesBounds(LinesTopLeft, LinesBottomRight);
        if (!std::isnan(LinesTopLeft.X)) {
            if (!HaveExtent) {
                TopLeft = LinesTopLeft;
                BottomRight = LinesBottomRight;
            } else {
                TopLeft.X = std::min(TopLeft.X, LinesTopLeft.X);
                BottomRight.Y = std::min(BottomRight.Y, LinesBottomRight.Y);
                BottomRight.X = std::max(BottomRight.X, LinesBottomRight.X);
                TopLeft.Y = std::max(TopLeft.Y, LinesTopLeft.Y);
            }
            HaveExtent = true;
        }
    }
    if (!HaveExtent) {
        TopLeft = RealPoint(0, 0);
        BottomRight = RealPoint(0, 0);
    }
    const double MinX = TopLeft.X;
    const double MaxX = BottomRight.X;
    const double MinY = BottomRight.Y;
    const double MaxY = TopLeft.Y;
    const double Wd = std::nearbyint((MaxX - MinX) / Scale) + 30;
    const double Hd = std::nearbyint((MaxY - MinY) / Scale) + 30;
    // The enhanced metafile's frame is in hundredths of a millimetre (26.46 per pixel)
    // and 32 bits wide: 1e7 pixels keep it far from wrapping.
    if (!std::isfinite(Wd) || !std::isfinite(Hd) || Wd > 1e7 || Hd > 1e7)
        throw TKalvexError("Рисунок слишком велик");
    const TPictureSize Size{static_cast<int>(Wd), static_cast<int>(Hd)};

    std::unique_ptr<TMetafileSurface> Surface =
        Format == TPictureFormat::Wmf   ? CreateWmfSurface(Size.Width, Size.Height)
        : Format == TPictureFormat::Emf ? CreateEmfSurface(Size.Width, Size.Height)
                                        : CreateSvgSurface(Size.Width, Size.Height);

    // The view and the target come back whatever happens below.
    struct TRestore {
        TEdgesCanvas& Canvas;
        TPixel Origin;
        ~TRestore() {
            Canvas.HatchArea = {};
            Canvas.Origin = Origin;
            Canvas.Target = Canvas.BufferCanvas();
        }
    } Restore{*this, Origin};

    Origin = {15 - RoundEven(MinX / Scale), Size.Height - 15 + RoundEven(MinY / Scale)};
    Target = Surface.get();
    HatchArea = Size;
    Target->SetPenMode(TPenMode::pmCopy);
    Target->SetPenStyle(TPenStyle::psSolid);
    Target->SetPenWidth(1);
    Target->SetBrushStyle(TBrushStyle::bsSolid);
    DrawModel(false);
    DrawLines.Draw(*Target, Origin.X, 1 / Scale, Origin.Y);
    DrawLegendIfShown(Size.Width);
    Bytes = Surface->Finish();
    return Size;
}

TPictureSize RenderPicture(const TEdges& Edges, const TDrawLines& Lines, double Scale, bool Wmf,
                           std::vector<std::uint8_t>& Bytes,
                           const std::function<std::string(double)>& Legend) {
    return RenderPicture(Edges, Lines, Scale, Wmf ? TPictureFormat::Wmf : TPictureFormat::Emf,
                         Bytes, Legend);
}

TPictureSize RenderPicture(const TEdges& Edges, const TDrawLines& Lines, double Scale,
                           TPictureFormat Format, std::vector<std::uint8_t>& Bytes,
                           const std::function<std::string(double)>& Legend) {
    TEdgesCanvas Canvas;
    Edges.CopyTo(Canvas.Edges);
    Canvas.DrawLines = Lines;
    Canvas.SetScale(Scale);
    Canvas.DrawLines.Scale = Scale;
    // As the window exports it: in modelling mode, without names.
    Canvas.SetEditEnabled(false);
    Canvas.ShowLegend(static_cast<bool>(Legend));
    Canvas.LegendFormat = Legend;
    return Canvas.RenderVector(Format, Bytes);
}

TPictureSize PictureBytes(const TEdges& Edges, const TDrawLines& Lines, double Scale,
                          TPictureFormat Format, std::vector<std::uint8_t>& Bytes,
                          const std::function<std::string(double)>& Legend,
                          const TPictureOptions& Options) {
    const bool Converted = Format == TPictureFormat::Png || Format == TPictureFormat::Pdf;
    if (Converted && !Options.Convert)
        throw TRefusal("Рисунки PNG и PDF в этой сборке не создаются",
                       "PNG and PDF pictures are not made by this build");
    std::vector<std::uint8_t> Drawn;
    const TPictureSize Size = RenderPicture(Edges, Lines, Scale, Format, Drawn, Legend);
    if (!Converted) {
        Bytes = std::move(Drawn);
        return Size;
    }
    if (Format == TPictureFormat::Png)
        RasterSize(Size, Options.Dpi);
    Bytes = Options.Convert(Drawn, Format, Size, Options.Dpi, Options.Page);
    if (Bytes.empty())
        throw TKalvexError("Не удалось создать рисунок");
    return Size;
}

TPictureSize ExportPicture(const TEdges& Edges, const TDrawLines& Lines, double Scale,
                           const std::string& FileName,
                           const std::function<std::string(double)>& Legend,
                           const TPictureOptions& Options) {
    std::vector<std::uint8_t> Bytes;
    const TPictureSize Size =
        PictureBytes(Edges, Lines, Scale, PictureFormatOf(FileName), Bytes, Legend, Options);
    WriteFileAtomic(FileName, Bytes);
    return Size;
}

} // namespace kalvex
