// kalvex-calc flowlines / flowline / particle: result lines of a solved system, with the
// results file (--mod) and a table of points (--csv).
#include "canvas/uPaintEdges.h"
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "geometry/uBinaryIO.h"
#include "geometry/uEdges.h"
#include "results/uDrawLines.h"
#include "results/uFlowLines.h"
#include "results/uParticle.h"
#include "results/uResultsFile.h"
#include "solver/uCountEdges.h"

#include <iostream>
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

void WriteOutputs(const TArgs& Args, const TEdges& Model, const TDrawLines& Store) {
    if (Args.Has("mod"))
        SaveResultsToFile(Args.Get("mod", ""), Model, Store);
    if (Args.Has("csv"))
        WriteFileAtomic(Args.Get("csv", ""), LinesCsv(Store));
    if (Args.Has("picture"))
        ExportPicture(Model, Store, DefaultScale, Args.Get("picture", ""));
}

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
    TEdges Model;
    Model.LoadFromFile(System);
    TCountEdges Counter;
    PrepareElements(Counter, Model, System, Args);
    TDrawLines Store;
    BuildFieldOfLines(Counter, Model, Store, Interval, Step, Length, From == "sinks");
    WriteOutputs(Args, Model, Store);
    std::cout << "lines: " << Store.Count << "\n";
    std::cout << "points: " << TotalPoints(Store) << "\n";
    return 0;
}

int RunFlowLine(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"step", "length", "to"}));
    if (Args.Positional.size() != 3)
        throw TUsageError("expected a system file and the start point X Y");
    const TRealPoint Start{ParseNumber(Args.Positional[1], "X"),
                           ParseNumber(Args.Positional[2], "Y")};
    const double Step = Args.GetDouble("step", 0.01);
    const double Length = Args.GetDouble("length", 1.0);
    const std::string To = Args.Get("to", "source");
    if (To != "sink" && To != "source")
        throw TUsageError("--to must be sink or source");
    CheckDiscretizationOptions(Args);
    if (!(Step > 0) || !(Length > 0))
        throw TBuildParamsError();

    const std::string& System = Args.Positional[0];
    TEdges Model;
    Model.LoadFromFile(System);
    TCountEdges Counter;
    PrepareElements(Counter, Model, System, Args);
    TDrawLines Store;
    BuildSingleLine(Counter, Model, Store, Start, Step, Length, To == "sink");
    WriteOutputs(Args, Model, Store);
    const TColorPointArray& Line = Store.Lines.back();
    std::cout << "points: " << Line.size() << "\n";
    std::cout << "end: " << Num(Line.back().Position.X) << " " << Num(Line.back().Position.Y)
              << "\n";
    return 0;
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
    if (P.H < MinParticleStep)
        throw TKalvexError("Слишком маленький шаг интегрирования.");

    const std::string& System = Args.Positional[0];
    TEdges Model;
    Model.LoadFromFile(System);
    TCountEdges Counter;
    PrepareElements(Counter, Model, System, Args);
    // The slits of the loaded model turn along, so the results file shows them as they
    // stand after the flight.
    Counter.Model = &Model;
    TDrawLines Store;
    const TParticleResult R = BuildParticleTrace(Counter, Store, P);
    WriteOutputs(Args, Model, Store);
    const TColorPointArray& Line = Store.Lines.back();
    std::cout << "time: " << Num(R.Time) << "\n";
    std::cout << "caught: " << (R.End == TParticleEnd::peCaught ? "yes" : "no") << "\n";
    std::cout << "points: " << Line.size() << "\n";
    std::cout << "end: " << Num(Line.back().Position.X) << " " << Num(Line.back().Position.Y)
              << "\n";
    return 0;
}

const TRegisterCommand RegFlowLines(
    {"flowlines",
     "flowlines SYSTEM.asp [--interval 0.08] [--step 0.01] [--length 1] [--from sources|sinks] "
     "[--mod F] [--csv F] [--picture F]   field of flow lines",
     50, RunFlowLines});
const TRegisterCommand
    RegFlowLine({"flowline",
                 "flowline SYSTEM.asp X Y [--step 0.01] [--length 1] [--to source|sink] "
                 "[--mod F] [--csv F]   one flow line",
                 60, RunFlowLine});
const TRegisterCommand RegParticle(
    {"particle",
     "particle SYSTEM.asp [--x 1 --y 1 --vx 0 --vy 0 --d 0.0001 --rho-air 1.205 --rho 3500 "
     "--mu 0.0000178 --chi 1 --restitution 0.5 --friction 0.5 --h 0.005 --tmax 5] [--mod F] "
     "[--csv F] [--picture F]   one particle trajectory",
     70, RunParticle});

} // namespace
} // namespace kalvex::cli
