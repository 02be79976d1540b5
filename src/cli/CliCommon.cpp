#include "cli/CliCommon.h"

#ifdef KALVEX_QT_PICTURES
#include "picture/uPictureModule.h"

#include <dlfcn.h>
#include <filesystem>
#endif

#include "geometry/uAirSide.h"
#include "geometry/uBinaryIO.h"
#include "geometry/uEdges.h"
#include "geometry/uInputChecks.h"
#include "results/uTextFormat.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <signal.h>

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
            if (Value != "lu" && Value != "iterative" && Value != "fmm" && Value != "auto")
                throw TUsageError("--solver: expected lu, iterative, fmm or auto, got '" + Value +
                                  "'");
        } else if (std::find(Allowed.begin(), Allowed.end(), Name) == Allowed.end()) {
            throw TUsageError("unknown option --" + Name);
        }
    }
}

// Joins the values of a many-valued option; no argument holds it.
constexpr char ValueSeparator = '\x1f';

std::vector<double> TArgs::GetNumbers(const std::string& Name) const {
    std::vector<double> Values;
    const std::string Text = Get(Name, "");
    std::size_t From = 0;
    for (;;) {
        const std::size_t To = Text.find(ValueSeparator, From);
        Values.push_back(ParseNumber(Text.substr(From, To - From), "--" + Name));
        if (To == std::string::npos)
            return Values;
        From = To + 1;
    }
}

TArgs ParseArgs(const std::vector<std::string>& Argv, const std::map<std::string, int>& Arity) {
    TArgs Args;
    for (std::size_t I = 0; I < Argv.size(); ++I) {
        const std::string& A = Argv[I];
        // "-1.5" is a number, not an option.
        if (A.size() > 2 && A[0] == '-' && A[1] == '-') {
            const auto It = Arity.find(A.substr(2));
            const std::size_t Count = It == Arity.end() ? 1 : static_cast<std::size_t>(It->second);
            if (I + Count >= Argv.size())
                throw TUsageError(
                    "option " + A + " needs " +
                    (Count == 1 ? std::string("a value") : std::to_string(Count) + " values"));
            // A flag (no value) holds the empty text.
            std::string Value = Count == 0 ? std::string() : Argv[++I];
            for (std::size_t K = 1; K < Count; ++K)
                Value += ValueSeparator + Argv[++I];
            Args.Options[A.substr(2)] = Value;
        } else {
            Args.Positional.push_back(A);
        }
    }
    return Args;
}

void AsUsage(const std::string& Option, const std::function<void()>& Check) {
    try {
        Check();
    } catch (const TRefusal& E) {
        const std::string Text = E.CliText();
        throw TUsageError(Text.rfind(Option, 0) == 0 ? Text : Option + ": " + Text);
    }
}

