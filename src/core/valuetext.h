#pragma once

#include <QString>
#include <cstdint>

namespace pagorra {

// Text <-> value conversions of stored settings. Reading accepts blanks around a number, a
// fraction (rounded to the nearest integer, halves to even), an exponent and "&H" hexadecimal;
// a bool is "True"/"False" in any letter case or a number (0 = false).
// Failures throw RuntimeError: err::TypeMismatch for text that is no number, err::Overflow
// for a number outside the type's range.
std::uint8_t textToU8(const QString &text);
std::int16_t textToI16(const QString &text);
std::int32_t textToI32(const QString &text);
double textToF64(const QString &text);
bool textToBool(const QString &text);

// Signed decimal without grouping ("-1", "800").
QString integerToText(std::int64_t value);
// "True" or "False".
QString boolToText(bool value);
// General format: at most 15 significant digits, no trailing zeros, "." as the decimal
// separator, exponent as "E+20" when the number is very large or small.
QString f64ToText(double value);

} // namespace pagorra
