// Work spread over the cores against the same work on one thread, in one run:
//   bench_parallel [N [M]]     (default 2000 elements for the lines, 600 for the search)
// A field of flow lines on the hood example, and a velocity search with two parameters
// on a 5 x 5 grid. Each prints both times (the best of three alternated runs), the
// ratio and whether the results agree.
// First, the ratio a loop of pure arithmetic reaches on the cores as loaded right now:
// the ceiling for the others on a machine shared with other work.
#include "geometry/uEdges.h"
#include "optimise/uOptEdges.h"
#include "optimise/uOptTask.h"
#include "results/uDrawLines.h"
#include "results/uFlowLines.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace kalvex;

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point From) {
    return std::chrono::duration<double>(TClock::now() - From).count();
}

TEdges Example(const char* Name) {
    TEdges M;
    M.LoadFromFile(std::string(KALVEX_EXAMPLES_DIR) + "/" + Name);
    return M;
}

double Spin(long Count) {
    double S = 0.0;
    for (long I = 1; I <= Count; ++I)
        S += std::sqrt(static_cast<double>(I));
    return S;
}

void Ceiling() {
    const long Count = 100'000'000;
    const unsigned Cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<double> Sums(Cores);
    auto T0 = TClock::now();
    for (unsigned K = 0; K < Cores; ++K)
        Sums[K] = Spin(Count);
    const double T1 = Seconds(T0);
    T0 = TClock::now();
    {
        std::vector<std::jthread> Pool;
        for (unsigned K = 0; K < Cores; ++K)
            Pool.emplace_back([&Sums, K, Count] { Sums[K] += Spin(Count); });
    }
    const double TN = Seconds(T0);
    std::printf("ceiling (pure arithmetic, %u threads): ratio %.2fx\n", Cores, T1 / TN);
}

void FieldOfLines(int Target) {
    const TEdges Model = Example("hood.asp");
    TCountEdges C;
    C.Elements.DiscretizeEqual(Model, 15, 3.5 / Target, 1.8);
    C.Solve();
    double Interval = 0.05;
    C.LineInterval = Interval;
    while (CountFlowLines(C, -1) < 40 && Interval > 1e-4) {
        Interval /= 1.25;
        C.LineInterval = Interval;
    }
    const auto Run = [&](int Threads, TDrawLines& Store) {
        C.Threads = Threads;
        const auto T0 = TClock::now();
        BuildFieldOfLines(C, Model, Store, Interval, 0.01, 1.0, true);
        return Seconds(T0);
    };
    TDrawLines One;
    TDrawLines All;
    // The best of three alternated runs each: other work on the machine only adds.
    double T1 = 1e300;
    double TN = 1e300;
    for (int K = 0; K < 3; ++K) {
        T1 = std::min(T1, Run(1, One));
        TN = std::min(TN, Run(0, All));
    }
    bool Same = One.Lines.size() == All.Lines.size();
    std::size_t Points = 0;
    for (std::size_t L = 0; Same && L < One.Lines.size(); ++L) {
        Same = One.Lines[L].size() == All.Lines[L].size();
        for (std::size_t P = 0; Same && P < One.Lines[L].size(); ++P)
            Same = One.Lines[L][P].Position.X == All.Lines[L][P].Position.X &&
                   One.Lines[L][P].Position.Y == All.Lines[L][P].Position.Y;
        Points += One.Lines[L].size();
    }
    std::printf("field of lines: %zu elements, %d lines, %zu points: one thread %.3fs, "
                "%u threads %.3fs, ratio %.2fx, lines %s\n",
                C.Elements.Elements.size(), One.Count, Points, T1,
                std::thread::hardware_concurrency(), TN, T1 / TN, Same ? "identical" : "DIFFER");
}

void Search(double Step, bool Tabulate) {
    const TEdges Model = Example("hood_probe.asp");
    const auto Run = [&](int Threads, TRealArray& Best, double& Value, int& Evaluations) {
        TOptimizeEdges S;
        if (!S.Params.BuildObjects(Model))
            std::abort();
        TOptTask Task = ParseOptTask(R"({"task": 0,
            "speed": {"x": 0.3, "y": 0.1, "dx": -1, "dy": 0, "v": 1},
            "suction": [{"name": "Отсос1", "min": 0.5, "max": 2.5, "step": 0.5, "start": 2}],
            "geometric": [{"name": "h", "min": -0.15, "max": 0.05, "step": 0.05, "start": 0,
                           "formulas": [{"object": "Точка5", "change": "y"},
                                        {"object": "Точка6", "change": "y"}]}],
            "tabulate": false})");
        Task.Tabulate = Tabulate;
        // Equal elements, about N of them on the probe's 3.5 m of boundary.
        Task.Discretization.Graded = false;
        Task.Discretization.Step = Step;
        ApplyOptTask(Task, S);
        S.Evaluator.Threads = Threads;
        const auto T0 = TClock::now();
        S.OptimizeSpeed(Task.Speed, Value, Best);
        Evaluations = S.Evaluations;
        return Seconds(T0);
    };
    TRealArray B1, BN;
    double V1 = 0, VN = 0;
    int E1 = 0, EN = 0;
    double T1 = 1e300;
    double TN = 1e300;
    for (int K = 0; K < 3; ++K) {
        T1 = std::min(T1, Run(1, B1, V1, E1));
        TN = std::min(TN, Run(0, BN, VN, EN));
    }
    TCountEdges Probe;
    Probe.Elements.DiscretizeEqual(Model, 15, Step, 1.8);
    std::printf("search, %s: %zu elements, %d evaluations: one thread %.3fs, "
                "%u threads %.3fs, ratio %.2fx, best point %s, value %.17g / %.17g\n",
                Tabulate ? "5 x 5 grid then ascent" : "ascent alone",
                Probe.Elements.Elements.size(), E1, T1, std::thread::hardware_concurrency(), TN,
                T1 / TN, B1 == BN && E1 == EN ? "the same" : "DIFFERS", V1, VN);
}

} // namespace

int main(int argc, char** argv) {
    const int N = argc > 1 ? std::atoi(argv[1]) : 2000;
    Ceiling();
    FieldOfLines(N);
    Search(3.5 / (argc > 2 ? std::atoi(argv[2]) : 600), true);
    Search(3.5 / (argc > 2 ? std::atoi(argv[2]) : 600), false);
    return 0;
}
