#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <span>

class QWidget;

namespace pagorra {

// What the colour dialog hands back. Color is 0x00BBGGRR; 0 when cancelled.
struct ColorDialogResult {
    std::int32_t Color = 0;
    bool Canceled = false;
};

// What the font dialog hands back; every field empty, false or 0 when cancelled.
struct FontDialogResult {
    QString FontName;
    bool Canceled = false;
    bool Bold = false;
    bool Italic = false;
    std::int16_t Size = 0; // points
    bool Underline = false;
    bool StrikeThru = false;
    std::int32_t Color = 0; // 0x00BBGGRR
};

// The colour chooser a window opens. Callers depend on this interface so that tests can
// answer it with a script; the program uses colorDialog().
class ColorDialog {
public:
    virtual ~ColorDialog() = default;
    // Blocks until the user closes the chooser. owner may be null.
    virtual ColorDialogResult showColorDialog(QWidget *owner, bool centreOnOwner) = 0;
};

// The font chooser a window opens; the program uses fontDialog().
class FontDialog {
public:
    virtual ~FontDialog() = default;
    virtual FontDialogResult showFontDialog(QWidget *owner, const QString &initialFontName, bool centreOnOwner) = 0;
};

// Opens QColorDialog. It remembers the last confirmed colour and, through QColorDialog's
// process-wide custom colours, the custom colour block, which is seeded with near-white
// on the first use of any instance. Nothing is written to disk.
class QtColorDialog : public ColorDialog {
public:
    ColorDialogResult showColorDialog(QWidget *owner, bool centreOnOwner) override;

    std::int32_t currentColor() const { return m_currentColor; }

private:
    std::int32_t m_currentColor = 0; // black until a colour is confirmed
};

// Opens a font chooser (face, style, size, underline, strike-through and one of the sixteen
// standard colours). It remembers the last confirmed size.
class QtFontDialog : public FontDialog {
public:
    FontDialogResult showFontDialog(QWidget *owner, const QString &initialFontName, bool centreOnOwner) override;

    int pointSizeTenths() const { return m_pointSizeTenths; }

private:
    int m_pointSizeTenths = 0; // 0 = not used yet; the chooser then opens at 10 pt
};

// The choosers the program uses, alive (with their remembered state) until it ends.
ColorDialog &colorDialog();
FontDialog &fontDialog();

// Top-left corner that centres a window of size dialog over owner, rounded halves to even.
QPoint centredTopLeft(const QRect &owner, const QSize &dialog);

// Whole points from a size in tenths of a point, rounded halves to even (125 -> 12, 135 -> 14).
int pointsFromTenths(int tenths);

// The sixteen colours the font chooser offers, as 0x00BBGGRR, with their names.
struct NamedColor {
    std::int32_t color;
    const char16_t *name;
};
std::span<const NamedColor> standardFontColors();

} // namespace pagorra
