#include "output/printdialog.h"

#include "output/printsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPrintDialog>
#include <QPrinter>

namespace pagorra {

namespace {
constexpr std::uint8_t UnitCodes[] = {printcode::Millimetres, printcode::Centimetres, printcode::Inches,
                                      printcode::Points};
}

PrintOptionsTab::PrintOptionsTab(QWidget *parent)
    : QWidget(parent), m_centre(new QCheckBox(tr("&Centre on the paper"), this)),
      m_fit(new QCheckBox(tr("&Fit to the paper"), this)), m_scale(new QDoubleSpinBox(this)),
      m_left(new QDoubleSpinBox(this)), m_top(new QDoubleSpinBox(this)), m_units(new QComboBox(this))
{
    setWindowTitle(tr("Placement"));
    setObjectName(QStringLiteral("printOptions"));
    m_centre->setObjectName(QStringLiteral("chkPrintCentre"));
    m_fit->setObjectName(QStringLiteral("chkPrintFit"));
    m_scale->setObjectName(QStringLiteral("txtPrintScale"));
    m_left->setObjectName(QStringLiteral("txtPrintLeft"));
    m_top->setObjectName(QStringLiteral("txtPrintTop"));
    m_units->setObjectName(QStringLiteral("cboPrintUnits"));

    m_scale->setRange(1, 1000);
    m_scale->setDecimals(1);
    m_scale->setSuffix(QStringLiteral(" %"));
    for (QDoubleSpinBox *offset : {m_left, m_top}) {
        offset->setRange(-10000, 10000);
        offset->setDecimals(3);
    }
    const QString unitTitles[] = {tr("Millimetres"), tr("Centimetres"), tr("Inches"), tr("Points")};
    for (std::size_t i = 0; i < std::size(UnitCodes); ++i)
        m_units->addItem(unitTitles[i], int(UnitCodes[i]));
    m_shownUnits = UnitCodes[0];
    connect(m_units, &QComboBox::currentIndexChanged, this, &PrintOptionsTab::showUnits);

    auto *form = new QFormLayout(this);
    form->addRow(m_centre);
    form->addRow(m_fit);
    form->addRow(tr("&Scale:"), m_scale);
    form->addRow(tr("&Left:"), m_left);
    form->addRow(tr("&Top:"), m_top);
    form->addRow(tr("&Units:"), m_units);
    showUnits();
}

void PrintOptionsTab::load(const PagePrintSettings &print)
{
    m_centre->setChecked(print.centre);
    m_fit->setChecked(print.fit);
    m_scale->setValue(print.scale);
    const int row = m_units->findData(int(print.units));
    m_units->setCurrentIndex(row >= 0 ? row : 0);
    m_left->setValue(print.left);
    m_top->setValue(print.top);
}

void PrintOptionsTab::store(PagePrintSettings &print) const
{
    print.centre = m_centre->isChecked();
    print.fit = m_fit->isChecked();
    print.scale = m_scale->value();
    print.left = m_left->value();
    print.top = m_top->value();
    print.units = std::uint8_t(m_units->currentData().toInt());
}

void PrintOptionsTab::showUnits()
{
    // Switching the units keeps the distance on the paper, not the number.
    const auto code = std::uint8_t(m_units->currentData().toInt());
    const double factor = pointsPerUnit(m_shownUnits) / pointsPerUnit(code);
    m_shownUnits = code;
    for (QDoubleSpinBox *offset : {m_left, m_top})
        offset->setValue(offset->value() * factor);
    const QString suffix = u' ' + unitName(code);
    m_left->setSuffix(suffix);
    m_top->setSuffix(suffix);
}

bool QtPrintDialog::ask(QWidget *owner, QPrinter &printer, PagePrintSettings &print)
{
    QPrintDialog dialog(&printer, owner);
    // Later pages of a batch are printed from the stored choices alone, which cannot name a
    // file or a page range, so the dialog does not offer them.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
    auto *options = new PrintOptionsTab;
    options->load(print);
    dialog.setOptionTabs({options});
    if (dialog.exec() != QDialog::Accepted)
        return false;
    readPrinterChoices(printer, print);
    options->store(print);
    return true;
}

} // namespace pagorra
