#include "results/uContour.h"

#include "base/uMessageNumber.h"
#include "base/uParallel.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace kalvex {

TRealPoint TFieldGrid::Node(int I, int J) const {
    return {Min.X + (Max.X - Min.X) * I / (NX - 1), Min.Y + (Max.Y - Min.Y) * J / (NY - 1)};
}

namespace {

void CheckBox(TRealPoint Min, TRealPoint Max) {
    for (const double C : {Min.X, Min.Y, Max.X, Max.Y})
        if (!std::isfinite(C) || std::abs(C) > MaxCoordinate)
            throw TGridParamsError("Область построения должна лежать в пределах ±1e6 м.",
                                   "the box must lie within ±1e6 m");
    if (!(Max.X > Min.X) || !(Max.Y > Min.Y))
        throw TGridParamsError("У области построения должны быть ширина и высота.",
                               "the box must have a width and a height");
}

// Runs Row(J) for J in [0, Rows) on the evaluator's threads; progress Done + J + 1 of
// Max, the event pump and the stop request on this thread. False when stopped.
template <class TRow> bool RunRows(TCountEdges& E, int Rows, int Done, int Max, TRow&& Row) {
    // The window's events when due, not after every row: they take its thread's core.
    TPacedPump Pump(E.ProcessEvents, E.PumpInterval);
    const auto Take = [&](std::size_t J) {
        if (E.ProgressBar)
            E.ProgressBar(Done + static_cast<int>(J) + 1, Max);
        Pump();
        return !E.Stopped;
    };
    const int Threads = ThreadCount(E.Threads);
    if (Threads <= 1) {
        for (int J = 0; J < Rows; ++J) {
            Row(J);
            if (!Take(static_cast<std::size_t>(J)))
                return false;
        }
        return true;
    }
    RunInOrder(
        Threads, static_cast<std::size_t>(Rows),
        [&](std::size_t J, std::stop_token) { Row(static_cast<int>(J)); }, Take, [&] { Pump(); });
    return !E.Stopped;
}

} // namespace

void CheckContourParams(double Speed, int Cells) {
    if (!std::isfinite(Speed) || !(Speed > 0) || Speed > MaxVelocity)
        throw TGridParamsError("Скорость изолинии (" + MessageNumber(Speed) +
                                   " м/с) задана некорректно.\rОна должна быть больше 0 и не "
                                   "больше 1e4 м/с.",
                               "the speed must be positive and at most 1e4 m/s");
    if (Cells < 1 || Cells > MaxGridCells)
        throw TGridParamsError("Число ячеек сетки должно быть от 1 до " +
                                   std::to_string(MaxGridCells) + " (задано " +
                                   std::to_string(Cells) + ").",
                               "the cell count must be from 1 to " + std::to_string(MaxGridCells));
}

int CheckGridNodes(double N) {
    if (N != std::floor(N) || !(N >= 2) || !(N <= MaxGridCells + 1))
        throw TGridParamsError("Число узлов сетки по стороне должно быть целым, от 2 до " +
                                   std::to_string(MaxGridCells + 1) + ".",
                               "expected two whole counts from 2 to " +
                                   std::to_string(MaxGridCells + 1));
    return static_cast<int>(N);
}

