#include "solver/uDiscretization.h"

#include "solver/uCountEdges.h"

namespace kalvex {

void Discretize(TEdgeElements& Elements, const TEdges& Model,
                const TDiscretizationSettings& Settings) {
    if (Settings.Graded)
        Elements.DiscretizeGraded(Model, Settings.InfiniteCount, Settings.Step, Settings.Scaler,
                                  Settings.CylStep, Settings.InfiniteScaler);
    else
        Elements.DiscretizeEqual(Model, Settings.InfiniteCount, Settings.Step,
                                 Settings.InfiniteScaler);
}

} // namespace kalvex
