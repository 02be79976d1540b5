// Numbers as the user sees and types them: the decimal separator of the user's
// locale (QLocale's default), three decimals after rounding to six significant digits.
#pragma once

#include <QString>

#include <optional>

namespace kalvex {

QString NumberText(double Value);
// Accepts the locale's separator; surrounding blanks are ignored. Nothing for text
// that is not a finite number.
std::optional<double> ParseNumber(const QString& Text);
std::optional<int> ParseInteger(const QString& Text);

} // namespace kalvex
