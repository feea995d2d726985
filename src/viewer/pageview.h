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
