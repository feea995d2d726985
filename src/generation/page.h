#pragma once

#include "generation/pagecontent.h"
#include "generation/pagegeometry.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>

namespace pagorra {

// The print properties a page carries between the settings record and the print dialog,
// in transfer order, plus one value copied from page to page in a batch.
struct PagePrintSettings {
    bool centre = false;
    bool fit = false;
    std::int32_t copies = 1;
    std::int32_t printerIndex = -1;
    double left = 0;
    double top = 0;
    std::uint8_t orientation = 0;
    std::int32_t paperSize = 0;
    double scale = 100;
    std::uint8_t units = 0;
    std::int32_t extra = 0;
    QString jobName;
    bool showDialog = true;

    bool operator==(const PagePrintSettings &) const = default;
};

// One generated page: the page image with the drawing state used to compose it and the
// print properties it carries. Owned by its PageSet.
class Page {
  public:
    // Colour (stored form, system colours allowed) of the next newImage().
    void setCanvasColor(std::int32_t storedColor) { m_canvasColor = storedColor; }
    std::int32_t canvasColor() const { return m_canvasColor; }
    // Replaces the held image by a blank page of that size in layout pixels, in the canvas
    // colour, made at the output's resolution and paper. A size of zero or less leaves an
    // empty (null) image.
    void newImage(int width, int height);
    // The resolution and paper of the next newImage(); by default one pixel per layout pixel.
    void setOutput(const PageOutput &output) { m_output = output; }
    const PageOutput &output() const { return m_output; }

    void setFont(const QFont &font) { m_font = font; }
    const QFont &font() const { return m_font; }
    void setTextColor(std::int32_t storedColor) { m_textColor = storedColor; }
    std::int32_t textColor() const { return m_textColor; }
    // Height in layout pixels of the text drawn in the current font.
    int textHeight(const QString &text) const;
    // Draws text with its top-left at (x, y) in the current font and text colour.
    void drawText(int x, int y, const QString &text);
    // Pastes a bitmap unscaled with its top-left at (x, y); parts outside the page are clipped.
    // Positions are layout pixels; the bitmap is at the output's resolution (a cell of w x h
    // layout pixels is w x h times scale() pixels). `sourcePath` names the file the bitmap was
    // made from, for document formats that link it.
    void drawBitmap(int x, int y, const QImage &bitmap, const QString &sourcePath = {});

    int imageWidth() const
    {
        return m_stowed ? m_output.rasterSize(m_content.layoutSize.toSize()).width() : m_image.width();
    }
    int imageHeight() const
    {
        return m_stowed ? m_output.rasterSize(m_content.layoutSize.toSize()).height() : m_image.height();
    }
    bool hasImage() const { return m_stowed || !m_image.isNull(); }
    // Null while the page is stowed (see below).
    const QImage &image() const { return m_image; }
    // An image from elsewhere: the page shows no drawing items then.
    void setImage(const QImage &image)
    {
        m_image = image;
        m_content = PageContent();
        m_stowed = false;
        ++m_revision;
    }

    // For a page set that puts pages aside: a page made with newImage() and drawn on only with
    // drawText() and drawBitmap() can let go of its pixels and draw them again from its items,
    // exactly as they were. stowPixels() hands out the pictures in drawing order and drops
    // them and the image; restorePixels() takes them back and redraws the image. A stowed page
    // still has an image, only not in memory.
    bool canStow() const;
    bool isStowed() const { return m_stowed; }
    // Counts the changes to what the page shows, so that pixels put aside once need not be
    // put aside again while the page stays as it was.
    int revision() const { return m_revision; }
    QList<QImage> stowPixels();
    void restorePixels(const QList<QImage> &pictures);
    // What was drawn since the last newImage(), as items (see pagecontent.h).
    const PageContent &content() const { return m_content; }

    PagePrintSettings &print() { return m_print; }
    const PagePrintSettings &print() const { return m_print; }

  private:
    QImage m_image;
    PageOutput m_output;
    PageContent m_content;
    QFont m_font;
    std::int32_t m_canvasColor = 16777215;
    std::int32_t m_textColor = 0;
    PagePrintSettings m_print;
    bool m_stowed = false;
    int m_revision = 0;
};

} // namespace pagorra
