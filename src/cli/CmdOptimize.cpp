// kalvex-calc optimize: the optimal-parameter search driven by a task file.
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "geometry/uEdges.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"

#include <algorithm>
#include <csignal>
#include <iostream>

namespace kalvex::cli {
namespace {

volatile std::sig_atomic_t Interrupted = 0;

extern "C" void OnInterrupt(int) {
    Interrupted = 1;
}

// Ctrl+C stops the search as the dialog's stop button does: the best point found so
// far is reported.
class TInterruptGuard {
public:
    TInterruptGuard() {
        Interrupted = 0;
        Previous = std::signal(SIGINT, OnInterrupt);
    }
    ~TInterruptGuard() { std::signal(SIGINT, Previous); }
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;

private:
    void (*Previous)(int) = SIG_DFL;
};

int RunOptimize(const TArgs& Args) {
    Args.OnlyOptions(DiscretizationOptionNames());
    if (Args.Positional.size() != 2)
        throw TUsageError("expected a system file and a task file");
    // Options given on the command line take over from the task file, one by one.
    const TDiscretizationSettings Options = ReadDiscretizationOptions(Args);
    TEdges Model;
    Model.LoadFromFile(Args.Positional[0]);
    TOptTask Task = LoadOptTask(Args.Positional[1]);
    TDiscretizationSettings& D = Task.Discretization;
    if (Args.Has("method"))
        D.Graded = Options.Graded;
    if (Args.Has("base-length"))
        D.Step = Options.Step;
    if (Args.Has("scaler"))
        D.Scaler = Options.Scaler;
    if (Args.Has("cyl-step"))
        D.CylStep = Options.CylStep;
    if (Args.Has("infinite-scaler"))
        D.InfiniteScaler = Options.InfiniteScaler;
    if (Args.Has("infinite-count"))
        D.InfiniteCount = Options.InfiniteCount;

    TOptimizeEdges Search;
    if (!Search.Params.BuildObjects(Model))
        throw TKalvexError("the flow of this model cannot be balanced: a model without a "
                           "semi-infinite region needs exactly one opening with V < 0 of "
                           "non-zero length (this one has " +
                           std::to_string(Model.InflowCount()) + ")");
    ApplyOptTask(Task, Search);
    ApplyComputeOptions(Args, Search.Evaluator);
    // Unusable discretisation settings would fail every trial: say so at once.
    Search.Discretize();

    TInterruptGuard Guard;
    Search.ProcessEvents = [&Search] {
        if (Interrupted)
            Search.StopSearch();
    };

    TRealArray Best;
    double BestValue = 0.0;
    int Caught = 0;
    const bool Evaluated =
        Task.Task == 0 ? Search.OptimizeSpeed(Task.Speed, BestValue, Best)
                       : Search.OptimizeParticles(Task.Particles, Task.Task == 2, Best, Caught);
    if (!Evaluated)
        throw TKalvexError("no usable model was found: at the best point the boundaries "
                           "cross, or its discretisation or solve fails");
    if (Search.Stopped)
        std::cerr << "kalvex-calc optimize: search stopped, the best point so far follows\n";

    std::string Report = SearchReport(Task.Task, Search.Params, Best, BestValue, Caught, '.',
                                      Task.Speed.Speed);
    std::replace(Report.begin(), Report.end(), '\r', '\n');
    if (!Report.empty() && Report.back() != '\n')
        Report += '\n';
    std::cout << Report << "best:";
    for (double V : Best)
        std::cout << " " << Num(V);
    std::cout << "\n";
    if (Task.Task == 0)
        std::cout << "value: " << Num(BestValue) << "\n";
    else
        std::cout << "caught: " << Caught << "\n";
    return 0;
}

const TRegisterCommand RegOptimize({"optimize",
                                    "optimize SYSTEM.asp TASK.json [opts]  optimal-parameter "
                                    "search (task file: docs/optimize-task.md)",
                                    80, RunOptimize});

} // namespace
} // namespace kalvex::cli
