// kalvex-calc export: the picture of the boundaries as a metafile.
#include "canvas/uPaintEdges.h"
#include "cli/CliCommon.h"
#include "geometry/uEdges.h"

#include <iostream>

namespace kalvex::cli {
namespace {

int RunExport(const TArgs& Args) {
    Args.OnlyOptions({"scale", "dpi"});
    if (Args.Positional.size() != 2)
        throw TUsageError("expected a system file and a picture file");
    const double Scale = Args.GetDouble("scale", DefaultScale);
    if (!IsPictureScale(Scale))
        throw TUsageError("--scale must be positive");
    const TPictureOptions Options = PictureOptions(Args);
    std::vector<TOutput> Outputs{{"PICTURE", Args.Positional[1], false, {}}};
    CheckOutputs(Outputs, {Args.Positional[0]});
    TEdges Edges;
    LoadSystem(Edges, Args.Positional[0]);
    const TPictureSize Size =
        PictureBytes(Edges, TDrawLines(), Scale, PictureFormatOf(Args.Positional[1]),
                     Outputs[0].Bytes, {}, Options);
    WriteOutputs(Outputs);
    std::cout << "width: " << Size.Width << "\n"
              << "height: " << Size.Height << "\n";
    return 0;
}

const TRegisterCommand
    RegExport({"export",
               "export SYSTEM.asp PICTURE.wmf|.emf|.svg|.png|.pdf [--scale 0.004] "
               "[--dpi 96]  picture of the boundaries (by the name's ending; "
               "EMF for any other)",
               90, RunExport,
               "Prints \"width: W\" and \"height: H\" in pixels (at most "
               "1e7 each) at 96 per inch. --dpi: the PNG's resolution, 24 to "
               "1200 (at most 20000 pixels a side); a PDF page is the "
               "picture's size.\n"});

} // namespace
} // namespace kalvex::cli
