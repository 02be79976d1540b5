// The iterative solve against LU on the same system, in one run:
//   bench_iterative [N ...]     (default 2000 4000 8000 elements; 16000 takes minutes)
// For each size: assembly, the whole Solve by GMRES (with its step count) and by LU,
// their ratio, and the largest velocity difference between the two at sample points
// relative to the largest velocity there.
#include "geometry/uEdges.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace kalvex;

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point From) {
    return std::chrono::duration<double>(TClock::now() - From).count();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> Sizes;
    for (int I = 1; I < argc; ++I)
        Sizes.push_back(std::atoi(argv[I]));
    if (Sizes.empty())
        Sizes = {2000, 4000, 8000};
    TEdges Model;
    Model.LoadFromFile(std::string(KALVEX_EXAMPLES_DIR) + "/hood.asp");
    std::printf("%6s %9s %11s %6s %9s %8s %11s\n", "n", "assembly", "iterative", "steps", "LU",
                "LU/it", "velocities");
    for (const int Target : Sizes) {
        TCountEdges C;
        C.Elements.DiscretizeEqual(Model, 15, 3.5 / Target, 1.8);
        const std::size_t N = C.Elements.Elements.size();
        // Points a little off the walls, spread along them.
        std::vector<TRealPoint> Points;
        for (std::size_t I = 0; I < N; I += std::max<std::size_t>(1, N / 40)) {
            const TEdgeElement& E = C.Elements.Elements[I];
            const TRealPoint D = E.P2 - E.P1;
            const double L = VectorLength(D);
            if (L > 0 && L < 1)
                Points.push_back((E.P1 + E.P2) / 2.0 + TRealPoint{-D.Y, D.X} * (0.01 / L));
        }
        const auto Velocities = [&] {
            std::vector<TRealPoint> V;
            for (const TRealPoint P : Points)
                V.push_back(C.Velocity(P));
            return V;
        };

        auto T0 = TClock::now();
        {
            std::vector<double> A(N * N), B(N);
            C.AssembleFast(A.data(), B.data());
        }
        const double Assembly = Seconds(T0);

        C.SolverKind = TSolverKind::skIterative;
        T0 = TClock::now();
        C.Solve();
        const double Iterative = Seconds(T0);
        const int Steps = C.Iterations;
        const std::vector<TRealPoint> VIt = Velocities();

        // A second evaluator, so that both solves first map their matrix memory.
        TCountEdges D;
        D.Elements = C.Elements;
        D.SolverKind = TSolverKind::skDirect;
        T0 = TClock::now();
        D.Solve();
        const double Lu = Seconds(T0);
        std::vector<TRealPoint> VLu;
        for (const TRealPoint P : Points)
            VLu.push_back(D.Velocity(P));

        double Largest = 0.0;
        double Apart = 0.0;
        for (std::size_t K = 0; K < Points.size(); ++K) {
            Largest = std::max(Largest, VectorLength(VLu[K]));
            Apart = std::max(Apart, VectorLength(VIt[K] - VLu[K]));
        }
        std::printf("%6zu %8.3fs %10.3fs %6d %8.3fs %7.2fx %11.2e\n", N, Assembly, Iterative, Steps,
                    Lu, Lu / Iterative, Apart / Largest);
        std::fflush(stdout);
    }
    return 0;
}
