// Small models for the solver tests.
#pragma once

#include "ModelBuilders.h"
#include "geometry/uEdges.h"
#include "solver/uCountEdges.h"

#include <cmath>
#include <vector>

namespace kalvex::test {

// A boundary through the points; closed regions return to the first point.
inline TEdge Chain(TEdgeKind Kind, const std::vector<TRealPoint>& Pts,
                   const std::vector<double>& Vs = {}) {
    TEdge E(Kind);
    const std::size_t N = Kind == ekClosed ? Pts.size() : Pts.size() - 1;
    for (std::size_t I = 0; I < N; ++I)
        E.AddSegment(Seg(Pts[I], Pts[(I + 1) % Pts.size()], I < Vs.size() ? Vs[I] : 0.0));
    return E;
}

inline TEdges ModelOf(std::vector<TEdge> Edges) {
    TEdges M;
    for (auto& E : Edges)
        M.Add(std::move(E));
    return M;
}

inline double Len(const TEdgeElement& E) {
    return Distance(E.P1, E.P2);
}

// A flanged slot of width B sucking at V in a wall along y = 0 (air above), as a
// semi-infinite region whose end segments give the directions of the tails.
inline TEdge FlangedSlotWall(double B, double V) {
    return Chain(ekSemiInfinite, {{1.0, 0.0}, {B / 2, 0.0}, {-B / 2, 0.0}, {-1.0, 0.0}},
                 {0.0, V, 0.0});
}

inline TEdges FlangedSlot(double B, double V) {
    return ModelOf({FlangedSlotWall(B, V)});
}

} // namespace kalvex::test
