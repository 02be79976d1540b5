#include "results/uResultsFile.h"

#include "geometry/uInputChecks.h"

namespace kalvex {

std::vector<std::uint8_t> SaveResultsToBytes(const TEdges& Model, const TDrawLines& Lines) {
    // A point that is not a number is no result to keep.
    for (const TColorPointArray& Line : Lines.Lines)
        for (const TColorPoint& P : Line)
            CheckFiniteResult(P.Position);
    TByteWriter W;
    Model.SaveToStream(W);
    Lines.SaveLinesToStream(W, ResultsComment);
    return std::move(W.Bytes);
}

void SaveResultsToFile(const std::string& FileName, const TEdges& Model, const TDrawLines& Lines) {
    const auto Bytes = SaveResultsToBytes(Model, Lines);
    WriteFileAtomic(FileName, Bytes);
}

} // namespace kalvex
