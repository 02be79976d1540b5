// kalvex-calc info / copy: the boundary model and the system file.
#include "cli/CliCommon.h"
#include "cli/CliDiscretization.h"
#include "geometry/uEdges.h"

#include <iostream>
#include <sstream>

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
    LoadSystem(Edges, Args.Positional[0]);

    int Segments = 0;
    for (const auto& E : Edges.Items)
        Segments += E.Count();
    // Printed whole or not at all: Num refuses a number that is not finite.
    std::ostringstream Out;
    Out << "boundaries: " << Edges.Count() << "\n"
        << "segments: " << Segments << "\n"
        << "total_flow: " << Num(Edges.TotalFlow()) << "\n"
        << "valid: " << Bool(Edges.IsValid()) << "\n"
        << "has_semi_infinite: " << Bool(Edges.HasSemiInfinite()) << "\n"
        << "inflow_count: " << Edges.InflowCount() << "\n";
    if (Edges.Count() == 0) {
        Out << "bounds: none\n";
    } else {
        TRealPoint TopLeft, BottomRight;
        Edges.GetBounds(TopLeft, BottomRight);
        Out << "bounds: " << Num(TopLeft.X) << " " << Num(TopLeft.Y) << " " << Num(BottomRight.X)
            << " " << Num(BottomRight.Y) << "\n";
    }
    std::cout << Out.str();
    return 0;
}

int RunCopy(const TArgs& Args) {
    Args.OnlyOptions({});
    if (Args.Positional.size() != 2)
        throw TUsageError("expected an input and an output system file");
    const std::string& In = Args.Positional[0];
    const std::string& Out = Args.Positional[1];
    CheckOutputs({{"OUT", Out, false, {}}}, {In});
    TEdges Edges;
    LoadSystem(Edges, In);
    Edges.SaveToFile(Out);
    // The discretisation file beside the output belonged to the file just replaced.
    RemoveCompanion(Out, {In});
    return 0;
}

const TRegisterCommand
    RegInfo({"info", "info SYSTEM.asp            summary of a system file", 10, RunInfo,
             "Prints boundaries, segments, total_flow, valid, has_semi_infinite, inflow_count and\n"
             "bounds (minX maxY maxX minY, or none), one per line. \"valid\" tests every segment\n"
             "against every other: its time grows with the square of the segment count (seconds\n"
             "at ten thousand segments, minutes at a hundred thousand).\n"});
const TRegisterCommand RegCopy(
    {"copy", "copy IN.asp OUT.asp         load a system and save it again", 20, RunCopy,
     "OUT must not be IN (nor the same file through another path or a link). The\n"
     "discretisation file beside OUT (OUT.dsc for a name without .asp) is removed, since it\n"
     "belonged to the file that OUT replaces.\n"});

} // namespace
} // namespace kalvex::cli
