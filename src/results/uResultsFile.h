// The results file (*.mod): the edges block of the model as it stands, the result
// lines and a fixed comment. Written, never read back.
#pragma once

#include "geometry/uEdges.h"
#include "results/uDrawLines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalvex {

inline constexpr const char* ResultsComment = "Комментарии к результатам моделирования:";

std::vector<std::uint8_t> SaveResultsToBytes(const TEdges& Model, const TDrawLines& Lines);
// Replaces the file atomically; throws TFileError.
void SaveResultsToFile(const std::string& FileName, const TEdges& Model, const TDrawLines& Lines);

} // namespace kalvex