double ParseNumber(const std::string& Text, const std::string& What) {
    double Value = 0;
    const char* End = Text.data() + Text.size();
    auto [Ptr, Ec] = std::from_chars(Text.data(), End, Value);
    if (Ec != std::errc() || Ptr != End || Text.empty() || !IsNumber(Value))
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

double ParseCoordinate(const std::string& Text, const std::string& What) {
    return CheckCoordinate(ParseNumber(Text, What), What);
}

std::string Num(double Value) {
    return FormatExact(Value);
}

std::vector<TCommand>& Commands() {
    static std::vector<TCommand> Table;
    return Table;
}

TRegisterCommand::TRegisterCommand(TCommand Command) {
    Commands().push_back(std::move(Command));
}

// ---------------------------------------------------------------- files

void WarnAirSide(const TEdges& Model) {
    for (const int I : AirSideFaults(Model))
        std::cerr << "kalvex-calc: warning: " << AirSideEnglish({I}) << "\n";
}

void LoadSystem(TEdges& Model, const std::string& FileName) {
    Model.LoadFromFile(FileName);
}

void CheckOutputs(const std::vector<TOutput>& Outputs, const std::vector<std::string>& Inputs) {
    std::vector<TOutputFile> Files;
    for (const TOutput& O : Outputs) {
        if (O.Name == "-") {
            if (!O.Text)
                throw TUsageError(O.Option + ": '-' (standard output) is for text outputs only");
            continue;
        }
        Files.push_back({O.Option, O.Name});
    }
    try {
        CheckOutputFiles(Files, Inputs);
    } catch (const TOutputRefusal& E) {
        if (E.Usage)
            throw TUsageError(E.CliText());
        throw;
    }
}

void WriteOutputs(const std::vector<TOutput>& Outputs) {
    std::vector<std::pair<std::string, std::span<const std::uint8_t>>> Files;
    for (const TOutput& O : Outputs)
        if (O.Name != "-")
            Files.emplace_back(O.Name, O.Bytes);
    WriteFilesAtomic(Files);
    for (const TOutput& O : Outputs)
        if (O.Name == "-")
            std::cout.write(reinterpret_cast<const char*>(O.Bytes.data()),
                            static_cast<std::streamsize>(O.Bytes.size()));
}

// ---------------------------------------------------------------- Ctrl+C

namespace {

volatile std::sig_atomic_t Interrupted = 0;

extern "C" void OnInterrupt(int) {
    if (Interrupted) {
        // The second Ctrl+C: end as an unhandled one would (both calls are
        // async-signal-safe; the raised signal is delivered when this handler returns).
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    Interrupted = 1;
}

} // namespace

void InstallInterruptHandler() {
    struct sigaction Action {};
    Action.sa_handler = OnInterrupt;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &Action, nullptr);
}

bool StopRequested() {
    return Interrupted != 0;
}

TEventPump StopOnInterrupt(std::function<void()> Stop) {
    return [Stop = std::move(Stop)] {
        if (StopRequested())
            Stop();
    };
}

#ifdef KALVEX_QT_PICTURES
namespace {

// Beside the program (the build folder), else where it is installed.
TPictureModuleEntry LoadPictureModule() {
    std::error_code Error;
    const std::filesystem::path Program = std::filesystem::read_symlink("/proc/self/exe", Error);
    const std::filesystem::path Dir = Program.parent_path();
    std::string Why = "no program folder";
    for (const std::filesystem::path& Path :
         {Dir / PictureModuleName, Dir / KALVEX_PICTURE_MODULE_DIR / PictureModuleName}) {
        std::error_code Missing;
        if (Error || !std::filesystem::is_regular_file(Path, Missing)) {
            Why = Path.string() + " not found";
            continue;
        }
        void* Module = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!Module) {
            const char* Text = dlerror();
            Why = Text ? Text : Path.string();
            continue;
        }
        if (void* Entry = dlsym(Module, PictureModuleEntry))
            return reinterpret_cast<TPictureModuleEntry>(Entry);
        Why = Path.string() + ": no " + PictureModuleEntry;
    }
    throw TRefusal("Рисунки PNG и PDF не создаются: не загружен модуль " +
                       std::string(PictureModuleName) + " (" + Why + ")",
                   "PNG and PDF pictures are not made: the module " +
                       std::string(PictureModuleName) + " did not load (" + Why + ")");
}

TPictureModuleEntry PictureModule() {
    // Loaded once and kept for the process; a failure is tried again at the next use.
    static const TPictureModuleEntry Entry = LoadPictureModule();
    return Entry;
}

} // namespace
#endif

TPictureOptions PictureOptions(const TArgs& Args) {
    TPictureOptions Options;
    Options.Dpi = Args.GetDouble("dpi", DefaultPictureDpi);
    CheckPictureDpi(Options.Dpi);
#ifdef KALVEX_QT_PICTURES
    Options.Convert = [](const std::vector<std::uint8_t>& Svg, TPictureFormat Format,
                         TPictureSize Size, double Dpi, TPdfPage Page) {
        std::vector<std::uint8_t> Out;
        if (!PictureModule()(Svg, Format, Size, Dpi, Page, Out))
            Out.clear();
        return Out;
    };
#endif
    return Options;
}

} // namespace kalvex::cli
