// "Последние файлы": the systems last opened or saved, newest first, kept between runs
// in a file of their own beside kalvex.ini (one full path a line).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kalvex {

class TDocument;
class TDocumentUi;

inline constexpr std::size_t MaxRecentFiles = 8;
// More than eight paths ever take; the rest of a longer file is not read.
inline constexpr std::size_t MaxRecentFileBytes = 64 * 1024;
inline constexpr const char* RecentFilesName = "kalvex.recent";

// Beside the settings file.
std::filesystem::path RecentFilesPath(const std::filesystem::path& SettingsFile);
// Whether a name is one of a system file (".asp" in any case): what a drop may open.
bool IsSystemFileName(const std::string& Name);

class TRecentFiles {
public:
    // A missing or unreadable file is an empty list.
    void Load(const std::filesystem::path& File);
    // Atomically; throws TFileError when it cannot be written.
    void Save(const std::filesystem::path& File) const;
    // To the front, once; the oldest beyond MaxRecentFiles go. True when the list changed.
    bool Add(const std::string& Path);
    bool Remove(const std::string& Path);
    // The document's system when it is named and on disk as shown.
    bool Note(const TDocument& Doc);
    const std::vector<std::string>& Items() const { return FItems; }

    // Opens an entry with the save prompt. A file that is gone is said so and dropped
    // from the list (Changed is then set). True when the system was opened.
    bool Open(const std::string& Path, TDocument& Doc, TDocumentUi& Ui, bool& Changed);

private:
    std::vector<std::string> FItems;
};

// The text shown for a listed file that is no longer there.
std::string MissingRecentMessage(const std::string& Path);

} // namespace kalvex
