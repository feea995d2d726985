#include "ui/settingsdialogcaptions.h"

#include "core/colors.h"
#include "generation/captions.h"
#include "generation/captiontemplate.h"
#include "generation/imageloader.h"
#include "output/commondialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pagorra {

namespace {

QLineEdit *textBox(const QString &name, const QString &placeholder, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setPlaceholderText(placeholder);
    return box;
}

// The tokens a template knows, as a hint under its box.
QLabel *tokenHint(TemplateKind kind, QWidget *parent)
{
    auto *hint = new QLabel(templateTokens(kind).join(u' '), parent);
    hint->setWordWrap(true);
    hint->setEnabled(false);
    return hint;
}

} // namespace

CaptionsTab::CaptionsTab(FontDialog &fonts, QWidget *parent)
    : QWidget(parent), m_fonts(fonts),
      m_caption(textBox(QStringLiteral("txtCaption"), QStringLiteral("no caption"), this)),
      m_caption2(textBox(QStringLiteral("txtCaption2"), QStringLiteral("no second line"), this)),
      m_lines(new QComboBox(this)),
      m_dateFormat(textBox(QStringLiteral("txtDateFormat"), QStringLiteral("ISO 8601: 2024-05-01T14:03:09"), this)),
      m_footer(textBox(QStringLiteral("txtFooter"), QStringLiteral("LEFT|CENTRE|RIGHT, no footer"), this)),
      m_fontButton(new QPushButton(QStringLiteral("Font"), this)), m_problem(new QLabel(this)),
      m_sample(new QLabel(this))
{
    setObjectName(QStringLiteral("tabCaptions"));
    m_lines->setObjectName(QStringLiteral("cboCaptionLines"));
    m_lines->addItems({QStringLiteral("One: a longer caption is shortened"),
                       QStringLiteral("Two: a longer caption wraps onto the second")});
    m_fontButton->setObjectName(QStringLiteral("cmdCaptionFont"));
    m_fontButton->setAutoDefault(false);
    m_problem->setObjectName(QStringLiteral("lblCaptionProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_sample->setObjectName(QStringLiteral("picCaptionSample"));
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setMinimumHeight(140);

    auto *caption = new QGroupBox(QStringLiteral("Caption under each thumbnail"), this);
    auto *captionForm = new QFormLayout(caption);
    captionForm->addRow(QStringLiteral("First line"), m_caption);
    captionForm->addRow(QStringLiteral("Second line"), m_caption2);
    captionForm->addRow(QString(), tokenHint(TemplateKind::Caption, caption));
    captionForm->addRow(QStringLiteral("Lines"), m_lines);
    captionForm->addRow(QStringLiteral("Date format"), m_dateFormat);
    auto *footer = new QGroupBox(QStringLiteral("Footer of each page"), this);
    auto *footerForm = new QFormLayout(footer);
    footerForm->addRow(QStringLiteral("Footer"), m_footer);
    footerForm->addRow(QString(), tokenHint(TemplateKind::Footer, footer));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(footer);
    layout->addWidget(m_fontButton, 0, Qt::AlignLeft);
    layout->addWidget(m_problem);
    layout->addWidget(m_sample, 1);

    for (QLineEdit *box : {m_caption, m_caption2, m_dateFormat, m_footer})
        connect(box, &QLineEdit::textChanged, this, &CaptionsTab::showSample);
    connect(m_lines, &QComboBox::currentIndexChanged, this, &CaptionsTab::showSample);
    connect(m_fontButton, &QPushButton::clicked, this, &CaptionsTab::fontClicked);
}

CaptionsTab::~CaptionsTab() = default;

void CaptionsTab::fill(const RegistrySettings &settings, const QString &samplePhoto)
{
    const CaptionSettings &c = settings.Captions;
    m_font = c;
    m_thumbnail = QSize(std::max<int>(settings.ThumbnailWidth, 30), std::max<int>(settings.ThumbnailHeight, 1));
    m_background = settings.PageBackColor;
    m_samplePhoto = samplePhoto;
    if (!samplePhoto.isEmpty()) {
        LoadRequest request;
        request.path = samplePhoto;
        request.fixedWidth = m_thumbnail.width();
        request.fixedHeight = m_thumbnail.height();
        request.backColor = colorToStored(resolveColor(m_background));
        if (std::optional<LoadedPicture> picture = loadPicture(request))
            m_picture = std::make_unique<LoadedPicture>(std::move(*picture));
    }
    const qsizetype lineBreak = c.Caption.indexOf(u'\n');
    m_caption->setText(c.Caption.left(lineBreak));
    m_caption2->setText(lineBreak < 0 ? QString() : c.Caption.mid(lineBreak + 1));
    m_lines->setCurrentIndex(c.CaptionLines >= 2 ? 1 : 0);
    m_dateFormat->setText(c.DateFormat);
    m_footer->setText(c.Footer);
    showSample();
}

CaptionSettings CaptionsTab::shown() const
{
    CaptionSettings c = m_font;
    c.Caption = m_caption->text();
    if (!m_caption2->text().isEmpty())
        c.Caption += u'\n' + m_caption2->text();
    c.CaptionLines = std::int16_t(m_lines->currentIndex() + 1);
    c.DateFormat = m_dateFormat->text();
    c.Footer = m_footer->text();
    return c;
}

void CaptionsTab::apply(CaptionSettings &captions) const
{
    captions = shown();
}

QString CaptionsTab::problem() const
{
    const CaptionSettings c = shown();
    if (const QString caption = templateProblem(c.Caption, TemplateKind::Caption); !caption.isEmpty())
        return QStringLiteral("The caption needs %1.").arg(caption);
    if (const QString footer = templateProblem(c.Footer, TemplateKind::Footer); !footer.isEmpty())
        return QStringLiteral("The footer needs %1.").arg(footer);
    return {};
}

void CaptionsTab::fontClicked()
{
    const FontDialogResult chosen = m_fonts.showFontDialog(this, m_font.CaptionFontName, true);
    if (chosen.Canceled || chosen.FontName.isEmpty())
        return;
    m_font.CaptionFontName = chosen.FontName;
    m_font.CaptionFontSize = chosen.Size;
    m_font.CaptionBold = chosen.Bold;
    m_font.CaptionItalic = chosen.Italic;
    m_font.CaptionFontColor = chosen.Color;
    showSample();
}

void CaptionsTab::showSample()
{
    // A second line given takes the second line's room.
    m_lines->setEnabled(m_caption2->text().isEmpty());
    m_problem->setText(problem());
    m_fontButton->setText(QStringLiteral("Font: %1, %2 pt").arg(m_font.CaptionFontName).arg(m_font.CaptionFontSize));
    // Without a photo in the basket, the sample shows the caption of a name a camera gives.
    const QString path = m_samplePhoto.isEmpty() ? QStringLiteral("IMG_0001.jpg") : m_samplePhoto;
    m_sample->setPixmap(QPixmap::fromImage(captionSample(shown(), m_thumbnail, m_background, path, m_picture.get())));
}

} // namespace pagorra
