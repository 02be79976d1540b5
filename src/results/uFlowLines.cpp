#include "results/uFlowLines.h"

#include "base/uDrawSurface.h"
#include "base/uMessageNumber.h"
#include "base/uParallel.h"
#include "geometry/uInputChecks.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <vector>

namespace kalvex {

std::uint32_t SpeedColor(double S, double VMin, double VMax) {
    const double Range = VMax - VMin;
    const double Level = Range == 0 ? (S - VMin) * 255 : (S - VMin) * 255 / Range;
    const int C = std::clamp(RoundEven(std::clamp(Level, -1e6, 1e6)), 0, 255);
    return 0x00FF0000u | static_cast<std::uint32_t>(C);
}

namespace {

bool Positive(double V) {
    return std::isfinite(V) && V > 0;
}

} // namespace

namespace {

std::array<TDrawSurface*, 2> Targets(const TCountEdges& E) {
    return {E.Canvas, E.Canvas ? E.BufferCanvas : nullptr};
}

TPixel PixelOf(const TCountEdges& E, TRealPoint Q) {
    return {E.OriginX + ScreenPixel(Q.X / E.Scale), E.OriginY - ScreenPixel(Q.Y / E.Scale)};
}

// The line from Start; OnPoint(Color, Point) sees every point after the first as it is
// reached, Interrupt(I) after step I says whether to end the line there; Cut tells
// whether MaxLinePoints ended it. Reads the evaluator only, so lines can be traced side
// by side.
template <class TOnPoint, class TInterrupt>
TColorPointArray TraceLine(const TCountEdges& E, TRealPoint Start, int Direction, double VMin,
                           double VMax, TOnPoint&& OnPoint, TInterrupt&& Interrupt, bool& Cut) {
    TRealPoint V = E.Velocity(Start);
    TColorPointArray L;
    L.reserve(100);
    L.push_back({0, Start});
    long long StepsLeft = E.MaxSteps > 0 ? E.MaxSteps : UnlimitedLineSteps;
    const long long PointBound = static_cast<long long>(MaxLinePoints) - 1;
    const bool Bounded = StepsLeft > PointBound;
    StepsLeft = std::min(StepsLeft, PointBound);
    Cut = false;
    TRealPoint Current = Start;
    const TEdges& Walls = E.Elements.Edges;
    for (long long I = 1;; ++I) {
        const TRealPoint Prev = Current;
        const double S = std::sqrt(V.X * V.X + V.Y * V.Y);
        // Where the air stands still (or the velocity cannot be computed) the step has
        // no direction: the line ends at the point it reached.
        if (!(S > 0) || !std::isfinite(S))
            break;
        const TRealPoint Next{Prev.X + Direction * E.LineStep * V.X / S,
                              Prev.Y + Direction * E.LineStep * V.Y / S};
        const std::uint32_t Color = SpeedColor(S, VMin, VMax);
        TRealPoint C = Prev;
        if (Walls.SegmentHitsBoundary(Prev, Next, nullptr, &C)) {
            L.push_back({Color, C, static_cast<float>(S)});
            OnPoint(Color, C);
            break;
        }
        L.push_back({Color, Next, static_cast<float>(S)});
        OnPoint(Color, Next);
        V = E.Velocity(Next);
        Current = Next;
        --StepsLeft;
        if (StepsLeft == 0)
            Cut = Bounded;
        if (StepsLeft == 0 || Interrupt(I))
            break;
    }
    L.shrink_to_fit();
    return L;
}

// Returns the pixel the pen stands on.
TPixel StartDrawing(const TCountEdges& E, TRealPoint Start) {
    const TPixel Px = PixelOf(E, Start);
    for (TDrawSurface* S : Targets(E))
        if (S)
            S->MoveTo(Px.X, Px.Y);
    return Px;
}

// A step that stays on the pen's pixel draws nothing and is left out: with steps finer
// than a pixel, most of a line's calls were such, on the window's own thread.
void DrawStep(const TCountEdges& E, std::uint32_t Color, TRealPoint Q, TPixel& Pen) {
    const TPixel Px = PixelOf(E, Q);
    if (Px.X == Pen.X && Px.Y == Pen.Y)
        return;
    Pen = Px;
    for (TDrawSurface* S : Targets(E)) {
        if (S) {
            S->SetPenColor(Color);
            S->LineTo(Px.X, Px.Y);
        }
    }
}

// A line traced elsewhere, drawn with the same calls as while tracing.
void DrawLine(const TCountEdges& E, const TColorPointArray& Line) {
    if (!E.Canvas || Line.empty())
        return;
    TPixel Pen = StartDrawing(E, Line.front().Position);
    for (std::size_t K = 1; K < Line.size(); ++K)
        DrawStep(E, Line[K].Color, Line[K].Position, Pen);
}

} // namespace

bool TraceFlowLine(TCountEdges& E, TRealPoint Start, int Direction, TColorPointArray& Line,
                   double VMin, double VMax) {
    bool Cut = false;
    E.Stopped = false;
    TPixel Pen{};
    if (E.Canvas)
        Pen = StartDrawing(E, Start);
    TPacedPump Pump(E.ProcessEvents, E.PumpInterval);
    Line = TraceLine(
        E, Start, Direction, VMin, VMax,
        [&](std::uint32_t Color, TRealPoint Q) {
            if (E.Canvas)
                DrawStep(E, Color, Q, Pen);
        },
        [&](long long) {
            Pump();
            return E.Stopped;
        },
        Cut);
    return Cut;
}

namespace {

// The lines of a field at Interval, without bound, and whether there is any opening.
double FieldLineCount(const TCountEdges& E, double Interval, int Direction, bool& Openings) {
    double Total = 0.0;
    Openings = false;
    for (const auto& Edge : E.Elements.Edges.Items) {
        for (const auto& S : Edge.Segments) {
            if (!(S.V * Direction < 0))
                continue;
            const double L = Distance(S.P1, S.P2);
            Openings = Openings || L > 0;
            if (L > Interval / 2)
                Total += std::trunc((L - Interval / 2) / Interval) + 1;
        }
    }
    return Total;
}

} // namespace

void CheckLineParams(double Step, double Length) {
    if (!Positive(Step) || !Positive(Length))
        throw TBuildParamsError();
    if (!(Step >= MinLineStep && Step <= MaxLineStep))
        throw TRefusal("Шаг построения линий тока (" + MessageNumber(Step) +
                           " м) задан некорректно.\rШаг должен лежать в пределах от " +
                           MessageNumber(MinLineStep) + " до " + MessageNumber(MaxLineStep) + " м.",
                       "the step of the lines must be from 1e-09 to 1000 m");
}

void CheckFieldParams(const TCountEdges& Evaluator, double Interval, double Step, double Length,
                      bool FromSinks) {
    if (!Positive(Interval))
        throw TBuildParamsError();
    CheckLineParams(Step, Length);
    bool Openings = false;
    const double N = FieldLineCount(Evaluator, Interval, FromSinks ? 1 : -1, Openings);
    if (!(N <= MaxFieldLines))
        throw TRefusal("При интервале между линиями " + MessageNumber(Interval) +
                           " м линий тока было бы слишком много: " + MessageCount(N) +
                           ".\rУвеличьте интервал: линий должно быть не больше " +
                           std::to_string(MaxFieldLines) + ".",
                       "the interval would start " + MessageCount(N) + " lines, more than " +
                           std::to_string(MaxFieldLines) + "; widen it");
    if (Openings && N == 0)
        throw TRefusal("Интервал между линиями (" + MessageNumber(Interval) +
                           " м) больше отверстий системы: ни одна линия тока не будет "
                           "построена.\rУменьшите интервал.",
                       "the interval is wider than every opening: no line would start");
}

int CountFlowLines(const TCountEdges& E, int Direction) {
    if (!Positive(E.LineInterval))
        return 0;
    long long Total = 0;
    for (const auto& Edge : E.Elements.Edges.Items) {
        for (const auto& S : Edge.Segments) {
            if (!(S.V * Direction < 0))
                continue;
            const double L = Distance(S.P1, S.P2);
            if (L > E.LineInterval / 2) {
                const double N = std::trunc((L - E.LineInterval / 2) / E.LineInterval) + 1;
                Total += static_cast<long long>(std::min(N, 1e9));
            }
        }
    }
    return static_cast<int>(std::min<long long>(Total, 2000000000LL));
}

namespace {

// The start of every line of the field, in the order the lines are traced.
std::vector<TRealPoint> FieldSeeds(const TCountEdges& E, int D) {
    std::vector<TRealPoint> Seeds;
    const TEdges& Walls = E.Elements.Edges;
    for (int Ei = 0; Ei < Walls.Count(); ++Ei) {
        for (int Si = 0; Si < Walls.Item(Ei).Count(); ++Si) {
            const TEdgeSegment S = Walls.Item(Ei).GetSegment(Si);
            if (!(S.V * D < 0))
                continue;
            const double L = Distance(S.P1, S.P2);
            if (!(L > 0))
                continue;
            const TRealPoint Dir = (S.P2 - S.P1) / L * E.LineInterval;
            TRealPoint P = S.P1 + Dir / 2;
            // One pixel's length to the right of P1→P2, off the opening.
            const TRealPoint N = TRealPoint{-(S.P2.Y - S.P1.Y), S.P2.X - S.P1.X} / L * E.Scale;
            const double MinX = std::min(S.P1.X, S.P2.X);
            const double MaxX = std::max(S.P1.X, S.P2.X);
            const double MinY = std::min(S.P1.Y, S.P2.Y);
            const double MaxY = std::max(S.P1.Y, S.P2.Y);
            while ((P.X > MinX && P.X < MaxX) || (P.Y > MinY && P.Y < MaxY)) {
                Seeds.push_back(P - N);
                // Every line holds a point at least: the store is full before more.
                if (Seeds.size() >= MaxStorePoints)
                    return Seeds;
                const TRealPoint Before = P;
                P = P + Dir;
                // An interval lost in rounding would never leave the opening.
                if (P.X == Before.X && P.Y == Before.Y)
                    break;
            }
        }
    }
    return Seeds;
}

} // namespace

TLinesOutcome BuildFlowLines(TCountEdges& E, TDrawLines& Lines, bool FromSinks) {
    TLinesOutcome Outcome;
    std::size_t Stored = 0;
    for (const auto& L : Lines.Lines)
        Stored += L.size();
    double VMin = 0;
    double VMax = 0;
    E.Elements.Edges.SpeedRange(VMin, VMax);
    E.Stopped = false;
    const int D = FromSinks ? -1 : 1;
    const int Max = CountFlowLines(E, D);
    int Position = 0;
    if (E.ProgressBar)
        E.ProgressBar(Position, Max);
    Lines.Step = E.LineStep;
    if (!Positive(E.LineInterval))
        return Outcome;

    const std::vector<TRealPoint> Seeds = FieldSeeds(E, D);
    // The window's repaint and events when due, not after every line: a repaint per
    // line kept the window's thread, and so a core, from the tracing for most of a
    // short field.
    TPacedPump Pump(E.ProcessEvents, E.PumpInterval);
    // Store, progress, drawing and the event pump: on this thread, in seed order.
    // The field ends once the store holds MaxStorePoints points.
    const auto Hand = [&](const TColorPointArray& Line, bool Cut) {
        Lines.AddLine(Line);
        Stored += Line.size();
        Outcome.CutLines += Cut ? 1 : 0;
        ++Position;
        if (E.ProgressBar)
            E.ProgressBar(Position, Max);
        Pump();
        if (Stored >= MaxStorePoints)
            Outcome.StoreFull = true;
        return !E.Stopped && !Outcome.StoreFull;
    };

    const int Threads = ThreadCount(E.Threads);
    if (Threads <= 1 || Seeds.size() < 2) {
        TColorPointArray Line;
        for (const TRealPoint Seed : Seeds) {
            const bool Cut = TraceFlowLine(E, Seed, D, Line, VMin, VMax);
            if (!Hand(Line, Cut))
                return Outcome;
        }
        return Outcome;
    }

    // The lines are independent once the system is solved: traced on the workers
    // without drawing, then drawn as they are handed over.
    std::vector<TColorPointArray> Traced(Seeds.size());
    std::vector<std::uint8_t> CutFlags(Seeds.size(), 0);
    const TCountEdges& Shared = E;
    // A stop seen by the pump while a long line is traced ends that line at its
    // next step, not when it is done.
    std::atomic<bool> Halt{false};
    RunInOrder(
        Threads, Seeds.size(),
        [&](std::size_t I, std::stop_token Stop) {
            bool Cut = false;
            Traced[I] = TraceLine(
                Shared, Seeds[I], D, VMin, VMax, [](std::uint32_t, TRealPoint) {},
                [&](long long) {
                    return Stop.stop_requested() || Halt.load(std::memory_order_relaxed);
                },
                Cut);
            CutFlags[I] = Cut ? 1 : 0;
        },
        [&](std::size_t I) {
            DrawLine(E, Traced[I]);
            const bool Go = Hand(Traced[I], CutFlags[I] != 0);
            TColorPointArray().swap(Traced[I]);
            return Go;
        },
        [&] {
            Pump();
            if (E.Stopped)
                Halt = true;
        });
    return Outcome;
}

int FlowLineMaxSteps(double Length, double Step, bool Limited) {
    if (!Limited)
        return 0;
    // A positive length shorter than half a step still means a limited line.
    return std::max(1, RoundEven(Length / Step));
}

TLinesOutcome BuildFieldOfLines(TCountEdges& Evaluator, const TEdges& Model, TDrawLines& Store,
                                double Interval, double Step, double Length, bool FromSinks,
                                const TBuildHooks& Hooks) {
    CheckFieldParams(Evaluator, Interval, Step, Length, FromSinks);
    Evaluator.MaxSteps = FlowLineMaxSteps(Length, Step, Model.HasSemiInfinite());
    Evaluator.LineInterval = Interval;
    Evaluator.LineStep = Step;
    if (Hooks.Status)
        Hooks.Status("Расчет интенсивностей...");
    Evaluator.EnsureSolved();
    if (Hooks.Status)
        Hooks.Status("Построение линий тока...");
    Store.ClearLines();
    if (Hooks.Repaint)
        Hooks.Repaint();
    const TLinesOutcome Outcome = BuildFlowLines(Evaluator, Store, FromSinks);
    if (Hooks.Repaint)
        Hooks.Repaint();
    return Outcome;
}

bool BuildSingleLine(TCountEdges& Evaluator, const TEdges& Model, TDrawLines& Store,
                     TRealPoint Start, double Step, double Length, bool ToSink,
                     const TBuildHooks& Hooks) {
    CheckLineParams(Step, Length);
    CheckPoint(Start);
    Evaluator.MaxSteps =
        FlowLineMaxSteps(Length, Step, Model.HasRotatingCylinder() || Model.HasSemiInfinite());
    Evaluator.LineStep = Step;
    const int D = ToSink ? 1 : -1;
    double VMin = 0;
    double VMax = 0;
    Model.SpeedRange(VMin, VMax);
    if (Hooks.Status)
        Hooks.Status("Расчет интенсивностей...");
    Evaluator.EnsureSolved();
    if (Hooks.Status)
        Hooks.Status("Построение линии тока...");
    TColorPointArray Line;
    const bool Cut = TraceFlowLine(Evaluator, Start, D, Line, VMin, VMax);
    Store.AddLine(Line);
    if (Hooks.Repaint)
        Hooks.Repaint();
    return Cut;
}

} // namespace kalvex
