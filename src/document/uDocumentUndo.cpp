// The document's undo and redo: every recorded change of the model goes through
// MarkChanged (or RotateCylinders), and the history hands back accepted states only.
#include "document/uDocument.h"

#include <utility>

namespace kalvex {

void TDocument::MarkChanged() {
    MarkChanged(std::string());
}

void TDocument::MarkChanged(const std::string& StepName) {
    FSaved = false;
    RecordStep(StepName);
    NotifyState();
}

void TDocument::RecordStep(const std::string& StepName) {
    const TEditNote Note = FCanvas.TakeEditNote();
    const THitResult Target = Note.Name.empty() ? FCanvas.Selection() : Note.Target;
    if (FScopeDepth > 0) {
        if (!FScopeChanged)
            FScopeTarget = Target;
        FScopeChanged = true;
        return;
    }
    std::string Name = !StepName.empty() ? StepName : Note.Name;
    if (Name.empty())
        Name = "изменение";
    FHistory.Record(FCanvas.Edges, Name, Target, FCanvas.Selection(), Note.Run);
}

TDocument::TChangeScope::TChangeScope(TDocument& Doc, std::string Name)
    : FDoc(Doc), FName(std::move(Name)) {
    if (FDoc.FScopeDepth++ == 0)
        FDoc.FScopeChanged = false;
}

TDocument::TChangeScope::~TChangeScope() {
    if (--FDoc.FScopeDepth > 0 || !FDoc.FScopeChanged)
        return;
    FDoc.FScopeChanged = false;
    try {
        FDoc.FHistory.Record(FDoc.FCanvas.Edges, FName, FDoc.FScopeTarget,
                             FDoc.FCanvas.Selection());
    } catch (...) {
        // Out of memory for a snapshot: the change stays, without its undo step.
    }
}

bool TDocument::CanUndo() const {
    return FMode == TMode::mdEdit && FHistory.CanUndo();
}

bool TDocument::CanRedo() const {
    return FMode == TMode::mdEdit && FHistory.CanRedo();
}

bool TDocument::Undo() {
    if (!CanUndo())
        return false;
    // A drawing in progress is not part of any recorded state.
    FCanvas.CancelDrawing();
    RestoreState(FHistory.Undo());
    return true;
}

bool TDocument::Redo() {
    if (!CanRedo())
        return false;
    FCanvas.CancelDrawing();
    RestoreState(FHistory.Redo());
    return true;
}

void TDocument::RestoreState(const TUndoState& State) {
    if (State.Model == nullptr)
        return;
    FCanvas.SetModel(*State.Model);
    FCanvas.DrawLines.ClearLines();
    FCanvas.Select(State.Selection);
    FSaved = FHistory.AtSaved();
    FCanvas.Redraw();
    NotifyState();
}

} // namespace kalvex
