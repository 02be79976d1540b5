#include "base/uMessageNumber.h"

#include <atomic>
#include <charconv>
#include <cmath>

namespace kalvex {

namespace {
std::atomic<char> Separator{'.'};
} // namespace

void SetMessageDecimalSeparator(char Sep) {
    Separator = Sep;
}

char MessageDecimalSeparator() {
    return Separator;
}

std::string MessageNumber(double Value) {
    char Buf[64];
    const auto R = std::to_chars(Buf, Buf + sizeof Buf, Value, std::chars_format::general, 6);
    std::string Text(Buf, R.ptr);
    const char Sep = Separator;
    for (char& C : Text)
        if (C == '.')
            C = Sep;
    return Text;
}

std::string MessageCount(double Value) {
    if (!(std::abs(Value) < 1e15))
        return MessageNumber(Value);
    char Buf[64];
    const auto R = std::to_chars(Buf, Buf + sizeof Buf, Value, std::chars_format::fixed, 0);
    return {Buf, R.ptr};
}

} // namespace kalvex
