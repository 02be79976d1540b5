#include "app/uNumberText.h"

#include "base/uMessageNumber.h"
#include "geometry/uInputChecks.h"
#include "results/uTextFormat.h"

#include <QLineEdit>
#include <QLocale>
#include <QVariant>

#include <cmath>

namespace kalvex {

namespace {

char DecimalSeparator() {
    const QString Sep = QLocale().decimalPoint();
    return Sep.size() == 1 && Sep[0].unicode() < 0x80 ? static_cast<char>(Sep[0].unicode()) : '.';
}

} // namespace

void UseLocaleInMessages() {
    SetMessageDecimalSeparator(DecimalSeparator());
}

QString NumberText(double Value) {
    return QString::fromStdString(FormatNumber(Value, DecimalSeparator()));
}

QString ShortestText(double Value) {
    QLocale L;
    L.setNumberOptions(QLocale::OmitGroupSeparator);
    return L.toString(Value, 'f', QLocale::FloatingPointShortest);
}

std::optional<double> ParseNumber(const QString& Text) {
    bool Ok = false;
    const QLocale L;
    // Group separators are not numbers here: "1,234" with a point locale is refused.
    QLocale Strict = L;
    Strict.setNumberOptions(QLocale::RejectGroupSeparator);
    const double V = Strict.toDouble(Text.trimmed(), &Ok);
    if (!Ok || !IsNumber(V))
        return std::nullopt;
    return V;
}

std::optional<int> ParseInteger(const QString& Text) {
    bool Ok = false;
    QLocale Strict;
    Strict.setNumberOptions(QLocale::RejectGroupSeparator);
    const int V = Strict.toInt(Text.trimmed(), &Ok);
    if (!Ok)
        return std::nullopt;
    return V;
}

namespace {
constexpr const char* FilledText = "kalvexFilledText";
}

void FillField(QLineEdit* Field, const QString& Text) {
    Field->setText(Text);
    Field->setProperty(FilledText, Text);
}

bool FieldEdited(const QLineEdit* Field) {
    const QVariant Filled = Field->property(FilledText);
    return !Filled.isValid() || Field->text() != Filled.toString();
}

} // namespace kalvex
