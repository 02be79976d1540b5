// Numbers as the user sees and types them: the decimal separator of the user's
// locale (QLocale's default), three decimals after rounding to six significant digits.
#pragma once

#include <QString>

class QLineEdit;

#include <optional>

namespace kalvex {

QString NumberText(double Value);
// The core's messages write their numbers with the user's decimal separator from now on.
void UseLocaleInMessages();
// The shortest text that reads back as Value, in the user's notation ("0,0004").
QString ShortestText(double Value);
// Accepts the locale's separator; surrounding blanks are ignored. Nothing for text
// that is not a finite number.
std::optional<double> ParseNumber(const QString& Text);
std::optional<int> ParseInteger(const QString& Text);

// A field the program filled remembers the text it got, so that a field the user left
// alone stands for the stored value, not for its rounded text. Edited by keys, by paste
// or through the accessibility interface alike: edited means its text differs.
void FillField(QLineEdit* Field, const QString& Text);
bool FieldEdited(const QLineEdit* Field);

} // namespace kalvex
