// A point of a result line with the colour of the step that reached it.
#pragma once

#include "base/uRealPoint.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace kalvex {

struct TColorPoint {
    std::uint32_t Color = 0; // 0x00BBGGRR; point 0's colour is never drawn
    TRealPoint Position;
    // The air speed of the step, m/s, for recolouring on another scale; NaN where the
    // colour means no speed (particles, contours, lines read from a file).
    float Speed = std::numeric_limits<float>::quiet_NaN();
};

using TColorPointArray = std::vector<TColorPoint>;
using TColorPointMatr = std::vector<TColorPointArray>;

} // namespace kalvex
