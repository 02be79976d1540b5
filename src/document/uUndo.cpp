#include "document/uUndo.h"

#include <utility>

namespace kalvex {

void TUndoHistory::Reset(const TEdges& Model) {
    FUndo.clear();
    FRedo.clear();
    FCurrent = Model;
    FCurrentId = FNextId++;
    FSavedId = FCurrentId;
}

bool TUndoHistory::Record(const TEdges& Model, const std::string& Name, THitResult Before,
                          THitResult After, int Run) {
    if (Model.SameAs(FCurrent))
        return false;
    FRedo.clear();
    // A run continues its step, unless the state it would replace is the saved one:
    // undo must be able to come back to that.
    const bool Continues =
        Run != 0 && !FUndo.empty() && FUndo.back().Run == Run && FCurrentId != FSavedId;
    if (Continues) {
        FUndo.back().After = After;
    } else {
        FUndo.push_back({Name, std::move(FCurrent), FCurrentId, Before, After, Run});
    }
    FCurrent = Model;
    FCurrentId = FNextId++;
    Trim();
    return true;
}

std::string TUndoHistory::UndoName() const {
    return FUndo.empty() ? std::string() : FUndo.back().Name;
}

std::string TUndoHistory::RedoName() const {
    return FRedo.empty() ? std::string() : FRedo.back().Name;
}

TUndoState TUndoHistory::Undo() {
    if (FUndo.empty())
        return {};
    TStep S = std::move(FUndo.back());
    FUndo.pop_back();
    std::swap(S.Model, FCurrent);
    std::swap(S.Id, FCurrentId);
    S.Run = 0; // a redone step is not continued by a later run
    FRedo.push_back(std::move(S));
    return {&FCurrent, FRedo.back().Before};
}

TUndoState TUndoHistory::Redo() {
    if (FRedo.empty())
        return {};
    TStep S = std::move(FRedo.back());
    FRedo.pop_back();
    std::swap(S.Model, FCurrent);
    std::swap(S.Id, FCurrentId);
    FUndo.push_back(std::move(S));
    return {&FCurrent, FUndo.back().After};
}

std::size_t TUndoHistory::SizeOf(const TEdges& Model) {
    std::size_t N = sizeof(TEdges);
    for (const TEdge& E : Model.Items)
        N += sizeof(TEdge) + E.Segments.size() * sizeof(TEdgeSegment);
    return N;
}

// The oldest steps go first when the history grows past its bounds.
void TUndoHistory::Trim() {
    std::size_t Bytes = SizeOf(FCurrent);
    for (const TStep& S : FUndo)
        Bytes += SizeOf(S.Model);
    for (const TStep& S : FRedo)
        Bytes += SizeOf(S.Model);
    std::size_t Drop = 0;
    while (Drop < FUndo.size() && (FUndo.size() - Drop > MaxSteps || Bytes > MaxBytes)) {
        Bytes -= SizeOf(FUndo[Drop].Model);
        ++Drop;
    }
    if (Drop > 0)
        FUndo.erase(FUndo.begin(), FUndo.begin() + static_cast<std::ptrdiff_t>(Drop));
}

} // namespace kalvex
