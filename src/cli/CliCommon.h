// Shared plumbing of kalvex-calc: the command table, argument parsing and
// machine-readable number output.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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
    // Throws TUsageError naming any option outside Allowed and the options every command
    // takes (--threads, --solver), or a bad value of the latter.
    void OnlyOptions(const std::vector<std::string>& Allowed) const;
};

// Splits argv; every "--x" takes the next argument as its value.
TArgs ParseArgs(const std::vector<std::string>& Argv);
double ParseNumber(const std::string& Text, const std::string& What);
int ParseInteger(const std::string& Text, const std::string& What);
// %.17g with '.', independent of the locale.
std::string Num(double Value);

struct TCommand {
    std::string Name;
    std::string Usage; // one line for --help
    int Order;         // position in --help
    std::function<int(const TArgs&)> Run;
};

// Command files register themselves with a static TRegisterCommand.
std::vector<TCommand>& Commands();
struct TRegisterCommand {
    explicit TRegisterCommand(TCommand Command);
};

} // namespace kalvex::cli
