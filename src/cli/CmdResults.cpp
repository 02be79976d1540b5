// kalvex-calc flowlines / flowline / particle: result lines of a solved system, with the
// results file (--mod), a table of points (--csv) and a picture (--picture).
#include "canvas/uPaintEdges.h"
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "cli/CliResults.h"
#include "geometry/uEdges.h"
#include "results/uDrawLines.h"
#include "results/uFlowLines.h"
#include "results/uNothingFound.h"
#include "results/uParticle.h"
#include "results/uResultsFile.h"
#include "solver/uCountEdges.h"

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace kalvex::cli {
namespace {

int RunFlowLines(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization(
        {"interval", "step", "length", "from", "picture", "legend", "colours", "dpi"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    const double Interval = Args.GetDouble("interval", 0.08);
    const double Step = Args.GetDouble("step", 0.01);
    const double Length = Args.GetDouble("length", 1.0);
    const std::string From = Args.Get("from", "sinks");
    if (From != "sinks" && From != "sources")
        throw TUsageError("--from must be sources or sinks");
    CheckDiscretizationOptions(Args);
    CheckLineParams(Step, Length);

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
    if (Store.Count == 0 && !StopRequested()) {
        TEmptyRun Run;
        Run.Kind = TEmptyRun::FlowLines;
        Run.FromSinks = From == "sinks";
        std::cerr << "kalvex-calc " << NothingFound(Model, Run).English << "\n";
    }
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
    CheckLineParams(Step, Length);

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

int RunParticle(const TArgs& Args) {
    Args.OnlyOptions(
        WithDiscretization({"x", "y", "vx", "vy", "d", "rho-air", "rho", "mu", "chi", "restitution",
                            "friction", "h", "tmax", "picture", "legend", "dpi"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    TParticleParams P = ReadParticleOptions(Args);
    P.D = Args.GetDouble("d", 0.0001);
    CheckDiscretizationOptions(Args);
    if (const auto Fault = CheckParticleParams(P))
        throw TRefusal(Fault->Russian, ParticleOption(Fault->Key) + ": " + Fault->Message);

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
    "output, the summary then goes to stderr); --picture F: WMF, SVG, PNG or PDF for\n"
    ".wmf, .svg, .png, .pdf, else EMF (--dpi N: the PNG's resolution, 24 to 1200);\n"
    "--legend: the picture also shows the scale of speeds the colours stand for.\n";

const TRegisterCommand RegFlowLines(
    {"flowlines",
     "flowlines SYSTEM.asp [--interval 0.08] [--step 0.01] [--length 1] [--from sources|sinks] "
     "[--mod F] [--csv F] [--picture F [--legend] [--colours lines|openings]]   field of flow "
     "lines",
     50,
     RunFlowLines,
     std::string(
         "Prints \"lines: N\" and \"points: M\". --interval, --step and --length positive;\n"
         "--step ") +
         LineStepRangeText + "; at most " + std::to_string(MaxFieldLines) +
         " lines. A line ends at 1000000 points\n"
         "(a notice says so); the field stops once it holds 10000000 points. " +
         OutputsHelp +
         "--colours: the picture's colours span the speeds along the lines (lines, the\n"
         "default with --legend) or the openings' velocities (openings, the default without).\n",
     {{"legend", 0}}});
const TRegisterCommand RegFlowLine(
    {"flowline",
     "flowline SYSTEM.asp X Y [--step 0.01] [--length 1] [--to source|sink] "
     "[--mod F] [--csv F]   one flow line",
     60, RunFlowLine,
     std::string("Prints \"points: M\" and \"end: X Y\"; X and Y within ") + MaxCoordinateText +
         "; --step\n" + LineStepRangeText +
         ". The line ends at 1000000 points at most (a notice says so). " + OutputsHelp});
const TRegisterCommand RegParticle(
    {"particle",
     "particle SYSTEM.asp [--x 1 --y 1 --vx 0 --vy 0 --d 0.0001 --rho-air 1.205 --rho 3500 "
     "--mu 0.0000178 --chi 1 --restitution 0.5 --friction 0.5 --h 0.005 --tmax 5] [--mod F] "
     "[--csv F] [--picture F [--legend]]   one particle trajectory",
     70,
     RunParticle,
     std::string(
         "Prints \"time: T\", \"caught: yes|no\", \"points: M\", \"end: X Y\". As in the task "
         "file:\n"
         "--d, --rho, --rho-air, --mu, --chi positive; --restitution and --friction from 0 to 1;\n"
         "--h at least ") +
         MinParticleStepText + "; --tmax not negative; --x, --y within " + MaxCoordinateText +
         "; --vx, --vy within\n" + MaxVelocityText +
         ". The trajectory ends at 1000000 points (a notice says so). " + OutputsHelp,
     {{"legend", 0}}});

} // namespace
} // namespace kalvex::cli
