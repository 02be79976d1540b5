// Small models for the solver tests.
#pragma once

#include "ModelBuilders.h"
#include "geometry/uEdges.h"
#include "solver/uCountEdges.h"

#include <cmath>
#include <vector>

namespace kalvex::test {

inline double Len(const TEdgeElement& E) {
    return Distance(E.P1, E.P2);
}

} // namespace kalvex::test
