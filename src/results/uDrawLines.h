// The store of result lines (flow lines and particle trajectories).
#pragma once

#include "geometry/GenFuncs.h"
#include "geometry/uBinaryIO.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalvex {

class TDrawSurface;

struct TColorPoint {
    std::uint32_t Color = 0; // 0x00BBGGRR; point 0's colour is never drawn
    TRealPoint Position;
};

using TColorPointArray = std::vector<TColorPoint>;
using TColorPointMatr = std::vector<TColorPointArray>;

class TDrawLines {
public:
    void AddLine(const TColorPointArray& Line);
    void ClearLines();
    void Draw(TDrawSurface& Canvas, int OriginX, double PixelsPerMetre, int OriginY) const;
    void GetLinesBounds(TRealPoint& TopLeft, TRealPoint& BottomRight) const;
    // Comment is UTF-8; it is written in code page 1251.
    void SaveLinesToStream(TByteWriter& Stream, const std::string& Comment) const;

    int Count = 0;
    double Step = 0.01;
    TColorPointMatr Lines;
    double Scale = 0.004;
};

} // namespace kalvex
