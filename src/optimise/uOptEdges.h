// The optimal-parameter search: named objects of a model, the searched parameters
// with their linear formulas, and the search itself (a coarse grid followed by a
// normalised-gradient ascent) on a private copy of the model with its own evaluator.
#pragma once

#include "base/uEventPump.h"
#include "geometry/GenFuncs.h"
#include "geometry/uEdges.h"
#include "results/uParticle.h"
#include "solver/uCountEdges.h"
#include "solver/uDiscretization.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvex {

// A model part that a formula can change.
struct TChangeObject {
    std::string Name;
    int EdgeIndex = 0;
    // Segment record; for the end point of a semi-infinite region the segment count.
    int SegIndex = 0;
};
using TChangeObjectArray = std::vector<TChangeObject>;

enum TChangeKind : std::uint8_t { ckX = 0, ckY = 1, ckRadius = 2, ckFlow = 3 };

// One linear formula: the record's quantity changes by Scaler times the change of the
// parameter.
struct TChangeInfo {
    int EdgeIndex = 0;
    int SegIndex = 0;
    double Scaler = 1.0;
    std::uint8_t Kind = ckX;
    std::string ObjectName;
};
using TChangeInfoArray = std::vector<TChangeInfo>;

struct TParamInfo {
    std::string Name;
    double MinValue = 0.0;
    double MaxValue = 0.0;
    double Step = 0.0;
    double Value = 0.0;
    TChangeInfoArray Changes;

    bool IsSuction() const { return !Changes.empty() && Changes.front().Kind == ckFlow; }
};
using TParamInfoArray = std::vector<TParamInfo>;

inline constexpr int MaxNameLength = 20;

// The parameter set with the working copy of the model it changes. The suction
// parameters (first formula of kind ckFlow) come first, in object order.
class TOptimizedParams {
public:
    // Copies Model, rebuilds the objects and the automatic suction parameters.
    // False (and nothing changed) when the flow cannot be balanced: no semi-infinite
    // region and not exactly one opening with V < 0, or a balancing opening of no length.
    bool BuildObjects(const TEdges& Source);

    void AddParam(const TParamInfo& Info) { Params.push_back(Info); }
    void DeleteParam(int Index);
    void ReplaceParam(int Index, const TParamInfo& Info);
    void ClearParams() { Params.clear(); }
    // Both throw TKalvexError for an index outside the parameters.
    TParamInfo GetParam(int Index) const { return Params[CheckedParam(Index)]; }
    bool ParamExists(const std::string& Name) const;
    double SuctionSum() const;
    // Number of leading suction parameters.
    int SuctionCount() const;
    // Applies the formulas of parameter Index for the move to NewValue.
    void SetParamValue(int Index, double NewValue);

    int ParamCount() const { return static_cast<int>(Params.size()); }
    int ObjectCount() const { return static_cast<int>(Objects.size()); }
    // Index of the object of that name, or -1.
    int FindObject(const std::string& Name) const;

    TEdges Model;
    TParamInfoArray Params;
    TChangeObjectArray Objects;

private:
    void ApplyChange(const TChangeInfo& C, double Delta);
    std::size_t CheckedParam(int Index) const;
};

struct TStartPartInfo {
    TRealPoint Position;
    TRealPoint Velocity;
};
using TStartPartInfoArray = std::vector<TStartPartInfo>;

// The particle tasks: one particle input as the trace takes it, released from each
// entry of Particles (its own Start and StartVelocity are not used).
struct TParticleData : TParticleParams {
    TStartPartInfoArray Particles;
};

struct TSpeedData {
    TRealPoint Point{1.0, 1.0};
    TRealPoint Direction{1.0, 0.0};
    double Speed = 1.0;
};

// The time test of a particle that reached an opening: its flight time T must lie
// below the limit, by a margin of 1e-10 s for the most-caught task and by none for
// the fewest-caught task. (A run that ended by time never counts.)
bool ParticleCaught(double T, double TMax, bool Minimise);

