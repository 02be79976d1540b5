// Small models built in code for the search tests.
#pragma once

#include "ModelBuilders.h"
#include "geometry/uEdges.h"

#include <array>

namespace kalvex::test {

// Rectangle (X1, Y1)-(X2, Y2) walked bottom, right, top, left with these velocities.
inline TEdge Rect(TRealPoint A, TRealPoint B, std::array<double, 4> V) {
    return Polygon({{A.X, A.Y}, {B.X, A.Y}, {B.X, B.Y}, {A.X, B.Y}}, {V.begin(), V.end()});
}

// Semi-infinite chain A-B-C-D; the middle segment B-C carries V.
inline TEdge Semi3(TRealPoint A, TRealPoint B, TRealPoint C, TRealPoint D, double V) {
    return Chain({A, B, C, D}, {0.0, V, 0.0});
}

} // namespace kalvex::test
