#include "ui/settingsdialog.h"

#include "core/colors.h"
#include "core/settings.h"
#include "output/commondialogs.h"
#include "ui/settingsdialogcaptions.h"
#include "ui/settingsdialognumberbox.h"
#include "ui/settingsdialogcache.h"
#include "ui/settingsdialogpaper.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pagorra {

using namespace settingsrules;

namespace {

// A spin is a small vertical scroll bar: its value grows downwards, like the bar's own.
QScrollBar *makeSpin(const QString &name, int maximum, const QLineEdit *box, QWidget *parent)
{
    auto *spin = new QScrollBar(Qt::Vertical, parent);
    spin->setObjectName(name);
    spin->setRange(0, maximum);
    spin->setSingleStep(1);
    spin->setPageStep(1);
    spin->setFixedSize(spin->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2, box->sizeHint().height());
    return spin;
}

// Values a spin cannot take leave it where it was; the box keeps what it shows.
void setSpin(QScrollBar *spin, int value)
{
    if (value >= spin->minimum() && value <= spin->maximum())
        spin->setValue(value);
}

QLabel *caption(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

// A small page with its margin area dashed, to show which box is which margin.
QPixmap pageSketch()
{
    QPixmap pixmap(56, 44);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(0, 0, 55, 43);
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(7, 7, 41, 29);
    return pixmap;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets)
{
    auto *layout = new QHBoxLayout;
    layout->setSpacing(2);
    for (QWidget *w : widgets)
        layout->addWidget(w);
    return layout;
}

} // namespace

SettingsDialog::SettingsDialog(RegistrySettings &settings, QWidget *parent, const QString &samplePhoto)
    : SettingsDialog(settings, colorDialog(), fontDialog(), parent, samplePhoto)
{
}

SettingsDialog::SettingsDialog(RegistrySettings &settings, ColorDialog &colors, FontDialog &fonts, QWidget *parent,
                               const QString &samplePhoto)
    : QDialog(parent), m_settings(settings), m_colors(colors), m_fonts(fonts), m_samplePhoto(samplePhoto)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);
    buildControls();
    connectHandlers();
    fillSettingsForm();
    m_okButton->setFocus();
}

SettingsDialog::~SettingsDialog()
{
    // Tearing the window down moves the focus out of a box; the dialog's handlers are gone by then.
    for (NumberBox *box : {m_pageWidth, m_pageHeight, m_margins[0], m_margins[1], m_margins[2], m_margins[3]})
        box->onLeft = nullptr;
}

