// A particle beside a turning slit cylinder as kalvex-calc particle traces it: the
// cost of one more trace step against a fresh solve by the automatic choice (what
// kalvex-calc velocity does), both through the commands' own code paths, alternated
// in one run:
//   bench_turning_step [ROUNDS] [--save DIR]
// A floor along y = 0 from x = 2 to -2, above it a cylinder of radius 0.1 m at (0; 0.3)
// turning at 1 m/s with a slit from 250 to 290 degrees sucking at 2 m/s. Equal elements
// of 0.0105 m (60 on the cylinder) with the floor's halved in the window until about
// 2300 and 3900 elements in all (the discretisation file the command then loads), and
// equal elements of 0.002 and 0.0012 m everywhere (300-500 on the cylinder). --save
// writes each case as DIR/turning_N.asp with its discretisation file.
#include "geometry/uEdges.h"
#include "results/uDrawLines.h"
#include "results/uParticle.h"
#include "solver/uCountEdges.h"
#include "solver/uDiscretization.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace kalvex;

namespace {

TEdges TurningSlit() {
    TEdges M;
    TEdge Floor(ekSemiInfinite);
    // Two pieces, so that graded elements can be asked for too.
    for (const double X : {2.0, 0.0}) {
        TEdgeSegment S;
        S.P1 = {X, 0.0};
        S.P2 = {X - 2.0, 0.0};
        Floor.AddSegment(S);
    }
    M.Add(std::move(Floor));
    TEdge Cyl(ekCylinder);
    TEdgeSegment S0;
    S0.P1 = {0.0, 0.3};
    S0.P2 = {0.1, 0.0};
    S0.V = 1.0;
    S0.SetHasSlit(true);
    TEdgeSegment S1 = S0;
    S1.P1 = {250.0, 290.0};
    S1.V = 2.0;
    Cyl.AddSegment(S0);
    Cyl.AddSegment(S1);
    M.Add(std::move(Cyl));
    return M;
}

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point T0) {
    return std::chrono::duration<double>(TClock::now() - T0).count();
}

struct TCase {
    double Step;
    // Halvings of the whole floor, then once more within |x| < Central.
    int Passes;
    double Central;
};

void Prepare(TCountEdges& C, const TEdges& Model, const TCase& K) {
    TDiscretizationSettings D;
    D.Graded = false;
    D.Step = K.Step;
    Discretize(C.Elements, Model, D);
    // The floor lies below y = 0.1, the cylinder above.
    for (int P = 0; P < K.Passes; ++P)
        C.Elements.RefineInRect({-1e6, -1e6}, {1e6, 0.1});
    if (K.Central > 0)
        C.Elements.RefineInRect({-K.Central, -1.0}, {K.Central, 0.1});
}

// The particle command's defaults, from (0.3; 0.6), for Steps steps.
TParticleParams Particle(int Steps) {
    TParticleParams P;
    P.Start = {0.3, 0.6};
    P.TMax = P.H * Steps;
    return P;
}

// One whole particle command on a copy of the model: elements, trace. Returns the
// median time between two steps after the first (the cylinders are redrawn once a
// step).
double Trace(TEdges Model, const TCase& Step, int Steps, bool Keep, TColorPointArray* Line) {
    TCountEdges C;
    Prepare(C, Model, Step);
    C.Model = &Model;
    C.KeepStaticFactor = Keep;
    std::vector<TClock::time_point> At;
    C.RedrawCylinders = [&] { At.push_back(TClock::now()); };
    TDrawLines Store;
    BuildParticleTrace(C, Store, Particle(Steps));
    if (Line)
        *Line = Store.Lines.back();
    std::vector<double> Between;
    for (std::size_t I = 1; I < At.size(); ++I)
        Between.push_back(std::chrono::duration<double>(At[I] - At[I - 1]).count());
    std::sort(Between.begin(), Between.end());
    return Between.empty() ? 0.0 : Between[Between.size() / 2];
}

// One whole velocity command: elements, a fresh solve, one velocity.
double Fresh(const TEdges& Model, const TCase& Step, std::size_t& N, int& Moving) {
    const auto T0 = TClock::now();
    TCountEdges C;
    Prepare(C, Model, Step);
    C.Solve();
    volatile double V = C.Velocity({0.3, 0.6}).X;
    (void)V;
    const double T = Seconds(T0);
    N = C.Elements.Elements.size();
    Moving = 0;
    for (const TCylInfo& Cyl : C.Elements.CylInfos)
        Moving += Cyl.V != 0 ? Cyl.ElementCount : 0;
    return T;
}

double Median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int Rounds = 5;
    std::string SaveDir;
    for (int I = 1; I < argc; ++I) {
        if (std::strcmp(argv[I], "--save") == 0 && I + 1 < argc)
            SaveDir = argv[++I];
        else
            Rounds = std::max(1, std::atoi(argv[I]));
    }
    const TEdges Model = TurningSlit();
    const TCase Cases[] = {{0.0105, 2, 0.8}, {0.0105, 3, 0.35}, {0.002, 0, 0}, {0.0012, 0, 0}};
    constexpr int Long = 12;
    for (const TCase& Step : Cases) {
        if (!SaveDir.empty()) {
            TCountEdges C;
            Prepare(C, Model, Step);
            const std::string Name =
                SaveDir + "/turning_" + std::to_string(C.Elements.Elements.size());
            Model.SaveToFile(Name + ".asp");
            C.Elements.SaveToFile(Name + ".dsc");
        }
        std::vector<double> PerStep, Solve, Ratio;
        std::size_t N = 0;
        int Moving = 0;
        for (int R = 0; R < Rounds; ++R) {
            const double TF = Fresh(Model, Step, N, Moving);
            const double One = Trace(Model, Step, Long, true, nullptr);
            const double TF2 = Fresh(Model, Step, N, Moving);
            PerStep.push_back(One);
            Solve.push_back((TF + TF2) / 2);
            Ratio.push_back(One / ((TF + TF2) / 2));
        }
        // The same flight solved afresh at every step.
        TColorPointArray Kept, Full;
        Trace(Model, Step, 4 * Long, true, &Kept);
        Trace(Model, Step, 4 * Long, false, &Full);
        double Apart = Kept.size() == Full.size() ? 0.0 : 1e300;
        for (std::size_t I = 0; I < std::min(Kept.size(), Full.size()); ++I)
            Apart = std::max(Apart, Distance(Kept[I].Position, Full[I].Position));
        std::printf("turning slit, equal %.4g m, floor halved %d+%d: %zu elements, %d turning: one "
                    "more step %.4fs, "
                    "fresh automatic solve %.4fs, step/solve %.3f (median of %d alternated rounds "
                    "of %d steps, "
                    "%.3f-%.3f); %zu points %.2e m from solving afresh\n",
                    Step.Step, Step.Passes, Step.Central > 0 ? 1 : 0, N, Moving, Median(PerStep),
                    Median(Solve), Median(Ratio), Rounds, Long,
                    *std::min_element(Ratio.begin(), Ratio.end()),
                    *std::max_element(Ratio.begin(), Ratio.end()), Kept.size(), Apart);
        std::fflush(stdout);
    }
    return 0;
}
