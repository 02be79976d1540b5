// The one drawing seam: the screen, the off-screen buffer, metafiles and the
// recording surface of the tests all implement it. Integer pixels, Y down;
// colours are 0x00BBGGRR.
#pragma once

#include "base/uRealPoint.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>

namespace kalvex {

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clSilver = 0xC0C0C0;

enum class TPenMode : std::uint8_t { pmCopy, pmNotXor };
enum class TPenStyle : std::uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum class TBrushStyle : std::uint8_t { bsSolid, bsClear };

struct TPixel {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPixel&, const TPixel&) = default;
};

struct TTextSize {
    int Width = 0;
    int Height = 0;
};

// A coordinate in pixels, rounded halves to even. Far-away points stay far away but
// bounded, leaving room for sums of a few pixel coordinates (midpoints, centre plus
// radius, mitres) without overflowing int.
inline int ScreenPixel(double V) {
    if (std::isnan(V))
        return 0;
    return RoundEven(std::clamp(V, -5e8, 5e8));
}

class TDrawSurface {
public:
    virtual ~TDrawSurface() = default;

    virtual void SetPenColor(TColor Color) = 0;
    virtual void SetPenStyle(TPenStyle Style) = 0;
    virtual void SetPenMode(TPenMode Mode) = 0;
    virtual void SetPenWidth(int Width) = 0;
    virtual void SetBrushColor(TColor Color) = 0;
    virtual void SetBrushStyle(TBrushStyle Style) = 0;
    virtual void SetFontColor(TColor Color) = 0;

    virtual void MoveTo(int X, int Y) = 0;
    virtual void LineTo(int X, int Y) = 0;
    virtual void Polyline(std::span<const TPixel> Points) = 0;
    // Filled with the brush, outlined with the pen.
    virtual void Polygon(std::span<const TPixel> Points) = 0;
    virtual void Ellipse(int X1, int Y1, int X2, int Y2) = 0;
    // Counter-clockwise from the ray towards (X3, Y3) to the ray towards (X4, Y4),
    // inside the box (X1, Y1)-(X2, Y2). Equal rays give the whole ellipse.
    virtual void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) = 0;
    virtual void Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) = 0;
    virtual void Rectangle(int X1, int Y1, int X2, int Y2) = 0;
    // Text is UTF-8.
    virtual void TextOut(int X, int Y, const std::string& Text) = 0;
    virtual TTextSize TextExtent(const std::string& Text) = 0;
};

} // namespace kalvex
