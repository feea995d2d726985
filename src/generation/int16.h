#pragma once

#include "core/runtimeerror.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdint>

namespace pagorra {

// The generation arithmetic works on signed 16-bit values and raises the overflow error
// where a result leaves that range, the way the stored settings have always been read.
[[noreturn]] inline void raiseOverflow(int line)
{
    throw RuntimeError(err::Overflow, QStringLiteral("Overflow"), line);
}

inline std::int16_t toInt16(std::int64_t value, int line = __builtin_LINE())
{
    if (value < INT16_MIN || value > INT16_MAX)
        raiseOverflow(line);
    return static_cast<std::int16_t>(value);
}

inline std::int16_t add16(std::int16_t a, std::int16_t b, int line = __builtin_LINE())
{
    return toInt16(std::int64_t(a) + b, line);
}

inline std::int16_t sub16(std::int16_t a, std::int16_t b, int line = __builtin_LINE())
{
    return toInt16(std::int64_t(a) - b, line);
}

inline std::int16_t mul16(std::int16_t a, std::int16_t b, int line = __builtin_LINE())
{
    return toInt16(std::int64_t(a) * b, line);
}

// Integer part (towards zero) of a / b computed in double precision, as a 16-bit value.
inline std::int16_t integerQuotient16(double a, double b, int line = __builtin_LINE())
{
    if (b == 0)
        throw RuntimeError(err::DivisionByZero, QStringLiteral("Division by zero"), line);
    const double q = std::trunc(a / b);
    if (!(q >= INT16_MIN && q <= INT16_MAX))
        raiseOverflow(line);
    return static_cast<std::int16_t>(q);
}

// A stored setting (or other input) as the page arithmetic was given it.
struct NamedValue {
    QString name;
    std::int64_t value;
};

// Runs a piece of the 16-bit arithmetic; when it overflows (or divides by zero), the error
// names each value it was given, "Overflow: PageWidth 99999999", so that the report says
// which stored setting to mend. Number and line stay those of the failure.
template <typename Compute> auto namingValues(const QList<NamedValue> &values, Compute compute) -> decltype(compute())
{
    try {
        return compute();
    } catch (const RuntimeError &e) {
        QStringList named;
        for (const NamedValue &v : values)
            named << v.name + u' ' + QString::number(v.value);
        throw RuntimeError(e.number(), e.description() + QStringLiteral(": ") + named.join(QStringLiteral(", ")),
                           e.line());
    }
}

} // namespace pagorra
