#include "viewer/pageviewer.h"

#include "core/runtimeerror.h"
#include "errors/errorhandler.h"
#include "generation/pageset.h"
#include "viewer/pageview.h"
#include "viewer/zoomtools.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <array>

namespace pagorra {

namespace {

// Design sizes of the strip under the viewport and of the navigation block in it, in twips.
constexpr int BarHeightTwips = 975;
constexpr int NavigationWidthTwips = 5175;

// The zooms Ctrl and the wheel step through, in per cent: from a quarter to where a page made
// at the highest resolution (600, 6.25 pixels per layout pixel) shows each of its pixels.
constexpr std::array<double, 10> ZoomSteps{25, 50, 75, 100, 150, 200, 300, 400, 600, 800};

// A step past either end stops the bar at that end: panning halts at the page's edges.
void panBar(QScrollBar *bar, double start, int position)
{
    if (!bar->isEnabled())
        return;
    const int wanted = roundHalfEven(bar->value() + start - position);
    bar->setValue(std::clamp(wanted, bar->minimum(), bar->maximum()));
}

} // namespace

PageViewer::PageViewer(ZoomTools *tools, QWidget *parent)
    : QWidget(parent), m_tools(tools), m_container(new QWidget(this)), m_view(new PageView(m_container)),
      m_vertical(new QScrollBar(Qt::Vertical, this)), m_horizontal(new QScrollBar(Qt::Horizontal, this)),
      m_bar(new QWidget(this)), m_navigation(nullptr), m_counter(nullptr), m_progress(nullptr), m_cancel(nullptr)
{
    setObjectName(QStringLiteral("picRight"));
    m_container->setObjectName(QStringLiteral("picContainer"));
    m_container->setBackgroundRole(QPalette::Mid);
    m_container->setAutoFillBackground(true);
    m_container->installEventFilter(this);
    m_view->installEventFilter(this);
    m_view->hide();
    m_vertical->setObjectName(QStringLiteral("vsOriginal"));
    m_horizontal->setObjectName(QStringLiteral("hsOriginal"));
    m_bar->setObjectName(QStringLiteral("picBar"));
    m_bar->setFixedHeight(twipsToPixels(BarHeightTwips, logicalDpiY()));
    m_navigation = buildNavigation();

    for (QScrollBar *scrollBar : {m_horizontal, m_vertical}) {
        scrollBar->setRange(0, 0);
        scrollBar->setSingleStep(16);
        scrollBar->setEnabled(false);
        connect(scrollBar, &QScrollBar::valueChanged, this, &PageViewer::placePage);
    }
    connect(m_view, &PageView::pressed, this, &PageViewer::beginDrag);
    connect(m_view, &PageView::moved, this, &PageViewer::dragTo);
    connect(m_view, &PageView::released, this, &PageViewer::endDrag);
    if (m_tools) {
        m_bestFit = m_tools->selected() == 0;
        connect(m_tools, &ZoomTools::optionClicked, this, &PageViewer::zoomClicked);
    }
    updateCounter();
}

QWidget *PageViewer::buildNavigation()
{
    auto *navigation = new QWidget(m_bar);
    navigation->setObjectName(QStringLiteral("picNavigationBar"));
    navigation->setFixedSize(twipsToPixels(NavigationWidthTwips, logicalDpiX()),
                             twipsToPixels(BarHeightTwips, logicalDpiY()));

    m_counter = new QLineEdit(navigation);
    m_counter->setObjectName(QStringLiteral("txtNavigation"));
    m_counter->setReadOnly(true);
    m_counter->setAlignment(Qt::AlignCenter);
    m_counter->setFocusPolicy(Qt::NoFocus);
    m_counter->setFixedWidth(navigation->width() * 2 / 5);
    m_progress = new QProgressBar(navigation);
    m_progress->setObjectName(QStringLiteral("pb"));
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_cancel = new QPushButton(tr("Cancel"), navigation);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->hide();

    // The progress and Cancel share the counter's row, so the row recentres when a run
    // shows or hides them.
    auto *statusRow = new QHBoxLayout;
    statusRow->setSpacing(4);
    statusRow->addStretch(1);
    statusRow->addWidget(m_counter);
    statusRow->addWidget(m_progress, 2);
    statusRow->addWidget(m_cancel);
    statusRow->addStretch(1);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(2);
    const struct {
        const char *name;
        QString caption;
        void (PageViewer::*slot)();
    } buttons[] = {
        {"cmdFirst", QStringLiteral("<< First"), &PageViewer::showFirst},
        {"cmdPrevious", QStringLiteral("< Previous"), &PageViewer::showPrevious},
        {"cmdNext", QStringLiteral("Next >"), &PageViewer::showNext},
        {"cmdLast", QStringLiteral("Last >>"), &PageViewer::showLast},
    };
    for (const auto &entry : buttons) {
        auto *button = new QPushButton(entry.caption, navigation);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, entry.slot);
        buttonRow->addWidget(button, 1);
    }

