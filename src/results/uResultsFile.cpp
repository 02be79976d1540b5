#include "results/uResultsFile.h"

namespace kalvex {

std::vector<std::uint8_t> SaveResultsToBytes(const TEdges& Model, const TDrawLines& Lines) {
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
