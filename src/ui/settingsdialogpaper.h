#pragma once

#include <QSize>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace pagorra {

struct InputSettings;
struct OutputSettings;

// The Settings dialog's tab "Paper and output": the paper (a named size, portrait or
// landscape, or a custom size in millimetres or inches), the resolution pages are made at,
// the choices for PDF documents and the picture types the basket takes. It edits the Output choices of the record; the
// paper reaches the page size through the dialog, which puts pageSizeChosen() into its page boxes.
class PaperOutputTab : public QWidget {
    Q_OBJECT
  public:
    explicit PaperOutputTab(QWidget *parent = nullptr);

    // Shows `output` over a page of `pageSize` layout pixels; a paper the page is not the
    // size of shows as no paper, as the pages are then made.
    void fill(const OutputSettings &output, QSize pageSize);
    // Stores what the controls show; a resolution the list does not hold is kept.
    void apply(OutputSettings &output) const;
    // The Input choices, shown and stored alike.
    void fillInput(const InputSettings &input);
    void applyInput(InputSettings &input) const;
    // The page boxes were changed to `pageSize`: a paper of another size is chosen no more.
    void pageSizeEdited(QSize pageSize);

  signals:
    // The paper chosen, or its orientation or custom size changed: the page's new size.
    void pageSizeChosen(QSize layoutSize);

  private:
    void paperChanged();
    void unitsChanged();
    void showEnabled();
    // The paper the controls show, as the record would hold it.
    OutputSettings shownPaper() const;

    QComboBox *m_paper;
    QComboBox *m_orientation;
    QDoubleSpinBox *m_width;
    QDoubleSpinBox *m_height;
    QComboBox *m_units;
    QComboBox *m_resolution;
    QCheckBox *m_pdfLinks;
    QCheckBox *m_pdfJpeg;
    QSpinBox *m_quality;
    QCheckBox *m_allFormats;
};

} // namespace pagorra
