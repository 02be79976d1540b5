// The picture export: the boundaries and the result lines as a metafile sized to fit
// them, with a margin of 15 pixels.
#include "canvas/uMetafile.h"
#include "canvas/uPaintEdges.h"
#include "geometry/uBinaryIO.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kalvex {

bool IsWmfName(const std::string& FileName) {
    if (FileName.size() < 4)
        return false;
    std::string Ext = FileName.substr(FileName.size() - 4);
    std::transform(Ext.begin(), Ext.end(), Ext.begin(),
                   [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
    return Ext == ".wmf";
}

TPictureSize TEdgesCanvas::ExportMetafile(const std::string& FileName) {
    std::vector<std::uint8_t> Bytes;
    const TPictureSize Size = RenderMetafile(IsWmfName(FileName), Bytes);
    WriteFileAtomic(FileName, Bytes);
    return Size;
}

TPictureSize TEdgesCanvas::RenderMetafile(bool Wmf, std::vector<std::uint8_t>& Bytes) {
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
        Wmf ? CreateWmfSurface(Size.Width, Size.Height) : CreateEmfSurface(Size.Width, Size.Height);

    // The view and the target come back whatever happens below.
    struct TRestore {
        TEdgesCanvas& Canvas;
        TPixel Origin;
        ~TRestore() {
            Canvas.Origin = Origin;
            Canvas.Target = Canvas.BufferCanvas();
        }
    } Restore{*this, Origin};

    Origin = {15 - RoundEven(MinX / Scale), Size.Height - 15 + RoundEven(MinY / Scale)};
    Target = Surface.get();
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
                           std::vector<std::uint8_t>& Bytes) {
    TEdgesCanvas Canvas;
    Edges.CopyTo(Canvas.Edges);
    Canvas.DrawLines = Lines;
    Canvas.SetScale(Scale);
    Canvas.DrawLines.Scale = Scale;
    // As the window exports it: in modelling mode, without names.
    Canvas.SetEditEnabled(false);
    return Canvas.RenderMetafile(Wmf, Bytes);
}

TPictureSize ExportPicture(const TEdges& Edges, const TDrawLines& Lines, double Scale,
                           const std::string& FileName) {
    std::vector<std::uint8_t> Bytes;
    const TPictureSize Size = RenderPicture(Edges, Lines, Scale, IsWmfName(FileName), Bytes);
    WriteFileAtomic(FileName, Bytes);
    return Size;
}

} // namespace kalvex
