#include "document/uRecentFiles.h"

#include "document/uDocument.h"
#include "geometry/uBinaryIO.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace kalvex {

namespace fs = std::filesystem;

fs::path RecentFilesPath(const fs::path& SettingsFile) {
    return SettingsFile.parent_path() / RecentFilesName;
}

bool IsSystemFileName(const std::string& Name) {
    if (Name.size() < 4)
        return false;
    std::string Ext = Name.substr(Name.size() - 4);
    std::transform(Ext.begin(), Ext.end(), Ext.begin(),
                   [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C + 32) : C; });
    return Ext == ".asp";
}

std::string MissingRecentMessage(const std::string& Path) {
    return "Файл " + Path + " не найден.\rОн удален из списка последних файлов.";
}

void TRecentFiles::Load(const fs::path& File) {
    FItems.clear();
    std::error_code Ec;
    if (!fs::is_regular_file(File, Ec))
        return;
    std::ifstream In(File, std::ios::binary);
    std::string Text(MaxRecentFileBytes, '\0');
    In.read(Text.data(), static_cast<std::streamsize>(Text.size()));
    Text.resize(static_cast<std::size_t>(std::max<std::streamsize>(In.gcount(), 0)));
    std::size_t Pos = 0;
    while (Pos < Text.size() && FItems.size() < MaxRecentFiles) {
        std::size_t End = Text.find('\n', Pos);
        // A last line cut off by the bound is not a path.
        if (End == std::string::npos && Text.size() == MaxRecentFileBytes)
            break;
        if (End == std::string::npos)
            End = Text.size();
        std::string Line = Text.substr(Pos, End - Pos);
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        if (!Line.empty() && Line.find('\0') == std::string::npos &&
            std::find(FItems.begin(), FItems.end(), Line) == FItems.end())
            FItems.push_back(std::move(Line));
        Pos = End + 1;
    }
}

void TRecentFiles::Save(const fs::path& File) const {
    std::string Text;
    for (const std::string& P : FItems)
        Text += P + "\n";
    std::error_code Ec;
    fs::create_directories(File.parent_path(), Ec);
    const auto* Data = reinterpret_cast<const std::uint8_t*>(Text.data());
    WriteFileAtomic(File.string(), std::span<const std::uint8_t>(Data, Text.size()));
}

bool TRecentFiles::Add(const std::string& Path) {
    if (Path.empty() || Path.find('\n') != std::string::npos ||
        (!FItems.empty() && FItems.front() == Path))
        return false;
    std::vector<std::string> Items{Path};
    for (std::string& P : FItems)
        if (P != Path && Items.size() < MaxRecentFiles)
            Items.push_back(std::move(P));
    FItems = std::move(Items);
    return true;
}

bool TRecentFiles::Remove(const std::string& Path) {
    const auto It = std::find(FItems.begin(), FItems.end(), Path);
    if (It == FItems.end())
        return false;
    FItems.erase(It);
    return true;
}

bool TRecentFiles::Note(const TDocument& Doc) {
    if (Doc.Untitled() || !Doc.Saved())
        return false;
    return Add(Doc.FilePath().lexically_normal().string());
}

bool TRecentFiles::Open(const std::string& Path, TDocument& Doc, TDocumentUi& Ui, bool& Changed) {
    std::error_code Ec;
    if (!fs::is_regular_file(Path, Ec)) {
        Ui.ShowMessage(MissingRecentMessage(Path));
        Changed = Remove(Path) || Changed;
        return false;
    }
    return Doc.OpenPath(Path, Ui);
}

bool TDocument::OpenPath(const std::string& Path, TDocumentUi& Ui) {
    if (!SavePrompt(Ui))
        return false;
    OpenFile(Path, Ui);
    return true;
}

} // namespace kalvex
