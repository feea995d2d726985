#include "output/commondialogs.h"

#include "core/colors.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QVBoxLayout>
#include <array>
#include <cmath>

namespace pagorra {

namespace {

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value)); // the default rounding mode ties to even
}

constexpr std::array<NamedColor, 16> kFontColors{{
    {0x000000, u"Black"},
    {0x000080, u"Maroon"},
    {0x008000, u"Green"},
    {0x008080, u"Olive"},
    {0x800000, u"Navy"},
    {0x800080, u"Purple"},
    {0x808000, u"Teal"},
    {0x808080, u"Gray"},
    {0xC0C0C0, u"Silver"},
    {0x0000FF, u"Red"},
    {0x00FF00, u"Lime"},
    {0x00FFFF, u"Yellow"},
    {0xFF0000, u"Blue"},
    {0xFF00FF, u"Fuchsia"},
    {0xFFFF00, u"Aqua"},
    {0xFFFFFF, u"White"},
}};

// The font chooser opens on aqua whatever the title colour is; the user sees it and may change it.
constexpr std::int32_t kFontDialogInitialColor = 0xFFFF00;

// Centres the dialog when it first shows, at its final size, then lets go.
class CentreOnFirstShow : public QObject {
public:
    CentreOnFirstShow(QDialog *dialog, QWidget *owner) : QObject(dialog), m_owner(owner) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && m_owner) {
            auto *dialog = static_cast<QWidget *>(watched);
            dialog->move(centredTopLeft(m_owner->window()->frameGeometry(), dialog->frameGeometry().size()));
            dialog->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QPointer<QWidget> m_owner;
};

// The native choosers cannot be placed or scripted, so ours are always Qt's own widgets.
void placeOverOwner(QDialog &dialog, QWidget *owner, bool centreOnOwner)
{
    if (!owner || !centreOnOwner)
        return;
    // A position set before exec() also stops QDialog from choosing a place of its own.
    dialog.adjustSize();
    dialog.move(centredTopLeft(owner->window()->frameGeometry(), dialog.frameGeometry().size()));
    dialog.installEventFilter(new CentreOnFirstShow(&dialog, owner));
}

QIcon swatch(std::int32_t color)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(resolveColor(color));
    return QIcon(pixmap);
}

// QFontDialog has no colour choice, so the chooser embeds it next to a colour list.
class FontChooser : public QDialog {
public:
    FontChooser(const QFont &initial, std::int32_t initialColor, QWidget *parent) : QDialog(parent)
    {
        setWindowTitle(QStringLiteral("Font"));
        m_fonts = new QFontDialog(this);
        m_fonts->setObjectName(QStringLiteral("fontDialog"));
        m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        m_fonts->setWindowFlags(Qt::Widget);
        m_fonts->setSizeGripEnabled(false);
        m_fonts->setCurrentFont(initial);
        // Escape inside the embedded dialog would only hide it.
        connect(m_fonts, &QDialog::rejected, this, &QDialog::reject);

        m_colors = new QComboBox(this);
        m_colors->setObjectName(QStringLiteral("cboColor"));
        for (const NamedColor &entry : kFontColors)
            m_colors->addItem(swatch(entry.color), QString::fromUtf16(entry.name), entry.color);
        const int index = m_colors->findData(initialColor);
        m_colors->setCurrentIndex(index >= 0 ? index : 0);

        auto *colorLabel = new QLabel(QStringLiteral("Colour:"), this);
        colorLabel->setBuddy(m_colors);
        auto *colorRow = new QHBoxLayout;
        colorRow->addWidget(colorLabel);
        colorRow->addWidget(m_colors);
        colorRow->addStretch();

        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_fonts);
        layout->addLayout(colorRow);
        layout->addWidget(buttons);
        m_fonts->setVisible(true);
    }

    QFont selectedFont() const { return m_fonts->currentFont(); }
    std::int32_t selectedColor() const { return m_colors->currentData().toInt(); }

private:
    QFontDialog *m_fonts;
    QComboBox *m_colors;
};

} // namespace

ColorDialogResult QtColorDialog::showColorDialog(QWidget *owner, bool centreOnOwner)
{
    // The custom colours belong to the whole program, like QColorDialog's own store.
    static bool customColorsSeeded = false;
    if (!customColorsSeeded) {
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QColorDialog::setCustomColor(i, QColor(254, 254, 254));
        customColorsSeeded = true;
    }

    QColorDialog dialog(resolveColor(m_currentColor), owner);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    placeOverOwner(dialog, owner, centreOnOwner);
    if (dialog.exec() != QDialog::Accepted)
        return {0, true};
    m_currentColor = colorToStored(dialog.selectedColor());
    return {m_currentColor, false};
}

FontDialogResult QtFontDialog::showFontDialog(QWidget *owner, const QString &initialFontName, bool centreOnOwner)
{
    if (m_pointSizeTenths == 0)
        m_pointSizeTenths = 100;
    QFont initial(initialFontName);
    initial.setPointSizeF(m_pointSizeTenths / 10.0);

    FontChooser dialog(initial, kFontDialogInitialColor, owner);
    placeOverOwner(dialog, owner, centreOnOwner);
    FontDialogResult result;
    if (dialog.exec() != QDialog::Accepted) {
        result.Canceled = true;
        return result;
    }

    const QFont font = dialog.selectedFont();
    const int tenths = qRound(font.pointSizeF() * 10.0);
    if (tenths > 0)
        m_pointSizeTenths = tenths;
    result.FontName = font.family();
    result.Bold = font.weight() > QFont::Normal;
    result.Italic = font.italic();
    result.Size = static_cast<std::int16_t>(pointsFromTenths(tenths));
    result.Underline = font.underline();
    result.StrikeThru = font.strikeOut();
    result.Color = dialog.selectedColor();
    return result;
}

ColorDialog &colorDialog()
{
    static QtColorDialog dialog;
    return dialog;
}

FontDialog &fontDialog()
{
    static QtFontDialog dialog;
    return dialog;
}

QPoint centredTopLeft(const QRect &owner, const QSize &dialog)
{
    const double x = owner.left() + owner.width() / 2.0 - dialog.width() / 2.0;
    const double y = owner.top() + owner.height() / 2.0 - dialog.height() / 2.0;
    return {roundHalfEven(x), roundHalfEven(y)};
}

int pointsFromTenths(int tenths)
{
    return roundHalfEven(tenths / 10.0);
}

std::span<const NamedColor> standardFontColors()
{
    return kFontColors;
}

} // namespace pagorra
