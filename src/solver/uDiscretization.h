// The settings of the discretisation dialog, as the command line and the search use
// them, and the discretisation of a model with them.
#pragma once

#include "geometry/uEdges.h"

#include <optional>
#include <string>

namespace kalvex {

class TEdgeElements;

struct TDiscretizationSettings {
    // Graded (element length growing away from corners) or equal elements.
    bool Graded = true;
    // The base element length (--base-length; "step" in a task file).
    double Step = 0.0004;
    double Scaler = 2.0;
    double CylStep = 0.1;
    double InfiniteScaler = 1.8;
    int InfiniteCount = 15;
};

// What one segment's own discretisation settings may hold: lengths and steps above 0
// and at most MaxCoordinate, scalers above 0 and at most MaxSegmentScaler, a tail count
// from 0 to MaxInfiniteCount. Each gives the reason (Russian) a value is refused.
inline constexpr double MaxSegmentScaler = 100.0;
inline constexpr int MaxInfiniteCount = 10000;
std::optional<std::string> ElementLengthFault(double Value);
std::optional<std::string> ScalerFault(double Value);
std::optional<std::string> InfiniteCountFault(double Value);

// The number of elements Discretize would make; throws TDiscretizationError as it would.
double ElementCount(const TEdges& Model, const TDiscretizationSettings& Settings);

// Discretises Model into Elements; throws TDiscretizationError on unusable settings.
// The caller clears the evaluator's intensities.
void Discretize(TEdgeElements& Elements, const TEdges& Model,
                const TDiscretizationSettings& Settings);

} // namespace kalvex
