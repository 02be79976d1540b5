// Shared plumbing of kalvex-calc: the command table, argument parsing, machine-readable
// number output, the checks every command applies to its files, and Ctrl+C.
#pragma once

#include "base/uEventPump.h"
#include "base/uKalvexError.h"
#include "canvas/uPaintEdges.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvex {
class TEdges;
}

namespace kalvex::cli {

// Bad command line: exit code 2.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Positional arguments and "--name value" options, in the order given.
struct TArgs {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Options;

    bool Has(const std::string& Name) const { return Options.count(Name) != 0; }
    std::string Get(const std::string& Name, const std::string& Default) const;
    double GetDouble(const std::string& Name, double Default) const;
    int GetInt(const std::string& Name, int Default) const;
    // The values of an option that takes several ("--box X0 Y0 X1 Y1"), as numbers.
    std::vector<double> GetNumbers(const std::string& Name) const;
    // Throws TUsageError naming any option outside Allowed and the options every command
    // takes (--threads, --solver), or a bad value of the latter.
    void OnlyOptions(const std::vector<std::string>& Allowed) const;
};

// Runs a core check of an option's value: its refusal is a usage error (exit 2)
// naming the option.
void AsUsage(const std::string& Option, const std::function<void()>& Check);

// Splits argv; every "--x" takes the next argument as its value, or the next Arity[x]
// arguments for the options listed there (none for a flag).
TArgs ParseArgs(const std::vector<std::string>& Argv, const std::map<std::string, int>& Arity = {});
double ParseNumber(const std::string& Text, const std::string& What);
int ParseInteger(const std::string& Text, const std::string& What);
// A coordinate from the command line: a number within ±MaxCoordinate.
double ParseCoordinate(const std::string& Text, const std::string& What);
// %.17g with '.', independent of the locale. A value that is not finite is never
// reported as a result (CheckFiniteResult refuses it).
std::string Num(double Value);

struct TCommand {
    std::string Name;
    std::string Usage; // one line for --help
    int Order;         // position in --help
    std::function<int(const TArgs&)> Run;
    std::string Details; // the rest of "COMMAND --help"
    // Options that take more than one value, with their counts.
    std::map<std::string, int> Arity = {};
};

// Command files register themselves with a static TRegisterCommand.
std::vector<TCommand>& Commands();
struct TRegisterCommand {
    explicit TRegisterCommand(TCommand Command);
};

// ---- files

// Loads a system file; a failure names the file and the reason.
void LoadSystem(TEdges& Model, const std::string& FileName);
// A line on standard error for every boundary whose air side faces nothing; the flow
// is computed all the same.
void WarnAirSide(const TEdges& Model);

// One file a command writes ("-" is standard output, for text only).
struct TOutput {
    std::string Option; // for messages, e.g. "--csv"
    std::string Name;
    bool Text = false;
    std::vector<std::uint8_t> Bytes;
};
// Before any work: refuses an output that is one of Inputs (also through another path
// or a link), an existing output that is not a regular file, two outputs that are one
// file, and "-" for a binary output.
void CheckOutputs(const std::vector<TOutput>& Outputs, const std::vector<std::string>& Inputs);
// Writes every output or none: all are written beside their targets first, then put
// in place one after another.
void WriteOutputs(const std::vector<TOutput>& Outputs);

// ---- Ctrl+C

// The first Ctrl+C asks the running computation to stop at its next check; the second
// ends the process at once.
void InstallInterruptHandler();
bool StopRequested();
// An event pump that calls Stop once Ctrl+C was pressed.
TEventPump StopOnInterrupt(std::function<void()> Stop);

// How PNG and PDF pictures are made, with the resolution of --dpi (checked by
// RasterSize when a PNG is made).
TPictureOptions PictureOptions(const TArgs& Args);

} // namespace kalvex::cli
