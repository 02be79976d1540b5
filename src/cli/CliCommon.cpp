#include "cli/CliCommon.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kalvex::cli {

std::string TArgs::Get(const std::string& Name, const std::string& Default) const {
    auto It = Options.find(Name);
    return It == Options.end() ? Default : It->second;
}

double TArgs::GetDouble(const std::string& Name, double Default) const {
    auto It = Options.find(Name);
    return It == Options.end() ? Default : ParseNumber(It->second, "--" + Name);
}

int TArgs::GetInt(const std::string& Name, int Default) const {
    auto It = Options.find(Name);
    return It == Options.end() ? Default : ParseInteger(It->second, "--" + Name);
}

void TArgs::OnlyOptions(const std::vector<std::string>& Allowed) const {
    for (const auto& [Name, Value] : Options) {
        if (Name == "threads") {
            if (ParseInteger(Value, "--threads") < 1)
                throw TUsageError("--threads: expected a count of at least 1");
        } else if (Name == "solver") {
            if (Value != "lu" && Value != "iterative" && Value != "auto")
                throw TUsageError("--solver: expected lu, iterative or auto, got '" + Value + "'");
        } else if (std::find(Allowed.begin(), Allowed.end(), Name) == Allowed.end()) {
            throw TUsageError("unknown option --" + Name);
        }
    }
}

TArgs ParseArgs(const std::vector<std::string>& Argv) {
    TArgs Args;
    for (std::size_t I = 0; I < Argv.size(); ++I) {
        const std::string& A = Argv[I];
        // "-1.5" is a number, not an option.
        if (A.size() > 2 && A[0] == '-' && A[1] == '-') {
            if (I + 1 >= Argv.size())
                throw TUsageError("option " + A + " needs a value");
            Args.Options[A.substr(2)] = Argv[++I];
        } else {
            Args.Positional.push_back(A);
        }
    }
    return Args;
}

double ParseNumber(const std::string& Text, const std::string& What) {
    double Value = 0;
    const char* End = Text.data() + Text.size();
    auto [Ptr, Ec] = std::from_chars(Text.data(), End, Value);
    if (Ec != std::errc() || Ptr != End || Text.empty() || !std::isfinite(Value))
        throw TUsageError(What + ": not a number: '" + Text + "'");
    return Value;
}

int ParseInteger(const std::string& Text, const std::string& What) {
    int Value = 0;
    const char* End = Text.data() + Text.size();
    auto [Ptr, Ec] = std::from_chars(Text.data(), End, Value);
    if (Ec != std::errc() || Ptr != End || Text.empty())
        throw TUsageError(What + ": not an integer: '" + Text + "'");
    return Value;
}

std::string Num(double Value) {
    char Buf[64];
    auto [Ptr, Ec] = std::to_chars(Buf, Buf + sizeof Buf, Value, std::chars_format::general, 17);
    if (Ec != std::errc())
        return "nan";
    return std::string(Buf, Ptr);
}

std::vector<TCommand>& Commands() {
    static std::vector<TCommand> Table;
    return Table;
}

TRegisterCommand::TRegisterCommand(TCommand Command) {
    Commands().push_back(std::move(Command));
}

} // namespace kalvex::cli
