#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"

#include "results/uParticle.h"
#include "results/uTextFormat.h"
#include "solver/uBlasThreads.h"
#include "solver/uDiscretization.h"

#include "base/uParallel.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

namespace kalvex {

namespace {

const std::string PointPrefix = "Точка";
const std::string OpeningPrefix = "Отсос";
const std::string CylinderPrefix = "Цилиндр";

bool StartsWith(const std::string& S, const std::string& Prefix) {
    return S.compare(0, Prefix.size(), Prefix) == 0;
}

} // namespace

// ---------------------------------------------------------------------------
// TOptimizedParams

bool TOptimizedParams::BuildObjects(const TEdges& Source) {
    const bool Balanced = !Source.HasSemiInfinite();
    int BalEdge = -1;
    int BalSeg = -1;
    double BalLength = 0.0;
    if (Balanced) {
        if (Source.InflowCount() != 1)
            return false;
        Source.FindFirstInflow(BalEdge, BalSeg);
        BalLength = Source.SegmentLength(BalEdge, BalSeg);
        // A balancing opening of no length would need an infinite velocity.
        if (!(BalLength > GeomEps))
            return false;
    }

    Source.CopyTo(Model);
    Params.clear();
    Objects.clear();
    int Points = 0;
    int Openings = 0;
    int Cylinders = 0;
    for (int E = 0; E < Source.Count(); ++E) {
        const TEdge& Edge = Source.Item(E);
        if (Edge.Kind == ekCylinder) {
            Objects.push_back({CylinderPrefix + std::to_string(++Cylinders), E, 0});
            if (Edge.Count() >= 2 && Edge.GetSegment(0).HasSlit() && Edge.GetSegment(1).V > GeomEps)
                Objects.push_back({OpeningPrefix + std::to_string(++Openings), E, 1});
            continue;
        }
        for (int J = 0; J < Edge.Count(); ++J) {
            Objects.push_back({PointPrefix + std::to_string(++Points), E, J});
            if (Edge.GetSegment(J).V > 0.0)
                Objects.push_back({OpeningPrefix + std::to_string(++Openings), E, J});
        }
        if (Edge.Kind == ekSemiInfinite)
            Objects.push_back({PointPrefix + std::to_string(++Points), E, Edge.Count()});
    }

    for (const TChangeObject& O : Objects) {
        if (!StartsWith(O.Name, OpeningPrefix))
            continue;
        TParamInfo P;
        P.Name = O.Name;
        const double V = Model.Item(O.EdgeIndex).GetSegment(O.SegIndex).V;
        P.MinValue = P.MaxValue = P.Value = V;
        P.Step = 0.01;
        P.Changes.push_back({O.EdgeIndex, O.SegIndex, 1.0, ckFlow, O.Name});
        if (Balanced) {
            const double L = Model.SegmentLength(O.EdgeIndex, O.SegIndex);
            P.Changes.push_back({BalEdge, BalSeg, -L / BalLength, ckFlow, ""});
        }
        Params.push_back(std::move(P));
    }
    return true;
}

void TOptimizedParams::DeleteParam(int Index) {
    if (Index >= 0 && Index < ParamCount())
        Params.erase(Params.begin() + Index);
}

void TOptimizedParams::ReplaceParam(int Index, const TParamInfo& Info) {
    if (Index >= 0 && Index < ParamCount())
        Params[static_cast<std::size_t>(Index)] = Info;
}

bool TOptimizedParams::ParamExists(const std::string& Name) const {
    return std::any_of(Params.begin(), Params.end(),
                       [&](const TParamInfo& P) { return P.Name == Name; });
}

int TOptimizedParams::SuctionCount() const {
    int N = 0;
    while (N < ParamCount() && Params[static_cast<std::size_t>(N)].IsSuction())
        ++N;
    return N;
}

double TOptimizedParams::SuctionSum() const {
    double Sum = 0.0;
    for (int I = 0; I < SuctionCount(); ++I)
        Sum += Params[static_cast<std::size_t>(I)].Value;
    return Sum;
}

int TOptimizedParams::FindObject(const std::string& Name) const {
    for (int I = 0; I < ObjectCount(); ++I)
        if (Objects[static_cast<std::size_t>(I)].Name == Name)
            return I;
    return -1;
}

std::size_t TOptimizedParams::CheckedParam(int Index) const {
    if (Index < 0 || Index >= ParamCount())
        throw TKalvexError("Нет параметра с номером " + std::to_string(Index));
    return static_cast<std::size_t>(Index);
}

void TOptimizedParams::SetParamValue(int Index, double NewValue) {
    TParamInfo& P = Params[CheckedParam(Index)];
    for (const TChangeInfo& C : P.Changes)
        ApplyChange(C, (NewValue - P.Value) * C.Scaler);
    P.Value = NewValue;
}

void TOptimizedParams::ApplyChange(const TChangeInfo& C, double Delta) {
    if (C.EdgeIndex < 0 || C.EdgeIndex >= Model.Count())
        return;
    TEdge& Edge = Model.Item(C.EdgeIndex);
    int Rec = C.SegIndex;
    const bool EndPoint = Edge.Kind == ekSemiInfinite && Rec == Edge.Count();
    if (EndPoint)
        Rec = Edge.Count() - 1;
    if (Rec < 0 || Rec >= Edge.Count())
        return;
    TEdgeSegment S = Edge.GetSegment(Rec);
    switch (C.Kind) {
    case ckX:
    case ckY: {
        TRealPoint& P = EndPoint ? S.P2 : S.P1;
        const TRealPoint Old = P;
        (C.Kind == ckX ? P.X : P.Y) += Delta;
        // A vertex is shared with the end of the preceding segment; moving only one
        // of them would open a gap in the boundary.
        if (!EndPoint && Edge.Kind != ekCylinder) {
            int Prev = Rec - 1;
            if (Edge.Kind == ekClosed && Prev < 0)
                Prev = Edge.Count() - 1;
            if (Prev >= 0 && Prev != Rec) {
                TEdgeSegment PS = Edge.GetSegment(Prev);
                if (Distance(PS.P2, Old) <= GeomEps) {
                    PS.P2 = P;
                    Edge.SetSegment(Prev, PS);
                }
            }
        }
        break;
    }
    case ckRadius:
        if (Edge.Kind == ekCylinder && Rec == 0)
            S.P2.X += Delta;
        break;
    case ckFlow:
        S.V += Delta;
        break;
    default:
        break;
    }
    Edge.SetSegment(Rec, S);
}

// ---------------------------------------------------------------------------
// Objectives

bool ParticleCaught(double T, double TMax, bool Minimise) {
    return Minimise ? T < TMax : T < TMax - 1e-10;
}

namespace {

double DistanceToSegment(TRealPoint P, TRealPoint A, TRealPoint B) {
    const TRealPoint AB{B.X - A.X, B.Y - A.Y};
    const TRealPoint AP{P.X - A.X, P.Y - A.Y};
    const double L2 = DotProduct(AB, AB);
    const double T = L2 > 0 ? std::clamp(DotProduct(AP, AB) / L2, 0.0, 1.0) : 0.0;
    return Distance(P, {A.X + T * AB.X, A.Y + T * AB.Y});
}

} // namespace

bool PointClearOfElements(const TEdgeElementArray& Elements, TRealPoint P) {
    double Nearest = std::numeric_limits<double>::infinity();
    double Length = 0.0;
    for (const TEdgeElement& E : Elements) {
        const double D = DistanceToSegment(P, E.P1, E.P2);
        const double L = Distance(E.P1, E.P2);
        if (D < Nearest || (D == Nearest && L > Length)) {
            Nearest = D;
            Length = L;
        }
    }
    return Nearest > 0.0 && Nearest >= Length;
}

double ParticleObjective(int Caught, double SuctionSum, bool Minimise) {
    if (Minimise)
        return 1.0 / ((SuctionSum + 1.0) * (Caught + 1.0));
    return Caught / (SuctionSum + 1.0);
}

// ---------------------------------------------------------------------------
// TOptimizeEdges

TOptimizeEdges::TOptimizeEdges() {
    // A stop pressed while particles are traced also ends the trace in progress.
    Evaluator.ProcessEvents = [this] {
        if (ProcessEvents)
            ProcessEvents();
        if (Stopped)
            Evaluator.StopBuilding();
    };
}

bool TOptimizeEdges::Pump() {
    if (ProcessEvents)
        ProcessEvents();
    return Stopped;
}

void TOptimizeEdges::Set(int Index, double Value) {
    if (Params.Params[static_cast<std::size_t>(Index)].Value == Value)
        return;
    Params.SetParamValue(Index, Value);
    Current.reset();
}

void TOptimizeEdges::Discretize() {
    kalvex::Discretize(Evaluator.Elements, Params.Model, DiscretizationSettings);
    Evaluator.ClearIntensities();
}

std::optional<TOptimizeEdges::TTrial> TOptimizeEdges::Evaluate() {
    return EvaluateModel(Params.Model, Params.SuctionSum(), Evaluator);
}

std::optional<TOptimizeEdges::TTrial>
TOptimizeEdges::EvaluateModel(const TEdges& Model, double SuctionSum, TCountEdges& Counter) const {
    try {
        kalvex::Discretize(Counter.Elements, Model, DiscretizationSettings);
        Counter.ClearIntensities();
        // A wall moved onto (or next to) the point gives a velocity of its elements'
        // edges, not of the flow: not a model to compare.
        if (Kind == tkSpeed && !PointClearOfElements(Counter.Elements.Elements, SpeedTask.Point))
            return std::nullopt;
        Counter.Solve();
        if (Kind == tkSpeed) {
            const double V = Counter.Speed(SpeedTask.Direction, SpeedTask.Point);
            if (!std::isfinite(V))
                return std::nullopt;
            return TTrial{V, V};
        }
        const bool Minimise = Kind == tkFewestCaught;
        const TParticleData& P = ParticleTask;
        int Caught = 0;
        for (const TStartPartInfo& Start : P.Particles) {
            TColorPointArray Line;
            TParticleParams Trace = P;
            Trace.Start = Start.Position;
            Trace.StartVelocity = Start.Velocity;
            const TParticleResult R = TraceParticleEx(Counter, Line, Trace);
            // The trace turned rotating slit cylinders step by step; the next particle
            // starts from the original position and needs intensities that match it.
            if (Counter.Elements.HasRotatingSlit) {
                Counter.Elements.RotateCylinders(-R.Time);
                Counter.ClearIntensities();
            }
            if (Counter.Stopped)
                return std::nullopt;
            // A run that ended by time stops at t - H, which lies below TMax by up to a
            // step: only a run that ended at an opening can count as caught.
            if (R.End == TParticleEnd::peCaught && ParticleCaught(R.Time, P.TMax, Minimise))
                ++Caught;
        }
        return TTrial{ParticleObjective(Caught, SuctionSum, Minimise), static_cast<double>(Caught)};
    } catch (const TKalvexError&) {
        // A refused discretisation, a singular system or a fault in a trace: the trial
        // point is as unusable as a model whose boundaries cross.
        return std::nullopt;
    }
}

TOptimizeEdges::TTrialPoint TOptimizeEdges::Snapshot(const TOptimizedParams& From) {
    TTrialPoint P;
    P.Values.reserve(From.Params.size());
    for (const TParamInfo& Param : From.Params)
        P.Values.push_back(Param.Value);
    P.Model = From.Model;
    P.Valid = From.Model.IsValid();
    P.SuctionSum = From.SuctionSum();
    return P;
}

TOptimizedParams TOptimizeEdges::Moved(const TOptimizedParams& From, const TRealArray& Values) {
    TOptimizedParams To = From;
    for (int I = 0; I < To.ParamCount(); ++I)
        if (To.Params[static_cast<std::size_t>(I)].Value != Values[static_cast<std::size_t>(I)])
            To.SetParamValue(I, Values[static_cast<std::size_t>(I)]);
    return To;
}

void TOptimizeEdges::Restore(const TTrialPoint& P) {
    Params.Model = P.Model;
    for (std::size_t I = 0; I < Params.Params.size(); ++I)
        Params.Params[I].Value = P.Values[I];
    Current.reset();
}

bool TOptimizeEdges::ParallelTrials() const {
    return ThreadCount(Evaluator.Threads) > 1;
}

namespace {

bool SameBits(double A, double B) {
    return std::bit_cast<std::uint64_t>(A) == std::bit_cast<std::uint64_t>(B);
}

} // namespace

const std::optional<TOptimizeEdges::TTrial>*
TOptimizeEdges::Prefetched(const TTrialPoint& P) const {
    for (const auto& [Point, Figures] : Kept)
        if (SameBits(Point.SuctionSum, P.SuctionSum) && Point.Model.SameAs(P.Model))
            return &Figures;
    return nullptr;
}

bool TOptimizeEdges::EvaluateBatch(
    const std::vector<TTrialPoint>& Points, bool PumpFirst, bool Counted,
    const std::function<bool(std::size_t, const std::optional<TTrial>&)>& Take) {
    const int Threads = std::min<int>(ThreadCount(Evaluator.Threads),
                                      static_cast<int>(std::max<std::size_t>(1, Points.size())));
    // One evaluator per worker, lent out for one point at a time and kept for the
    // search's later batches (with their system memory already mapped).
    while (TrialCounters.size() < static_cast<std::size_t>(Threads)) {
        TrialCounters.push_back(std::make_unique<TCountEdges>());
        TCountEdges& C = *TrialCounters.back();
        C.Threads = 1;
        C.SolverKind = Evaluator.SolverKind;
        C.MaxSteps = Evaluator.MaxSteps;
    }
    std::vector<TCountEdges*> Free;
    std::mutex FreeLock;
    std::atomic<bool> Halt{false};
    for (int T = 0; T < Threads; ++T)
        Free.push_back(TrialCounters[static_cast<std::size_t>(T)].get());
    std::vector<std::optional<TTrial>> Results(Points.size());
    bool Completed = true;
    RunInOrder(
        Threads, Points.size(),
        [&](std::size_t I, std::stop_token Stop) {
            if (!Points[I].Valid)
                return;
            if (const std::optional<TTrial>* Known = Prefetched(Points[I])) {
                Results[I] = *Known;
                return;
            }
            TCountEdges* C = nullptr;
            {
                const std::lock_guard<std::mutex> G(FreeLock);
                C = Free.back();
                Free.pop_back();
            }
            C->ProcessEvents = [C, &Halt, Stop] {
                if (Halt || Stop.stop_requested())
                    C->StopBuilding();
            };
            C->Stopped = false;
            Results[I] = EvaluateModel(Points[I].Model, Points[I].SuctionSum, *C);
            if (C->Stopped)
                Results[I].reset();
            const std::lock_guard<std::mutex> G(FreeLock);
            Free.push_back(C);
        },
        [&](std::size_t I) {
            if (PumpFirst && Pump())
                return Completed = false;
            Aborted = false;
            if (Stopped) {
                Aborted = true;
                Completed = false;
                return false;
            }
            const TTrialPoint& P = Points[I];
            if (Counted && P.Valid) {
                ++Evaluations;
                const std::optional<TTrial>& R = Results[I];
                if (R && (!BestSeen || R->F > BestSeen->Figures.F))
                    BestSeen = TSeen{P.Values, *R};
                if (OnProgress && BestSeen)
                    OnProgress(Evaluations, BestSeen->Figures.Out);
            }
            if (!Take(I, Results[I])) {
                Completed = false;
                return false;
            }
            return true;
        },
        [&] {
            if (Pump())
                Halt = true;
        });
    return Completed;
}

std::optional<TOptimizeEdges::TTrial> TOptimizeEdges::Trial(const std::vector<TTrialPoint>& Ahead) {
    Aborted = false;
    Current.reset();
    if (Stopped) {
        Aborted = true;
        return std::nullopt;
    }
    if (!Params.Model.IsValid())
        return std::nullopt;
    ++Evaluations;
    std::optional<TTrial> R;
    bool Known = false;
    std::vector<TTrialPoint> Batch;
    if (ParallelTrials() && (!Kept.empty() || !Ahead.empty())) {
        Batch.push_back(Snapshot(Params));
        if (const std::optional<TTrial>* Figures = Prefetched(Batch.front())) {
            R = *Figures;
            Known = true;
        } else {
            // This point and the likeliest next ones not yet known, one per thread.
            const auto Room = static_cast<std::size_t>(ThreadCount(Evaluator.Threads));
            for (const TTrialPoint& P : Ahead)
                if (Batch.size() < Room && P.Valid && !Prefetched(P))
                    Batch.push_back(P);
        }
    }
    if (Batch.size() > 1) {
        std::vector<std::optional<TTrial>> Got(Batch.size());
        const bool Done = EvaluateBatch(Batch, false, false, [&](std::size_t K, const auto& F) {
            Got[K] = F;
            return true;
        });
        // Figures of an interrupted batch are not kept.
        if (Done) {
            for (std::size_t K = 1; K < Batch.size(); ++K)
                Kept.emplace_back(std::move(Batch[K]), Got[K]);
            const std::size_t Limit = 16;
            if (Kept.size() > Limit)
                Kept.erase(Kept.begin(), Kept.end() - Limit);
        }
        R = Got[0];
    } else if (!Known) {
        R = Evaluate();
    }
    if (Stopped) {
        // Figures of an interrupted evaluation are not trusted.
        Aborted = true;
        return std::nullopt;
    }
    Current = R;
    if (R && (!BestSeen || R->F > BestSeen->Figures.F)) {
        TRealArray Point(Params.Params.size());
        for (std::size_t I = 0; I < Point.size(); ++I)
            Point[I] = Params.Params[I].Value;
        BestSeen = TSeen{std::move(Point), *R};
    }
    if (OnProgress && BestSeen)
        OnProgress(Evaluations, BestSeen->Figures.Out);
    return R;
}

bool TOptimizeEdges::NextGridPoint() {
    const int N = Params.ParamCount();
    for (int I = 0; I < N; ++I) {
        const TParamInfo& P = Params.Params[static_cast<std::size_t>(I)];
        if (P.Value + TabScaler * P.Step - 1e-10 <= P.MaxValue) {
            Set(I, P.Value + TabScaler * P.Step);
            for (int J = 0; J < I; ++J)
                Set(J, Params.Params[static_cast<std::size_t>(J)].MinValue);
            return true;
        }
    }
    return false;
}

double TOptimizeEdges::GridSize() const {
    double Size = 1.0;
    // As NextGridPoint walks: from MinValue by TabScaler·Step while within MaxValue.
    for (const TParamInfo& P : Params.Params) {
        const double Stride = TabScaler * P.Step;
        const double Count = std::floor((P.MaxValue - P.MinValue + 1e-10) / Stride) + 1;
        Size *=
            std::isfinite(Count) ? std::max(Count, 1.0) : std::numeric_limits<double>::infinity();
    }
    return Size;
}

std::vector<TRealArray> TOptimizeEdges::GridValues() const {
    std::vector<TRealArray> Values;
    for (const TParamInfo& P : Params.Params) {
        TRealArray V{P.MinValue};
        while (V.back() + TabScaler * P.Step - 1e-10 <= P.MaxValue &&
               static_cast<double>(V.size()) < MaxGridModels)
            V.push_back(V.back() + TabScaler * P.Step);
        Values.push_back(std::move(V));
    }
    return Values;
}

std::vector<TOptimizeEdges::TTrialPoint>
TOptimizeEdges::GradientPoints(const TRealArray& X,
                               std::vector<std::pair<int, double>>& Probes) const {
    std::vector<TTrialPoint> Points;
    Probes.clear();
    for (int I = 0; I < Params.ParamCount(); ++I) {
        const TParamInfo& P = Params.Params[static_cast<std::size_t>(I)];
        const double Xi = X[static_cast<std::size_t>(I)];
        double T = Xi + P.Step / 2;
        if (T > P.MaxValue) {
            if (Xi >= P.MaxValue) {
                T = Xi - P.Step / 2;
                if (T < P.MinValue)
                    T = P.MinValue;
            } else {
                T = P.MaxValue;
            }
        }
        if (std::abs(T - Xi) >= 1e-10) {
            TRealArray V = X;
            V[static_cast<std::size_t>(I)] = T;
            Points.push_back(Snapshot(Moved(Params, V)));
            Probes.emplace_back(I, T - Xi);
        }
    }
    return Points;
}

void TOptimizeEdges::EstimateGradient(const std::vector<TTrialPoint>& Points,
                                      const std::vector<std::pair<int, double>>& Probes,
                                      double F0) {
    Gradient.assign(Params.Params.size(), 0.0);
    // A trial that cannot be evaluated tells nothing about its direction.
    const auto Take = [&](std::size_t K, const std::optional<TTrial>& F) {
        if (F)
            Gradient[static_cast<std::size_t>(Probes[K].first)] = (F->F - F0) / Probes[K].second;
        return true;
    };
    if (ParallelTrials()) {
        EvaluateBatch(Points, false, true, Take);
        return;
    }
    const TOptimizedParams From = Params;
    const std::optional<TTrial> Figures = Current;
    for (std::size_t K = 0; K < Points.size(); ++K) {
        Restore(Points[K]);
        Take(K, Trial());
    }
    Params = From;
    Current = Figures;
}

// The path of the search: the grid, then the ascent from the grid's best point. Every
// trial model is made from the point the search stands on by the same moves, so that
// its bits do not depend on the trials made before it.
void TOptimizeEdges::Optimize() {
    // Solves side by side each want one thread of the library, and the library's LU
    // rounds differently on one thread and on several: every solve of the search, the
    // sequential ones too, uses one, so that any thread count takes the same path.
    const TBlasThreads Blas(1);
    struct TRelease {
        TOptimizeEdges& S;
        ~TRelease() {
            S.TrialCounters.clear();
            S.Kept.clear();
        }
    } Release{*this};
    const int N = Params.ParamCount();
    const auto Idx = [](int I) { return static_cast<std::size_t>(I); };
    Stopped = false;
    Aborted = false;
    Evaluations = 0;
    Gradient.assign(Idx(N), 0.0);
    Current.reset();
    BestSeen.reset();
    Kept.clear();

    // Grid phase.
    StartValues.assign(Idx(N), 0.0);
    for (int I = 0; I < N; ++I)
        StartValues[Idx(I)] = Params.Params[Idx(I)].Value;
    if (Tabulate) {
        for (int I = 0; I < N; ++I)
            Set(I, Params.Params[Idx(I)].MinValue);
        std::optional<TTrialPoint> BestPoint;
        std::optional<TTrial> BestFigures;
        if (ParallelTrials()) {
            std::vector<TTrialPoint> Grid;
            do
                Grid.push_back(Snapshot(Params));
            while (NextGridPoint());
            std::size_t BestIndex = 0;
            const bool Done = EvaluateBatch(Grid, true, true, [&](std::size_t K, const auto& F) {
                if (F && (!BestFigures || F->F > BestFigures->F)) {
                    BestFigures = F;
                    BestIndex = K;
                }
                return true;
            });
            if (!Done)
                return;
            if (BestFigures)
                BestPoint = std::move(Grid[BestIndex]);
        } else {
            for (;;) {
                if (Pump())
                    return;
                if (std::optional<TTrial> F = Trial()) {
                    if (!BestFigures || F->F > BestFigures->F) {
                        BestFigures = F;
                        BestPoint = Snapshot(Params);
                    }
                }
                if (!NextGridPoint())
                    break;
            }
        }
        if (BestPoint) {
            // The best grid point's model itself, with the figures it gave.
            Restore(*BestPoint);
            Current = BestFigures;
        } else {
            for (int I = 0; I < N; ++I)
                Set(I, StartValues[Idx(I)]);
        }
    }

    // Gradient estimate where the grid left the model.
    TRealArray X(Idx(N));
    for (int I = 0; I < N; ++I)
        X[Idx(I)] = Params.Params[Idx(I)].Value;
    std::vector<std::pair<int, double>> Probes;
    const std::vector<TTrialPoint> GradientTrials = GradientPoints(X, Probes);
    std::optional<TTrial> Base = Current ? Current : Trial(GradientTrials);
    if (!Base)
        return; // no gradient can be estimated where nothing can be evaluated
    EstimateGradient(GradientTrials, Probes, Base->F);
    TRealArray G = Gradient;

    // Normalised-gradient ascent with step halving, one coordinate at a time from the
    // point it stands on.
    TRealArray Step(Idx(N));
    const auto NormOf = [&] {
        double Norm = 0.0;
        for (int I = 0; I < N; ++I)
            Norm += G[Idx(I)] * G[Idx(I)];
        return std::sqrt(Norm);
    };
    // Where coordinate I's trial from X0 with step S lies.
    const auto Target = [&](const TRealArray& X0, int I, double S, double Norm) {
        const TParamInfo& P = Params.Params[Idx(I)];
        return std::clamp(X0[Idx(I)] + S * G[Idx(I)] / Norm, P.MinValue, P.MaxValue);
    };
    const auto With = [](TRealArray V, int I, double T) {
        V[static_cast<std::size_t>(I)] = T;
        return V;
    };
    // The first trials of the coordinates from First on, from the point From stands on:
    // what the path asks for next whatever the current trial gives.
    const auto FirstTrials = [&](const TOptimizedParams& From, const TRealArray& X0, int First,
                                 double Norm, std::vector<TTrialPoint>& Out) {
        for (int J = First; J < N; ++J) {
            const double T = Target(X0, J, Params.Params[Idx(J)].Step, Norm);
            if (T != X0[Idx(J)])
                Out.push_back(Snapshot(Moved(From, With(X0, J, T))));
        }
    };
    const bool Parallel = ParallelTrials();
    for (int Iter = 0; Iter < 10; ++Iter) {
        if (Pump())
            return;
        const double F0 = Base->F;
        for (int I = 0; I < N; ++I)
            Step[Idx(I)] = Params.Params[Idx(I)].Step;
        const double Norm = NormOf();
        if (Norm < GradientTolerance)
            return;
        const TOptimizedParams From = Params;
        const TRealArray X0 = X;
        for (int I = 0; I < N; ++I) {
            const double Xi = X0[Idx(I)];
            double T = Xi;
            double F1 = F0;
            for (;;) {
                if (Pump())
                    return;
                T = Target(X0, I, Step[Idx(I)], Norm);
                if (T == Xi)
                    break; // no move: nothing to evaluate
                Params = Moved(From, With(X0, I, T));
                Current.reset();
                std::vector<TTrialPoint> Next;
                if (Parallel) {
                    // The later coordinates' first trials; after the last coordinate,
                    // the point all the moves give if this one holds; this one halved.
                    FirstTrials(From, X0, I + 1, Norm, Next);
                    if (I + 1 == N)
                        Next.push_back(Snapshot(Moved(From, With(X, I, T))));
                    const double Half = Target(X0, I, Step[Idx(I)] / 2, Norm);
                    if (Step[Idx(I)] >= MinStep && Half != Xi)
                        Next.push_back(Snapshot(Moved(From, With(X0, I, Half))));
                }
                std::optional<TTrial> F = Trial(Next);
                if (!F) {
                    T = Xi;
                    break;
                }
                F1 = F->F;
                if (Step[Idx(I)] >= MinStep && F1 < F0) {
                    Step[Idx(I)] /= 2;
                    continue;
                }
                break;
            }
            if (T != Xi)
                G[Idx(I)] = (F1 - F0) / (T - Xi);
            X[Idx(I)] = T;
        }
        // Nothing moved: the gradient and the point are as they were, and so would
        // every further iteration be.
        if (X == X0)
            return;
        Params = Moved(From, X);
        Current.reset();
        // The coordinate moves were tried one at a time; together they may still make
        // the boundaries cross. Such a combination is not accepted.
        std::vector<TTrialPoint> Next;
        if (Parallel && Iter + 1 < 10 && NormOf() >= GradientTolerance)
            FirstTrials(Params, X, 0, NormOf(), Next);
        Base = Trial(Next);
        if (!Base) {
            if (!Aborted)
                Params = From;
            return;
        }
    }
}

std::optional<TOptimizeEdges::TTrial> TOptimizeEdges::Finish(TRealArray& Best) {
    const int N = Params.ParamCount();
    Best = BestSeen ? BestSeen->Point : StartValues;
    for (int I = 0; I < N; ++I)
        Set(I, Best[static_cast<std::size_t>(I)]);
    if (BestSeen)
        return BestSeen->Figures;
    // Nothing was evaluated: a stop came first (and ends this evaluation too), or no
    // point could be evaluated.
    return Trial();
}

bool TOptimizeEdges::OptimizeSpeed(const TSpeedData& Task, double& BestValue, TRealArray& Best) {
    SpeedTask = Task;
    Kind = tkSpeed;
    Optimize();
    const std::optional<TTrial> F = Finish(Best);
    BestValue = F ? F->Out : std::numeric_limits<double>::quiet_NaN();
    return F.has_value();
}

bool TOptimizeEdges::OptimizeParticles(const TParticleData& Task, bool Minimise, TRealArray& Best,
                                       int& Caught) {
    ParticleTask = Task;
    Kind = Minimise ? tkFewestCaught : tkMostCaught;
    Optimize();
    const std::optional<TTrial> F = Finish(Best);
    Caught = F ? RoundEven(F->Out) : 0;
    return F.has_value();
}

// ---------------------------------------------------------------------------
// Report

std::string SearchReport(int Task, const TOptimizedParams& Params, const TRealArray& Best,
                         double BestValue, int Caught, char Separator, double RequiredSpeed) {
    const int Suction = Params.SuctionCount();
    const int N = Params.ParamCount();
    // A missing entry shows the parameter's current value rather than failing.
    const auto Value = [&](int I) {
        const auto K = static_cast<std::size_t>(I);
        return K < Best.size() ? Best[K] : Params.Params[K].Value;
    };
    const auto Name = [&](int I) { return Params.Params[static_cast<std::size_t>(I)].Name; };
    std::string R;
    if (Suction > 0 && Task == 0 && !(BestValue > 0)) {
        // Scaling by a velocity that is zero or points the other way gives no suction
        // that could be meant.
        R += "Никакая производительность этих отсосов не обеспечивает\r"
             "заданную скорость в заданном направлении.\r";
    } else if (Suction > 0) {
        if (Task == 0)
            R += "Для обеспечения заданной скорости должны быть\r"
                 "выбраны следующие производительности отсосов:\r";
        else
            R += "Должны быть выбраны следующие\rпроизводительности отсосов:\r";
        for (int I = 0; I < Suction; ++I) {
            const double V = Task == 0 ? Value(I) * RequiredSpeed / BestValue : Value(I);
            R += Name(I) + " = " + FormatNumber(V, Separator) + "м/с" + "\r";
            // The scaling for the required velocity may leave the range searched; a
            // rounding's worth beyond a bound is still the bound.
            const TParamInfo& P = Params.Params[static_cast<std::size_t>(I)];
            const double Slack = 1e-9 * std::max({1.0, std::abs(P.MinValue), std::abs(P.MaxValue)});
            if (V < P.MinValue - Slack || V > P.MaxValue + Slack)
                R += "(вне заданного диапазона от " + FormatNumber(P.MinValue, Separator) + " до " +
                     FormatNumber(P.MaxValue, Separator) + "м/с)\r";
        }
    }
    if (N > Suction) {
        R += "\rГеометрические параметры должны иметь\rследующие значения:\r";
        for (int I = Suction; I < N; ++I)
            R += Name(I) + " = " + FormatNumber(Value(I), Separator) + "\r";
    }
    if (Task != 0)
        R += "\rКоличество уловленных частиц: " + std::to_string(Caught);
    return R;
}

} // namespace kalvex
