// kalvex-calc flowlines / flowline / particle: result lines of a solved system, with the
// results file (--mod), a table of points (--csv) and a picture (--picture).
#include "canvas/uPaintEdges.h"
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "geometry/uEdges.h"
#include "results/uDrawLines.h"
#include "results/uFlowLines.h"
#include "results/uParticle.h"
#include "results/uResultsFile.h"
#include "solver/uCountEdges.h"

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace kalvex::cli {
namespace {

std::vector<std::string> WithDiscretization(std::vector<std::string> Names) {
    const auto& D = DiscretizationOptionNames();
    Names.insert(Names.end(), D.begin(), D.end());
    Names.push_back("mod");
    Names.push_back("csv");
    return Names;
}

// line,point,x,y,color with line and point counted from 0.
std::vector<std::uint8_t> LinesCsv(const TDrawLines& Store) {
    std::string Text = "line,point,x,y,color\n";
    for (std::size_t L = 0; L < Store.Lines.size(); ++L) {
        const auto& Line = Store.Lines[L];
        for (std::size_t P = 0; P < Line.size(); ++P) {
            Text += std::to_string(L) + "," + std::to_string(P) + "," + Num(Line[P].Position.X) +
                    "," + Num(Line[P].Position.Y) + "," + std::to_string(Line[P].Color) + "\n";
        }
    }
    return {Text.begin(), Text.end()};
}

// The files of a result command, checked before any work.
class TResultFiles {
public:
    TResultFiles(const TArgs& Args, const std::string& System) {
        if (Args.Has("mod"))
            Outputs.push_back({"--mod", Args.Get("mod", ""), false, {}});
        if (Args.Has("csv"))
            Outputs.push_back({"--csv", Args.Get("csv", ""), true, {}});
        if (Args.Has("picture"))
            Outputs.push_back({"--picture", Args.Get("picture", ""), false, {}});
        CheckOutputs(Outputs, {System, DefaultDiscretizationFile(System)});
    }
    // With "--csv -" the table is the standard output and the summary goes to stderr.
    std::ostream& Summary() const {
        for (const TOutput& O : Outputs)
            if (O.Name == "-")
                return std::cerr;
        return std::cout;
    }
    void Write(const TEdges& Model, const TDrawLines& Store) {
        for (TOutput& O : Outputs) {
            if (O.Option == "--mod")
                O.Bytes = SaveResultsToBytes(Model, Store);
            else if (O.Option == "--csv")
                O.Bytes = LinesCsv(Store);
            else
                RenderPicture(Model, Store, DefaultScale, IsWmfName(O.Name), O.Bytes);
        }
        WriteOutputs(Outputs);
    }

private:
    std::vector<TOutput> Outputs;
};

std::size_t TotalPoints(const TDrawLines& Store) {
    std::size_t N = 0;
    for (const auto& L : Store.Lines)
        N += L.size();
    return N;
}

// Usage errors come before any file is read.
void CheckDiscretizationOptions(const TArgs& Args) {
    if (HasDiscretizationOptions(Args))
        ReadDiscretizationOptions(Args);
}

void LoadSolvable(TEdges& Model, TCountEdges& Counter, const std::string& System,
                  const TArgs& Args) {
    LoadSystem(Model, System);
    RequireValid(Model);
    PrepareElements(Counter, Model, System, Args);
    Counter.ProcessEvents = StopOnInterrupt([&Counter] { Counter.StopBuilding(); });
}

void NoticeStop(const char* Command) {
    if (StopRequested())
        std::cerr << "kalvex-calc " << Command
                  << ": stopped by Ctrl+C; the results so far follow\n";
}

void NoticeCut(const char* Command, int Lines) {
    if (Lines > 0)
        std::cerr << "kalvex-calc " << Command << ": " << Lines << " line(s) ended at the bound of "
                  << MaxLinePoints << " points\n";
}

int RunFlowLines(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"interval", "step", "length", "from", "picture"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    const double Interval = Args.GetDouble("interval", 0.08);
    const double Step = Args.GetDouble("step", 0.01);
    const double Length = Args.GetDouble("length", 1.0);
    const std::string From = Args.Get("from", "sinks");
    if (From != "sinks" && From != "sources")
        throw TUsageError("--from must be sources or sinks");
    CheckDiscretizationOptions(Args);
    if (!(Interval > 0) || !(Step > 0) || !(Length > 0))
        throw TBuildParamsError();

    const std::string& System = Args.Positional[0];
    TResultFiles Files(Args, System);
    TEdges Model;
    TCountEdges Counter;
    LoadSolvable(Model, Counter, System, Args);
    TDrawLines Store;
    const TLinesOutcome Outcome =
        BuildFieldOfLines(Counter, Model, Store, Interval, Step, Length, From == "sinks");
    NoticeStop("flowlines");
    NoticeCut("flowlines", Outcome.CutLines);
    if (Outcome.StoreFull)
        std::cerr << "kalvex-calc flowlines: the field stopped at the bound of " << MaxStorePoints
                  << " points; the lines so far follow\n";
    Files.Write(Model, Store);
    Files.Summary() << "lines: " << Store.Count << "\n"
                    << "points: " << TotalPoints(Store) << "\n";
    return 0;
}

int RunFlowLine(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"step", "length", "to"}));
    if (Args.Positional.size() != 3)
        throw TUsageError("expected a system file and the start point X Y");
    const TRealPoint Start{ParseCoordinate(Args.Positional[1], "X"),
                           ParseCoordinate(Args.Positional[2], "Y")};
    const double Step = Args.GetDouble("step", 0.01);
    const double Length = Args.GetDouble("length", 1.0);
    const std::string To = Args.Get("to", "source");
    if (To != "sink" && To != "source")
        throw TUsageError("--to must be sink or source");
    CheckDiscretizationOptions(Args);
    if (!(Step > 0) || !(Length > 0))
        throw TBuildParamsError();

    const std::string& System = Args.Positional[0];
    TResultFiles Files(Args, System);
    TEdges Model;
    TCountEdges Counter;
    LoadSolvable(Model, Counter, System, Args);
    TDrawLines Store;
    const bool Cut = BuildSingleLine(Counter, Model, Store, Start, Step, Length, To == "sink");
    NoticeStop("flowline");
    NoticeCut("flowline", Cut ? 1 : 0);
    const TColorPointArray& Line = Store.Lines.back();
    const std::string End = Num(Line.back().Position.X) + " " + Num(Line.back().Position.Y);
    Files.Write(Model, Store);
    Files.Summary() << "points: " << Line.size() << "\n"
                    << "end: " << End << "\n";
    return 0;
}

