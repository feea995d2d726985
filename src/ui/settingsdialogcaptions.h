#pragma once

#include "core/settings.h"

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pagorra {

class FontDialog;
struct LoadedPicture;

// The Settings dialog's tab "Captions": the caption template (two lines), how many lines each
// caption keeps, the date format, the footer, and the font and colour of both, with a sample
// drawn live from a photo of the basket. A template with a token that is not known is shown
// as such while it is typed, and problem() keeps the dialog from saving it.
class CaptionsTab : public QWidget {
    Q_OBJECT
  public:
    CaptionsTab(FontDialog &fonts, QWidget *parent = nullptr);
    ~CaptionsTab() override;

    // `samplePhoto` is decoded once, for the sample, at the thumbnail size of `settings`;
    // empty draws the sample without a picture.
    void fill(const RegistrySettings &settings, const QString &samplePhoto);
    void apply(CaptionSettings &captions) const;
    // What the caption or the footer needs before it can be saved; empty when both are sound.
    QString problem() const;

  private:
    CaptionSettings shown() const;
    void fontClicked();
    void showSample();

    FontDialog &m_fonts;
    QLineEdit *m_caption;
    QLineEdit *m_caption2;
    QComboBox *m_lines;
    QLineEdit *m_dateFormat;
    QLineEdit *m_footer;
    QPushButton *m_fontButton;
    QLabel *m_problem;
    QLabel *m_sample;
    CaptionSettings m_font; // the font and colour chosen; its other fields are unused
    QSize m_thumbnail;
    std::int32_t m_background = 0;
    QString m_samplePhoto;
    std::unique_ptr<LoadedPicture> m_picture;
};

} // namespace pagorra
