// kalvex-calc discretize / velocity: boundary elements and the air velocity at points.
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "geometry/uEdges.h"
#include "geometry/uInputChecks.h"
#include "solver/uCountEdges.h"

#include <iostream>

namespace kalvex::cli {
namespace {

std::vector<std::string> WithDiscretization(std::vector<std::string> Names) {
    const auto& D = DiscretizationOptionNames();
    Names.insert(Names.end(), D.begin(), D.end());
    return Names;
}

int RunDiscretize(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"out"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    const std::string& System = Args.Positional[0];
    const TDiscretizationSettings Settings = ReadDiscretizationOptions(Args);
    const std::string Out = Args.Get("out", CompanionName(System));
    // Never over the system itself: it is an input.
    std::vector<TOutput> Outputs{{"--out", Out, false, {}}};
    CheckOutputs(Outputs, {System});
    TEdges Model;
    LoadSystem(Model, System);
    CheckValidModel(Model);
    TEdgeElements Elements;
    Discretize(Elements, Model, Settings);
    Outputs[0].Bytes = Elements.SaveToBytes();
    const std::string Report = "elements: " + std::to_string(Elements.Count) + "\n";
    WriteOutputs(Outputs);
    std::cout << Report;
    return 0;
}

int RunVelocity(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({}));
    if (Args.Positional.size() < 3 || Args.Positional.size() % 2 != 1)
        throw TUsageError("expected a system file and pairs of coordinates X Y");
    const std::string& System = Args.Positional[0];
    std::vector<TRealPoint> Points;
    for (std::size_t I = 1; I + 1 < Args.Positional.size(); I += 2)
        Points.push_back({ParseCoordinate(Args.Positional[I], "X"),
                          ParseCoordinate(Args.Positional[I + 1], "Y")});
    if (HasDiscretizationOptions(Args))
        ReadDiscretizationOptions(Args); // usage errors before any file is read
    TEdges Model;
    LoadSystem(Model, System);
    CheckValidModel(Model);
    WarnAirSide(Model);
    TCountEdges Counter;
    PrepareElements(Counter, Model, System, Args);
    Counter.EnsureSolved();
    // Printed whole or not at all: Num refuses a number that is not finite.
    std::string Out;
    for (const TRealPoint& P : Points) {
        const TRealPoint V = Counter.Velocity(P);
        Out += Num(P.X) + " " + Num(P.Y) + " " + Num(V.X) + " " + Num(V.Y) + "\n";
    }
    std::cout << Out;
    return 0;
}

const TRegisterCommand RegDiscretize(
    {"discretize",
     "discretize SYSTEM.asp [discretisation options] [--out F]   write the discretisation file", 30,
     RunDiscretize,
     "Writes the boundary elements beside the system (a.asp -> a.dsc; a name without .asp\n"
     "gets .dsc appended) or to --out F, and prints \"elements: n\".\n"});
const TRegisterCommand RegVelocity(
    {"velocity",
     "velocity SYSTEM.asp X Y [X Y ...] [discretisation options]   air velocity at points", 40,
     RunVelocity,
     std::string("One line \"X Y Vx Vy\" per point (coordinates within ") + MaxCoordinateText +
         "). Uses the discretisation\n"
         "file beside the system when no discretisation option is given, unless it is older\n"
         "than the system, was made from another system or names a cylinder twice: then it\n"
         "discretises afresh and says so.\n"});

} // namespace
} // namespace kalvex::cli
