// The store of result lines (flow lines and particle trajectories).
#pragma once

#include "base/uColorPoint.h"
#include "geometry/GenFuncs.h"
#include "geometry/uBinaryIO.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalvex {

class TDrawSurface;

// Memory bounds of the result lines: a line ends (and says so) at MaxLinePoints
// points; a field of lines stops once the store holds MaxStorePoints.
inline constexpr std::size_t MaxLinePoints = 1'000'000;
inline constexpr std::size_t MaxStorePoints = 10'000'000;

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
