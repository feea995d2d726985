#pragma once

#include "generation/page.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QPrinter;

namespace pagorra {

// The print dialog, behind an interface so the print commands can be driven by a scripted
// answer in tests.
class PrintDialog {
  public:
    virtual ~PrintDialog() = default;
    // Offers the choices in `print` (already put on `printer` by configurePrinter) to the
    // user. Confirmed: returns true with the user's choices in both `print` and `printer`.
    // Cancelled: returns false and changes neither.
    virtual bool ask(QWidget *owner, QPrinter &printer, PagePrintSettings &print) = 0;
};

// The extra tab of the print dialog: centre, fit, scale, left/top and their units.
class PrintOptionsTab : public QWidget {
    Q_OBJECT
  public:
    explicit PrintOptionsTab(QWidget *parent = nullptr);

    void load(const PagePrintSettings &print);
    // Writes the placement fields only; printer, copies, paper and orientation come from
    // the printer part of the dialog.
    void store(PagePrintSettings &print) const;

  private:
    void showUnits();

    QCheckBox *m_centre;
    QCheckBox *m_fit;
    QDoubleSpinBox *m_scale;
    QDoubleSpinBox *m_left;
    QDoubleSpinBox *m_top;
    QComboBox *m_units;
    std::uint8_t m_shownUnits;
};

// The real dialog: QPrintDialog with the options tab.
class QtPrintDialog : public PrintDialog {
  public:
    bool ask(QWidget *owner, QPrinter &printer, PagePrintSettings &print) override;
};

} // namespace pagorra
