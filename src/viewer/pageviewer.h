#pragma once

#include "viewer/pagefit.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;

namespace pagorra {

class PageSet;
class PageView;
class ZoomTools;

// The right pane (`picRight`): the viewport `picContainer` with the page on display, its
// scroll bars and the navigation strip under it. It shows one page of a page set owned by
// the main window, fits it (best fit or actual size, chosen with the zoom tools) and pans
// it with the bars or by dragging. The zoom choice applies to every page shown. Pages are
// shown by their layout size, so a page looks the same at every resolution it is made at;
// Ctrl and the wheel zoom in on the detail a higher resolution holds.
class PageViewer : public QWidget {
    Q_OBJECT
  public:
    // tools: the zoom tools the main window places elsewhere; not owned, may be null.
    explicit PageViewer(ZoomTools *tools, QWidget *parent = nullptr);

    // Not owned; it must outlive the viewer or be replaced first. Shows its current page.
    void setPageSet(PageSet *pages);
    PageSet *pageSet() const { return m_pages; }
    int currentPageIndex() const;

    // Shows the page set's current page (clamped to the pages there are), sets the page
    // counter and fits the page. Also picks up pages redrawn since they were last shown.
    void showBitmap();
    void showPage(int index);
    // After a run: shows the page set's current page again.
    void refresh() { showBitmap(); }
    // Fits the page on display into the viewport and sets up both bars.
    void fitBitmap();

    // 0 = best fit, 1 = actual size; selecting applies it like a click, and actual size is
    // then 100 %.
    int zoomOption() const { return m_bestFit ? 0 : 1; }
    void setZoomOption(int option);
    // One step of Ctrl and the wheel: the next zoom in (steps > 0) or out from the one shown,
    // within 25 % to 800 %, selecting actual size.
    void zoomBy(int steps);
    const PageFit &fit() const { return m_fit; }

    // "Page 2 of 5". Until a page has been generated the counter reads "Page 1" instead.
    static QString counterText(int index, int count);

    // For the long runs, which show and drive the progress and the Cancel button.
    QLineEdit *counter() const { return m_counter; }
    QProgressBar *progressBar() const { return m_progress; }
    QPushButton *cancelButton() const { return m_cancel; }

    QWidget *container() const { return m_container; }
    PageView *pageView() const { return m_view; }
    QScrollBar *horizontalBar() const { return m_horizontal; }
    QScrollBar *verticalBar() const { return m_vertical; }
    QWidget *navigationBar() const { return m_navigation; }
    QWidget *bar() const { return m_bar; }

  public slots:
    void showFirst();
    void showPrevious();
    void showNext();
    void showLast();

  protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *buildNavigation();
    void layoutPane();
    void zoomClicked(int index);
    void placePage();
    void beginDrag(QPointF position);
    void dragTo(QPointF position);
    void endDrag();
    void updateCounter();

    PageSet *m_pages = nullptr;
    QPointer<ZoomTools> m_tools;
    bool m_bestFit = true;
    double m_zoom = 100; // while not at best fit
    QSize m_pageSize;    // the page on display in layout pixels
    PageFit m_fit;

    QWidget *m_container;
    PageView *m_view;
    QScrollBar *m_vertical;
    QScrollBar *m_horizontal;
    QWidget *m_bar;
    QWidget *m_navigation;
    QLineEdit *m_counter;
    QProgressBar *m_progress;
    QPushButton *m_cancel;

    bool m_dragging = false;
    float m_dragStartX = 0; // single precision like the pointer events that set it
    float m_dragStartY = 0;
};

} // namespace pagorra
