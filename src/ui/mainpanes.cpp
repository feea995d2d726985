#include "ui/mainpanes.h"

#include "basket/inputfiles.h"
#include "ui/picturebutton.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace pagorra {

namespace {

// Design rectangles (left, top, width, height in twips) of the panes whose place or size the
// layout recomputes; the rest are placed once where they are created.
const QRect kPicLeft(0, 0, 3975, 9015);
const QRect kLv(120, 840, 3735, 4560);
const QRect kPicLeftBottom(0, 5520, 3975, 2100);
const QRect kLblPreview(4080, 0, 1695, 375);
const QRect kPicTools(5160, 0, 1695, 375);
const QRect kPicRight(4320, 480, 9495, 8055);

// The add buttons' own tool tips, while the basket takes the types it always took.
const QString kAddFilesTip = QStringLiteral("Add RAW photo files to the basket");
const QString kAddFolderTip = QStringLiteral("Add a RAW folder to the basket");

QLabel *heading(const QString &text, QWidget *parent, const QString &name)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

template <typename Button>
Button *button(const QString &caption, const QString &toolTip, QWidget *parent, const QString &name)
{
    auto *b = new Button(caption, parent);
    b->setObjectName(name);
    if (!toolTip.isEmpty())
        b->setToolTip(toolTip);
    // Clicking a tool button should not pull the focus out of the basket list.
    b->setAutoDefault(false);
    return b;
}

QWidget *placeholder(QWidget *parent, const QString &name)
{
    auto *widget = new QWidget(parent);
    widget->setObjectName(name);
    return widget;
}

} // namespace