    auto *column = new QVBoxLayout(navigation);
    column->setContentsMargins(0, 3, 0, 3);
    column->setSpacing(3);
    column->addLayout(statusRow);
    column->addLayout(buttonRow);
    return navigation;
}

void PageViewer::setPageSet(PageSet *pages)
{
    m_pages = pages;
    showBitmap();
}

int PageViewer::currentPageIndex() const
{
    return m_pages ? m_pages->currentPageIndex() : 0;
}

void PageViewer::showBitmap()
{
    QImage image;
    m_pageSize = QSize();
    if (m_pages) {
        const int index = std::clamp(m_pages->currentPageIndex(), 0, m_pages->lastPageIndex());
        m_pages->setCurrentPageIndex(index);
        try {
            image = m_pages->page(index).image();
        } catch (const RuntimeError &error) {
            // A page that cannot be read back is shown as none, and said so.
            globalErrorHandler(error, QStringLiteral("subShowBitmap"));
        }
        const Page &page = m_pages->peek(index);
        // A page drawn without items (set as an image) is its image's size.
        m_pageSize = page.content().layoutSize.isEmpty() ? image.size() : page.content().layoutSize.toSize();
    }
    m_view->setImage(image);
    m_view->setVisible(!image.isNull());
    updateCounter();
    layoutPane();
}

void PageViewer::showPage(int index)
{
    if (m_pages)
        m_pages->setCurrentPageIndex(index);
    showBitmap();
}

void PageViewer::showFirst()
{
    showPage(0);
}

void PageViewer::showPrevious()
{
    showPage(std::max(currentPageIndex() - 1, 0));
}

void PageViewer::showNext()
{
    const int last = m_pages ? m_pages->lastPageIndex() : 0;
    showPage(std::min(currentPageIndex() + 1, last));
}

void PageViewer::showLast()
{
    showPage(m_pages ? m_pages->lastPageIndex() : 0);
}

QString PageViewer::counterText(int index, int count)
{
    return QStringLiteral("Page %1 of %2").arg(index + 1).arg(count);
}

void PageViewer::updateCounter()
{
    const bool generated = m_pages && (m_pages->count() > 1 || m_pages->peek(0).hasImage());
    m_counter->setText(generated ? counterText(m_pages->currentPageIndex(), m_pages->count())
                                 : QStringLiteral("Page 1"));
}

void PageViewer::setZoomOption(int option)
{
    if (m_tools)
        m_tools->select(option);
    zoomClicked(option == 0 ? 0 : 1);
}

void PageViewer::zoomClicked(int index)
{
    m_bestFit = index == 0;
    m_zoom = 100;
    layoutPane();
}

