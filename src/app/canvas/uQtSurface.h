// The drawing seam on a QImage through QPainter: the canvas's off-screen buffer and
// the image that mirrors the screen. A painter is opened on the first call and kept
// until End(), which the owner calls before it reads, copies or resizes the image.
#pragma once

#include "base/uDrawSurface.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include <memory>

namespace kalvex {

class TQtImageSurface final : public TDrawSurface {
public:
    explicit TQtImageSurface(QImage& Target) : Image(Target) {}
    ~TQtImageSurface() override;
    TQtImageSurface(const TQtImageSurface&) = delete;
    TQtImageSurface& operator=(const TQtImageSurface&) = delete;

    void End();
    void SetFont(const QFont& F) { Font = F; }

    void SetPenColor(TColor Color) override { PenColor = Color; }
    void SetPenStyle(TPenStyle Style) override { PenStyle = Style; }
    void SetPenMode(TPenMode Mode) override { PenMode = Mode; }
    void SetPenWidth(int Width) override { PenWidth = Width; }
    void SetBrushColor(TColor Color) override { BrushColor = Color; }
    void SetBrushStyle(TBrushStyle Style) override { BrushStyle = Style; }
    void SetFontColor(TColor Color) override { FontColor = Color; }

    void MoveTo(int X, int Y) override;
    void LineTo(int X, int Y) override;
    void Polyline(std::span<const TPixel> Points) override;
    void Polygon(std::span<const TPixel> Points) override;
    void Ellipse(int X1, int Y1, int X2, int Y2) override;
    void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override;
    void Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) override;
    void Rectangle(int X1, int Y1, int X2, int Y2) override;
    void TextOut(int X, int Y, const std::string& Text) override;
    TTextSize TextExtent(const std::string& Text) override;

    static QColor ToQColor(TColor C);

private:
    QPainter& Ready(bool Filled);

    QImage& Image;
    std::unique_ptr<QPainter> Painter;
    QFont Font;
    TColor PenColor = 0;
    TPenStyle PenStyle = TPenStyle::psSolid;
    TPenMode PenMode = TPenMode::pmCopy;
    int PenWidth = 1;
    TColor BrushColor = 0xFFFFFF;
    TBrushStyle BrushStyle = TBrushStyle::bsSolid;
    TColor FontColor = 0;
    QPoint PenPos;
};

} // namespace kalvex
