// kalvex-calc discretize / velocity: boundary elements and the air velocity at points.
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "geometry/uEdges.h"
#include "solver/uCountEdges.h"

#include <filesystem>
#include <iostream>

namespace kalvex::cli {
namespace {

std::vector<std::string> WithDiscretization(std::vector<std::string> Names) {
    const auto& D = DiscretizationOptionNames();
    Names.insert(Names.end(), D.begin(), D.end());
    return Names;
}

// Never write the elements over the system they came from (a system named *.dsc).
void RefuseOverwritingSystem(const std::string& System, const std::string& Out) {
    std::error_code Ec;
    if (Out == System || std::filesystem::equivalent(System, Out, Ec))
        throw TKalvexError("Файл граничных элементов совпадает с файлом системы: " + Out);
}

int RunDiscretize(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({"out"}));
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    const std::string& System = Args.Positional[0];
    const TDiscretizationSettings Settings = ReadDiscretizationOptions(Args);
    TEdges Model;
    Model.LoadFromFile(System);
    TEdgeElements Elements;
    Discretize(Elements, Model, Settings);
    const std::string Out = Args.Get("out", DefaultDiscretizationFile(System));
    RefuseOverwritingSystem(System, Out);
    Elements.SaveToFile(Out);
    std::cout << "elements: " << Elements.Count << "\n";
    return 0;
}

int RunVelocity(const TArgs& Args) {
    Args.OnlyOptions(WithDiscretization({}));
    if (Args.Positional.size() < 3 || Args.Positional.size() % 2 != 1)
        throw TUsageError("expected a system file and pairs of coordinates X Y");
    const std::string& System = Args.Positional[0];
    std::vector<TRealPoint> Points;
    for (std::size_t I = 1; I + 1 < Args.Positional.size(); I += 2)
        Points.push_back(
            {ParseNumber(Args.Positional[I], "X"), ParseNumber(Args.Positional[I + 1], "Y")});
    if (HasDiscretizationOptions(Args))
        ReadDiscretizationOptions(Args); // usage errors before any file is read
    TEdges Model;
    Model.LoadFromFile(System);
    TCountEdges Counter;
    PrepareElements(Counter, Model, System, Args);
    Counter.EnsureSolved();
    for (const TRealPoint& P : Points) {
        const TRealPoint V = Counter.Velocity(P);
        std::cout << Num(P.X) << " " << Num(P.Y) << " " << Num(V.X) << " " << Num(V.Y) << "\n";
    }
    return 0;
}

const TRegisterCommand RegDiscretize(
    {"discretize",
     "discretize SYSTEM.asp [discretisation options] [--out F]   write the discretisation file", 30,
     RunDiscretize});
const TRegisterCommand RegVelocity({"velocity",
                                    "velocity SYSTEM.asp X Y [X Y ...] [discretisation options]   "
                                    "air velocity at points",
                                    40, RunVelocity});

} // namespace
} // namespace kalvex::cli