// Whether the velocity at P computed from these elements describes the flow: P lies
// off every element, and the element nearest to it (the longest of equally near ones)
// is no longer than its distance from P. Nearer, the field of the constant-intensity
// elements is dominated by their own edges, and on a boundary it is singular.
bool PointClearOfElements(const TEdgeElementArray& Elements, TRealPoint P);
// Task 1: Caught / (S + 1); task 2: 1 / ((S + 1)(Caught + 1)).
double ParticleObjective(int Caught, double SuctionSum, bool Minimise);

class TOptimizeEdges {
public:
    TOptimizeEdges();
    virtual ~TOptimizeEdges() = default;
    TOptimizeEdges(const TOptimizeEdges&) = delete;
    TOptimizeEdges& operator=(const TOptimizeEdges&) = delete;

    // Task 0. Best is the best point the search evaluated, wherever its path ended,
    // and BestValue comes from that evaluation. False (BestValue NaN) when no point
    // could be evaluated.
    bool OptimizeSpeed(const TSpeedData& Task, double& BestValue, TRealArray& Best);
    // Tasks 1 (Minimise false) and 2 (Minimise true); Caught as above (0 on false).
    bool OptimizeParticles(const TParticleData& Task, bool Minimise, TRealArray& Best, int& Caught);
    void StopSearch() { Stopped = true; }

    // One odometer step of the grid; false when the grid is finished.
    bool NextGridPoint();
    // The number of models the grid phase evaluates (with Tabulate), from the ranges,
    // steps and TabScaler; may be huge or infinite.
    double GridSize() const;
    // The values each parameter takes in the grid, in parameter order, as NextGridPoint
    // walks them (repeated addition, so the same bits).
    std::vector<TRealArray> GridValues() const;
    // Discretises Params.Model into the evaluator with DiscretizationSettings and
    // empties its intensities; throws TDiscretizationError on unusable settings.
    void Discretize();

    // Its own evaluator. Its ProcessEvents is set to call ProcessEvents below and to
    // end a particle trace once a stop is requested; leave it so. Its Model stays
    // null, so that rotating slits turn neither the user's model nor the copy.
    // Its Threads and SolverKind hold for the whole search: with more than one thread
    // the grid's points, the gradient's trial points and the ascent's likely next
    // trials are evaluated side by side, each on its own copy of the model and its own
    // evaluator, and taken in the sequential order, so that the search takes the same
    // path. (A subclass that overrides Evaluate sets Threads to 1: the parallel trials
    // go to EvaluateModel.)
    TCountEdges Evaluator;
    // The settings with which every trial is discretised.
    TDiscretizationSettings DiscretizationSettings;
    double MinStep = 0.01;
    TOptimizedParams Params;
    double GradientTolerance = 0.1;
    double TabScaler = 1.0;
    bool Tabulate = false;
    bool Stopped = false;
    TSpeedData SpeedTask;
    TParticleData ParticleTask;

    // Event pump: called before every grid point, at the start of every ascent
    // iteration and before every coordinate trial (and, through the evaluator, during
    // particle traces). StopSearch from it ends the search.
    TEventPump ProcessEvents;

    // The gradient estimated at the start of the ascent (one entry per parameter).
    TRealArray Gradient;
    // Objective evaluations made by the last search (the final one included).
    int Evaluations = 0;
    // Told after every completed evaluation: the evaluations so far and the out-value
    // (task 0: the velocity; tasks 1, 2: the caught count) of the best point so far.
    std::function<void(int Evaluations, double BestOut)> OnProgress;

protected:
    struct TTrial {
        double F = 0.0;   // the objective, maximised
        double Out = 0.0; // task 0: the velocity; tasks 1, 2: the caught count
    };
    enum TTaskKind { tkSpeed, tkMostCaught, tkFewestCaught };

    // Evaluates the objective of the current (valid) model; empty when its
    // discretisation, solve or trace fails, or when the velocity task's point is not
    // clear of the model's elements (PointClearOfElements): such a model is skipped
    // as one whose boundaries cross.
    virtual std::optional<TTrial> Evaluate();
    // The same for Model on Counter; SuctionSum is that of the parameter values that
    // gave Model. A particle task ends early once Counter.Stopped is set after a trace.
    // Called from several threads at once: an override may use only its arguments and
    // data that stay put during the search.
    virtual std::optional<TTrial> EvaluateModel(const TEdges& Model, double SuctionSum,
                                                TCountEdges& Counter) const;

