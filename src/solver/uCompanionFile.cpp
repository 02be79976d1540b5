#include "solver/uCompanionFile.h"

#include "geometry/uBinaryIO.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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

void RemoveCompanion(const std::string& SystemFile, const std::vector<std::string>& Keep) {
    const std::optional<std::string> Name = CompanionFile(SystemFile);
    std::error_code Ec;
    if (!Name || !std::filesystem::is_regular_file(*Name, Ec))
        return;
    for (const std::string& K : Keep)
        if (IsSameFile(*Name, K))
            return;
    std::filesystem::remove(*Name, Ec);
}

std::vector<std::string> SystemInputs(const std::string& SystemFile) {
    return {SystemFile, CompanionName(SystemFile)};
}

} // namespace kalvex
