// Small models built in code for the search tests.
#pragma once

#include "ModelBuilders.h"
#include "geometry/uEdges.h"

#include <array>

namespace kalvex::test {

// Rectangle (X1, Y1)-(X2, Y2) walked bottom, right, top, left with these velocities.
inline TEdge Rect(TRealPoint A, TRealPoint B, std::array<double, 4> V) {
    const TRealPoint P[4] = {{A.X, A.Y}, {B.X, A.Y}, {B.X, B.Y}, {A.X, B.Y}};
    TEdge E(ekClosed);
    for (int I = 0; I < 4; ++I)
        E.AddSegment(Seg(P[I], P[(I + 1) % 4], V[static_cast<std::size_t>(I)]));
    return E;
}

// Semi-infinite chain A-B-C-D; the middle segment B-C carries V.
inline TEdge Semi3(TRealPoint A, TRealPoint B, TRealPoint C, TRealPoint D, double V) {
    TEdge E(ekSemiInfinite);
    E.AddSegment(Seg(A, B, 0));
    E.AddSegment(Seg(B, C, V));
    E.AddSegment(Seg(C, D, 0));
    return E;
}

} // namespace kalvex::test
