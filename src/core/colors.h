#pragma once

#include <QColor>
#include <cstdint>

namespace pagorra {

// Colours are stored as 0x00BBGGRR; 0x80000000 + n names system colour n and is resolved
// through the application palette at the moment of drawing.
QColor resolveColor(std::int32_t value);
// The stored form of an RGB colour (never a system colour).
std::int32_t colorToStored(const QColor &color);

} // namespace pagorra
