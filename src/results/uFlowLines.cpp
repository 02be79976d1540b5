#include "results/uFlowLines.h"

#include "base/uDrawSurface.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kalvex {

namespace {

// Slow air is blue, fast air magenta.
std::uint32_t SpeedColor(double S, double VMin, double VMax) {
    const double Range = VMax - VMin;
    const double Level = Range == 0 ? (S - VMin) * 255 : (S - VMin) * 255 / Range;
    const int C = std::clamp(RoundEven(std::clamp(Level, -1e6, 1e6)), 0, 255);
    return 0x00FF0000u | static_cast<std::uint32_t>(C);
}

bool Positive(double V) {
    return std::isfinite(V) && V > 0;
}

} // namespace

bool TraceFlowLine(TCountEdges& E, TRealPoint Start, int Direction, TColorPointArray& Line,
                   double VMin, double VMax) {
    E.Stopped = false;
    TRealPoint V = E.Velocity(Start);
    TColorPointArray L;
    L.reserve(100);
    L.push_back({0, Start});
    long long StepsLeft = E.MaxSteps > 0 ? E.MaxSteps : UnlimitedLineSteps;
    const long long PointBound = static_cast<long long>(MaxLinePoints) - 1;
    const bool Bounded = StepsLeft > PointBound;
    StepsLeft = std::min(StepsLeft, PointBound);
    bool Cut = false;
    TRealPoint Current = Start;

    const std::array<TDrawSurface*, 2> Targets{E.Canvas, E.Canvas ? E.BufferCanvas : nullptr};
    auto PixelOf = [&](TRealPoint Q) {
        return TPixel{E.OriginX + ScreenPixel(Q.X / E.Scale),
                      E.OriginY - ScreenPixel(Q.Y / E.Scale)};
    };
    auto DrawTo = [&](TRealPoint Q) {
        const TPixel Px = PixelOf(Q);
        for (TDrawSurface* S : Targets)
            if (S)
                S->LineTo(Px.X, Px.Y);
    };
    if (E.Canvas) {
        const TPixel Px = PixelOf(Start);
        for (TDrawSurface* S : Targets)
            if (S)
                S->MoveTo(Px.X, Px.Y);
    }

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
        for (TDrawSurface* T : Targets)
            if (T)
                T->SetPenColor(Color);
        TRealPoint C = Prev;
        if (Walls.SegmentHitsBoundary(Prev, Next, nullptr, &C)) {
            L.push_back({Color, C});
            DrawTo(C);
            break;
        }
        L.push_back({Color, Next});
        DrawTo(Next);
        V = E.Velocity(Next);
        Current = Next;
        --StepsLeft;
        if (StepsLeft == 0)
            Cut = Bounded;
        if (E.Stopped || StepsLeft == 0)
            break;
        if (I % 50 == 0 && E.ProcessEvents)
            E.ProcessEvents();
    }
    L.shrink_to_fit();
    Line = std::move(L);
    return Cut;
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

    TColorPointArray Line;
    // The model is read by index: tracing never changes it, but this keeps the loop
    // independent of reallocation.
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
                if (TraceFlowLine(E, P - N, D, Line, VMin, VMax))
                    ++Outcome.CutLines;
                Lines.AddLine(Line);
                Stored += Line.size();
                const TRealPoint Before = P;
                P = P + Dir;
                ++Position;
                if (E.ProgressBar)
                    E.ProgressBar(Position, Max);
                if (E.ProcessEvents)
                    E.ProcessEvents();
                if (E.Stopped)
                    return Outcome;
                if (Stored >= MaxStorePoints) {
                    Outcome.StoreFull = true;
                    return Outcome;
                }
                // An interval lost in rounding would never leave the opening.
                if (P.X == Before.X && P.Y == Before.Y)
                    break;
            }
        }
    }
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
    if (!Positive(Interval) || !Positive(Step) || !Positive(Length))
        throw TBuildParamsError();
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
    if (!Positive(Step) || !Positive(Length))
        throw TBuildParamsError();
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
