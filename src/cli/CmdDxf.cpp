// kalvex-calc import-dxf / export-dxf: drawings from CAD and back.
#include "cad/uDxf.h"
#include "cli/CliCommon.h"
#include "solver/uCompanionFile.h"

namespace kalvex::cli {
namespace {

int RunImport(const TArgs& Args) {
    Args.OnlyOptions({"units", "tolerance", "open-chains"});
    if (Args.Positional.size() != 2)
        throw TUsageError("expected a drawing and an output system file");
    const std::string& In = Args.Positional[0];
    const std::string& Out = Args.Positional[1];
    TDxfImportOptions Options;
    if (Args.Has("units")) {
        Options.Units = ParseDxfUnits(Args.Get("units", ""));
        if (!Options.Units)
            throw TUsageError("--units: expected mm, cm, m or in");
    }
    Options.Tolerance = Args.GetDouble("tolerance", DefaultDxfTolerance);
    if (Args.Has("open-chains")) {
        if (Args.Get("open-chains", "") != "semi-infinite")
            throw TUsageError("--open-chains: expected semi-infinite");
        Options.OpenChainsSemiInfinite = true;
    }
    CheckOutputs({{"OUT", Out, false, {}}}, {In});
    const TEdges Edges = ImportDxf(ReadDxfFile(In), Options);
    Edges.SaveToFile(Out);
    RemoveCompanion(Out, {In});
    return 0;
}

int RunExport(const TArgs& Args) {
    Args.OnlyOptions({});
    if (Args.Positional.size() != 2)
        throw TUsageError("expected a system file and an output drawing");
    const std::string& In = Args.Positional[0];
    const std::string& Out = Args.Positional[1];
    CheckOutputs({{"OUT", Out, false, {}}}, {In});
    TEdges Edges;
    LoadSystem(Edges, In);
    ExportDxfFile(Edges, Out);
    return 0;
}

const TRegisterCommand RegImport(
    {"import-dxf", "import-dxf IN.dxf OUT.asp    a system from a CAD drawing", 25, RunImport,
     "Options: --units mm|cm|m|in (the drawing's $INSUNITS; needed when it gives none,\n"
     "  and it wins over $INSUNITS), --tolerance T (0.0001: ends closer than T metres\n"
     "  are joined), --open-chains semi-infinite (needed when the drawing has open chains).\n"
     "LINE, LWPOLYLINE, POLYLINE and ARC are chained end to end: a chain whose ends meet is\n"
     "a closed region (an enclosure with the air inside when it encloses another boundary\n"
     "or is the only one, else a body in the air), an open chain a semi-infinite region\n"
     "(its end segments continued as rays). A CIRCLE is a still cylinder, an arc a run of\n"
     "2 to 20 segments (about one per 18 degrees). Blocks are resolved. Velocities are 0.\n"
     "Anything that cannot be imported (splines, text, dimensions, hatches, unknown\n"
     "blocks, chains that cross or branch) is listed and nothing is written.\n"
     "The discretisation file beside OUT is removed.\n"});
const TRegisterCommand RegExport(
    {"export-dxf", "export-dxf SYSTEM.asp OUT.dxf  the boundaries as a CAD drawing", 26, RunExport,
     "Writes a DXF (R2000) in metres: every boundary as a LWPOLYLINE on the layer\n"
     "BOUNDARIES (a semi-infinite region without its rays), every cylinder as a CIRCLE,\n"
     "and the suction openings (velocity > 0) as polylines of their own on the layer\n"
     "SUCTION.\n"});

} // namespace
} // namespace kalvex::cli
