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

// The colour scale of the flow lines: the range of speeds along the drawn lines, or
// the range of the openings' velocities the lines were traced with (their stored
// colours, as the results file keeps them).
enum class TSpeedScale : std::uint8_t { Lines, Openings };

// The scale a picture shows and what lies beyond it.
struct TShownScale {
    TSpeedScale Scale = TSpeedScale::Lines;
    double VMin = 0;
    double VMax = 0;
    bool Below = false; // some drawn speeds are slower than VMin
    bool Above = false; // some drawn speeds are faster than VMax
};

class TDrawLines {
public:
    void AddLine(const TColorPointArray& Line);
    void ClearLines();
    void Draw(TDrawSurface& Canvas, int OriginX, double PixelsPerMetre, int OriginY) const;
    // The range of the speeds the lines carry; false when none carries one.
    bool LinesSpeedRange(double& VMin, double& VMax) const;
    // The scale Draw colours by: the lines' own range as asked, unless no line carries
    // speeds; the openings' range OpeningsMin..OpeningsMax otherwise.
    TShownScale ShownScale(double OpeningsMin, double OpeningsMax) const;
    void GetLinesBounds(TRealPoint& TopLeft, TRealPoint& BottomRight) const;
    // Comment is UTF-8; it is written in code page 1251.
    void SaveLinesToStream(TByteWriter& Stream, const std::string& Comment) const;

    int Count = 0;
    double Step = 0.01;
    TColorPointMatr Lines;
    double Scale = 0.004;
    TSpeedScale ColourScale = TSpeedScale::Lines;
};

} // namespace kalvex
