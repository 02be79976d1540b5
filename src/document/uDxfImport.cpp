#include "document/uDxfImport.h"

#include "canvas/uPaintEdges.h"

namespace kalvex {

bool ImportDxfIntoDocument(TDocument& Doc, const std::string& FileName, TDxfImportUi& Ui,
                           double Tolerance) {
    TEdgesCanvas& Canvas = Doc.Canvas();
    TDxfImportOptions Options;
    Options.Tolerance = Tolerance;
    try {
        const TDxfDrawing Drawing = ReadDxfFile(FileName);
        for (;;) {
            try {
                TEdges Result =
                    ImportDxf(Drawing, Options, Canvas.Edges, Canvas.NewSegmentDefaults);
                Canvas.Edges = std::move(Result);
                break;
            } catch (const TDxfUnitsUnknown&) {
                Options.Units = Ui.AskUnits();
                if (!Options.Units)
                    return false;
            } catch (const TDxfOpenChains& E) {
                if (!Ui.ConfirmOpenChains(E.what()))
                    return false;
                Options.OpenChainsSemiInfinite = true;
            }
        }
    } catch (const TRefusal& E) {
        Ui.ShowMessage(E.what());
        return false;
    }
    Canvas.Redraw();
    Doc.MarkChanged("импорт DXF");
    return true;
}

bool ExportDocumentDxf(const TDocument& Doc, const std::string& FileName, TDxfImportUi& Ui) {
    try {
        CheckOutputFiles({{"", FileName}}, {});
        ExportDxfFile(Doc.Canvas().Edges, FileName);
    } catch (const TRefusal& E) {
        Ui.ShowMessage(E.what());
        return false;
    }
    return true;
}

} // namespace kalvex
