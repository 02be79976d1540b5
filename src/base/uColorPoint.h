// A point of a result line with the colour of the step that reached it.
#pragma once

#include "base/uRealPoint.h"

#include <cstdint>
#include <vector>

namespace kalvex {

struct TColorPoint {
    std::uint32_t Color = 0; // 0x00BBGGRR; point 0's colour is never drawn
    TRealPoint Position;
};

using TColorPointArray = std::vector<TColorPoint>;
using TColorPointMatr = std::vector<TColorPointArray>;

} // namespace kalvex
