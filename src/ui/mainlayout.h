#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace pagorra {

class MainPanes;

// The main window is designed in twips (1/1440 inch). How many twips make a pixel depends on the
// screen's logical DPI: 15 at 96 DPI.
class TwipsScale {
  public:
    TwipsScale() = default;
    TwipsScale(double dpiX, double dpiY);
    static TwipsScale of(const QWidget *widget);

    double perPixelX() const { return m_perPixelX; }
    double perPixelY() const { return m_perPixelY; }

    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;
    int toTwipsX(int pixels) const;
    int toTwipsY(int pixels) const;
    QSize toPixels(QSize twips) const;
    QSize toTwips(QSize pixels) const;
    // Left, top, width and height are converted one by one, as the design gives them.
    QRect toPixels(const QRect &twips) const;

    bool operator==(const TwipsScale &) const = default;

  private:
    double m_perPixelX = 15.0;
    double m_perPixelY = 15.0;
};

inline constexpr int kMinimumWindowWidth = 12200;
inline constexpr int kMinimumWindowHeight = 8500;

// The window size the layout insists on, in twips: the width first, then the height.
QSize clampToMinimumWindowSize(QSize windowTwips);

// What the pane layout reads, in twips: the space the window offers its panes and the design
// rectangles of the panes whose size or place follows it.
struct PaneMeasures {
    QSize inner;
    QRect picLeft;
    QRect picLeftBottom;
    QRect lv;
    QRect lblPreview;
};

// Where the panes go, in twips. A window too small for the left pane's fixed parts gives the list
// a height of 0 rather than a negative one.
struct PaneLayout {
    QRect picLeft;
    QRect picLeftBottom;
    QRect lv;
    QRect lblPreview;
    QRect picRight;
};

PaneLayout computePaneLayout(const PaneMeasures &measures);

// Lays the main window out after a resize, a state change, or when another command asks for it.
// A minimised window is left exactly as it was; otherwise the window is held at its minimum size
// (also given to the window manager as a hint) and the panes follow its inner size. Fitting the
// shown page into the resized right pane is the viewer's job and comes after this.
void layoutMainWindow(QWidget *window, MainPanes *panes);

} // namespace pagorra