bool SampleField(TCountEdges& E, const TEdges& Model, TFieldGrid& Grid) {
    CheckBox(Grid.Min, Grid.Max);
    CheckGridNodes(Grid.NX);
    CheckGridNodes(Grid.NY);
    E.Stopped = false;
    E.EnsureSolved();
    const std::size_t N = static_cast<std::size_t>(Grid.NX) * static_cast<std::size_t>(Grid.NY);
    Grid.V.assign(N, TRealPoint{});
    Grid.Air.assign(N, 0);
    if (E.ProgressBar)
        E.ProgressBar(0, Grid.NY);
    const TCountEdges& Shared = E;
    return RunRows(E, Grid.NY, 0, Grid.NY, [&](int J) {
        // The row's nodes in the air at once: after a solve without the matrix they go
        // through its tree together.
        std::vector<TRealPoint> Points;
        std::vector<std::size_t> Nodes;
        for (int I = 0; I < Grid.NX; ++I) {
            const TRealPoint P = Grid.Node(I, J);
            if (!Model.PointInAir(P))
                continue;
            Points.push_back(P);
            Nodes.push_back(Grid.Index(I, J));
        }
        std::vector<TRealPoint> V(Points.size());
        Shared.Velocities(Points, V);
        for (std::size_t K = 0; K < Points.size(); ++K) {
            // A node on an element's end is no place to read the air from.
            if (!std::isfinite(V[K].X) || !std::isfinite(V[K].Y))
                continue;
            Grid.V[Nodes[K]] = V[K];
            Grid.Air[Nodes[K]] = 1;
        }
    });
}

bool VelocitiesAt(TCountEdges& E, std::span<const double> X, std::span<const double> Y,
                  std::span<double> VX, std::span<double> VY) {
    const std::size_t N = X.size();
    if (Y.size() != N || VX.size() != N || VY.size() != N)
        throw TGridParamsError("Координат X должно быть столько же, сколько координат Y.",
                               "as many x as y coordinates are needed");
    for (std::size_t K = 0; K < N; ++K)
        if (!std::isfinite(X[K]) || !std::isfinite(Y[K]) || std::abs(X[K]) > MaxCoordinate ||
            std::abs(Y[K]) > MaxCoordinate)
            throw TGridParamsError("Координаты точек должны лежать в пределах ±1e6 м (точка " +
                                       std::to_string(K + 1) + ").",
                                   "the points must lie within ±1e6 m");
    E.Stopped = false;
    E.EnsureSolved();
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    std::fill(VX.begin(), VX.end(), NaN);
    std::fill(VY.begin(), VY.end(), NaN);
    // Blocks large enough that handing them over costs nothing against the sums.
    constexpr std::size_t Block = 2048;
    const int Blocks = static_cast<int>((N + Block - 1) / Block);
    const TCountEdges& Shared = E;
    return RunRows(E, Blocks, 0, Blocks, [&](int B) {
        const std::size_t From = static_cast<std::size_t>(B) * Block;
        const std::size_t End = std::min(N, From + Block);
        std::vector<TRealPoint> Points(End - From), V(End - From);
        for (std::size_t K = From; K < End; ++K)
            Points[K - From] = {X[K], Y[K]};
        Shared.Velocities(Points, V);
        for (std::size_t K = From; K < End; ++K) {
            VX[K] = V[K - From].X;
            VY[K] = V[K - From].Y;
        }
    });
}

void DefaultContourBox(const TEdges& Model, TRealPoint& Min, TRealPoint& Max) {
    if (Model.Count() == 0) {
        Min = {-1, -1};
        Max = {1, 1};
        return;
    }
    TRealPoint TopLeft;
    TRealPoint BottomRight;
    Model.GetBounds(TopLeft, BottomRight);
    double Margin = std::max(BottomRight.X - TopLeft.X, TopLeft.Y - BottomRight.Y) / 10;
    if (!(Margin > 0))
        Margin = 1;
    Min = {TopLeft.X - Margin, BottomRight.Y - Margin};
    Max = {BottomRight.X + Margin, TopLeft.Y + Margin};
}

namespace {

// Speed minus the level: the sign tells the side of the contour. Where the speed cannot
// be computed it counts as fast (an element's end, where the speed grows without bound).
double ExcessOf(TRealPoint V, double Level) {
    const double S = std::sqrt(V.X * V.X + V.Y * V.Y);
    return std::isfinite(S) ? S - Level : HUGE_VAL;
}

double Excess(const TCountEdges& E, TRealPoint P, double Level) {
    return ExcessOf(E.Velocity(P), Level);
}

// The crossing between A (Excess FA) and B of the other sign, to a 2⁻⁴⁰ part of AB.
TRealPoint Refine(const TCountEdges& E, TRealPoint A, double FA, TRealPoint B, double Level) {
    const bool AboveA = FA >= 0;
    for (int K = 0; K < 40; ++K) {
        const TRealPoint M = (A + B) / 2.0;
        if ((Excess(E, M, Level) >= 0) == AboveA)
            A = M;
        else
            B = M;
    }
    return (A + B) / 2.0;
}

struct TCrossing {
    long long Edge;
    TRealPoint Point;
    bool Air;
};

} // namespace

