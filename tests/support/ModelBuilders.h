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

// A cylinder: record 0 centre, radius and rotation speed; record 1 the slit.
inline TEdge Cylinder(TRealPoint C, double R, double TurnSpeed, bool Slit = false,
                      double StartDeg = 0.0, double EndDeg = 0.0, double SlitV = 0.0) {
    TEdge E(ekCylinder);
    TEdgeSegment S0;
    S0.P1 = C;
    S0.P2 = {R, 0.0};
    S0.V = TurnSpeed;
    TEdgeSegment S1 = S0;
    S1.P1 = {StartDeg, EndDeg};
    S1.V = SlitV;
    S0.SetHasSlit(Slit);
    E.AddSegment(S0);
    E.AddSegment(S1);
    return E;
}

} // namespace kalvex::test
