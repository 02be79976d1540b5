// The window's "Импорт DXF..." and "Экспорт DXF...": the questions they ask and what
// reaches the open system.
#pragma once

#include "cad/uDxf.h"
#include "document/uDocument.h"

#include <optional>
#include <string>

namespace kalvex {

// The questions of the import; the window answers them with its dialogs, tests with a
// script.
class TDxfImportUi {
public:
    virtual ~TDxfImportUi() = default;
    // The drawing names no units: which it is drawn in, or nothing to cancel.
    virtual std::optional<TDxfUnits> AskUnits() = 0;
    // Text says how many open chains would become semi-infinite regions.
    virtual bool ConfirmOpenChains(const std::string& Text) = 0;
    virtual void ShowMessage(const std::string& Text) = 0;
};

// Adds the drawing's boundaries to the open system in one change, or nothing at all
// (a refusal is shown in one message). True when the model changed.
bool ImportDxfIntoDocument(TDocument& Doc, const std::string& FileName, TDxfImportUi& Ui,
                           double Tolerance = DefaultDxfTolerance);

// Writes the open system as a DXF; a refusal is shown and the old file stays whole.
bool ExportDocumentDxf(const TDocument& Doc, const std::string& FileName, TDxfImportUi& Ui);

} // namespace kalvex
