// Small models for the tracing tests, discretised and solved by the real solver.
#pragma once

#include "ModelBuilders.h"
#include "geometry/uEdges.h"
#include "solver/uCountEdges.h"

#include <vector>

namespace kalvex::test {

// Closed region through Pts; V[i] belongs to the segment that starts at Pts[i].
inline TEdge ClosedOf(const std::vector<TRealPoint>& Pts, const std::vector<double>& V) {
    TEdge E(ekClosed);
    for (std::size_t I = 0; I < Pts.size(); ++I)
        E.AddSegment(Seg(Pts[I], Pts[(I + 1) % Pts.size()], V[I]));
    return E;
}

// A square box 2 m by 2 m, walls only unless floor/roof velocities are given: the air
// stands still when all are 0. Clockwise, so the air is inside.
inline TEdges Box(double VFloor = 0.0, double VRoof = 0.0) {
    TEdges M;
    M.Add(ClosedOf({{0, 0}, {0, 2}, {2, 2}, {2, 0}}, {0.0, VRoof, 0.0, VFloor}));
    return M;
}

// A slot of width W sucking at 1 m/s in a long wall along the X axis; air above.
inline TEdges Slot(double W = 0.1) {
    TEdges M;
    TEdge E(ekSemiInfinite);
    E.AddSegment(Seg({1.0, 0.0}, {W / 2, 0.0}));
    E.AddSegment(Seg({W / 2, 0.0}, {-W / 2, 0.0}, 1.0));
    E.AddSegment(Seg({-W / 2, 0.0}, {-1.0, 0.0}));
    M.Add(E);
    return M;
}

// A cylinder of radius R turning with surface speed V, alone in the plane.
inline TEdges FreeCylinder(double R = 0.1, double V = 1.0) {
    TEdges M;
    TEdge E(ekCylinder);
    TEdgeSegment S0 = Seg({0, 0}, {R, 0}, V);
    TEdgeSegment S1 = Seg({0, 0}, {R, 0}, 0.0);
    S0.SetHasSlit(false);
    E.AddSegment(S0);
    E.AddSegment(S1);
    M.Add(E);
    return M;
}

// A floor with a cylinder of radius 0.2 above it, turning at 1 m/s, with a slit from
// 240 to 300 degrees sucking at 2 m/s.
inline TEdges SlitCylinder() {
    TEdges M;
    TEdge F(ekSemiInfinite);
    F.AddSegment(Seg({2.0, 0.0}, {0.5, 0.0}));
    F.AddSegment(Seg({0.5, 0.0}, {-0.5, 0.0}));
    F.AddSegment(Seg({-0.5, 0.0}, {-2.0, 0.0}));
    M.Add(F);
    TEdge C(ekCylinder);
    TEdgeSegment S0 = Seg({0.0, 0.5}, {0.2, 0.0}, 1.0);
    S0.SetHasSlit(true);
    TEdgeSegment S1 = Seg({240.0, 300.0}, {0.2, 0.0}, 2.0);
    C.AddSegment(S0);
    C.AddSegment(S1);
    M.Add(C);
    return M;
}

// Discretises with the dialog's defaults (graded) and solves.
inline void Prepare(TCountEdges& E, const TEdges& M) {
    E.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    E.ClearIntensities();
    E.Solve();
}

} // namespace kalvex::test