void SettingsDialog::buildControls()
{
    // Page
    auto *page = new QGroupBox(QStringLiteral("Page"), this);
    page->setObjectName(QStringLiteral("Frame2"));
    m_pageWidth = new NumberBox(kPageBoxLength, page);
    m_pageWidth->setObjectName(QStringLiteral("txtPageWidth"));
    m_pageWidthSpin = makeSpin(QStringLiteral("txtPageWidthD"), kPageMax, m_pageWidth, page);
    m_pageHeight = new NumberBox(kPageBoxLength, page);
    m_pageHeight->setObjectName(QStringLiteral("txtPageHeight"));
    m_pageHeightSpin = makeSpin(QStringLiteral("txtPageHeightD"), kPageMax, m_pageHeight, page);
    m_pageBackColorButton = new QPushButton(page);
    m_pageBackColorButton->setObjectName(QStringLiteral("cmdPageBackColor"));
    m_pageBackColorButton->setAutoDefault(false);
    m_pageBackColorButton->setFixedWidth(m_pageWidth->width() + m_pageWidthSpin->width() + 2);
    auto *pageGrid = new QGridLayout(page);
    pageGrid->addWidget(caption(QStringLiteral("Width"), page), 0, 0);
    pageGrid->addLayout(row({m_pageWidth, m_pageWidthSpin}), 0, 1, Qt::AlignLeft);
    pageGrid->addWidget(caption(QStringLiteral("Height"), page), 1, 0);
    pageGrid->addLayout(row({m_pageHeight, m_pageHeightSpin}), 1, 1, Qt::AlignLeft);
    pageGrid->addWidget(caption(QStringLiteral("Background"), page), 2, 0);
    pageGrid->addWidget(m_pageBackColorButton, 2, 1, Qt::AlignLeft);
    pageGrid->setRowStretch(3, 1);

    // Margins, each box on its side of the sketch.
    auto *margins = new QGroupBox(QStringLiteral("Margins"), this);
    margins->setObjectName(QStringLiteral("picCanvasCustom"));
    auto *sketch = new QLabel(margins);
    sketch->setObjectName(QStringLiteral("Image1"));
    sketch->setPixmap(pageSketch());
    const std::array<QString, 4> sides{QStringLiteral("Top"), QStringLiteral("Right"), QStringLiteral("Left"),
                                       QStringLiteral("Bottom")};
    const std::array<std::pair<int, int>, 4> cells{{{0, 1}, {1, 2}, {1, 0}, {2, 1}}};
    auto *marginGrid = new QGridLayout(margins);
    for (int i = 0; i < 4; ++i) {
        auto *label = caption(sides[i], margins);
        label->setObjectName(QStringLiteral("lbl(%1)").arg(i));
        m_margins[i] = new NumberBox(kMarginBoxLength, margins);
        m_margins[i]->setObjectName(QStringLiteral("txtCanvasCustom(%1)").arg(i));
        label->setBuddy(m_margins[i]);
        marginGrid->addLayout(row({label, m_margins[i]}), cells[i].first, cells[i].second, Qt::AlignCenter);
    }
    marginGrid->addWidget(sketch, 1, 1, Qt::AlignCenter);

    // Thumbnails
    auto *thumbnails = new QGroupBox(QStringLiteral("Thumbnails"), this);
    thumbnails->setObjectName(QStringLiteral("Frame1"));
    m_proportion = new QComboBox(thumbnails);
    m_proportion->setObjectName(QStringLiteral("cboProportion"));
    m_proportion->setEditable(false);
    m_resizeWidth = new NumberBox(kThumbnailBoxLength, thumbnails);
    m_resizeWidth->setObjectName(QStringLiteral("txtResizeWidth"));
    m_resizeWidthSpin = makeSpin(QStringLiteral("txtResizeWidthD"), kThumbnailWidthMax, m_resizeWidth, thumbnails);
    m_resizeHeight = new NumberBox(kThumbnailBoxLength, thumbnails);
    m_resizeHeight->setObjectName(QStringLiteral("txtResizeHeight"));
    m_resizeHeightSpin = makeSpin(QStringLiteral("txtResizeHeightD"), kThumbnailHeightMax, m_resizeHeight, thumbnails);
    m_uniformPlacement = new QCheckBox(QStringLiteral("Uniform placement"), thumbnails);
    m_uniformPlacement->setObjectName(QStringLiteral("chkUniformPlacement"));
    auto *thumbGrid = new QGridLayout(thumbnails);
    thumbGrid->addWidget(caption(QStringLiteral("Ratio"), thumbnails), 0, 0);
    thumbGrid->addWidget(m_proportion, 0, 1);
    thumbGrid->addWidget(caption(QStringLiteral("Width"), thumbnails), 0, 2);
    thumbGrid->addLayout(row({m_resizeWidth, m_resizeWidthSpin}), 0, 3);
    thumbGrid->addWidget(caption(QStringLiteral("Height"), thumbnails), 0, 4);
    thumbGrid->addLayout(row({m_resizeHeight, m_resizeHeightSpin}), 0, 5);
    thumbGrid->addWidget(m_uniformPlacement, 1, 0, 1, 6);
    thumbGrid->setColumnStretch(6, 1);

    // Title
    m_addTitle = new QCheckBox(QStringLiteral("Add Title"), this);
    m_addTitle->setObjectName(QStringLiteral("chkAddTitle"));
    m_title = new QLineEdit(this);
    m_title->setObjectName(QStringLiteral("txtTitle"));
    m_appendPageNumber = new QCheckBox(QStringLiteral("Append page number"), this);
    m_appendPageNumber->setObjectName(QStringLiteral("chkAppendPageNumber"));
    m_fontButton = new QPushButton(QStringLiteral("Font"), this);
    m_fontButton->setObjectName(QStringLiteral("cmdFont"));
    m_fontButton->setAutoDefault(false);
    m_fontSample = new QLabel(QStringLiteral("Sample"), this);
    m_fontSample->setObjectName(QStringLiteral("lblFont"));
    // A large title font must not stretch the dialog; the sample is clipped instead.
    m_fontSample->setFixedHeight(48);
    m_fontSample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto *titleGrid = new QGridLayout;
    titleGrid->addWidget(m_addTitle, 0, 0);
    titleGrid->addWidget(m_title, 0, 1);
    titleGrid->addWidget(m_appendPageNumber, 0, 2);
    titleGrid->addWidget(m_fontButton, 1, 0);
    titleGrid->addWidget(m_fontSample, 1, 1, 1, 2);
    titleGrid->setColumnStretch(1, 1);

    m_okButton = new QPushButton(QStringLiteral("Save"), this);
    m_okButton->setObjectName(QStringLiteral("cmdOK"));
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    m_cancelButton->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);

    auto *top = new QHBoxLayout;
    top->addWidget(page);
    top->addWidget(margins, 1);
    auto *pageTab = new QWidget(this);
    pageTab->setObjectName(QStringLiteral("tabPage"));
    auto *pageTabLayout = new QVBoxLayout(pageTab);
    pageTabLayout->addLayout(top);
    pageTabLayout->addWidget(thumbnails);
    pageTabLayout->addLayout(titleGrid);
    m_paperTab = new PaperOutputTab(this);
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabSettings"));
    tabs->addTab(pageTab, QStringLiteral("Page and title"));
    tabs->addTab(m_paperTab, QStringLiteral("Paper and output"));
    m_captionsTab = new CaptionsTab(m_fonts, this);
    tabs->addTab(m_captionsTab, QStringLiteral("Captions"));
    m_cacheTab = new CacheTab(this);
    tabs->addTab(m_cacheTab, QStringLiteral("Cache"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SettingsDialog::connectHandlers()
{
    connect(m_proportion, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            proportionChosen(index);
    });
    connect(m_addTitle, &QCheckBox::toggled, this, &SettingsDialog::addTitleClicked);
    connect(m_fontButton, &QPushButton::clicked, this, &SettingsDialog::fontClicked);
    connect(m_pageBackColorButton, &QPushButton::clicked, this, &SettingsDialog::pageBackColorClicked);
    connect(m_okButton, &QPushButton::clicked, this, &SettingsDialog::saveClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    connect(m_resizeWidth, &QLineEdit::textChanged, this, &SettingsDialog::resizeWidthChanged);
    connect(m_resizeHeight, &QLineEdit::textChanged, this, &SettingsDialog::resizeHeightChanged);
    connect(m_paperTab, &PaperOutputTab::pageSizeChosen, this, &SettingsDialog::paperSizeChosen);
    for (auto [box, spin] : {std::pair{m_pageWidth, m_pageWidthSpin}, std::pair{m_pageHeight, m_pageHeightSpin}}) {
        connect(box, &QLineEdit::textChanged, this, [this, box = box] { pageBoxChanged(box); });
        box->onLeft = [this, box = box, spin = spin] { pageBoxLeft(box, spin); };
    }
    for (NumberBox *box : m_margins) {
        connect(box, &QLineEdit::textChanged, this, [this, box] { marginBoxChanged(box); });
        box->onLeft = [this, box] { marginBoxLeft(box); };
    }
    for (auto [spin, box] :
         {std::pair{m_pageWidthSpin, m_pageWidth}, std::pair{m_pageHeightSpin, m_pageHeight},
          std::pair{m_resizeWidthSpin, m_resizeWidth}, std::pair{m_resizeHeightSpin, m_resizeHeight}}) {
        connect(spin, &QScrollBar::valueChanged, box, [box = box](int value) { box->setText(QString::number(value)); });
    }
}

// The order matters: each assignment runs the control's handler at once, and choosing the
// ratio last recomputes the height from the width.
void SettingsDialog::fillSettingsForm()
{
    const RegistrySettings &s = m_settings;
    {
        const QSignalBlocker blocker(m_proportion);
        m_proportion->addItems(
            {QStringLiteral("No proportion"), QStringLiteral("Wide Screen 16:9"), QStringLiteral("TV Screen 4:3")});
        m_proportion->setCurrentIndex(-1);
    }
    m_addTitle->setChecked(s.AddTitle != 0);
    m_appendPageNumber->setChecked(s.AppendPageNumber != 0);
    m_pageBackColor = s.PageBackColor;
    showPageBackColor();

    m_pageWidth->setText(QString::number(s.PageWidth));
    setSpin(m_pageWidthSpin, s.PageWidth);
    m_pageHeight->setText(QString::number(s.PageHeight));
    setSpin(m_pageHeightSpin, s.PageHeight);

    m_margins[0]->setText(QString::number(s.PageMarginTop));
    m_margins[1]->setText(QString::number(s.PageMarginRight));
    m_margins[2]->setText(QString::number(s.PageMarginLeft));
    m_margins[3]->setText(QString::number(s.PageMarginBottom));

    m_resizeWidth->setText(QString::number(s.ThumbnailWidth));
    setSpin(m_resizeWidthSpin, s.ThumbnailWidth);
    m_resizeHeight->setText(QString::number(s.ThumbnailHeight));
    setSpin(m_resizeHeightSpin, s.ThumbnailHeight);

    m_proportion->setCurrentIndex(shownProportion(s.ThumbnailProportion));

    m_uniformPlacement->setChecked(s.ThumbnailUniformPlacement != 0);
    m_title->setText(s.Title);
    m_titleFont = {s.TitleFontName,  s.TitleFontSize,   s.TitleBold,     s.TitleItalic,
                   s.TitleUnderline, s.TitleStrikeThru, s.TitleFontColor};
    showTitleFont();
    addTitleClicked();
    m_paperTab->fill(s.Output, QSize(s.PageWidth, s.PageHeight));
    m_paperTab->fillInput(s.Input);
    m_captionsTab->fill(s, m_samplePhoto);
    m_cacheTab->fill(s.Cache);
}

void SettingsDialog::applySettingsForm()
{
    RegistrySettings &s = m_settings;
    s.AddTitle = m_addTitle->isChecked() ? 1 : 0;
    s.AppendPageNumber = m_appendPageNumber->isChecked() ? 1 : 0;
    s.PageBackColor = m_pageBackColor;

    // The spins follow their boxes wherever they can; reading the boxes also keeps a stored
    // size the spin cannot take, and text that is no number keeps the old value.
    s.PageWidth = storedFromBox(m_pageWidth->text(), s.PageWidth);
    s.PageHeight = storedFromBox(m_pageHeight->text(), s.PageHeight);

    s.PageMarginTop = storedFromBox(m_margins[0]->text(), s.PageMarginTop);
    s.PageMarginRight = storedFromBox(m_margins[1]->text(), s.PageMarginRight);
    s.PageMarginLeft = storedFromBox(m_margins[2]->text(), s.PageMarginLeft);
    s.PageMarginBottom = storedFromBox(m_margins[3]->text(), s.PageMarginBottom);

    s.ThumbnailWidth = storedFromBox(m_resizeWidth->text(), s.ThumbnailWidth);
    s.ThumbnailHeight = storedFromBox(m_resizeHeight->text(), s.ThumbnailHeight);

    s.ThumbnailProportion = static_cast<std::int16_t>(m_proportion->currentIndex());
    s.ThumbnailUniformPlacement = m_uniformPlacement->isChecked() ? 1 : 0;
    s.Title = m_title->text();

    s.TitleBold = m_titleFont.bold;
    s.TitleFontColor = m_titleFont.color;
    s.TitleFontName = m_titleFont.name;
    s.TitleFontSize = m_titleFont.size;
    s.TitleItalic = m_titleFont.italic;
    s.TitleStrikeThru = m_titleFont.strikeThru;
    s.TitleUnderline = m_titleFont.underline;
    m_paperTab->apply(s.Output);
    m_paperTab->applyInput(s.Input);
    m_captionsTab->apply(s.Captions);
    m_cacheTab->apply(s.Cache);
}

void SettingsDialog::proportionChosen(int index)
{
    m_ratio = ratioAfterChoosing(index, m_ratio);
    resizeWidthChanged();
}

void SettingsDialog::addTitleClicked()
{
    const bool on = m_addTitle->isChecked();
    m_appendPageNumber->setEnabled(on);
    m_title->setEnabled(on);
    m_fontButton->setEnabled(on);
}

void SettingsDialog::fontClicked()
{
    const FontDialogResult chosen = m_fonts.showFontDialog(this, QStringLiteral("Arial"), true);
    if (chosen.Canceled || chosen.FontName.isEmpty())
        return;
    m_titleFont = {chosen.FontName,  chosen.Size,       chosen.Bold, chosen.Italic,
                   chosen.Underline, chosen.StrikeThru, chosen.Color};
    showTitleFont();
}

void SettingsDialog::pageBackColorClicked()
{
    const ColorDialogResult chosen = m_colors.showColorDialog(this, true);
    if (chosen.Canceled || chosen.Color < 0)
        return;
    m_pageBackColor = chosen.Color;
    showPageBackColor();
}

void SettingsDialog::saveClicked()
{
    // Enter presses "Save" without the focus leaving the box, yet the box's limits must hold.
    if (auto *box = dynamic_cast<NumberBox *>(focusWidget()))
        box->leave();
    // A template with a token the run would not know is not taken; the tab says why.
    if (!m_captionsTab->problem().isEmpty()) {
        findChild<QTabWidget *>()->setCurrentWidget(m_captionsTab);
        return;
    }
    applySettingsForm();
    accept();
}

void SettingsDialog::resizeWidthChanged()
{
    if (m_resizeWidth->text().isEmpty()) {
        m_resizeWidth->setText(QStringLiteral("0")); // runs this handler again for "0"
        m_resizeWidth->setSelection(0, 1);
        return;
    }
    const std::optional<int> width = boxNumber(m_resizeWidth->text());
    if (!width)
        return;
    if (m_proportion->currentIndex() >= 1 && !m_heightChanging) {
        if (const std::optional<int> height = coupledHeight(*width, m_ratio)) {
            m_widthChanging = true;
            m_resizeHeight->setText(QString::number(*height));
            m_widthChanging = false;
        }
    }
    setSpin(m_resizeWidthSpin, *width);
}

void SettingsDialog::resizeHeightChanged()
{
    if (m_resizeHeight->text().isEmpty()) {
        m_resizeHeight->setText(QStringLiteral("0"));
        m_resizeHeight->setSelection(0, 1);
        return;
    }
    const std::optional<int> height = boxNumber(m_resizeHeight->text());
    if (!height)
        return;
    if (m_proportion->currentIndex() >= 1 && !m_widthChanging) {
        if (const std::optional<int> width = coupledWidth(*height, m_ratio)) {
            m_heightChanging = true;
            m_resizeWidth->setText(QString::number(*width));
            m_heightChanging = false;
        }
    }
    setSpin(m_resizeHeightSpin, *height);
}

void SettingsDialog::pageBoxChanged(QLineEdit *box)
{
    // "200" selected: the next digit typed replaces it.
    if (box->text().isEmpty()) {
        box->setText(QStringLiteral("200"));
        box->setSelection(0, 3);
    }
    if (!m_takingPaperSize)
        m_paperTab->pageSizeEdited(
            QSize(boxNumber(m_pageWidth->text()).value_or(-1), boxNumber(m_pageHeight->text()).value_or(-1)));
}

void SettingsDialog::paperSizeChosen(QSize layoutSize)
{
    m_takingPaperSize = true;
    m_pageWidth->setText(QString::number(layoutSize.width()));
    setSpin(m_pageWidthSpin, layoutSize.width());
    m_pageHeight->setText(QString::number(layoutSize.height()));
    setSpin(m_pageHeightSpin, layoutSize.height());
    m_takingPaperSize = false;
}

void SettingsDialog::marginBoxChanged(QLineEdit *box)
{
    if (box->text().isEmpty()) {
        box->setText(QStringLiteral("0"));
        box->setSelection(0, 1);
    }
}

void SettingsDialog::pageBoxLeft(QLineEdit *box, QScrollBar *spin)
{
    const std::optional<int> value = boxNumber(box->text());
    if (!value)
        return;
    const int kept = limited(*value, kPageMin, kPageMax);
    if (kept != *value)
        box->setText(QString::number(kept));
    setSpin(spin, kept);
}

void SettingsDialog::marginBoxLeft(QLineEdit *box)
{
    const std::optional<int> value = boxNumber(box->text());
    if (!value)
        return;
    const int kept = limited(*value, kMarginMin, kMarginMax);
    if (kept != *value)
        box->setText(QString::number(kept));
}

void SettingsDialog::showPageBackColor()
{
    QPalette palette = m_pageBackColorButton->palette();
    palette.setColor(QPalette::Button, resolveColor(m_pageBackColor));
    m_pageBackColorButton->setPalette(palette);
}

void SettingsDialog::showTitleFont()
{
    QFont font(m_titleFont.name);
    if (m_titleFont.size > 0)
        font.setPointSize(m_titleFont.size);
    font.setBold(m_titleFont.bold);
    font.setItalic(m_titleFont.italic);
    font.setUnderline(m_titleFont.underline);
    font.setStrikeOut(m_titleFont.strikeThru);
    m_fontSample->setFont(font);
    QPalette palette = m_fontSample->palette();
    palette.setColor(QPalette::WindowText, resolveColor(m_titleFont.color));
    m_fontSample->setPalette(palette);
}

bool showSettingsDialog(RegistrySettings &settings, QWidget *owner, const QString &samplePhoto)
{
    SettingsDialog dialog(settings, owner, samplePhoto);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace pagorra
