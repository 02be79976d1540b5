// kalvex-calc optimize: the optimal-parameter search driven by a task file.
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "geometry/uEdges.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"

#include <algorithm>
#include <iostream>
#include <sstream>

namespace kalvex::cli {
namespace {

int RunOptimize(const TArgs& Args) {
    Args.OnlyOptions(DiscretizationOptionNames());
    if (Args.Positional.size() != 2)
        throw TUsageError("expected a system file and a task file");
    // Options given on the command line take over from the task file, one by one.
    const TDiscretizationSettings Options = ReadDiscretizationOptions(Args);
    TEdges Model;
    LoadSystem(Model, Args.Positional[0]);
    RequireValid(Model);
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
    PrepareSearch(Model, Task, Search);
    ApplyComputeOptions(Args, Search.Evaluator);
    // Unusable discretisation settings would fail every trial: say so at once.
    Search.Discretize();
    Search.ProcessEvents = StopOnInterrupt([&Search] { Search.StopSearch(); });

    TRealArray Best;
    double BestValue = 0.0;
    int Caught = 0;
    const bool Evaluated =
        Task.Task == 0 ? Search.OptimizeSpeed(Task.Speed, BestValue, Best)
                       : Search.OptimizeParticles(Task.Particles, Task.Task == 2, Best, Caught);
    if (!Evaluated)
        throw TKalvexError("no usable model was found: at the best point the boundaries "
                           "cross, the velocity task's point lies on a boundary or nearer to "
                           "it than its elements are long, or its discretisation or solve "
                           "fails");
    if (Search.Stopped)
        std::cerr << "kalvex-calc optimize: search stopped, the best point so far follows\n";

    // Every figure is checked before anything is printed: Num refuses one that is not
    // finite, and so is each suction line of the report (best suction scaled by the
    // velocity found).
    std::ostringstream Tail;
    Tail << "best:";
    for (double V : Best)
        Tail << " " << Num(V);
    Tail << "\n";
    if (Task.Task == 0) {
        Tail << "value: " << Num(BestValue) << "\n";
        if (BestValue > 0)
            for (int I = 0; I < Search.Params.SuctionCount() && I < static_cast<int>(Best.size());
                 ++I)
                Num(Best[static_cast<std::size_t>(I)] * Task.Speed.Speed / BestValue);
    } else {
        Tail << "caught: " << Caught << "\n";
    }
    std::string Report =
        SearchReport(Task.Task, Search.Params, Best, BestValue, Caught, '.', Task.Speed.Speed);
    std::replace(Report.begin(), Report.end(), '\r', '\n');
    if (!Report.empty() && Report.back() != '\n')
        Report += '\n';
    std::cout << Report << Tail.str();
    return 0;
}

const TRegisterCommand RegOptimize({"optimize",
                                    "optimize SYSTEM.asp TASK.json [opts]  optimal-parameter "
                                    "search (task file: docs/optimize-task.md)",
                                    80, RunOptimize,
                                    "Prints the report lines, then \"best: v1 v2 ...\" (suction "
                                    "parameters first) and\n\"value: V\" (task 0) or "
                                    "\"caught: K\" (tasks 1, 2). A tabulation grid of more than\n"
                                    "1000000 models is refused before the search. Ctrl+C stops the "
                                    "search at its next\ncheck and the best point so far is "
                                    "reported.\n"});

} // namespace
} // namespace kalvex::cli