MainPanes::MainPanes(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MainPanes"));
    // The design's twips were measured against an 8 point face; a desktop's larger default would
    // cut the captions off at the fixed button widths.
    QFont designFont = font();
    designFont.setPointSizeF(8);
    setFont(designFont);

    m_picLeft = placeholder(this, QStringLiteral("picLeft"));
    designAt(m_picLeft, kPicLeft);
    m_lbl = heading(QStringLiteral("Image Basket"), m_picLeft, QStringLiteral("lbl"));
    designAt(m_lbl, QRect(120, 0, 1935, 375));
    m_lblCount = new QLabel(m_picLeft);
    m_lblCount->setObjectName(QStringLiteral("lblCount"));
    m_lblCount->setTextFormat(Qt::PlainText);
    m_lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    designAt(m_lblCount, QRect(2400, 45, 1455, 330));

    m_cmdAddFiles =
        button<PictureButton>(QStringLiteral("     Add files"), kAddFilesTip, m_picLeft, QStringLiteral("cmdAddFiles"));
    designAt(m_cmdAddFiles, QRect(120, 360, 1335, 430));
    m_cmdAddFolder = button<PictureButton>(QStringLiteral("      Add Folder"), kAddFolderTip, m_picLeft,
                                           QStringLiteral("cmdAddFolder"));
    designAt(m_cmdAddFolder, QRect(1440, 360, 1335, 430));
    m_cmdNew =
        button<PictureButton>(QString(), QStringLiteral("Make a new basket"), m_picLeft, QStringLiteral("cmdNew"));
    designAt(m_cmdNew, QRect(2880, 360, 495, 430));
    m_cmdRemove = button<PictureButton>(QString(), QStringLiteral("Remove selected files from the basket"), m_picLeft,
                                        QStringLiteral("cmdRemove"));
    designAt(m_cmdRemove, QRect(3360, 360, 495, 430));

    m_lv = new QTreeWidget(m_picLeft);
    m_lv->setObjectName(QStringLiteral("lv"));
    m_lv->setColumnCount(1);
    m_lv->setHeaderLabels({QStringLiteral("File name")});
    m_lv->setRootIsDecorated(false);
    m_lv->setUniformRowHeights(true);
    m_lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lv->setAllColumnsShowFocus(true);
    m_lv->header()->setStretchLastSection(true);
    designAt(m_lv, kLv);

    m_picLeftBottom = placeholder(m_picLeft, QStringLiteral("picLeftBottom"));
    designAt(m_picLeftBottom, kPicLeftBottom);
    m_label2 = heading(QStringLiteral("Thumbnail Settings"), m_picLeftBottom, QStringLiteral("Label2"));
    designAt(m_label2, QRect(120, 120, 2175, 375));
    m_cmdTasks =
        button<PictureButton>(QStringLiteral("   Settings"), QString(), m_picLeftBottom, QStringLiteral("cmdTasks"));
    designAt(m_cmdTasks, QRect(2400, 120, 1335, 375));
    m_cmdSave =
        button<PictureButton>(QStringLiteral("Save page as"), QString(), m_picLeftBottom, QStringLiteral("cmdSave"));
    designAt(m_cmdSave, QRect(120, 600, 1815, 375));
    m_cmdPreview =
        button<PictureButton>(QStringLiteral("Generate"), QString(), m_picLeftBottom, QStringLiteral("cmdPreview"));
    designAt(m_cmdPreview, QRect(1920, 600, 1815, 735));
    m_cmdSaveAll =
        button<QPushButton>(QStringLiteral("Save all pages"), QString(), m_picLeftBottom, QStringLiteral("cmdSaveAll"));
    designAt(m_cmdSaveAll, QRect(120, 960, 1815, 375));
    m_cmdSaveMultiPage = button<QPushButton>(QStringLiteral("Save as multipage"), QString(), m_picLeftBottom,
                                             QStringLiteral("cmdSaveMultiPage"));
    designAt(m_cmdSaveMultiPage, QRect(120, 1320, 1815, 375));
    m_cmdPrint =
        button<PictureButton>(QStringLiteral("Print page"), QString(), m_picLeftBottom, QStringLiteral("cmdPrint"));
    designAt(m_cmdPrint, QRect(1920, 1320, 1815, 375));
    m_cmdExit = button<PictureButton>(QStringLiteral("Exit"), QString(), m_picLeftBottom, QStringLiteral("cmdExit"));
    designAt(m_cmdExit, QRect(120, 1680, 1815, 375));
    m_cmdPrintAll = button<QPushButton>(QStringLiteral("Print all pages"), QString(), m_picLeftBottom,
                                        QStringLiteral("cmdPrintAll"));
    designAt(m_cmdPrintAll, QRect(1920, 1680, 1815, 375));

    m_lblPreview = heading(QStringLiteral("Preview"), this, QStringLiteral("lblPreview"));
    designAt(m_lblPreview, kLblPreview);
    // Created after the heading it overlaps, so it stays on top of it.
    m_picTools = placeholder(this, QStringLiteral("picTools"));
    designAt(m_picTools, kPicTools);
    m_cmdHelp = button<PictureButton>(QString(), QStringLiteral("View Application help and documentation"), this,
                                      QStringLiteral("cmdHelp"));
    designAt(m_cmdHelp, QRect(6960, 0, 495, 375));
    m_cmdAbout = button<QPushButton>(QStringLiteral("About"), QString(), this, QStringLiteral("cmdAbout"));
    designAt(m_cmdAbout, QRect(7470, 0, 855, 375));

    m_picRight = placeholder(this, QStringLiteral("picRight"));
    designAt(m_picRight, kPicRight);

    placeAtDesign(TwipsScale::of(this));
}

void MainPanes::designAt(QWidget *widget, const QRect &twips)
{
    m_design.append({widget, twips});
}

void MainPanes::placeAtDesign(const TwipsScale &scale)
{
    for (const Placement &p : std::as_const(m_design))
        p.widget->setGeometry(scale.toPixels(p.twips));
    m_placedScale = scale;
    m_placed = true;
}

