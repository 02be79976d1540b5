// kalvex-calc: the core driven from the command line.
// Exit 0 on success, 1 on a failure, 2 on a usage error.
#include "cli/CliCommon.h"
#include "geometry/uBinaryIO.h"
#include "solver/uBlasThreads.h"
#include "solver/uCountEdges.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>

using namespace kalvex;
using namespace kalvex::cli;

namespace {

const std::string CommonHelp =
    std::string(
        "Discretisation options: --method equal|graded (graded), --base-length (0.0004),\n"
        "  --scaler (2), --cyl-step (0.1), --infinite-scaler (1.8), --infinite-count (15)\n"
        "Every command: --threads N (every core; 1 computes on one thread),\n"
        "  --solver lu|iterative|fmm|auto (fmm: iterative without the matrix, by fast\n"
        "  multipoles; auto: LU for small systems, iterative from 1000 elements, fmm from\n"
        "  " +
        std::to_string(TCountEdges::FmmFrom) +
        " or when the matrix would not fit into memory)\n"
        "Numbers are printed with '.' and up to 17 significant digits; a result that is not a\n"
        "finite number is an error. Exit 0 on success, 1 on a failure, 2 on a usage error.\n"
        "Files read: regular files of at most ") +
    std::to_string(MaxReadFileSize >> 20) + " MiB; system coordinates within " + MaxCoordinateText +
    " and\n"
    "velocities within " +
    MaxVelocityText +
    ". Files written: never one of the command's inputs (also\n"
    "through another path or a link); through a symbolic link to its target; never over\n"
    "a device or a folder; atomically, and all of a command's outputs or none.\n"
    "Commands that compute a flow refuse a model whose boundaries cross.\n"
    "Ctrl+C stops a run at its next check (the results so far, or the search's best\n"
    "point, are reported); a second Ctrl+C ends it at once.\n";

void PrintHelp(std::ostream& Out) {
    Out << "kalvex-calc: calculation of local-exhaust systems from the command line\n\n"
           "usage: kalvex-calc COMMAND ARGS...\n\ncommands:\n";
    auto Table = Commands();
    std::sort(Table.begin(), Table.end(),
              [](const TCommand& A, const TCommand& B) { return A.Order < B.Order; });
    for (const auto& C : Table)
        Out << "  " << C.Usage << "\n";
    Out << "\n" << CommonHelp << "\"kalvex-calc COMMAND --help\" tells more about a command.\n";
}

void PrintCommandHelp(const TCommand& C) {
    std::cout << "usage: kalvex-calc " << C.Usage << "\n\n" << C.Details << "\n" << CommonHelp;
}

std::string ForTerminal(std::string Text) {
    // Messages use a carriage return as their line break.
    std::replace(Text.begin(), Text.end(), '\r', '\n');
    return Text;
}

} // namespace

int main(int argc, char** argv) {
    kalvex::QuietBlasThreadsAtStart();
    std::vector<std::string> Argv(argv + 1, argv + argc);
    if (Argv.empty()) {
        PrintHelp(std::cerr);
        return 2;
    }
    if (Argv[0] == "--help" || Argv[0] == "-h" || Argv[0] == "help") {
        PrintHelp(std::cout);
        return 0;
    }
    const auto& Table = Commands();
    auto It = std::find_if(Table.begin(), Table.end(),
                           [&](const TCommand& C) { return C.Name == Argv[0]; });
    if (It == Table.end()) {
        std::cerr << "kalvex-calc: unknown command '" << Argv[0] << "' (see --help)\n";
        return 2;
    }
    // "COMMAND --help" anywhere: the command's own help, whatever else is given.
    for (std::size_t I = 1; I < Argv.size(); ++I) {
        if (Argv[I] == "--help" || Argv[I] == "-h") {
            PrintCommandHelp(*It);
            return 0;
        }
    }
    InstallInterruptHandler();
    try {
        TArgs Args = ParseArgs(std::vector<std::string>(Argv.begin() + 1, Argv.end()), It->Arity);
        return It->Run(Args);
    } catch (const TUsageError& E) {
        std::cerr << "kalvex-calc " << It->Name << ": " << E.what() << "\nusage: kalvex-calc "
                  << It->Usage << "\n";
        return 2;
    } catch (const TRefusal& E) {
        std::cerr << ForTerminal(E.CliText()) << "\n";
        return 1;
    } catch (const TKalvexError& E) {
        std::cerr << ForTerminal(E.what()) << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "Недостаточно памяти\n";
        return 1;
    } catch (const std::exception& E) {
        std::cerr << ForTerminal(E.what()) << "\n";
        return 1;
    }
}
