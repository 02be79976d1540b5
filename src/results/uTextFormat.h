// Text helpers of the result commands: numbers as the user sees them, and the
// single-byte code page of the results file.
#pragma once

#include <string>
#include <string_view>

namespace kalvex {

// Fixed point with three decimals after rounding to six significant digits;
// exponent form once the integer part has more than six digits. The app passes
// the locale's separator, the core and the CLI use '.'.
std::string FormatNumber(double Value, char DecimalSep = '.');

// Every digit a double needs (%.17g) with '.', independent of the locale, for files
// other programs read. A value that is not finite is never written as a result: it
// throws TKalvexError.
std::string FormatExact(double Value);

// UTF-8 to Windows-1251; characters the code page lacks become '?'.
std::string Utf8ToCp1251(std::string_view Text);

} // namespace kalvex
