// kalvex-calc export: the picture of the boundaries as a metafile.
#include "canvas/uPaintEdges.h"
#include "cli/CliCommon.h"
#include "geometry/uEdges.h"

#include <iostream>

namespace kalvex::cli {
namespace {

int RunExport(const TArgs& Args) {
    Args.OnlyOptions({"scale"});
    if (Args.Positional.size() != 2)
        throw TUsageError("expected a system file and a picture file");
    const double Scale = Args.GetDouble("scale", DefaultScale);
    if (!(Scale > 0))
        throw TUsageError("--scale must be positive");
    std::vector<TOutput> Outputs{{"PICTURE", Args.Positional[1], false, {}}};
    CheckOutputs(Outputs, {Args.Positional[0]});
    TEdges Edges;
    LoadSystem(Edges, Args.Positional[0]);
    const TPictureSize Size =
        RenderPicture(Edges, TDrawLines(), Scale, IsWmfName(Args.Positional[1]), Outputs[0].Bytes);
    WriteOutputs(Outputs);
    std::cout << "width: " << Size.Width << "\n"
              << "height: " << Size.Height << "\n";
    return 0;
}

const TRegisterCommand RegExport({"export",
                                  "export SYSTEM.asp PICTURE.wmf|.emf [--scale 0.004]  picture of "
                                  "the boundaries (WMF for .wmf, else EMF)",
                                  90, RunExport,
                                  "Prints \"width: W\" and \"height: H\" in pixels (at most "
                                  "1e7 each).\n"});

} // namespace
} // namespace kalvex::cli
