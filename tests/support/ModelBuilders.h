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

// A boundary of either kind through the points: Polygon for ekClosed, else Chain.
inline TEdge Chain(TEdgeKind Kind, const std::vector<TRealPoint>& Pts,
                   const std::vector<double>& Vs = {}) {
    return Kind == ekClosed ? Polygon(Pts, Vs) : Chain(Pts, Vs);
}

// A cylinder: record 0 holds the centre C, the radius R and the surface speed Turn,
// record 1 the slit from A1 to A2 degrees sucking at SlitV (used only with Slit).
inline TEdge Cylinder(TRealPoint C, double R, double Turn = 0.0, bool Slit = false, double A1 = 0.0,
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

inline TEdges ModelOf(std::vector<TEdge> Edges) {
    TEdges M;
    for (auto& E : Edges)
        M.Add(std::move(E));
    return M;
}

// A flanged slot of width B sucking at V in a wall along y = 0 (air above), as a
// semi-infinite region whose end segments give the directions of the tails.
inline TEdge FlangedSlotWall(double B, double V) {
    return Chain({{1.0, 0.0}, {B / 2, 0.0}, {-B / 2, 0.0}, {-1.0, 0.0}}, {0.0, V, 0.0});
}

inline TEdges FlangedSlot(double B, double V) {
    return ModelOf({FlangedSlotWall(B, V)});
}

} // namespace kalvex::test
