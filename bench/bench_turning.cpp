// A particle beside a turning slit cylinder: every step re-solves the system. The
// static elements' factors kept from step to step against a full solve at every step
// (by LU and by the automatic choice), in one run:
//   bench_turning [STEP [PASSES]]
// Equal elements of STEP (default 0.02 m: about 60 on the cylinder), then the walls
// halved PASSES times (default 3: about 2000 elements in all), the cylinder left as is.
#include "geometry/uEdges.h"
#include "results/uParticle.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kalvex;

int main(int argc, char** argv) {
    const double Step = argc > 1 ? std::atof(argv[1]) : 0.02;
    const int Passes = argc > 2 ? std::atoi(argv[2]) : 3;
    TParticleParams P;
    P.Start = {0.6, 0.9};
    P.H = 0.005;
    P.TMax = 1.0; // 200 steps
    const auto Run = [&](bool Keep, TSolverKind Kind, TColorPointArray& Line, std::size_t& N,
                         int& Moving) {
        TEdges Model;
        Model.LoadFromFile(std::string(KALVEX_EXAMPLES_DIR) + "/cylinder.asp");
        TCountEdges C;
        C.Elements.DiscretizeEqual(Model, 15, Step, 1.8);
        for (int K = 0; K < Passes; ++K) {
            // Four boxes around the turning cylinder's square cover everything else.
            const TCylInfo Cyl = C.Elements.CylInfos.front();
            const double Far = 1e6;
            const double L = Cyl.Center.X - Cyl.R - Step;
            const double R = Cyl.Center.X + Cyl.R + Step;
            const double B = Cyl.Center.Y - Cyl.R - Step;
            const double T = Cyl.Center.Y + Cyl.R + Step;
            C.Elements.RefineInRect({-Far, -Far}, {L, Far});
            C.Elements.RefineInRect({R, -Far}, {Far, Far});
            C.Elements.RefineInRect({L, -Far}, {R, B});
            C.Elements.RefineInRect({L, T}, {R, Far});
        }
        C.KeepStaticFactor = Keep;
        C.SolverKind = Kind;
        C.Model = &Model;
        N = C.Elements.Elements.size();
        Moving = 0;
        for (const TCylInfo& Cyl : C.Elements.CylInfos)
            Moving += Cyl.V != 0 ? Cyl.ElementCount : 0;
        const auto T0 = std::chrono::steady_clock::now();
        TraceParticleEx(C, Line, P);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - T0).count();
    };
    // A full solve at every step by LU and by the automatic choice (GMRES at this size).
    TColorPointArray Lu;
    TColorPointArray Full;
    TColorPointArray Kept;
    std::size_t N = 0;
    int Moving = 0;
    const double TLu = Run(false, TSolverKind::skDirect, Lu, N, Moving);
    const double TFull = Run(false, TSolverKind::skAuto, Full, N, Moving);
    const double TKept = Run(true, TSolverKind::skAuto, Kept, N, Moving);
    double Apart = Full.size() == Kept.size() && Lu.size() == Kept.size() ? 0.0 : 1e300;
    for (std::size_t I = 0; I < std::min(Full.size(), Kept.size()); ++I)
        Apart = std::max(Apart, Distance(Full[I].Position, Kept[I].Position));
    for (std::size_t I = 0; I < std::min(Lu.size(), Kept.size()); ++I)
        Apart = std::max(Apart, Distance(Lu[I].Position, Kept[I].Position));
    std::printf("turning slit: %zu elements, %d turning, %zu points: kept static factor %.3fs; "
                "full solve every step by LU %.3fs, ratio %.2fx; by the automatic choice %.3fs, "
                "ratio %.2fx; trajectories %.2e m apart\n",
                N, Moving, Kept.size(), TKept, TLu, TLu / TKept, TFull, TFull / TKept, Apart);
    return 0;
}
