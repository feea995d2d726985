#include "ui/settingsdialogpaper.h"

#include "core/settings.h"
#include "generation/pagegeometry.h"
#include "ui/settingsdialogrules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pagorra {

namespace {

constexpr double kMillimetresPerInch = 25.4;

// A custom paper is at most what the page boxes take (3000 pixels, 31.25 inches).
constexpr double kMaxInches = settingsrules::kPageMax / kLayoutPixelsPerInch;

QComboBox *list(const QString &name, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    return box;
}

QDoubleSpinBox *length(const QString &name, QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setKeyboardTracking(false); // the page follows a finished number, not each digit
    return box;
}

bool inches(const QComboBox *units)
{
    return units->currentData().toString() == u"in";
}

// Lengths in the units shown: two decimals of an inch, one of a millimetre.
void showUnits(QDoubleSpinBox *box, bool inch)
{
    box->setDecimals(inch ? 2 : 1);
    box->setRange(inch ? 0.01 : 0.1, inch ? kMaxInches : kMaxInches * kMillimetresPerInch);
    box->setSingleStep(inch ? 0.1 : 1);
}

} // namespace

PaperOutputTab::PaperOutputTab(QWidget *parent)
    : QWidget(parent), m_paper(list(QStringLiteral("cboPaper"), this)),
      m_orientation(list(QStringLiteral("cboOrientation"), this)),
      m_width(length(QStringLiteral("txtPaperWidth"), this)), m_height(length(QStringLiteral("txtPaperHeight"), this)),
      m_units(list(QStringLiteral("cboPaperUnits"), this)), m_resolution(list(QStringLiteral("cboResolution"), this)),
      m_pdfLinks(new QCheckBox(QStringLiteral("Link thumbnails to their files (shows folder names)"), this)),
      m_pdfJpeg(new QCheckBox(QStringLiteral("Store thumbnails as JPEG"), this)), m_quality(new QSpinBox(this)),
      m_allFormats(new QCheckBox(QStringLiteral("Also read HEIC, AVIF, WebP, JPEG XL and camera RAW"), this))
{
    setObjectName(QStringLiteral("tabPaper"));
    m_paper->addItem(QStringLiteral("Page size in pixels"), QString());
    for (const NamedPaper &paper : namedPapers())
        m_paper->addItem(paper.name, paper.name);
    m_paper->addItem(QStringLiteral("Custom"), QStringLiteral("Custom"));
    m_orientation->addItems({QStringLiteral("Portrait"), QStringLiteral("Landscape")});
    m_units->addItem(QStringLiteral("mm"), QStringLiteral("mm"));
    m_units->addItem(QStringLiteral("in"), QStringLiteral("in"));
    for (const int resolution : offeredResolutions())
        m_resolution->addItem(QStringLiteral("%1 dpi").arg(resolution), resolution);
    m_pdfLinks->setObjectName(QStringLiteral("chkPdfLinks"));
    m_pdfJpeg->setObjectName(QStringLiteral("chkPdfJpeg"));
    m_quality->setObjectName(QStringLiteral("txtJpegQuality"));
    m_quality->setRange(1, 100);

    auto *paper = new QGroupBox(QStringLiteral("Paper"), this);
    auto *paperForm = new QFormLayout(paper);
    paperForm->addRow(QStringLiteral("Size"), m_paper);
    paperForm->addRow(QStringLiteral("Orientation"), m_orientation);
    auto *custom = new QHBoxLayout;
    custom->addWidget(m_width);
    custom->addWidget(new QLabel(QStringLiteral("x"), paper));
    custom->addWidget(m_height);
    custom->addWidget(m_units);
    custom->addStretch(1);
    paperForm->addRow(QStringLiteral("Custom size"), custom);
    auto *output = new QGroupBox(QStringLiteral("Output"), this);
    auto *outputForm = new QFormLayout(output);
    outputForm->addRow(QStringLiteral("Resolution"), m_resolution);
    outputForm->addRow(QStringLiteral("JPEG quality"), m_quality);
    outputForm->addRow(QStringLiteral("PDF"), m_pdfLinks);
    outputForm->addRow(QString(), m_pdfJpeg);
    m_allFormats->setObjectName(QStringLiteral("chkAllFormats"));
    auto *input = new QGroupBox(QStringLiteral("Input"), this);
    (new QVBoxLayout(input))->addWidget(m_allFormats);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(paper);
    layout->addWidget(output);
    layout->addWidget(input);
    layout->addStretch();

    connect(m_paper, &QComboBox::currentIndexChanged, this, &PaperOutputTab::paperChanged);
    connect(m_orientation, &QComboBox::currentIndexChanged, this, &PaperOutputTab::paperChanged);
    connect(m_width, &QDoubleSpinBox::valueChanged, this, &PaperOutputTab::paperChanged);
    connect(m_height, &QDoubleSpinBox::valueChanged, this, &PaperOutputTab::paperChanged);
    connect(m_units, &QComboBox::currentIndexChanged, this, &PaperOutputTab::unitsChanged);
}

