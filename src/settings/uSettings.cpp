#include "settings/uSettings.h"

#include "canvas/uPaintEdges.h"
#include "geometry/uBinaryIO.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace kalvex {

namespace {

const char* const Section = "Drawing";

struct TNamedColor {
    const char* Name;
    TColor Value;
};

constexpr TNamedColor ColorNames[] = {
    {"clBlack", 0x000000}, {"clMaroon", 0x000080},     {"clGreen", 0x008000},
    {"clOlive", 0x008080}, {"clNavy", 0x800000},       {"clPurple", 0x800080},
    {"clTeal", 0x808000},  {"clGray", 0x808080},       {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},   {"clLime", 0x00FF00},       {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},  {"clFuchsia", 0xFF00FF},    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF}, {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF}, {"clMedGray", 0xA4A0A0},
};

std::string Trim(const std::string& S) {
    const auto Blank = [](unsigned char C) { return C == ' ' || C == '\t' || C == '\r'; };
    std::size_t B = 0;
    std::size_t E = S.size();
    while (B < E && Blank(static_cast<unsigned char>(S[B])))
        ++B;
    while (E > B && Blank(static_cast<unsigned char>(S[E - 1])))
        --E;
    return S.substr(B, E - B);
}

bool SameText(const std::string& A, const std::string& B) {
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [](unsigned char X, unsigned char Y) {
               return std::tolower(X) == std::tolower(Y);
           });
}

// "[Name]" gives Name; anything else gives nothing.
std::optional<std::string> SectionName(const std::string& Line) {
    const std::string T = Trim(Line);
    if (T.size() < 2 || T.front() != '[' || T.back() != ']')
        return std::nullopt;
    return Trim(T.substr(1, T.size() - 2));
}

// "key=value" gives key; a comment or a line without '=' gives nothing.
std::optional<std::string> KeyName(const std::string& Line) {
    const std::string T = Trim(Line);
    if (T.empty() || T.front() == ';')
        return std::nullopt;
    const std::size_t Eq = T.find('=');
    if (Eq == std::string::npos)
        return std::nullopt;
    return Trim(T.substr(0, Eq));
}

std::optional<std::int64_t> ParseInt64(const std::string& Text) {
    std::string T = Trim(Text);
    bool Negative = false;
    if (!T.empty() && (T[0] == '-' || T[0] == '+')) {
        Negative = T[0] == '-';
        T.erase(0, 1);
    }
    int Base = 10;
    if (!T.empty() && T[0] == '$') {
        Base = 16;
        T.erase(0, 1);
    } else if (T.size() > 2 && T[0] == '0' && (T[1] == 'x' || T[1] == 'X')) {
        Base = 16;
        T.erase(0, 2);
    }
    if (T.empty() || T.size() > 18)
        return std::nullopt;
    std::int64_t Value = 0;
    const char* End = T.data() + T.size();
    const auto [Ptr, Ec] = std::from_chars(T.data(), End, Value, Base);
    if (Ec != std::errc() || Ptr != End || Value < 0)
        return std::nullopt;
    return Negative ? -Value : Value;
}

void EnsureFolder(const std::string& FileName) {
    const std::filesystem::path Parent = std::filesystem::path(FileName).parent_path();
    if (Parent.empty())
        return;
    std::error_code Ec;
    std::filesystem::create_directories(Parent, Ec); // a failure shows in the write
}

// A settings file that cannot be read is refused whole: the program starts on the
// defaults and says why.
std::vector<std::uint8_t> ReadSettingsBytes(const std::string& FileName) {
    try {
        return ReadWholeFile(FileName, MaxSettingsFileSize);
    } catch (const TFileError& E) {
        throw TFileError(std::string(E.what()) + ".\rНастройки рисования взяты по умолчанию.",
                         E.CliText());
    }
}

void Save(const std::string& FileName, const std::string& Text) {
    EnsureFolder(FileName);
    WriteFileAtomic(FileName,
                    std::span(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()));
}

} // namespace

// ---------------------------------------------------------------- TIniFile

void TIniFile::Parse(const std::string& Text) {
    Lines.clear();
    const std::size_t FirstEnd = Text.find('\n');
    LineEnd =
        FirstEnd != std::string::npos && FirstEnd > 0 && Text[FirstEnd - 1] == '\r' ? "\r\n" : "\n";
    std::size_t Start = 0;
    while (Start < Text.size()) {
        std::size_t End = Text.find('\n', Start);
        if (End == std::string::npos)
            End = Text.size();
        std::string Line = Text.substr(Start, End - Start);
        // Every carriage return at the end is part of the line end (a hand-edited file
        // may have several); kept, each write would turn one more into a line end.
        while (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        Lines.push_back(std::move(Line));
        Start = End + 1;
    }
}

std::string TIniFile::Text() const {
    std::string Out;
    for (const auto& L : Lines)
        Out += L + LineEnd;
    return Out;
}

std::optional<std::string> TIniFile::Read(const std::string& SectionWanted,
                                          const std::string& Key) const {
    bool Inside = false;
    for (const auto& L : Lines) {
        if (const auto Name = SectionName(L)) {
            Inside = SameText(*Name, SectionWanted);
            continue;
        }
        if (!Inside)
            continue;
        if (const auto K = KeyName(L); K && SameText(*K, Key))
            return Trim(L.substr(L.find('=') + 1));
    }
    return std::nullopt;
}

void TIniFile::Write(const std::string& SectionWanted, const std::string& Key,
                     const std::string& Value) {
    const std::string NewLine = Key + "=" + Value;
    std::optional<std::size_t> SectionAt;
    std::size_t InsertAt = 0;
    bool Inside = false;
    for (std::size_t I = 0; I < Lines.size(); ++I) {
        if (const auto Name = SectionName(Lines[I])) {
            if (Inside)
                break; // the wanted section has ended
            Inside = SameText(*Name, SectionWanted);
            if (Inside) {
                SectionAt = I;
                InsertAt = I + 1;
            }
            continue;
        }
        if (!Inside)
            continue;
        if (const auto K = KeyName(Lines[I])) {
            if (SameText(*K, Key)) {
                Lines[I] = NewLine;
                return;
            }
            InsertAt = I + 1;
        }
    }
    if (SectionAt) {
        Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(InsertAt), NewLine);
        return;
    }
    if (!Lines.empty() && !Trim(Lines.back()).empty())
        Lines.emplace_back();
    Lines.push_back("[" + SectionWanted + "]");
    Lines.push_back(NewLine);
}

