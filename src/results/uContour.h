// Answers on a grid of the solved flow: the velocity at every node (for other tools)
// and the capture-velocity contour, the line where the air speed equals a chosen value.
#pragma once

#include "geometry/uEdges.h"
#include "results/uDrawLines.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kalvex {

class TCountEdges;

// Dark green: apart from the blue-to-magenta flow lines and the trajectories.
inline constexpr std::uint32_t ContourColor = 0x00008000;
// A grid side holds at most this many cells (4·10⁶ nodes for the square).
inline constexpr int MaxGridCells = 2000;

// The velocity at the nodes of a NX × NY grid spanning Min..Max (NX, NY ≥ 2), row by
// row from Min.Y up, each row from Min.X. Nodes outside the air hold a zero velocity
// and Air 0.
struct TFieldGrid {
    TRealPoint Min;
    TRealPoint Max;
    int NX = 2;
    int NY = 2;
    std::vector<TRealPoint> V;
    std::vector<std::uint8_t> Air;

    TRealPoint Node(int I, int J) const;
    std::size_t Index(int I, int J) const {
        return static_cast<std::size_t>(J) * static_cast<std::size_t>(NX) +
               static_cast<std::size_t>(I);
    }
};

// A box or grid no computation can use: corners equal in a coordinate or beyond
// MaxCoordinate, counts out of range, a speed not positive.
class TGridParamsError : public TRefusal {
public:
    using TRefusal::TRefusal;
};

// The contour's speed (above 0, at most MaxVelocity) and cell count (1 to MaxGridCells).
void CheckContourParams(double Speed, int Cells);
// A whole count of grid nodes along a side, 2 to MaxGridCells + 1.
int CheckGridNodes(double N);

// Fills Grid (Min, Max, NX, NY set by the caller) from the solved evaluator, Model
// deciding which nodes are in the air. Rows are computed on Evaluator.Threads threads;
// progress (rows done of NY), the event pump and the stop request run on the calling
// thread. False when stopped (the rows after the stop are left at zero, Air 0).
bool SampleField(TCountEdges& Evaluator, const TEdges& Model, TFieldGrid& Grid);

// The velocity at the points (X[K], Y[K]) into VX[K], VY[K], as the evaluator gives it at
// one point, solving first when needed: blocks of points on Evaluator.Threads threads,
// the event pump and the stop request between blocks on the calling thread. A point
// on an element's end, where the velocity is undefined, gets NaN. Throws
// TGridParamsError on spans of unequal length or a point not finite or beyond
// MaxCoordinate. False when stopped (the blocks not reached hold NaN).
bool VelocitiesAt(TCountEdges& Evaluator, std::span<const double> X, std::span<const double> Y,
                  std::span<double> VX, std::span<double> VY);

struct TContourParams {
    double Speed = 1.0;
    TRealPoint Corner1;
    TRealPoint Corner2;
    // Cells along the longer side of the box; the other side gets cells of about the
    // same size.
    int Cells = 200;
};

// The model's bounds widened by a tenth of their larger side on every side (1 m
// around the origin for an empty model).
void DefaultContourBox(const TEdges& Model, TRealPoint& Min, TRealPoint& Max);

struct TContourOutcome {
    int Lines = 0;
    std::size_t Points = 0;
    bool Stopped = false;
    // With no line: the grid nodes in the air and the range of their speeds.
    std::size_t AirNodes = 0;
    double MinSpeed = 0;
    double MaxSpeed = 0;
};

// The polylines where |V| = P.Speed inside the box: marching squares on the sampled
// speed, each crossing of a cell edge refined by bisection on the computed speed, the
// pieces with an end outside the air or across a boundary dropped, the rest joined
// (a closed contour repeats its first point at the end). Sampling and refinement run
// as SampleField does; progress counts both passes (2·rows). Appends the lines to
// Store in ContourColor. Throws TGridParamsError on a bad box, cell count or speed.
TContourOutcome BuildSpeedContour(TCountEdges& Evaluator, const TEdges& Model, TDrawLines& Store,
                                  const TContourParams& P);

} // namespace kalvex
