// Small builders of boundary models for the geometry tests.
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

inline TEdge Chain(const std::vector<TRealPoint>& Pts, const std::vector<double>& Vs = {}) {
    TEdge E(ekSemiInfinite);
    for (std::size_t I = 0; I + 1 < Pts.size(); ++I)
        E.AddSegment(Seg(Pts[I], Pts[I + 1], I < Vs.size() ? Vs[I] : 0.0));
    return E;
}

inline TEdge Cyl(TRealPoint C, double R, double Turn = 0.0, bool Slit = false, double A1 = 0.0,
                 double A2 = 0.0, double SlitV = 0.0) {
    TEdge E(ekCylinder);
    TEdgeSegment S0 = Seg(C, {R, 0.0}, Turn);
    TEdgeSegment S1 = S0;
    S1.P1 = {A1, A2};
    S1.V = SlitV;
    S0.SetHasSlit(Slit);
    E.AddSegment(S0);
    E.AddSegment(S1);
    return E;
}

} // namespace kalvex::test
