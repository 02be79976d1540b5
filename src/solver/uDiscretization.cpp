#include "solver/uDiscretization.h"

#include "solver/uCountEdges.h"

#include "base/uMessageNumber.h"

#include <cmath>

namespace kalvex {

std::optional<std::string> ElementLengthFault(double Value) {
    if (Value > 0.0 && Value <= MaxCoordinate)
        return std::nullopt;
    return "Длина должна быть больше 0 и не больше 1e6 м (задано " + MessageNumber(Value) + ").";
}

std::optional<std::string> ScalerFault(double Value) {
    if (Value > 0.0 && Value <= MaxSegmentScaler)
        return std::nullopt;
    return "Множитель должен быть больше 0 и не больше " + MessageNumber(MaxSegmentScaler) +
           " (задано " + MessageNumber(Value) + ").";
}

std::optional<std::string> InfiniteCountFault(double Value) {
    if (Value >= 0.0 && Value <= MaxInfiniteCount && Value == std::trunc(Value))
        return std::nullopt;
    return "Количество должно быть целым числом от 0 до " + std::to_string(MaxInfiniteCount) +
           " (задано " + MessageNumber(Value) + ").";
}

double ElementCount(const TEdges& Model, const TDiscretizationSettings& Settings) {
    return PlannedElementCount(Model, Settings.Graded, Settings.InfiniteCount, Settings.Step,
                               Settings.Scaler, Settings.CylStep, Settings.InfiniteScaler);
}

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
