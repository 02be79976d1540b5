// One point of a task's parameter space evaluated on its own, as the search evaluates a
// trial there: what a study spreads over many machines.
#pragma once

#include "optimise/uOptTask.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kalvex {

struct TTaskPoint {
    // The parameters in the search's order (suction first) and their values.
    std::vector<std::string> Names;
    TRealArray Values;
    // Task 0: the velocity along the direction at the point; tasks 1, 2: the caught count.
    double Out = 0.0;
    // The search's objective (task 0: Out).
    double Objective = 0.0;
};

// Model with the task's parameters moved to Values (by name; those not named keep the
// task's start value) through their formulas, then discretised, solved and evaluated
// as one trial of the search. Throws TRefusal for an unknown name, a model that cannot
// be balanced or whose boundaries cross at that point, and TKalvexError when the trial
// cannot be evaluated (discretisation, solve or trace failed). The evaluator's Threads
// and solver come from Threads and Solver.
TTaskPoint EvaluateTaskPoint(const TEdges& Model, const TOptTask& Task,
                             const std::map<std::string, double>& Values, int Threads = 1,
                             TSolverKind Solver = TSolverKind::skAuto);

// The task's whole grid as a study sweeps it: each parameter (suction first) with the
// values the search's tabulation gives it. Throws TRefusal as PrepareSearch does, and
// for a grid of more than MaxGridModels models even when the task does not tabulate.
std::vector<std::pair<std::string, TRealArray>> TaskGrid(const TEdges& Model, const TOptTask& Task);

} // namespace kalvex
