#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace pagorra {

// Numbers of the run-time errors the program raises or reports.
namespace err {
constexpr std::int32_t Overflow = 6;
constexpr std::int32_t OutOfMemory = 7;
constexpr std::int32_t DivisionByZero = 11;
constexpr std::int32_t TypeMismatch = 13;
constexpr std::int32_t FileNotFound = 53;
// A device that does not give back what was written to it.
constexpr std::int32_t DeviceIO = 57;
constexpr std::int32_t InvalidPicture = 481;
// Base of application-defined error numbers (0x80040000).
constexpr std::int32_t ApplicationBase = static_cast<std::int32_t>(0x80040000u);
} // namespace err

// A numbered run-time error with its description and the source line that raised it.
// Thrown where a failure occurs; caught by the routine that traps it, which hands it to
// the global error handler with its own routine name.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(std::int32_t number, const QString &description, int line = 0)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description),
          m_line(line)
    {
    }

    std::int32_t number() const { return m_number; }
    const QString &description() const { return m_description; }
    int line() const { return m_line; }

private:
    std::int32_t m_number;
    QString m_description;
    int m_line;
};

// Raise a run-time error with the current source line.
#define PAGORRA_RAISE(number, description) throw ::pagorra::RuntimeError((number), (description), __LINE__)

} // namespace pagorra
