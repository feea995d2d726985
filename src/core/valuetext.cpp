#include "core/valuetext.h"

#include "core/runtimeerror.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace pagorra {

namespace {

[[noreturn]] void typeMismatch()
{
    PAGORRA_RAISE(err::TypeMismatch, QStringLiteral("Type mismatch"));
}
[[noreturn]] void overflow()
{
    PAGORRA_RAISE(err::Overflow, QStringLiteral("Overflow"));
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// "&H" hexadecimal takes the smallest signed type its digits fit, as a literal would: up to
// four digits wrap as 16-bit ("&HFFFF" is -1), up to eight as 32-bit.
double parseHex(QStringView digits)
{
    if (digits.isEmpty())
        typeMismatch();
    std::uint64_t value = 0;
    for (QChar c : digits) {
        int d;
        if (isDigit(c))
            d = c.unicode() - u'0';
        else if (c.toUpper() >= u'A' && c.toUpper() <= u'F')
            d = c.toUpper().unicode() - u'A' + 10;
        else
            typeMismatch();
        value = value * 16 + std::uint64_t(d);
        if (value > 0xFFFFFFFFull)
            overflow();
    }
    if (value <= 0xFFFF)
        return double(std::int16_t(std::uint16_t(value)));
    return double(std::int32_t(std::uint32_t(value)));
}

// The decimal form: sign, digits with an optional fraction, optional exponent.
bool isDecimal(QStringView s)
{
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == u'.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            ++i;
        qsizetype expDigits = 0;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == s.size();
}

double parseNumber(const QString &text)
{
    const QString s = trimBlanks(text);
    if (s.size() >= 2 && s[0] == u'&' && (s[1] == u'H' || s[1] == u'h'))
        return parseHex(QStringView(s).mid(2));
    if (!isDecimal(s))
        typeMismatch();
    bool ok = false;
    const double value = QLocale::c().toDouble(s, &ok);
    // The form was checked above, so a refusal here can only be a magnitude beyond double.
    if (!ok || !std::isfinite(value))
        overflow();
    return value;
}

template <typename T> T parseInteger(const QString &text)
{
    const double rounded = std::nearbyint(parseNumber(text)); // default mode: halves to even
    if (rounded < double(std::numeric_limits<T>::min()) || rounded > double(std::numeric_limits<T>::max()))
        overflow();
    return T(rounded);
}

} // namespace

std::uint8_t textToU8(const QString &text)
{
    return parseInteger<std::uint8_t>(text);
}
std::int16_t textToI16(const QString &text)
{
    return parseInteger<std::int16_t>(text);
}
std::int32_t textToI32(const QString &text)
{
    return parseInteger<std::int32_t>(text);
}
double textToF64(const QString &text)
{
    return parseNumber(text);
}

bool textToBool(const QString &text)
{
    const QString s = trimBlanks(text);
    if (s.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    return parseNumber(s) != 0;
}

QString integerToText(std::int64_t value)
{
    return QString::number(value);
}

QString boolToText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString f64ToText(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    QString text = QString::number(value, 'g', 15);
    text.replace(u'e', u'E');
    return text;
}

} // namespace pagorra