TContourOutcome BuildSpeedContour(TCountEdges& E, const TEdges& Model, TDrawLines& Store,
                                  const TContourParams& P) {
    CheckContourParams(P.Speed, P.Cells);
    const TRealPoint Min{std::min(P.Corner1.X, P.Corner2.X), std::min(P.Corner1.Y, P.Corner2.Y)};
    const TRealPoint Max{std::max(P.Corner1.X, P.Corner2.X), std::max(P.Corner1.Y, P.Corner2.Y)};
    CheckBox(Min, Max);
    const double W = Max.X - Min.X;
    const double H = Max.Y - Min.Y;
    const int CX = W >= H ? P.Cells : std::max(1, RoundEven(P.Cells * W / H));
    const int CY = W >= H ? std::max(1, RoundEven(P.Cells * H / W)) : P.Cells;

    TContourOutcome Outcome;
    E.Stopped = false;
    E.EnsureSolved();
    const TCountEdges& Shared = E;
    const double Level = P.Speed;
    TFieldGrid G{Min, Max, CX + 1, CY + 1, {}, {}};
    std::vector<double> F(static_cast<std::size_t>(G.NX) * static_cast<std::size_t>(G.NY));
    const int Max2 = 2 * G.NY;
    if (E.ProgressBar)
        E.ProgressBar(0, Max2);
    if (!RunRows(E, G.NY, 0, Max2, [&](int J) {
            std::vector<TRealPoint> Points(static_cast<std::size_t>(G.NX)), V(Points.size());
            for (int I = 0; I < G.NX; ++I)
                Points[static_cast<std::size_t>(I)] = G.Node(I, J);
            Shared.Velocities(Points, V);
            for (int I = 0; I < G.NX; ++I)
                F[G.Index(I, J)] = ExcessOf(V[static_cast<std::size_t>(I)], Level);
        })) {
        Outcome.Stopped = true;
        return Outcome;
    }
    const auto Above = [&](int I, int J) { return F[G.Index(I, J)] >= 0; };
    // Edge ids: the horizontal edge from node (I, J) to the right, then the vertical
    // edge from node (I, J) up.
    const long long HCount = static_cast<long long>(CX) * (CY + 1);
    const auto HEdge = [&](int I, int J) { return static_cast<long long>(J) * CX + I; };
    const auto VEdge = [&](int I, int J) {
        return HCount + static_cast<long long>(J) * (CX + 1) + I;
    };

    // The crossings of every edge from row J: the horizontal ones in it, the vertical
    // ones up to the next row.
    std::vector<std::vector<TCrossing>> Rows(static_cast<std::size_t>(G.NY));
    const auto Cross = [&](std::vector<TCrossing>& Out, long long Id, int I0, int J0, int I1,
                           int J1) {
        if (Above(I0, J0) == Above(I1, J1))
            return;
        const TRealPoint Q =
            Refine(Shared, G.Node(I0, J0), F[G.Index(I0, J0)], G.Node(I1, J1), Level);
        Out.push_back({Id, Q, Model.PointInAir(Q)});
    };
    if (!RunRows(E, G.NY, G.NY, Max2, [&](int J) {
            auto& Out = Rows[static_cast<std::size_t>(J)];
            for (int I = 0; I < CX; ++I)
                Cross(Out, HEdge(I, J), I, J, I + 1, J);
            if (J < CY)
                for (int I = 0; I <= CX; ++I)
                    Cross(Out, VEdge(I, J), I, J, I, J + 1);
        })) {
        Outcome.Stopped = true;
        return Outcome;
    }
    std::map<long long, TCrossing> At;
    for (const auto& Row : Rows)
        for (const TCrossing& C : Row)
            At.emplace(C.Edge, C);

    // Marching squares: each cell joins the crossings of its edges in pairs.
    std::vector<std::array<long long, 2>> Pieces;
    const auto Join = [&](long long A, long long B) {
        const TCrossing& CA = At.at(A);
        const TCrossing& CB = At.at(B);
        if (CA.Air && CB.Air && !Model.SegmentHitsBoundary(CA.Point, CB.Point))
            Pieces.push_back({A, B});
    };
    for (int J = 0; J < CY; ++J) {
        for (int I = 0; I < CX; ++I) {
            // Corners counter-clockwise from the lower left; edge K runs from corner K.
            const bool C[4] = {Above(I, J), Above(I + 1, J), Above(I + 1, J + 1), Above(I, J + 1)};
            const long long Edge[4] = {HEdge(I, J), VEdge(I + 1, J), HEdge(I, J + 1), VEdge(I, J)};
            std::vector<int> Cut;
            for (int K = 0; K < 4; ++K)
                if (C[K] != C[(K + 1) % 4])
                    Cut.push_back(K);
            if (Cut.size() == 2) {
                Join(Edge[Cut[0]], Edge[Cut[1]]);
            } else if (Cut.size() == 4) {
                // A saddle: the centre tells which diagonal pair of corners is joined.
                const TRealPoint Centre = (G.Node(I, J) + G.Node(I + 1, J + 1)) / 2.0;
                if ((Excess(Shared, Centre, Level) >= 0) == C[0]) {
                    Join(Edge[0], Edge[1]);
                    Join(Edge[2], Edge[3]);
                } else {
                    Join(Edge[3], Edge[0]);
                    Join(Edge[1], Edge[2]);
                }
            }
        }
    }

    // Pieces into polylines: open ones from their ends first, then the loops.
    std::map<long long, std::vector<std::size_t>> Ends;
    for (std::size_t K = 0; K < Pieces.size(); ++K)
        for (const long long Id : Pieces[K])
            Ends[Id].push_back(K);
    std::vector<char> Used(Pieces.size(), 0);
    const auto Walk = [&](std::size_t First, long long From) {
        TColorPointArray Line{{ContourColor, At.at(From).Point}};
        std::size_t Piece = First;
        long long Enter = From;
        for (;;) {
            Used[Piece] = 1;
            const long long Exit = Pieces[Piece][0] == Enter ? Pieces[Piece][1] : Pieces[Piece][0];
            Line.push_back({ContourColor, At.at(Exit).Point});
            const auto& Next = Ends[Exit];
            const auto It =
                std::find_if(Next.begin(), Next.end(), [&](std::size_t N) { return !Used[N]; });
            if (It == Next.end())
                break;
            Piece = *It;
            Enter = Exit;
        }
        Outcome.Points += Line.size();
        ++Outcome.Lines;
        Store.AddLine(Line);
    };
    for (const auto& [Id, List] : Ends)
        if (List.size() == 1 && !Used[List[0]])
            Walk(List[0], Id);
    for (std::size_t K = 0; K < Pieces.size(); ++K)
        if (!Used[K])
            Walk(K, Pieces[K][0]);
    if (Outcome.Lines == 0) {
        // What the grid met, for saying why nothing was found.
        for (int J = 0; J < G.NY; ++J)
            for (int I = 0; I < G.NX; ++I) {
                const double Speed = F[G.Index(I, J)] + Level;
                if (!std::isfinite(Speed) || !Model.PointInAir(G.Node(I, J)))
                    continue;
                Outcome.MinSpeed =
                    Outcome.AirNodes == 0 ? Speed : std::min(Outcome.MinSpeed, Speed);
                Outcome.MaxSpeed = std::max(Outcome.MaxSpeed, Speed);
                ++Outcome.AirNodes;
            }
    }
    return Outcome;
}

} // namespace kalvex
