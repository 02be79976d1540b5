// The two flow-line commands as the dialogs and the CLI run them, after their own
// input checks: the field of lines and a single line; and the tracing they run on the
// evaluator.
#pragma once

#include "geometry/GenFuncs.h"
#include "geometry/uBinaryIO.h"
#include "geometry/uEdges.h"
#include "results/uDrawLines.h"

#include <functional>
#include <string>

namespace kalvex {

class TCountEdges;

// A line that would otherwise have no step limit stops after this many steps: in a
// closed model a line circling a rotating cylinder never ends on its own.
inline constexpr int UnlimitedLineSteps = 100000;

// Step, interval or length not strictly positive.
class TBuildParamsError : public TKalvexError {
public:
    TBuildParamsError()
        : TKalvexError("Параметры построения должны\rбыть положительными числами") {}
};

// The bounds of a line's step and of a field's lines: finer steps or more lines only
// stall the window; a coarser step leaves the model in one stride.
inline constexpr double MinLineStep = 1e-9;   // m
inline constexpr double MaxLineStep = 1000.0; // m
inline constexpr const char* LineStepRangeText = "from 1e-9 to 1000 m";
inline constexpr int MaxFieldLines = 100000;

// Refuses a step or length that is not positive (TBuildParamsError) and a step beyond
// MinLineStep..MaxLineStep (TRefusal).
void CheckLineParams(double Step, double Length);
// Also refuses an interval that is not positive, or one that would start more than
// MaxFieldLines lines, or none at all while openings are there, on the elements of
// Evaluator.
void CheckFieldParams(const TCountEdges& Evaluator, double Interval, double Step, double Length,
                      bool FromSinks);

// Optional notifications of a build: the status line and a repaint of the canvas.
struct TBuildHooks {
    std::function<void(const std::string&)> Status;
    std::function<void()> Repaint;
};

// The colour of a flow line's step at speed S: blue at VMin (and below), magenta at
// VMax (and above), the red part growing in 256 levels between.
std::uint32_t SpeedColor(double S, double VMin, double VMax);

// One flow line from Start, with the flow (Direction 1) or against it (-1), coloured by
// the speed within VMin..VMax; it ends on a wall, after Evaluator.MaxSteps steps (when
// positive), at MaxLinePoints points, or on Evaluator.StopBuilding. Drawn on the
// evaluator's canvases as it goes. True when the point bound ended it.
bool TraceFlowLine(TCountEdges& Evaluator, TRealPoint Start, int Direction, TColorPointArray& Line,
                   double VMin, double VMax);
// The number of lines BuildFlowLines traces: one every LineInterval along each opening
// whose velocity has the sign against Direction.
int CountFlowLines(const TCountEdges& Evaluator, int Direction);
// How a field of lines ended: lines cut at MaxLinePoints, and whether the store reached
// MaxStorePoints (the lines after that point were not traced).
struct TLinesOutcome {
    int CutLines = 0;
    bool StoreFull = false;
};

// Traces the field of lines of the solved evaluator into Lines (from the sinks, against
// the flow, or from the sources), reporting progress and pumping events. With more than
// one thread (Evaluator.Threads) the lines are traced side by side and handed to Lines,
// the progress bar and the canvases in seed order on the calling thread, the same
// lines point for point; a stop request then takes effect between lines. The field
// ends once Lines holds MaxStorePoints points.
TLinesOutcome BuildFlowLines(TCountEdges& Evaluator, TDrawLines& Lines, bool FromSinks);

// MaxSteps for a line of the given length: Round(Length / Step), at least 1, when
// Limited; otherwise 0 (no limit).
int FlowLineMaxSteps(double Length, double Step, bool Limited);

// Field of flow lines: sets MaxSteps (length limit only with a semi-infinite region),
// LineInterval and LineStep, solves when needed, replaces the stored lines and traces
// the field. The caller sets ProgressBar and the origin on the evaluator.
// Throws TBuildParamsError unless Interval, Step and Length are positive.
TLinesOutcome BuildFieldOfLines(TCountEdges& Evaluator, const TEdges& Model, TDrawLines& Store,
                                double Interval, double Step, double Length, bool FromSinks,
                                const TBuildHooks& Hooks = {});

// Single flow line from Start, with the flow (ToSink) or against it, coloured by the
// velocity range of Model (the user's model); the length limit applies with a rotating
// cylinder or a semi-infinite region. The line is appended to Store; true when it was
// cut at MaxLinePoints. Throws TBuildParamsError unless Step and Length are positive.
bool BuildSingleLine(TCountEdges& Evaluator, const TEdges& Model, TDrawLines& Store,
                     TRealPoint Start, double Step, double Length, bool ToSink,
                     const TBuildHooks& Hooks = {});

} // namespace kalvex
