// The undo history of the editor: a snapshot of the model before each change, with the
// change's name for the menu and the selection to show afterwards. The model is small,
// so whole snapshots are simpler and safer than reversible edits: every state restored
// is one the editor accepted.
#pragma once

#include "canvas/uPaintEdges.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalvex {

// A state to put back: the model and the selection that goes with it.
struct TUndoState {
    const TEdges* Model = nullptr;
    THitResult Selection;
};

class TUndoHistory {
public:
    // Far more than anyone takes back, and a few tens of megabytes at most.
    static constexpr std::size_t MaxSteps = 256;
    static constexpr std::size_t MaxBytes = std::size_t{64} << 20;

    // Forgets every step: Model is the state of a system just opened, created or saved.
    void Reset(const TEdges& Model);
    // The model became Model by the change Name. Before/After: the object the change
    // was made on, and the selection after it. Changes of the same nonzero Run (a run
    // of arrow presses, one drag) make one step. False when Model is the state already
    // held (nothing to record).
    bool Record(const TEdges& Model, const std::string& Name, THitResult Before, THitResult After,
                int Run = 0);

    bool CanUndo() const { return !FUndo.empty(); }
    bool CanRedo() const { return !FRedo.empty(); }
    // The names of the steps Undo and Redo would take ("" when none).
    std::string UndoName() const;
    std::string RedoName() const;
    // Step back or forward; the state to restore, or a null Model when there is none.
    TUndoState Undo();
    TUndoState Redo();

    // The current state is the one on disk; AtSaved tells whether it still is.
    void MarkSaved() { FSavedId = FCurrentId; }
    bool AtSaved() const { return FSavedId == FCurrentId; }
    std::size_t UndoCount() const { return FUndo.size(); }

private:
    struct TStep {
        std::string Name;
        TEdges Model; // the state on the other side of the step
        std::uint64_t Id = 0;
        THitResult Before;
        THitResult After;
        int Run = 0;
    };
    void Trim();
    static std::size_t SizeOf(const TEdges& Model);

    std::vector<TStep> FUndo; // oldest first; Model = the state before the step
    std::vector<TStep> FRedo; // newest undone last; Model = the state after the step
    TEdges FCurrent;
    std::uint64_t FCurrentId = 1;
    std::uint64_t FNextId = 2;
    std::uint64_t FSavedId = 1;
};

} // namespace kalvex
