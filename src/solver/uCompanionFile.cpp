#include "solver/uCompanionFile.h"

#include "geometry/uBinaryIO.h"

#include <algorithm>
#include <cctype>

namespace kalvex {

std::string CompanionName(const std::string& SystemFile) {
    const std::string Ext = ".asp";
    if (SystemFile.size() > Ext.size() &&
        std::equal(Ext.rbegin(), Ext.rend(), SystemFile.rbegin(),
                   [](char A, char B) { return A == std::tolower(static_cast<unsigned char>(B)); }))
        return SystemFile.substr(0, SystemFile.size() - 3) + "dsc";
    return SystemFile + ".dsc";
}

std::optional<std::string> CompanionFile(const std::string& SystemFile) {
    std::string Name = CompanionName(SystemFile);
    if (IsSameFile(Name, SystemFile))
        return std::nullopt;
    return Name;
}

} // namespace kalvex
