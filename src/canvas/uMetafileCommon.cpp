#include "canvas/uMetafileCommon.h"

#include <atomic>
#include <random>
#include <system_error>
#include <unistd.h>

namespace kalvex::metafile {

TTextSize TStateSurface::TextExtent(const std::string& Text) {
    return {FontCharWidth * Utf8Length(Text), FontHeight};
}

bool TStateSurface::TakePen() {
    PenDirty = false;
    const TPenKey Now{PenColor, PenStyle, PenWidth};
    if (SelectedPen == Now)
        return false;
    SelectedPen = Now;
    return true;
}

bool TStateSurface::TakeBrush() {
    BrushDirty = false;
    const TBrushKey Now{BrushColor, BrushStyle};
    if (SelectedBrush == Now)
        return false;
    SelectedBrush = Now;
    return true;
}

std::uint8_t Red(TColor C) {
    return static_cast<std::uint8_t>(C & 0xFF);
}
std::uint8_t Green(TColor C) {
    return static_cast<std::uint8_t>((C >> 8) & 0xFF);
}
std::uint8_t Blue(TColor C) {
    return static_cast<std::uint8_t>((C >> 16) & 0xFF);
}

std::uint16_t PenStyleCode(TPenStyle Style) {
    switch (Style) {
    case TPenStyle::psSolid:
        return 0;
    case TPenStyle::psDash:
        return 1;
    case TPenStyle::psDot:
        return 2;
    case TPenStyle::psDashDot:
        return 3;
    case TPenStyle::psDashDotDot:
        return 4;
    case TPenStyle::psClear:
        return 5;
    }
    return 0;
}

namespace {

// Decodes one code point; malformed bytes give U+FFFD and advance by one.
char32_t NextCodePoint(const std::string& S, std::size_t& I) {
    const auto B = static_cast<unsigned char>(S[I]);
    int Extra = 0;
    char32_t C = 0;
    if (B < 0x80) {
        ++I;
        return B;
    }
    if ((B & 0xE0) == 0xC0) {
        Extra = 1;
        C = B & 0x1F;
    } else if ((B & 0xF0) == 0xE0) {
        Extra = 2;
        C = B & 0x0F;
    } else if ((B & 0xF8) == 0xF0) {
        Extra = 3;
        C = B & 0x07;
    } else {
        ++I;
        return 0xFFFD;
    }
    if (I + static_cast<std::size_t>(Extra) >= S.size()) {
        ++I;
        return 0xFFFD;
    }
    for (int K = 1; K <= Extra; ++K) {
        const auto Cont = static_cast<unsigned char>(S[I + static_cast<std::size_t>(K)]);
        if ((Cont & 0xC0) != 0x80) {
            ++I;
            return 0xFFFD;
        }
        C = (C << 6) | (Cont & 0x3F);
    }
    I += static_cast<std::size_t>(Extra) + 1;
    return C;
}

} // namespace

std::string Utf8ToCp1251(const std::string& Text) {
    std::string Out;
    for (std::size_t I = 0; I < Text.size();) {
        const char32_t C = NextCodePoint(Text, I);
        if (C < 0x80)
            Out.push_back(static_cast<char>(C));
        else if (C >= 0x410 && C <= 0x44F)
            Out.push_back(static_cast<char>(0xC0 + (C - 0x410)));
        else if (C == 0x401)
            Out.push_back(static_cast<char>(0xA8));
        else if (C == 0x451)
            Out.push_back(static_cast<char>(0xB8));
        else
            Out.push_back('?');
    }
    return Out;
}

int Utf8Length(const std::string& Text) {
    int N = 0;
    for (std::size_t I = 0; I < Text.size(); ++N)
        NextCodePoint(Text, I);
    return N;
}

TScratchFile::TScratchFile() {
    static std::atomic<unsigned> Counter{0};
    std::random_device Rd;
    Path = std::filesystem::temp_directory_path() /
           ("kalvex-picture-" + std::to_string(::getpid()) + "-" + std::to_string(Rd()) + "-" +
            std::to_string(Counter.fetch_add(1)));
}

TScratchFile::~TScratchFile() {
    std::error_code Ec;
    std::filesystem::remove(Path, Ec);
}

} // namespace kalvex::metafile