// The command line's names of the particle parameters (CheckParticleParams' keys).
std::string ParticleOption(const std::string& Key) {
    if (Key == "rho_air")
        return "--rho-air";
    if (Key == "rho_particle")
        return "--rho";
    return "--" + Key;
}

int RunParticle(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"x", "y", "vx", "vy", "d", "rho-air", "rho", "mu", "chi",
                                         "restitution", "friction", "h", "tmax", "picture"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    TParticleParams P;
    P.Start = {Args.GetDouble("x", 1.0), Args.GetDouble("y", 1.0)};
    P.StartVelocity = {Args.GetDouble("vx", 0.0), Args.GetDouble("vy", 0.0)};
    P.D = Args.GetDouble("d", 0.0001);
    P.RhoAir = Args.GetDouble("rho-air", 1.205);
    P.RhoParticle = Args.GetDouble("rho", 3500.0);
    P.Mu = Args.GetDouble("mu", 0.0000178);
    P.Chi = Args.GetDouble("chi", 1.0);
    P.Restitution = Args.GetDouble("restitution", 0.5);
    P.Friction = Args.GetDouble("friction", 0.5);
    P.H = Args.GetDouble("h", 0.005);
    P.TMax = Args.GetDouble("tmax", 5.0);
    CheckDiscretizationOptions(Args);
    if (const auto Fault = CheckParticleParams(P))
        throw TKalvexError(ParticleOption(Fault->Key) + ": " + Fault->Message);

    const std::string& System = Args.Positional[0];
    TResultFiles Files(Args, System);
    TEdges Model;
    TCountEdges Counter;
    LoadSolvable(Model, Counter, System, Args);
    // The slits of the loaded model turn along, so the results file shows them as they
    // stand after the flight.
    Counter.Model = &Model;
    TDrawLines Store;
    const TParticleResult R = BuildParticleTrace(Counter, Store, P);
    NoticeStop("particle");
    NoticeCut("particle", R.PointLimit ? 1 : 0);
    const TColorPointArray& Line = Store.Lines.back();
    std::ostringstream Out;
    Out << "time: " << Num(R.Time) << "\n"
        << "caught: " << (R.End == TParticleEnd::peCaught ? "yes" : "no") << "\n"
        << "points: " << Line.size() << "\n"
        << "end: " << Num(Line.back().Position.X) << " " << Num(Line.back().Position.Y) << "\n";
    Files.Write(Model, Store);
    Files.Summary() << Out.str();
    return 0;
}

const char* const OutputsHelp =
    "--mod F: the results file; --csv F: the table line,point,x,y,color (\"-\": standard\n"
    "output, the summary then goes to stderr); --picture F: WMF for .wmf, else EMF.\n";

const TRegisterCommand RegFlowLines(
    {"flowlines",
     "flowlines SYSTEM.asp [--interval 0.08] [--step 0.01] [--length 1] [--from sources|sinks] "
     "[--mod F] [--csv F] [--picture F]   field of flow lines",
     50, RunFlowLines,
     std::string("Prints \"lines: N\" and \"points: M\". A line ends at 1000000 points (a notice\n"
                 "says so); the field stops once it holds 10000000 points. ") +
         OutputsHelp});
const TRegisterCommand RegFlowLine(
    {"flowline",
     "flowline SYSTEM.asp X Y [--step 0.01] [--length 1] [--to source|sink] "
     "[--mod F] [--csv F]   one flow line",
     60, RunFlowLine,
     std::string("Prints \"points: M\" and \"end: X Y\"; X and Y within ±1e6 m. The line ends at\n"
                 "1000000 points at most (a notice says so). ") +
         OutputsHelp});
const TRegisterCommand RegParticle(
    {"particle",
     "particle SYSTEM.asp [--x 1 --y 1 --vx 0 --vy 0 --d 0.0001 --rho-air 1.205 --rho 3500 "
     "--mu 0.0000178 --chi 1 --restitution 0.5 --friction 0.5 --h 0.005 --tmax 5] [--mod F] "
     "[--csv F] [--picture F]   one particle trajectory",
     70, RunParticle,
     std::string(
         "Prints \"time: T\", \"caught: yes|no\", \"points: M\", \"end: X Y\". As in the task "
         "file:\n"
         "--d, --rho, --rho-air, --mu, --chi positive; --restitution and --friction from 0 to 1;\n"
         "--h at least 1e-10 s; --tmax not negative; --x, --y within ±1e6 m; --vx, --vy within\n"
         "±1e4 m/s. The trajectory ends at 1000000 points (a notice says so). ") +
         OutputsHelp});

} // namespace
} // namespace kalvex::cli
