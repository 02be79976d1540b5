// Small models for the tracing tests, discretised and solved by the real solver.
#pragma once

#include "ModelBuilders.h"
#include "geometry/uEdges.h"
#include "solver/uCountEdges.h"

#include <vector>

namespace kalvex::test {

// A square box 2 m by 2 m, walls only unless floor/roof velocities are given: the air
// stands still when all are 0. Clockwise, so the air is inside.
inline TEdges Box(double VFloor = 0.0, double VRoof = 0.0) {
    TEdges M;
    M.Add(Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}}, {0.0, VRoof, 0.0, VFloor}));
    return M;
}

// A slot of width W sucking at 1 m/s in a long wall along the X axis; air above.
inline TEdges Slot(double W = 0.1) {
    return FlangedSlot(W, 1.0);
}

// A cylinder of radius R turning with surface speed V, alone in the plane.
inline TEdges FreeCylinder(double R = 0.1, double V = 1.0) {
    return ModelOf({Cylinder({0, 0}, R, V)});
}

// A floor with a cylinder of radius 0.2 above it, turning at 1 m/s, with a slit from
// 240 to 300 degrees sucking at 2 m/s.
inline TEdges SlitCylinder() {
    return ModelOf({Chain({{2.0, 0.0}, {0.5, 0.0}, {-0.5, 0.0}, {-2.0, 0.0}}),
                    Cylinder({0.0, 0.5}, 0.2, 1.0, true, 240.0, 300.0, 2.0)});
}

// Discretises with the dialog's defaults (graded) and solves.
inline void Prepare(TCountEdges& E, const TEdges& M) {
    E.Elements.DiscretizeGraded(M, 15, 0.0004, 2.0, 0.1, 1.8);
    E.ClearIntensities();
    E.Solve();
}

} // namespace kalvex::test
