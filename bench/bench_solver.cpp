// Solve and velocity timings against the plain algorithm, in one run:
//   bench_solver [N ...]     (default 1000 2000 4000 elements)
// For each size: assembly, LU, the plain solve (BuildSystem + SolveGauss), and Speed
// evaluations per second against SpeedLiteral.
#include "geometry/uEdges.h"
#include "solver/uCountEdges.h"
#include "solver/uSystUr.h"

#include <lapacke.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace kalvex;

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point From) {
    return std::chrono::duration<double>(TClock::now() - From).count();
}

// The hood example (3.5 m of boundary) in equal elements, about N of them.
void Discretize(TCountEdges& C, const TEdges& Model, int N) {
    C.Elements.DiscretizeEqual(Model, 15, 3.5 / N, 1.8);
    C.ClearIntensities();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> Sizes;
    for (int I = 1; I < argc; ++I)
        Sizes.push_back(std::atoi(argv[I]));
    if (Sizes.empty())
        Sizes = {1000, 2000, 4000};
    TEdges Model;
    Model.LoadFromFile(std::string(KALVEX_EXAMPLES_DIR) + "/hood.asp");

    std::printf("%6s %10s %10s %10s %12s %12s %9s %9s | %12s %12s %7s\n", "n", "assembly", "LU",
                "fast", "plain build", "plain Gauss", "speedup", "asm/LU", "Speed/s", "Literal/s",
                "ratio");
    for (int Target : Sizes) {
        TCountEdges C;
        Discretize(C, Model, Target);
        const std::size_t N = C.Elements.Elements.size();

        // The first solve maps the matrix; later solves (search trials, turning slits)
        // reuse it. Assembly and LU are timed on mapped memory.
        auto T0 = TClock::now();
        C.Solve();
        const double First = Seconds(T0);
        T0 = TClock::now();
        C.Solve();
        const double Fast = Seconds(T0);

        std::vector<double> A(N * N), B(N);
        T0 = TClock::now();
        C.AssembleFast(A.data(), B.data());
        const double Assembly = Seconds(T0);
        std::vector<lapack_int> Piv(N);
        T0 = TClock::now();
        const auto Ln = static_cast<lapack_int>(N);
        const lapack_int Info =
            LAPACKE_dgesv(LAPACK_COL_MAJOR, Ln, 1, A.data(), Ln, Piv.data(), B.data(), Ln);
        const double Lu = Seconds(T0);
        if (Info != 0)
            std::printf("dgesv info %d\n", static_cast<int>(Info));
        A = {};

        T0 = TClock::now();
        TRealMatr M;
        C.BuildSystem(M);
        const double Build = Seconds(T0);
        T0 = TClock::now();
        TRealArray X(N, 0.0);
        const bool Ok = SolveGauss(M, static_cast<int>(N), X);
        const double Gauss = Seconds(T0);
        M.clear();
        double MaxDiff = 0.0, MaxQ = 0.0;
        for (std::size_t I = 0; I < N; ++I) {
            MaxDiff = std::max(MaxDiff, std::fabs(X[I] - C.Intensities[I]));
            MaxQ = std::max(MaxQ, std::fabs(X[I]));
        }

        // Speed at points inside the hood.
        std::mt19937_64 Rng(1);
        std::uniform_real_distribution<double> U(0.05, 0.7);
        std::vector<TRealPoint> Pts(256);
        for (auto& P : Pts)
            P = {U(Rng), U(Rng)};
        double Sink = 0.0;
        int Calls = 0;
        T0 = TClock::now();
        while (Seconds(T0) < 0.5) {
            for (const TRealPoint& P : Pts)
                Sink += C.Speed({1, 0}, P);
            Calls += static_cast<int>(Pts.size());
        }
        const double FastRate = Calls / Seconds(T0);
        Calls = 0;
        T0 = TClock::now();
        while (Seconds(T0) < 0.5) {
            for (const TRealPoint& P : Pts)
                Sink -= C.SpeedLiteral({1, 0}, P);
            Calls += static_cast<int>(Pts.size());
        }
        const double LiteralRate = Calls / Seconds(T0);

        std::printf(
            "%6zu %9.4fs %9.4fs %9.4fs %11.4fs %11.4fs %8.1fx %9.3f | %12.0f %12.0f %6.1fx\n", N,
            Assembly, Lu, Fast, Build, Gauss, (Build + Gauss) / Fast, Assembly / Lu, FastRate,
            LiteralRate, FastRate / LiteralRate);
        std::printf("       first solve %.4fs; plain solve %s; intensities agree to %.2e relative "
                    "(sink %.3g)\n",
                    First, Ok ? "ok" : "FAILED", MaxDiff / MaxQ, Sink);
        std::fflush(stdout);
    }
    return 0;
}
