#pragma once

#include "core/settings.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace pagorra {

// How a message is to be shown; the engine never shows it, the caller does.
enum class MessageIcon { None, Information };

struct UserMessage {
    QString text;
    MessageIcon icon = MessageIcon::None;
    bool operator==(const UserMessage &) const = default;
};

// The layout inputs taken once when a run starts, so later edits do not affect it.
struct LayoutInput {
    std::int16_t pageWidth = 0;
    std::int16_t pageHeight = 0;
    std::int16_t marginTop = 0;
    std::int16_t marginLeft = 0;
    std::int16_t marginRight = 0;
    std::int16_t marginBottom = 0;
    std::int16_t cellWidth = 0;
    std::int16_t cellHeight = 0;
    bool uniform = false;
    bool addTitle = false;
    bool appendPageNumber = false;
    QString title;
    // Bands the run's captions and footer take (0 without them): the caption band under the
    // thumbnail belongs to every cell, the footer band to the foot of every page.
    std::int16_t captionBand = 0;
    std::int16_t footerBand = 0;
};

// Throws RuntimeError (overflow) when the page size does not fit 16 bits. Here and below the
// error's description names the stored values the failing arithmetic was given.
LayoutInput snapshotLayoutInput(const RegistrySettings &settings);

// The line heading page `pageNumber` (1-based): the trimmed title, then " n" when page
// numbers are on. Drawn only when a title is on and the line is not empty.
QString titleLine(const LayoutInput &input, int pageNumber);
bool titleDrawn(const LayoutInput &input, const QString &line);

// The first check, made before anything is measured: at least two basket entries.
std::optional<UserMessage> checkBasketSize(std::int64_t entries);
// The remaining checks, in their fixed order, once the title band is known. Throws
// RuntimeError (overflow) when the margins push the area out of 16 bits.
std::optional<UserMessage> checkPageGeometry(const LayoutInput &input, std::int16_t titleBandHeight);

struct LayoutGrid {
    std::int16_t columns = 0;
    std::int16_t rows = 0;
    std::int16_t gapX = 0;
    std::int16_t gapY = 0;
    std::int32_t firstX = 0;
    std::int32_t firstY = 0;
    std::int32_t pageLimit = 0;  // largest y at which a row may start
    std::int16_t cellHeight = 0; // the thumbnail and its caption band
};

// Throws RuntimeError (overflow, division by zero) as the 16-bit arithmetic demands.
LayoutGrid computeGrid(const LayoutInput &input, std::int16_t titleBandHeight);

// The cursor that walks the cells of a page. Rows break after every `columns` placed
// pictures: an entry that gave no picture takes no cell, so no row is ever longer than the
// page is wide.
class LayoutCursor {
  public:
    LayoutCursor(const LayoutInput &input, const LayoutGrid &grid);

    std::int32_t x() const { return m_x; }
    std::int32_t y() const { return m_y; }
    // After placing a bitmap of bw x bh pixels at the cursor (its caption band below it):
    // moves on and answers whether the page is now full.
    bool advance(int bitmapWidth, int bitmapHeight);
    // Back to the first cell, for a new page.
    void reset();

  private:
    LayoutGrid m_grid;
    std::int16_t m_captionBand;
    std::int16_t m_marginLeft;
    std::int32_t m_x;
    std::int32_t m_y;
    int m_column = 0; // cells taken in the current row
};

} // namespace pagorra
