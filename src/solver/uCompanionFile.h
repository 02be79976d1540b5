// The discretisation file (.dsc) kept beside a system file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kalvex {

// "x.asp" (in any case) gives "x.dsc", as stored files rely on; any other name gets
// ".dsc" added, so that no two systems share one and no name maps onto itself.
std::string CompanionName(const std::string& SystemFile);

// The files that a command computing from SystemFile must never write over: the system
// and its companion.
std::vector<std::string> SystemInputs(const std::string& SystemFile);

// The companion of SystemFile, or nothing when that file is the system itself (through
// a link or another path): it is then neither read, written nor removed.
std::optional<std::string> CompanionFile(const std::string& SystemFile);

// After SystemFile was written anew: removes its companion, which described the file
// replaced (never the system itself, nor one of Keep).
void RemoveCompanion(const std::string& SystemFile, const std::vector<std::string>& Keep = {});

} // namespace kalvex
