#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace pagorra {

// The page on display (`ib`): paints its image stretched to the widget's size, with as many
// of the image's pixels as the screen shows (a page made at a high resolution shows its
// detail when zoomed in, or on a dense screen), and reports the pointer in its own
// coordinates, which is what drag-panning needs.
class PageView : public QWidget {
    Q_OBJECT
  public:
    explicit PageView(QWidget *parent = nullptr);

    // Keeps a shallow copy; a page redrawn later is picked up by the next setImage().
    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }
    // Whether a page is on display, also one held only as shown (see keepOnlyWhatIsShown()).
    bool showsPage() const { return !m_image.isNull() || !m_scaled.isNull(); }
    // Lets go of the page's image once it has been scaled for the screen, keeping what is
    // shown: a page that is still being drawn on would otherwise be copied by its next
    // drawing (35 MB for an A4 page at 300 dpi). The next setImage() brings it back; until
    // then a resize stretches what is shown.
    void keepOnlyWhatIsShown();

  signals:
    void pressed(QPointF position);
    void moved(QPointF position);
    void released();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    QImage m_image;
    // The image scaled down to the shown size, rebuilt only when the size or the image
    // changes, so that panning and repaints do not rescale.
    QPixmap m_scaled;
};

} // namespace pagorra