void MainPanes::setRightPane(QWidget *pane)
{
    if (!pane || pane == m_picRight)
        return;
    const QRect geometry = m_picRight->geometry();
    for (Placement &p : m_design) {
        if (p.widget == m_picRight)
            p.widget = pane;
    }
    delete m_picRight;
    m_picRight = pane;
    pane->setParent(this);
    pane->setGeometry(geometry);
    pane->show();
}

void MainPanes::setZoomTools(QWidget *tools)
{
    if (!tools || tools == m_picTools)
        return;
    for (Placement &p : m_design) {
        if (p.widget == m_picTools)
            p.widget = tools;
    }
    delete m_picTools;
    m_picTools = tools;
    tools->setParent(this);
    tools->setGeometry(m_placedScale.toPixels(kPicTools));
    // Above the "Preview" heading, whose design rectangle reaches under it.
    tools->raise();
    tools->show();
}

void MainPanes::addControl(QWidget *control, const QRect &twips)
{
    control->setParent(this);
    designAt(control, twips);
    control->setGeometry(m_placedScale.toPixels(twips));
    control->show();
}

QList<PictureButton *> MainPanes::pictureButtons() const
{
    return {m_cmdAddFiles, m_cmdAddFolder, m_cmdRemove, m_cmdExit,  m_cmdPreview,
            m_cmdHelp,     m_cmdNew,       m_cmdSave,   m_cmdPrint, m_cmdTasks};
}

void MainPanes::attachPictures()
{
    // Same order as pictureButtons().
    static const QStringList pictures = {
        QStringLiteral("addfiles"), QStringLiteral("addfolder"), QStringLiteral("remove"),    QStringLiteral("exit"),
        QStringLiteral("generate"), QStringLiteral("help"),      QStringLiteral("newbasket"), QStringLiteral("save"),
        QStringLiteral("print"),    QStringLiteral("settings")};
    const QList<PictureButton *> buttons = pictureButtons();
    for (qsizetype i = 0; i < buttons.size(); ++i)
        buttons[i]->attachPicture(programPicture(pictures[i]));
}

void MainPanes::detachPictures()
{
    const QList<PictureButton *> buttons = pictureButtons();
    for (PictureButton *b : buttons)
        b->detachPicture();
}

void MainPanes::refreshButtons()
{
    const QList<QPushButton *> order = {m_cmdAddFiles, m_cmdAddFolder, m_cmdNew,   m_cmdRemove, m_cmdHelp,
                                        m_cmdExit,     m_cmdPreview,   m_cmdPrint, m_cmdSave};
    for (QPushButton *b : order)
        b->update();
}

void MainPanes::layoutPanes()
{
    const TwipsScale scale = TwipsScale::of(this);
    if (!m_placed || scale != m_placedScale)
        placeAtDesign(scale);

    PaneMeasures measures;
    measures.inner = scale.toTwips(size());
    measures.picLeft = kPicLeft;
    measures.picLeftBottom = kPicLeftBottom;
    measures.lv = kLv;
    measures.lblPreview = kLblPreview;
    const PaneLayout layout = computePaneLayout(measures);

    m_picLeft->setGeometry(scale.toPixels(layout.picLeft));
    m_picLeftBottom->setGeometry(scale.toPixels(layout.picLeftBottom));
    m_lv->setGeometry(scale.toPixels(layout.lv));
    m_lblPreview->setGeometry(scale.toPixels(layout.lblPreview));
    m_picRight->setGeometry(scale.toPixels(layout.picRight));
}

void MainPanes::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!window()->isMinimized())
        layoutPanes();
}

void MainPanes::showInputTypes()
{
    const bool all = allFormatsOffered();
    m_cmdAddFiles->setToolTip(all ? QStringLiteral("Add photo files to the basket: ") + offeredTypesText()
                                  : kAddFilesTip);
    m_cmdAddFolder->setToolTip(all ? QStringLiteral("Add the photos of a folder to the basket: ") + offeredTypesText()
                                   : kAddFolderTip);
}

} // namespace pagorra
