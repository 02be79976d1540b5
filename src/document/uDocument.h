// The open system as the window works on it, without Qt: the canvas (and through it
// the model and the result lines), the flow evaluator, the file state and the mode.
// The window forwards commands here and shows what comes back.
#pragma once

#include "canvas/uPaintEdges.h"
#include "solver/uCountEdges.h"

#include <functional>
#include <string>

namespace kalvex {

enum class TMode { mdEdit, mdCount };

inline constexpr const char* DefaultFileName = "Система1.asp";

class TDocument {
public:
    TDocument();
    TDocument(const TDocument&) = delete;
    TDocument& operator=(const TDocument&) = delete;

    TEdgesCanvas& Canvas() { return FCanvas; }
    const TEdgesCanvas& Canvas() const { return FCanvas; }
    TCountEdges& Solver() { return FSolver; }
    const TCountEdges& Solver() const { return FSolver; }

    const std::string& FileName() const { return FFileName; }
    bool Saved() const { return FSaved; }
    bool Untitled() const { return FUntitled; }
    TMode Mode() const { return FMode; }
    double RotationTime() const { return FRotationTime; }

    // An edit of the model: clears Saved and tells the window.
    void MarkChanged();

    // The window's hook: the file state (name, Saved, mode) changed.
    std::function<void()> OnStateChange;

protected:
    void NotifyState();

    TEdgesCanvas FCanvas;
    TCountEdges FSolver;
    std::string FFileName = DefaultFileName;
    bool FSaved = true;
    bool FUntitled = true;
    TMode FMode = TMode::mdEdit;
    double FRotationTime = 0.0;
};

} // namespace kalvex
