// Small builders of boundary models for the geometry tests.
#pragma once

#include "ModelBuilders.h"

#include <vector>

namespace kalvex::test {

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