void PageViewer::zoomBy(int steps)
{
    const double from = m_fit.zoom;
    double to = from;
    if (steps > 0) {
        const auto next = std::upper_bound(ZoomSteps.begin(), ZoomSteps.end(), from + 0.01);
        to = next == ZoomSteps.end() ? ZoomSteps.back() : *next;
    } else if (steps < 0) {
        const auto next = std::lower_bound(ZoomSteps.begin(), ZoomSteps.end(), from - 0.01);
        to = next == ZoomSteps.begin() ? ZoomSteps.front() : *(next - 1);
    }
    if (m_tools)
        m_tools->select(1);
    m_bestFit = false;
    m_zoom = to;
    layoutPane();
}

void PageViewer::resizeEvent(QResizeEvent *)
{
    layoutPane();
}

void PageViewer::layoutPane()
{
    if (window()->isMinimized())
        return;
    const int barWidth = m_vertical->sizeHint().width();
    const int barHeight = m_horizontal->sizeHint().height();
    const int width = std::max(0, this->width() - barWidth);
    const int height = std::max(0, this->height() - m_bar->height() - barHeight);
    m_container->setGeometry(0, 0, width, height);
    m_vertical->setGeometry(width, 0, barWidth, height);
    m_horizontal->setGeometry(0, height, width, barHeight);
    m_bar->setGeometry(0, height + barHeight, width, m_bar->height());
    m_navigation->move(roundHalfEven((width - m_navigation->width()) / 2.0), 0);
    fitBitmap();
}

void PageViewer::fitBitmap()
{
    m_fit = fitPage(m_view->showsPage() ? m_pageSize : QSize(), m_container->size(), m_bestFit, m_zoom);
    m_view->resize(m_fit.shown);
    // A fitting page has no overhang to scroll; its bar rests at 0 until it overhangs again.
    m_horizontal->setRange(0, std::max(0, m_fit.horizontalMaximum));
    m_horizontal->setPageStep(std::max(1, m_container->width()));
    m_horizontal->setEnabled(m_fit.horizontalEnabled);
    m_vertical->setRange(0, std::max(0, m_fit.verticalMaximum));
    m_vertical->setPageStep(std::max(1, m_container->height()));
    m_vertical->setEnabled(m_fit.verticalEnabled);
    placePage();
    if (m_tools && m_view->showsPage())
        m_tools->zoomLabel()->setText(zoomLabelText(m_fit.zoom));
}

// An overhanging page sits where its bar says, so a re-fit never lets page and bar disagree.
void PageViewer::placePage()
{
    const int x = m_fit.horizontalEnabled ? -m_horizontal->value() : m_fit.left;
    const int y = m_fit.verticalEnabled ? -m_vertical->value() : m_fit.top;
    m_view->move(x, y);
}

void PageViewer::beginDrag(QPointF position)
{
    m_dragging = true;
    m_dragStartX = float(position.x());
    m_dragStartY = float(position.y());
    m_view->setCursor(Qt::ClosedHandCursor);
}

// The position is relative to the page, which moves with the bars: the start point stays
// fixed, so the grabbed point stays under the pointer.
void PageViewer::dragTo(QPointF position)
{
    if (!m_dragging)
        return;
    panBar(m_horizontal, m_dragStartX, roundHalfEven(position.x()));
    panBar(m_vertical, m_dragStartY, roundHalfEven(position.y()));
}

void PageViewer::endDrag()
{
    m_dragging = false;
    m_view->unsetCursor();
}

// The wheel over the page scrolls whichever bar can move, the vertical one first; with Ctrl
// it zooms.
bool PageViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && (watched == m_container || watched == m_view)) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (m_view->showsPage() && wheel->angleDelta().y() != 0)
                zoomBy(wheel->angleDelta().y() > 0 ? 1 : -1);
            return true;
        }
        QScrollBar *target = m_vertical->isEnabled() ? m_vertical : m_horizontal;
        if (target->isEnabled())
            QApplication::sendEvent(target, event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pagorra
