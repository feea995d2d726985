#include "core/colors.h"

#include <QGuiApplication>
#include <QPalette>

namespace pagorra {

namespace {

// Windows system colour numbers mapped to the closest palette role.
QColor systemColor(std::uint32_t index)
{
    const QPalette pal = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                             ? QGuiApplication::palette()
                             : QPalette();
    switch (index) {
    case 1: return pal.color(QPalette::Window).darker(150);           // desktop
    case 5: return pal.color(QPalette::Base);                          // window
    case 8: return pal.color(QPalette::Text);                          // window text
    case 13: return pal.color(QPalette::Highlight);                    // highlight
    case 14: return pal.color(QPalette::HighlightedText);              // highlighted text
    case 15: return pal.color(QPalette::Button);                       // button face
    case 16: return pal.color(QPalette::Dark);                         // button shadow
    case 17: return pal.color(QPalette::Disabled, QPalette::Text);     // grey text
    case 18: return pal.color(QPalette::ButtonText);                   // button text
    case 20: return pal.color(QPalette::Light);                        // button highlight
    case 23: return pal.color(QPalette::ToolTipText);                  // info text
    case 24: return pal.color(QPalette::ToolTipBase);                  // info background
    default: return pal.color(QPalette::WindowText);
    }
}

} // namespace

QColor resolveColor(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    if (v & 0x80000000u)
        return systemColor(v & 0xFFu);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

std::int32_t colorToStored(const QColor &color)
{
    return static_cast<std::int32_t>(std::uint32_t(color.red()) | (std::uint32_t(color.green()) << 8) |
                                     (std::uint32_t(color.blue()) << 16));
}

} // namespace pagorra
