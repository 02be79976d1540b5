// kalvex-calc info / copy: the boundary model and the system file.
#include "cli/CliCommon.h"
#include "geometry/uEdges.h"

#include <iostream>

namespace kalvex::cli {
namespace {

const char* Bool(bool B) {
    return B ? "true" : "false";
}

int RunInfo(const TArgs& Args) {
    Args.OnlyOptions({});
    if (Args.Positional.size() != 1)
        throw TUsageError("expected one system file");
    TEdges Edges;
    Edges.LoadFromFile(Args.Positional[0]);

    int Segments = 0;
    for (const auto& E : Edges.Items)
        Segments += E.Count();
    std::cout << "boundaries: " << Edges.Count() << "\n"
              << "segments: " << Segments << "\n"
              << "total_flow: " << Num(Edges.TotalFlow()) << "\n"
              << "valid: " << Bool(Edges.IsValid()) << "\n"
              << "has_semi_infinite: " << Bool(Edges.HasSemiInfinite()) << "\n"
              << "inflow_count: " << Edges.InflowCount() << "\n";
    if (Edges.Count() == 0) {
        std::cout << "bounds: none\n";
    } else {
        TRealPoint TopLeft, BottomRight;
        Edges.GetBounds(TopLeft, BottomRight);
        std::cout << "bounds: " << Num(TopLeft.X) << " " << Num(TopLeft.Y) << " "
                  << Num(BottomRight.X) << " " << Num(BottomRight.Y) << "\n";
    }
    return 0;
}

int RunCopy(const TArgs& Args) {
    Args.OnlyOptions({});
    if (Args.Positional.size() != 2)
        throw TUsageError("expected an input and an output system file");
    TEdges Edges;
    Edges.LoadFromFile(Args.Positional[0]);
    Edges.SaveToFile(Args.Positional[1]);
    return 0;
}

const TRegisterCommand RegInfo({"info", "info SYSTEM.asp            summary of a system file", 10,
                                RunInfo});
const TRegisterCommand
    RegCopy({"copy", "copy IN.asp OUT.asp         load a system and save it again", 20, RunCopy});

} // namespace
} // namespace kalvex::cli