    TTaskKind Kind = tkSpeed;

private:
    // A trial point of a batch: the parameter values and the model they give.
    struct TTrialPoint {
        TRealArray Values;
        TEdges Model;
        bool Valid = false; // a model whose boundaries do not cross
        double SuctionSum = 0.0;
    };
    // Evaluates the model as it stands; empty when the model is not valid or cannot be
    // evaluated. Every completed evaluation is offered to BestSeen. With more than one
    // thread, points the path is expected to ask for next (Ahead, most likely first)
    // are evaluated beside it and kept until asked for: the path and the count of
    // evaluations stay those of one thread, only the waiting is shared.
    std::optional<TTrial> Trial(const std::vector<TTrialPoint>& Ahead = {});
    // Moves parameter Index to Value (through its formulas).
    void Set(int Index, double Value);
    bool Pump();
    void Optimize();
    static TTrialPoint Snapshot(const TOptimizedParams& From);
    // From with the parameters moved to Values, in parameter order, each through its
    // formulas: the same values from the same start always give the same model.
    static TOptimizedParams Moved(const TOptimizedParams& From, const TRealArray& Values);
    // Makes P the model as it stands.
    void Restore(const TTrialPoint& P);
    bool ParallelTrials() const;
    // Evaluates the points side by side and calls Take(I, Result) in order on this
    // thread (Result empty for a point that could not be evaluated), after pumping
    // events (PumpFirst) and, when Counted, doing Trial's bookkeeping. Take returning
    // false, or a stop, ends the batch; false then.
    bool EvaluateBatch(const std::vector<TTrialPoint>& Points, bool PumpFirst, bool Counted,
                       const std::function<bool(std::size_t, const std::optional<TTrial>&)>& Take);
    // The figures kept for P, if it was evaluated ahead.
    const std::optional<TTrial>* Prefetched(const TTrialPoint& P) const;
    // The gradient estimate's trial points at X (the model as it stands), each with the
    // parameter it probes and the size of its move.
    std::vector<TTrialPoint> GradientPoints(const TRealArray& X,
                                            std::vector<std::pair<int, double>>& Probes) const;
    void EstimateGradient(const std::vector<TTrialPoint>& Points,
                          const std::vector<std::pair<int, double>>& Probes, double F0);
    // Leaves the model at the best evaluated point and gives its figures.
    std::optional<TTrial> Finish(TRealArray& Best);

    // The evaluators of the parallel trials, kept for the length of a search.
    std::vector<std::unique_ptr<TCountEdges>> TrialCounters;
    // Points evaluated ahead of the path, with their figures, newest last.
    std::vector<std::pair<TTrialPoint, std::optional<TTrial>>> Kept;
    // The evaluation of the model as it stands, while it stands.
    std::optional<TTrial> Current;
    // The last trial was interrupted by a stop request.
    bool Aborted = false;
    // The best point evaluated so far (grid points, gradient and ascent trials, moves):
    // the path of the search may end below it, the answer may not.
    struct TSeen {
        TRealArray Point;
        TTrial Figures;
    };
    std::optional<TSeen> BestSeen;
    // The start values, the answer when nothing could be evaluated.
    TRealArray StartValues;
};

// The report of the search command, lines separated by '\r', numbers as FormatNumber
// writes them with Separator. The flow is linear in the suction velocities, so task 0
// scales each suction value by RequiredSpeed / BestValue to give the required velocity
// at the point; when BestValue is not positive no suction of these openings gives the
// velocity in that direction, and the report says so. A suction value outside its
// parameter's range is followed by a line saying so.
std::string SearchReport(int Task, const TOptimizedParams& Params, const TRealArray& Best,
                         double BestValue, int Caught, char Separator = '.',
                         double RequiredSpeed = 1.0);

} // namespace kalvex
