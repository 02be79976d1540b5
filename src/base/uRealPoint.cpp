#include "base/uRealPoint.h"

#include <climits>
#include <cmath>

namespace kalvex {

int RoundEven(double X) {
    // Out-of-range values saturate instead of converting with undefined behaviour.
    if (std::isnan(X))
        return 0;
    const double R = std::nearbyint(X);
    if (R >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (R <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(R);
}

} // namespace kalvex
