// Small builders of boundary models shared by the test programs.
#pragma once

#include "geometry/uEdges.h"

#include <vector>

namespace kalvex::test {

inline TEdgeSegment Seg(TRealPoint P1, TRealPoint P2, double V = 0.0) {
    TEdgeSegment S;
    S.P1 = P1;
    S.P2 = P2;
    S.V = V;
    return S;
}

// Closed polygon through Pts; Vs[i] is the velocity of the segment leaving Pts[i].
inline TEdge Polygon(const std::vector<TRealPoint>& Pts, const std::vector<double>& Vs = {}) {
    TEdge E(ekClosed);
    for (std::size_t I = 0; I < Pts.size(); ++I)
        E.AddSegment(Seg(Pts[I], Pts[(I + 1) % Pts.size()], I < Vs.size() ? Vs[I] : 0.0));
    return E;
}

// Semi-infinite chain through Pts; Vs[i] belongs to the segment leaving Pts[i].
inline TEdge Chain(const std::vector<TRealPoint>& Pts, const std::vector<double>& Vs = {}) {
    TEdge E(ekSemiInfinite);
    for (std::size_t I = 0; I + 1 < Pts.size(); ++I)
        E.AddSegment(Seg(Pts[I], Pts[I + 1], I < Vs.size() ? Vs[I] : 0.0));
    return E;
}

} // namespace kalvex::test