// ---------------------------------------------------------------- values

std::string DefaultSettingsText() {
    return "[Drawing]\n"
           "edgewidth=3\n"
           "edgecolor=$00C0C0C0\n"
           "axesstyle=1\n"
           "axescolor=$0000FF00\n";
}

std::string ColorToString(TColor Color) {
    for (const auto& N : ColorNames)
        if (N.Value == Color)
            return N.Name;
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    std::string Text = "$00000000";
    for (std::size_t I = 0; I < 8; ++I)
        Text[8 - I] = HexDigits[(Color >> (4 * I)) & 0xFu];
    return Text;
}

std::optional<TColor> StringToColor(const std::string& Text) {
    const std::string T = Trim(Text);
    for (const auto& N : ColorNames)
        if (SameText(T, N.Name))
            return N.Value;
    const auto V = ParseInt64(T);
    if (!V || *V < 0 || *V > 0xFFFFFF)
        return std::nullopt;
    return static_cast<TColor>(*V);
}

std::optional<int> StringToInt(const std::string& Text) {
    const auto V = ParseInt64(Text);
    if (!V || *V < INT32_MIN || *V > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(*V);
}

// ---------------------------------------------------------------- the file

void ReadSettings(const std::string& FileName, TEdgesCanvas& Canvas) {
    std::error_code Ec;
    if (!std::filesystem::exists(FileName, Ec))
        Save(FileName, DefaultSettingsText());
    const std::vector<std::uint8_t> Bytes = ReadSettingsBytes(FileName);
    TIniFile Ini;
    Ini.Parse(std::string(Bytes.begin(), Bytes.end()));
    const auto Value = [&](const char* Key, const char* Default) {
        return Ini.Read(Section, Key).value_or(Default);
    };

    const auto Width = StringToInt(Value("edgewidth", "3"));
    if (!Width)
        return;
    Canvas.SetEdgeWidth(*Width);
    const auto EdgeColor = StringToColor(Value("edgecolor", "$00C0C0C0"));
    if (!EdgeColor)
        return;
    Canvas.EdgeColor = *EdgeColor;
    const auto Style = StringToInt(Value("axesstyle", "1"));
    if (!Style)
        return;
    Canvas.AxesStyle = *Style;
    const auto AxesColor = StringToColor(Value("axescolor", "$0000FF00"));
    if (!AxesColor)
        return;
    Canvas.AxesColor = *AxesColor;
}

void WriteSettings(const std::string& FileName, const TEdgesCanvas& Canvas) {
    TIniFile Ini;
    std::error_code Ec;
    if (std::filesystem::exists(FileName, Ec)) {
        const std::vector<std::uint8_t> Bytes = ReadSettingsBytes(FileName);
        Ini.Parse(std::string(Bytes.begin(), Bytes.end()));
    }
    Ini.Write(Section, "edgewidth", std::to_string(Canvas.EdgeWidth()));
    Ini.Write(Section, "edgecolor", ColorToString(Canvas.EdgeColor));
    Ini.Write(Section, "axesstyle", std::to_string(Canvas.AxesStyle));
    Ini.Write(Section, "axescolor", ColorToString(Canvas.AxesColor));
    Save(FileName, Ini.Text());
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& ProgramDir,
                                       const std::string& XdgConfigHome, const std::string& Home) {
    if (!ProgramDir.empty() && ::access(ProgramDir.c_str(), W_OK) == 0)
        return ProgramDir / SettingsFileName;
    // Relative values of XDG_CONFIG_HOME are to be ignored.
    if (!XdgConfigHome.empty() && XdgConfigHome.front() == '/')
        return std::filesystem::path(XdgConfigHome) / "kalvex" / SettingsFileName;
    if (!Home.empty())
        return std::filesystem::path(Home) / ".config" / "kalvex" / SettingsFileName;
    return ProgramDir / SettingsFileName;
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& ProgramDir) {
    const char* Xdg = std::getenv("XDG_CONFIG_HOME");
    const char* Home = std::getenv("HOME");
    return SettingsFilePath(ProgramDir, Xdg != nullptr ? Xdg : "", Home != nullptr ? Home : "");
}

} // namespace kalvex
