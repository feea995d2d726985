#pragma once

#include "ui/settingsdialogrules.h"

#include <QDialog>
#include <QSize>
#include <QString>
#include <array>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace pagorra {

struct RegistrySettings;
class ColorDialog;
class FontDialog;
class CaptionsTab;
class NumberBox;
class CacheTab;
class PaperOutputTab;

// The modal "Settings" dialog. It edits the page, margin, thumbnail and title fields of the
// record it is given on its first tab, the paper and output choices on its second (a paper
// chosen there fills the page size), captions and footer on its third, the thumbnail cache's
// room on its fourth, and writes them back only when "Save" is pressed; "Cancel", Escape and
// the title-bar close leave the record untouched. Every control's objectName is its control
// name; the members of a control array are named with their index, e.g. "txtCanvasCustom(2)".
class SettingsDialog : public QDialog {
    Q_OBJECT
  public:
    // The record must outlive the dialog. colors and fonts are the choosers "Background" and
    // "Font" open. The captions' sample shows `samplePhoto`, a photo of the basket.
    SettingsDialog(RegistrySettings &settings, ColorDialog &colors, FontDialog &fonts, QWidget *parent = nullptr,
                   const QString &samplePhoto = {});
    // Uses the program's own choosers.
    explicit SettingsDialog(RegistrySettings &settings, QWidget *parent = nullptr, const QString &samplePhoto = {});
    ~SettingsDialog() override;

  private:
    struct TitleFont {
        QString name;
        std::int16_t size = 0;
        bool bold = false;
        bool italic = false;
        bool underline = false;
        bool strikeThru = false;
        std::int32_t color = 0;
    };

    void buildControls();
    void connectHandlers();
    void fillSettingsForm();
    void applySettingsForm();

    void proportionChosen(int index);
    void addTitleClicked();
    void fontClicked();
    void pageBackColorClicked();
    void saveClicked();
    void resizeWidthChanged();
    void resizeHeightChanged();
    void pageBoxChanged(QLineEdit *box);
    void paperSizeChosen(QSize layoutSize);
    void marginBoxChanged(QLineEdit *box);
    void pageBoxLeft(QLineEdit *box, QScrollBar *spin);
    void marginBoxLeft(QLineEdit *box);

    void showPageBackColor();
    void showTitleFont();

    RegistrySettings &m_settings;
    ColorDialog &m_colors;
    FontDialog &m_fonts;

    NumberBox *m_pageWidth = nullptr;
    NumberBox *m_pageHeight = nullptr;
    QScrollBar *m_pageWidthSpin = nullptr;
    QScrollBar *m_pageHeightSpin = nullptr;
    QPushButton *m_pageBackColorButton = nullptr;
    // In control-array order: top, right, left, bottom.
    std::array<NumberBox *, 4> m_margins{};
    QComboBox *m_proportion = nullptr;
    NumberBox *m_resizeWidth = nullptr;
    NumberBox *m_resizeHeight = nullptr;
    QScrollBar *m_resizeWidthSpin = nullptr;
    QScrollBar *m_resizeHeightSpin = nullptr;
    QCheckBox *m_uniformPlacement = nullptr;
    QCheckBox *m_addTitle = nullptr;
    QLineEdit *m_title = nullptr;
    QCheckBox *m_appendPageNumber = nullptr;
    QPushButton *m_fontButton = nullptr;
    QLabel *m_fontSample = nullptr;
    PaperOutputTab *m_paperTab = nullptr;
    CaptionsTab *m_captionsTab = nullptr;
    QString m_samplePhoto;
    CacheTab *m_cacheTab = nullptr;
    bool m_takingPaperSize = false; // the page boxes are being set from the paper
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;

    settingsrules::Ratio m_ratio;
    bool m_widthChanging = false;
    bool m_heightChanging = false;
    std::int32_t m_pageBackColor = 0;
    TitleFont m_titleFont;
};

// Shows the dialog modally over owner; true when the user saved.
bool showSettingsDialog(RegistrySettings &settings, QWidget *owner, const QString &samplePhoto = {});

} // namespace pagorra
