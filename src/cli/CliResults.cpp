#include "cli/CliResults.h"

#include "canvas/uPaintEdges.h"
#include "cli/CliDiscretization.h"
#include "geometry/uEdges.h"
#include "geometry/uInputChecks.h"
#include "results/uResultsFile.h"
#include "results/uTextFormat.h"
#include "solver/uCountEdges.h"

#include <iostream>

namespace kalvex::cli {

std::vector<std::string> WithDiscretization(std::vector<std::string> Names) {
    const auto& D = DiscretizationOptionNames();
    Names.insert(Names.end(), D.begin(), D.end());
    Names.push_back("mod");
    Names.push_back("csv");
    return Names;
}

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

TResultFiles::TResultFiles(const TArgs& Args, const std::string& System) {
    if (Args.Has("mod"))
        Outputs.push_back({"--mod", Args.Get("mod", ""), false, {}});
    if (Args.Has("csv"))
        Outputs.push_back({"--csv", Args.Get("csv", ""), true, {}});
    if (Args.Has("picture"))
        Outputs.push_back({"--picture", Args.Get("picture", ""), false, {}});
    Legend = Args.Has("legend");
    Pictures = PictureOptions(Args);
    if (Args.Has("dpi") && !Args.Has("picture"))
        throw TUsageError("--dpi belongs to a picture: give --picture F too");
    if (Legend && !Args.Has("picture"))
        throw TUsageError("--legend belongs to a picture: give --picture F too");
    // Without the legend the picture keeps the colours the lines were traced with.
    Colours = Legend ? TSpeedScale::Lines : TSpeedScale::Openings;
    if (Args.Has("colours")) {
        const std::string C = Args.Get("colours", "");
        if (C != "lines" && C != "openings")
            throw TUsageError("--colours must be lines or openings");
        if (!Args.Has("picture"))
            throw TUsageError("--colours belongs to a picture: give --picture F too");
        Colours = C == "lines" ? TSpeedScale::Lines : TSpeedScale::Openings;
    }
    CheckOutputs(Outputs, SystemInputs(System));
}

std::ostream& TResultFiles::Summary() const {
    for (const TOutput& O : Outputs)
        if (O.Name == "-")
            return std::cerr;
    return std::cout;
}

void TResultFiles::Write(const TEdges& Model, TDrawLines& Store) {
    Store.ColourScale = Colours;
    for (TOutput& O : Outputs) {
        if (O.Option == "--mod")
            O.Bytes = SaveResultsToBytes(Model, Store);
        else if (O.Option == "--csv")
            O.Bytes = LinesCsv(Store);
        else if (Legend)
            PictureBytes(
                Model, Store, DefaultScale, PictureFormatOf(O.Name), O.Bytes,
                [](double V) { return FormatNumber(V); }, Pictures);
        else
            PictureBytes(Model, Store, DefaultScale, PictureFormatOf(O.Name), O.Bytes, {},
                         Pictures);
    }
    WriteOutputs(Outputs);
}

std::size_t TotalPoints(const TDrawLines& Store) {
    std::size_t N = 0;
    for (const auto& L : Store.Lines)
        N += L.size();
    return N;
}

void CheckDiscretizationOptions(const TArgs& Args) {
    if (HasDiscretizationOptions(Args))
        ReadDiscretizationOptions(Args);
}

void LoadSolvable(TEdges& Model, TCountEdges& Counter, const std::string& System,
                  const TArgs& Args) {
    LoadSystem(Model, System);
    CheckValidModel(Model);
    WarnAirSide(Model);
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

// The command line's names of the particle parameters (CheckParticleParams' keys).
std::string ParticleOption(const std::string& Key) {
    if (Key == "rho_air")
        return "--rho-air";
    if (Key == "rho_particle")
        return "--rho";
    return "--" + Key;
}

TParticleParams ReadParticleOptions(const TArgs& Args) {
    TParticleParams P;
    P.Start = {Args.GetDouble("x", 1.0), Args.GetDouble("y", 1.0)};
    P.StartVelocity = {Args.GetDouble("vx", 0.0), Args.GetDouble("vy", 0.0)};
    P.RhoAir = Args.GetDouble("rho-air", 1.205);
    P.RhoParticle = Args.GetDouble("rho", 3500.0);
    P.Mu = Args.GetDouble("mu", 0.0000178);
    P.Chi = Args.GetDouble("chi", 1.0);
    P.Restitution = Args.GetDouble("restitution", 0.5);
    P.Friction = Args.GetDouble("friction", 0.5);
    P.H = Args.GetDouble("h", 0.005);
    P.TMax = Args.GetDouble("tmax", 5.0);
    return P;
}

const std::vector<std::string>& ParticleOptionNames() {
    static const std::vector<std::string> Names = {"x",           "y",        "vx", "vy",
                                                   "rho-air",     "rho",      "mu", "chi",
                                                   "restitution", "friction", "h",  "tmax"};
    return Names;
}

} // namespace kalvex::cli
