#include "results/uTextFormat.h"

#include "base/uKalvexError.h"
#include "geometry/uInputChecks.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace kalvex {

std::string FormatExact(double Value) {
    CheckFiniteResult(Value);
    char Buf[64];
    auto [Ptr, Ec] = std::to_chars(Buf, Buf + sizeof Buf, Value, std::chars_format::general, 17);
    if (Ec != std::errc())
        return "nan";
    return std::string(Buf, Ptr);
}

std::string FormatNumber(double Value, char DecimalSep) {
    if (std::isnan(Value))
        return "NAN";
    if (std::isinf(Value))
        return Value > 0 ? "INF" : "-INF";
    constexpr int Precision = 6;
    // The char conversions ignore the process locale, so the point is always a point
    // before it is swapped for the separator.
    char Buf[400];
    // Round to six significant digits first; the decimals come from that value.
    const char* const End =
        std::to_chars(Buf, Buf + sizeof Buf, Value, std::chars_format::scientific, Precision - 1)
            .ptr;
    const std::string_view Sci(Buf, static_cast<std::size_t>(End - Buf));
    const std::size_t EPos = Sci.find('e');
    double Rounded = 0.0;
    std::from_chars(Sci.data(), Sci.data() + Sci.size(), Rounded);
    const char* ExpStart = Sci.data() + EPos + 1;
    if (*ExpStart == '+')
        ++ExpStart; // from_chars takes no plus sign
    int Exponent = 0;
    std::from_chars(ExpStart, Sci.data() + Sci.size(), Exponent);
    std::string Text;
    if (Rounded != 0.0 && Exponent >= Precision) {
        // d.dddddE+ddd
        std::string Digits = std::to_string(std::abs(Exponent));
        Digits.insert(0, Digits.size() < 3 ? 3 - Digits.size() : 0, '0');
        Text = std::string(Sci.substr(0, EPos)) + "E" + (Exponent < 0 ? '-' : '+') + Digits;
    } else {
        const char* const FixedEnd =
            std::to_chars(Buf, Buf + sizeof Buf, Rounded, std::chars_format::fixed, 3).ptr;
        Text.assign(Buf, static_cast<std::size_t>(FixedEnd - Buf));
        // A tiny negative value is not shown as "-0.000".
        if (Text.find_first_not_of("-0.") == std::string::npos && Text[0] == '-')
            Text.erase(0, 1);
    }
    for (char& C : Text) {
        if (C == '.')
            C = DecimalSep;
    }
    return Text;
}

namespace {

// Code points of 0x80..0xBF in Windows-1251 (0 = unused byte).
constexpr std::array<std::uint16_t, 64> Cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char EncodeCodePoint(std::uint32_t Cp) {
    if (Cp < 0x80)
        return static_cast<char>(Cp);
    if (Cp >= 0x0410 && Cp <= 0x044F)
        return static_cast<char>(0xC0 + (Cp - 0x0410));
    for (std::size_t I = 0; I < Cp1251High.size(); ++I) {
        if (Cp1251High[I] != 0 && Cp1251High[I] == Cp)
            return static_cast<char>(0x80 + I);
    }
    return '?';
}

} // namespace

std::string Utf8ToCp1251(std::string_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    std::size_t I = 0;
    while (I < Text.size()) {
        const auto B = static_cast<unsigned char>(Text[I]);
        std::uint32_t Cp = 0;
        std::size_t Len = 0;
        if (B < 0x80) {
            Cp = B;
            Len = 1;
        } else if ((B & 0xE0) == 0xC0) {
            Cp = B & 0x1Fu;
            Len = 2;
        } else if ((B & 0xF0) == 0xE0) {
            Cp = B & 0x0Fu;
            Len = 3;
        } else if ((B & 0xF8) == 0xF0) {
            Cp = B & 0x07u;
            Len = 4;
        } else {
            Out += '?';
            ++I;
            continue;
        }
        bool Ok = I + Len <= Text.size();
        for (std::size_t K = 1; Ok && K < Len; ++K) {
            const auto C = static_cast<unsigned char>(Text[I + K]);
            if ((C & 0xC0) != 0x80)
                Ok = false;
            else
                Cp = (Cp << 6) | (C & 0x3Fu);
        }
        if (!Ok) {
            // A broken sequence costs one byte, so the rest still decodes.
            Out += '?';
            ++I;
            continue;
        }
        Out += EncodeCodePoint(Cp);
        I += Len;
    }
    return Out;
}

} // namespace kalvex
