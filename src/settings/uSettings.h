// The drawing preferences of the canvas in the settings file kalvex.ini: section
// [Drawing], keys edgewidth, edgecolor, axesstyle, axescolor.
#pragma once

#include "base/uDrawSurface.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kalvex {

class TEdgesCanvas;

inline constexpr const char* SettingsFileName = "kalvex.ini";
// A settings file holds a few keys: anything larger is not read.
inline constexpr std::uint64_t MaxSettingsFileSize = 1u << 20;

// A Windows-style initialisation file held as its lines, so that a write changes only
// the line of its key. Sections and keys are matched without regard to case.
class TIniFile {
public:
    void Parse(const std::string& Text);
    std::string Text() const;
    // The value with surrounding blanks removed; nothing when the key is missing.
    std::optional<std::string> Read(const std::string& Section, const std::string& Key) const;
    void Write(const std::string& Section, const std::string& Key, const std::string& Value);

    std::vector<std::string> Lines;
    // The line ending of the parsed text, kept for writing.
    std::string LineEnd = "\n";
};

// The file as the first start creates it.
std::string DefaultSettingsText();

// A named colour by its name, any other as "$" and eight upper-case hex digits.
std::string ColorToString(TColor Color);
// A colour name, "$" or "0x" hexadecimal, or decimal; only 0x00BBGGRR values are colours.
std::optional<TColor> StringToColor(const std::string& Text);
// Decimal, or "$"/"0x" hexadecimal, with an optional sign; must fit 32 bits.
std::optional<int> StringToInt(const std::string& Text);

// Creates the file with the default lines when it does not exist, then hands the four
// values to the canvas in order, stopping silently at the first one that does not
// convert. Throws TFileError (the canvas keeps its defaults) when the file cannot be
// created or read, or is larger than MaxSettingsFileSize.
void ReadSettings(const std::string& FileName, TEdgesCanvas& Canvas);
// Writes the four keys from the canvas, leaving every other line of the file as it is.
void WriteSettings(const std::string& FileName, const TEdgesCanvas& Canvas);

// Where kalvex.ini lives: in the program's folder when that folder is writable,
// otherwise in the user's configuration folder, $XDG_CONFIG_HOME/kalvex or
// ~/.config/kalvex (an installed program cannot write beside itself).
std::filesystem::path SettingsFilePath(const std::filesystem::path& ProgramDir,
                                       const std::string& XdgConfigHome, const std::string& Home);
// The same with the variables of the environment.
std::filesystem::path SettingsFilePath(const std::filesystem::path& ProgramDir);

} // namespace kalvex
