// A contour, a field of flow lines or a capture efficiency that found nothing says so
// and why, in the window's words and in the command line's.
#pragma once

#include "geometry/uEdges.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kalvex {

struct TNothingFound {
    std::string Russian;
    std::string English;
};

// What the computation was asked and what it met.
struct TEmptyRun {
    enum TKind : std::uint8_t { Contour, FlowLines, Efficiency };
    TKind Kind = Contour;
    // Contour: the speed asked for, the grid nodes in the air and their speed range.
    double Speed = 0;
    std::size_t AirNodes = 0;
    double MinSpeed = 0;
    double MaxSpeed = 0;
    // Field of flow lines: seeded on the suction openings (else on the inflows).
    bool FromSinks = true;
    // Efficiency: start points in the air.
    int Started = 0;
};

struct TContourOutcome;
struct TEfficiencyOutcome;
struct TEfficiencyParams;
// The run of a contour that found no line.
TEmptyRun ContourRun(const TContourOutcome& Outcome, double Speed);
// The run of an efficiency that caught nothing, or none when some particle was caught.
std::optional<TEmptyRun> EfficiencyRun(const TEfficiencyOutcome& Outcome,
                                       const TEfficiencyParams& Params, const TEdges& Model);

// Why nothing was found; a boundary whose air side faces nothing (AirSideFaults) is
// named as the likely cause. Number writes speeds (the window's notation).
TNothingFound NothingFound(const TEdges& Model, const TEmptyRun& Run,
                           const std::function<std::string(double)>& Number = {});

} // namespace kalvex