void PaperOutputTab::fill(const OutputSettings &output, QSize pageSize)
{
    const QSignalBlocker quietPaper(m_paper), quietOrientation(m_orientation), quietWidth(m_width),
        quietHeight(m_height), quietUnits(m_units);
    m_paper->setCurrentIndex(std::max(0, m_paper->findData(output.Paper)));
    m_orientation->setCurrentIndex(output.PaperLandscape ? 1 : 0);
    const bool inch = output.PaperUnits == u"in";
    m_units->setCurrentIndex(inch ? 1 : 0);
    for (QDoubleSpinBox *box : {m_width, m_height})
        showUnits(box, inch);
    m_width->setValue(output.PaperWidth);
    m_height->setValue(output.PaperHeight);
    m_resolution->setCurrentIndex(m_resolution->findData(int(output.Resolution)));
    m_quality->setValue(output.JpegQuality);
    m_pdfLinks->setChecked(output.PdfLinks);
    m_pdfJpeg->setChecked(output.PdfJpegPictures);
    pageSizeEdited(pageSize);
    showEnabled();
}

void PaperOutputTab::apply(OutputSettings &output) const
{
    const OutputSettings paper = shownPaper();
    output.Paper = paper.Paper;
    output.PaperLandscape = paper.PaperLandscape;
    output.PaperWidth = paper.PaperWidth;
    output.PaperHeight = paper.PaperHeight;
    output.PaperUnits = paper.PaperUnits;
    if (m_resolution->currentIndex() >= 0)
        output.Resolution = std::int16_t(m_resolution->currentData().toInt());
    output.JpegQuality = std::int16_t(m_quality->value());
    output.PdfLinks = m_pdfLinks->isChecked();
    output.PdfJpegPictures = m_pdfJpeg->isChecked();
}

void PaperOutputTab::fillInput(const InputSettings &input)
{
    m_allFormats->setChecked(input.ReadAllFormats);
}

void PaperOutputTab::applyInput(InputSettings &input) const
{
    input.ReadAllFormats = m_allFormats->isChecked();
}

void PaperOutputTab::pageSizeEdited(QSize pageSize)
{
    const std::optional<QSizeF> points = paperPoints(shownPaper());
    if (points && layoutPixels(*points) != pageSize) {
        const QSignalBlocker quiet(m_paper);
        m_paper->setCurrentIndex(0);
        showEnabled();
    }
}

OutputSettings PaperOutputTab::shownPaper() const
{
    OutputSettings paper;
    paper.Paper = m_paper->currentData().toString();
    paper.PaperLandscape = m_orientation->currentIndex() == 1;
    paper.PaperWidth = m_width->value();
    paper.PaperHeight = m_height->value();
    paper.PaperUnits = m_units->currentData().toString();
    return paper;
}

void PaperOutputTab::paperChanged()
{
    showEnabled();
    if (const std::optional<QSizeF> points = paperPoints(shownPaper()))
        emit pageSizeChosen(layoutPixels(*points));
}

// The size on paper stays; only its numbers change.
void PaperOutputTab::unitsChanged()
{
    const bool inch = inches(m_units);
    const double factor = inch ? 1 / kMillimetresPerInch : kMillimetresPerInch;
    const QSignalBlocker quietWidth(m_width), quietHeight(m_height);
    for (QDoubleSpinBox *box : {m_width, m_height}) {
        const double value = box->value() * factor;
        showUnits(box, inch);
        box->setValue(value);
    }
    paperChanged();
}

void PaperOutputTab::showEnabled()
{
    const QString paper = m_paper->currentData().toString();
    const bool custom = paper == u"Custom";
    m_orientation->setEnabled(!paper.isEmpty() && !custom);
    for (QWidget *w : std::initializer_list<QWidget *>{m_width, m_height, m_units})
        w->setEnabled(custom);
}

} // namespace pagorra
