#include "results/uEfficiency.h"

#include "base/uParallel.h"
#include "results/uTextFormat.h"
#include "solver/uBlasThreads.h"
#include "solver/uCountEdges.h"

#include <cmath>
#include <memory>
#include <mutex>
#include <optional>

namespace kalvex {

std::string EfficiencyCsv(const std::vector<TEfficiencyRow>& Rows) {
    std::string Csv = "d,caught,total,fraction\n";
    for (const TEfficiencyRow& R : Rows) {
        if (R.Total == 0)
            continue;
        Csv += FormatExact(R.D) + "," + std::to_string(R.Caught) + "," + std::to_string(R.Total) +
               "," + FormatExact(static_cast<double>(R.Caught) / R.Total) + "\n";
    }
    return Csv;
}

TRealPoint EfficiencyStart(const TEfficiencyParams& P, int K) {
    const double T = (K + 0.5) / P.Count;
    return P.From + (P.To - P.From) * T;
}

void CheckEfficiencyParams(const TEfficiencyParams& P) {
    CheckStartCount(P.Count);
    if (P.Diameters.empty())
        throw TRefusal("Не задан ни один диаметр частиц.", "no particle diameter given");
    if (!(P.EdgeTolerance > 0) || !std::isfinite(P.EdgeTolerance))
        throw TRefusal("Точность границ улавливания должна быть положительным числом.",
                       "the edge tolerance must be positive");
    for (const TRealPoint End : {P.From, P.To})
        if (!std::isfinite(End.X) || !std::isfinite(End.Y) || std::abs(End.X) > MaxCoordinate ||
            std::abs(End.Y) > MaxCoordinate)
            throw TRefusal("Линия вылета частиц должна лежать в пределах ±1e6 м.",
                           "the start line must lie within ±1e6 m");
    for (const double D : P.Diameters) {
        TParticleParams Q = P.Particle;
        Q.D = D;
        Q.Start = P.From;
        if (const auto Fault = CheckParticleParams(Q))
            throw TRefusal(Fault->Russian, Fault->Key + ": " + Fault->Message);
    }
}

void CheckStartCount(int Count) {
    if (Count < 1 || Count > MaxStartPoints)
        throw TRefusal("Число точек вылета должно быть от 1 до " + std::to_string(MaxStartPoints) +
                           " (задано " + std::to_string(Count) + ").",
                       "the number of start points must be from 1 to " +
                           std::to_string(MaxStartPoints));
}

namespace {

// Evaluators lent to the traces one at a time, each a copy of the solved one.
class TWorkers {
public:
    TWorkers(const TCountEdges& Solved, int Count) : Base(Solved) {
        for (int K = 0; K < Count; ++K) {
            All.push_back(std::make_unique<TCountEdges>());
            All.back()->AdoptSolution(Solved);
            All.back()->Threads = 1;
            Free.push_back(All.back().get());
        }
    }
    TCountEdges* Take() {
        const std::lock_guard<std::mutex> G(Lock);
        TCountEdges* C = Free.back();
        Free.pop_back();
        return C;
    }
    void Give(TCountEdges* C) {
        const std::lock_guard<std::mutex> G(Lock);
        Free.push_back(C);
    }
    const TCountEdges& Base;

private:
    std::vector<std::unique_ptr<TCountEdges>> All;
    std::vector<TCountEdges*> Free;
    std::mutex Lock;
};

enum class TFate : std::uint8_t { Caught, Missed, Stopped };

// One trace on a worker; Pump is its event pump. Turned cylinders are put back.
TFate Trace(TWorkers& Workers, TParticleParams P, const std::function<void(TCountEdges&)>& Pump) {
    TCountEdges* C = Workers.Take();
    struct TGiveBack {
        TWorkers& W;
        TCountEdges* C;
        ~TGiveBack() {
            if (C->Elements.HasRotatingSlit || !C->Solved())
                C->AdoptSolution(W.Base);
            W.Give(C);
        }
    } Back{Workers, C};
    C->ProcessEvents = [C, &Pump] { Pump(*C); };
    C->Stopped = false;
    TColorPointArray Line;
    const TParticleResult R = TraceParticleEx(*C, Line, P);
    if (R.End == TParticleEnd::peStopped)
        return TFate::Stopped;
    return R.End == TParticleEnd::peCaught ? TFate::Caught : TFate::Missed;
}

// Work(I, Pump) for every I on the evaluator's threads (on this thread for one), then
// Take(I) in order on this thread with progress and the event pump. False if stopped.
template <class TWork, class TTake>
bool RunTraces(TCountEdges& E, std::size_t Count, int& Done, int Max, TWork&& Work, TTake&& Take) {
    // The window's events when due, not after every trace: they take its thread's core.
    TPacedPump Events(E.ProcessEvents, E.PumpInterval);
    const auto Hand = [&](std::size_t I) {
        if (!Take(I))
            return false;
        ++Done;
        if (E.ProgressBar)
            E.ProgressBar(Done, Max);
        Events();
        return !E.Stopped;
    };
    const int Threads = std::min<int>(ThreadCount(E.Threads), static_cast<int>(Count));
    if (Threads <= 1) {
        // The window's pump runs inside every trace, as for a single particle.
        const std::function<void(TCountEdges&)> Pump = [&E, &Events](TCountEdges& C) {
            Events();
            if (E.Stopped)
                C.StopBuilding();
        };
        for (std::size_t I = 0; I < Count; ++I) {
            Work(I, Pump);
            if (!Hand(I))
                return false;
        }
        return true;
    }
    RunInOrder(
        Threads, Count,
        [&](std::size_t I, std::stop_token Stop) {
            const std::function<void(TCountEdges&)> Pump = [Stop](TCountEdges& C) {
                if (Stop.stop_requested())
                    C.StopBuilding();
            };
            Work(I, Pump);
        },
        Hand, [&] { Events(); });
    return !E.Stopped;
}

} // namespace

TEfficiencyOutcome CaptureEfficiency(TCountEdges& E, const TEfficiencyParams& P) {
    CheckEfficiencyParams(P);
    E.Stopped = false;
    E.EnsureSolved();
    TEfficiencyOutcome Outcome;
    const std::size_t ND = P.Diameters.size();
    const std::size_t NS = static_cast<std::size_t>(P.Count);
    for (const double D : P.Diameters)
        Outcome.Rows.push_back({D, 0, 0, {}});

    const int Threads = ThreadCount(E.Threads);
    TWorkers Workers(E, std::max(1, Threads));
    // The solves of turning cylinders side by side each take one thread of the library.
    std::optional<TBlasThreads> Blas;
    if (Threads > 1)
        Blas.emplace(1);
    const auto Params = [&](std::size_t Di, double T) {
        TParticleParams Q = P.Particle;
        Q.D = P.Diameters[Di];
        Q.Start = P.From + (P.To - P.From) * T;
        return Q;
    };
    const auto TOf = [&](std::size_t K) { return (static_cast<double>(K) + 0.5) / P.Count; };

    std::vector<TFate> Fates(ND * NS, TFate::Stopped);
    int Done = 0;
    const int Max = static_cast<int>(std::min<std::size_t>(ND * NS, 2000000000));
    if (E.ProgressBar)
        E.ProgressBar(0, Max);
    const bool Complete = RunTraces(
        E, ND * NS, Done, Max,
        [&](std::size_t I, const std::function<void(TCountEdges&)>& Pump) {
            Fates[I] = Trace(Workers, Params(I / NS, TOf(I % NS)), Pump);
        },
        [&](std::size_t I) {
            if (Fates[I] == TFate::Stopped)
                return false;
            TEfficiencyRow& Row = Outcome.Rows[I / NS];
            ++Row.Total;
            Row.Caught += Fates[I] == TFate::Caught ? 1 : 0;
            return true;
        });
    if (!Complete) {
        Outcome.Stopped = true;
        return Outcome;
    }
    if (!P.FindEdges)
        return Outcome;

    // Neighbouring starts with different outcomes, narrowed one bisection each.
    struct TPair {
        std::size_t Di;
        std::size_t K;
    };
    std::vector<TPair> Pairs;
    for (std::size_t Di = 0; Di < ND; ++Di)
        for (std::size_t K = 0; K + 1 < NS; ++K)
            if (Fates[Di * NS + K] != Fates[Di * NS + K + 1])
                Pairs.push_back({Di, K});
    const double Length = Distance(P.From, P.To);
    std::vector<std::optional<TCaptureEdge>> Found(Pairs.size());
    Done = 0;
    if (E.ProgressBar)
        E.ProgressBar(0, static_cast<int>(Pairs.size()));
    Outcome.Stopped = !RunTraces(
        E, Pairs.size(), Done, static_cast<int>(Pairs.size()),
        [&](std::size_t I, const std::function<void(TCountEdges&)>& Pump) {
            const TPair& Q = Pairs[I];
            const bool CaughtBefore = Fates[Q.Di * NS + Q.K] == TFate::Caught;
            double Lo = TOf(Q.K);
            double Hi = TOf(Q.K + 1);
            while (Length * (Hi - Lo) > P.EdgeTolerance) {
                const double Mid = (Lo + Hi) / 2;
                if (Mid <= Lo || Mid >= Hi)
                    break;
                const TFate F = Trace(Workers, Params(Q.Di, Mid), Pump);
                if (F == TFate::Stopped)
                    return;
                if ((F == TFate::Caught) == CaughtBefore)
                    Lo = Mid;
                else
                    Hi = Mid;
            }
            Found[I] = TCaptureEdge{P.From + (P.To - P.From) * ((Lo + Hi) / 2), CaughtBefore};
        },
        [&](std::size_t I) {
            if (!Found[I])
                return false;
            Outcome.Rows[Pairs[I].Di].Edges.push_back(*Found[I]);
            return true;
        });
    return Outcome;
}

} // namespace kalvex
