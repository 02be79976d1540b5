// Whole kalvex-calc runs on a closed room with two openings and a rotating cylinder in
// equal elements: the solve without the matrix at 100 000 elements, against GMRES on
// the matrix and LU at 16 000, and a field of 40 flow lines at 50 000. Times, their
// ratios and the peak memory of each run are printed; nothing is asserted.
// Usage: bench_fmm [PATH-TO-KALVEX-CALC] [--quick]
#include "geometry/uEdges.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace kalvex;

namespace {

// A hood 4 m by 3 m: air enters low in the left wall at 1 m/s and leaves through the
// roof at 2 m/s; a cylinder of radius 0.4 m turns at 1 m/s in the middle.
TEdges Room() {
    struct TV {
        double X, Y, V;
    };
    const std::vector<TV> Vs{{0.0, 0.0, -1.0}, {0.0, 1.0, 0.0}, {0.0, 3.0, 0.0}, {1.75, 3.0, 2.0},
                             {2.25, 3.0, 0.0}, {4.0, 3.0, 0.0}, {4.0, 0.0, 0.0}};
    TEdge Walls(ekClosed);
    for (std::size_t I = 0; I < Vs.size(); ++I) {
        const TV& A = Vs[I];
        const TV& B = Vs[(I + 1) % Vs.size()];
        TEdgeSegment S;
        S.P1 = {A.X, A.Y};
        S.P2 = {B.X, B.Y};
        S.V = A.V;
        Walls.AddSegment(S);
    }
    TEdge Cyl(ekCylinder);
    TEdgeSegment S0;
    S0.P1 = {2.5, 1.2};
    S0.P2 = {0.4, 0.0};
    S0.V = 1.0;
    TEdgeSegment S1 = S0;
    S1.P1 = {0.0, 0.0};
    S1.V = 0.0;
    Cyl.AddSegment(S0);
    Cyl.AddSegment(S1);
    TEdges M;
    M.Add(Walls);
    M.Add(Cyl);
    return M;
}

struct TRun {
    double Seconds = 0.0;
    double PeakMb = 0.0;
    std::string Out;
    int Status = -1;
};

TRun Run(const std::vector<std::string>& Args) {
    TRun R;
    const std::string OutFile = std::filesystem::temp_directory_path() / "bench_fmm.out";
    std::vector<char*> Argv;
    for (const std::string& A : Args)
        Argv.push_back(const_cast<char*>(A.c_str()));
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const auto Start = std::chrono::steady_clock::now();
    pid_t Pid = 0;
    if (posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0) {
        std::fprintf(stderr, "bench_fmm: cannot start %s\n", Argv[0]);
        return R;
    }
    int Status = 0;
    rusage Usage{};
    wait4(Pid, &Status, 0, &Usage);
    R.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    R.PeakMb = static_cast<double>(Usage.ru_maxrss) / 1024.0;
    R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    posix_spawn_file_actions_destroy(&Actions);
    if (std::FILE* F = std::fopen(OutFile.c_str(), "r")) {
        char Buf[4096];
        std::size_t Got = 0;
        while ((Got = std::fread(Buf, 1, sizeof Buf, F)) > 0)
            R.Out.append(Buf, Got);
        std::fclose(F);
    }
    return R;
}

// "X Y Vx Vy" lines of a velocity run.
std::vector<double> Speeds(const std::string& Out) {
    std::vector<double> V;
    std::istringstream In(Out);
    double X, Y, Vx, Vy;
    while (In >> X >> Y >> Vx >> Vy) {
        V.push_back(Vx);
        V.push_back(Vy);
    }
    return V;
}

// Equal elements of this length give about Count elements on the room.
std::string LengthFor(double Count) {
    // 14 m of walls and the cylinder's 2.51 m of circumference.
    char Buf[32];
    std::snprintf(Buf, sizeof Buf, "%.6g", (14.0 + 2.0 * M_PI * 0.4) / Count);
    return Buf;
}

void Report(double Count, const char* What, const TRun& R) {
    std::printf("%7.0f elements, %-36s %8.2f s %8.0f MB  exit %d\n", Count, What, R.Seconds,
                R.PeakMb, R.Status);
}

} // namespace

int main(int argc, char** argv) {
    std::string Calc =
        (std::filesystem::path(argv[0]).parent_path() / ".." / "kalvex-calc").string();
    bool Quick = false;
    for (int K = 1; K < argc; ++K) {
        const std::string A = argv[K];
        if (A == "--quick")
            Quick = true;
        else
            Calc = A;
    }
    const std::string System = std::filesystem::temp_directory_path() / "bench_fmm_room.asp";
    Room().SaveToFile(System);
    std::vector<std::string> Probes;
    for (int K = 0; K < 20; ++K) {
        // Inside the room, away from the walls and the cylinder.
        Probes.push_back(std::to_string(0.3 + 3.4 * (K % 5) / 4.0));
        Probes.push_back(std::to_string(0.3 + 2.4 * (K / 5) / 3.0 + (K / 5 == 1 ? 0.15 : 0.0)));
    }
    const auto Velocity = [&](double Count, const char* Solver, bool All) {
        std::vector<std::string> A{Calc, "velocity", System};
        if (All)
            A.insert(A.end(), Probes.begin(), Probes.end());
        else
            A.insert(A.end(), {"1.0", "2.0"});
        A.insert(A.end(),
                 {"--method", "equal", "--base-length", LengthFor(Count), "--solver", Solver});
        return Run(A);
    };

    const double Large = Quick ? 20000 : 100000;
    Report(Large, "fmm, one velocity", Velocity(Large, "fmm", false));

    const double Mid = Quick ? 4000 : 16000;
    const TRun Fmm = Velocity(Mid, "fmm", true);
    const TRun Gmres = Velocity(Mid, "iterative", true);
    const TRun Lu = Velocity(Mid, "lu", true);
    Report(Mid, "fmm, 20 velocities", Fmm);
    Report(Mid, "GMRES on the matrix, 20 velocities", Gmres);
    Report(Mid, "LU, 20 velocities", Lu);
    std::printf("GMRES on the matrix / fmm: %.2f\n", Gmres.Seconds / Fmm.Seconds);
    const std::vector<double> A = Speeds(Fmm.Out);
    const std::vector<double> B = Speeds(Lu.Out);
    double Worst = 0.0;
    for (std::size_t K = 0; K + 1 < std::min(A.size(), B.size()); K += 2) {
        const double D = std::hypot(A[K] - B[K], A[K + 1] - B[K + 1]);
        Worst = std::max(Worst, D / std::hypot(B[K], B[K + 1]));
    }
    std::printf("largest relative velocity difference fmm / LU at %zu probes: %.3g\n",
                std::min(A.size(), B.size()) / 2, Worst);

    // 40 lines from the inflow opening (1 m wide).
    const double Field = Quick ? 10000 : 50000;
    const TRun Lines =
        Run({Calc, "flowlines", System, "--interval", "0.025", "--from", "sources", "--method",
             "equal", "--base-length", LengthFor(Field), "--solver", "fmm"});
    Report(Field, "fmm, field of flow lines", Lines);
    std::printf("%s", Lines.Out.c_str());
    return 0;
}
