#include "generation/generationrun.h"

#include "core/colors.h"
#include "errors/errorhandler.h"
#include "generation/decodequeue.h"
#include "generation/int16.h"
#include "generation/page.h"
#include "generation/pageset.h"
#include "generation/runslice.h"
#include "generation/runtexts.h"

#include <QThread>

#include <cmath>

namespace pagorra {

namespace {

const QString kRunRoutine = QStringLiteral("cmdPreview_Click");
const QString kLoadRoutine = QStringLiteral("LoadPic");

} // namespace

// Where the pages of a run go: kept in a page set, or handed on one at a time.
class GenerationRun::Target {
  public:
    virtual ~Target() = default;
    // The page the title band is measured on, before anything is cleared.
    virtual Page &measuringPage() = 0;
    // Clears what an earlier run left and gives the first page.
    virtual Page &firstPage() = 0;
    // Gives the next page; `full` is the page just completed.
    virtual Page &nextPage(Page &full) = 0;
    virtual void finish(Page &last) = 0;
    // After a failure: lets go of the page being filled, which holds no picture.
    virtual void dropUnfilled() = 0;
    // The number the first page has in the whole run (a slice's pages go on from there).
    virtual void numberFrom(int) {}
    virtual int pageCount() const = 0;
    // Page `index` (0-based) when the target keeps its pages, else nothing.
    virtual Page *keptPage(int) { return nullptr; }
};

class GenerationRun::SetTarget : public Target {
  public:
    explicit SetTarget(PageSet &pages) : m_pages(pages) {}
    Page &measuringPage() override { return m_pages.page(0); }
    Page &firstPage() override
    {
        m_pages.clear();
        return m_pages.page(0);
    }
    Page &nextPage(Page &) override
    {
        toInt16(std::int64_t(m_pages.count())); // the page index is a 16-bit value
        return m_pages.addPage();
    }
    void finish(Page &) override { m_pages.setCurrentPageIndex(0); }
    void dropUnfilled() override { m_pages.dropLastPage(); }
    int pageCount() const override { return m_pages.count(); }
    Page *keptPage(int index) override { return &m_pages.page(index); }

  private:
    PageSet &m_pages;
};

class GenerationRun::StreamTarget : public Target {
  public:
    explicit StreamTarget(const PageSink &sink) : m_sink(sink) {}
    Page &measuringPage() override { return m_page; }
    Page &firstPage() override { return m_page; }
    Page &nextPage(Page &full) override
    {
        hand(full);
        return m_page;
    }
    void finish(Page &last) override { hand(last); }
    void dropUnfilled() override {} // never handed on
    void numberFrom(int first) override { m_first = first; }
    int pageCount() const override { return m_handed; }

  private:
    void hand(Page &page)
    {
        m_sink(page, m_first + m_handed);
        ++m_handed;
    }
    const PageSink &m_sink;
    Page m_page;
    int m_handed = 0;
    int m_first = 1;
};

GenerationRun::GenerationRun(const RegistrySettings &settings, QStringList paths, RunProgress &progress)
    : m_settings(settings), m_paths(std::move(paths)), m_progress(progress)
{
}

GenerationResult GenerationRun::run(PageSet &pages)
{
    SetTarget target(pages);
    return execute(target, true);
}

GenerationResult GenerationRun::stream(const PageSink &sink)
{
    StreamTarget target(sink);
    return execute(target, false);
}

std::int16_t GenerationRun::applyTitleFont(Page &page) const
{
    QFont font = page.font();
    font.setBold(m_settings.TitleBold);
    font.setItalic(m_settings.TitleItalic);
    font.setUnderline(m_settings.TitleUnderline);
    font.setStrikeOut(m_settings.TitleStrikeThru);
    font.setFamily(m_settings.TitleFontName);
    page.setTextColor(m_settings.TitleFontColor);
    if (m_settings.TitleFontSize > 0)
        font.setPointSize(m_settings.TitleFontSize);
    page.setFont(font);
    return namingValues({{QStringLiteral("TitleFontSize"), m_settings.TitleFontSize}},
                        [&] { return add16(toInt16(page.textHeight(m_input.title)), 10); });
}

void GenerationRun::preparePage(Page &page, int pageNumber)
{
    page.setCanvasColor(m_settings.PageBackColor);
    page.setOutput(m_output);
    page.newImage(m_input.pageWidth, m_input.pageHeight);
    if (!page.hasImage())
        PAGORRA_RAISE(err::OutOfMemory, QStringLiteral("Out of memory"));
    const QString line = titleLine(m_input, pageNumber);
    if (titleDrawn(m_input, line)) {
        m_titleBandHeight = applyTitleFont(page);
        page.drawText(10, 10, line);
    }
    if (m_pageOpened)
        m_pageOpened(pageNumber);
}

GenerationResult GenerationRun::execute(Target &target, bool basketIs16Bit)
{
    GenerationResult result;
    bool pageBegun = false; // the page set has been cleared for this run's pages
    int placedOnPage = 0;
    std::optional<RunTexts> texts;
    try {
        m_input = snapshotLayoutInput(m_settings);
        m_output = pageOutput(m_settings.Output, QSize(m_input.pageWidth, m_input.pageHeight));
        texts.emplace(m_settings, m_output);
        namingValues({{QStringLiteral("CaptionFontSize"), m_settings.Captions.CaptionFontSize}}, [&] {
            m_input.captionBand = toInt16(texts->captionBand());
            m_input.footerBand = toInt16(texts->footerBand());
        });
        const std::int64_t entries = basketIs16Bit ? std::int64_t(toInt16(m_paths.size())) : m_paths.size();
        if (auto message = checkBasketSize(entries)) {
            result.outcome = GenerationResult::Outcome::CheckFailed;
            result.message = message;
            return result;
        }
        m_titleBandHeight = 0;
        if (titleDrawn(m_input, titleLine(m_input, 1)))
            m_titleBandHeight = applyTitleFont(target.measuringPage());
        if (auto message = checkPageGeometry(m_input, m_titleBandHeight)) {
            result.outcome = GenerationResult::Outcome::CheckFailed;
            result.message = message;
            return result;
        }

        // A slice of the run makes only its own pages, numbered as in the whole run.
        RunSlice slice{0, entries, 1};
        std::int64_t perPage = 0; // pictures a full page holds, known once the first is full
        const bool sliced = m_shardCount > 1;
        if (sliced) {
            perPage = picturesPerPage(m_input, computeGrid(m_input, m_titleBandHeight));
            slice = runSlice(entries, perPage, m_shardIndex, m_shardCount);
            if (slice.isEmpty()) {
                result.pageCount = 0;
                return result;
            }
        }

        Page *page = &target.firstPage();
        pageBegun = true;
        int pageNumber = slice.firstPage;
        target.numberFrom(pageNumber);
        preparePage(*page, pageNumber);
        const LayoutGrid grid = computeGrid(m_input, m_titleBandHeight);
        LayoutCursor cursor(m_input, grid);

        ProgressScope progressScope(m_progress, int(std::min<std::int64_t>(slice.end - slice.first, INT32_MAX)));
        // Thumbnails are decoded at the size they have on the page, never enlarged from a
        // smaller one; the layout goes on in layout pixels.
        const double scale = m_output.scale();
        LoadRequest pattern;
        pattern.loadAs = LoadAs::Fixed;
        pattern.fixedWidth = int(std::lround(m_input.cellWidth * scale));
        pattern.fixedHeight = int(std::lround(m_input.cellHeight * scale));
        // Resolved here: worker threads must not read the desktop palette.
        pattern.backColor = colorToStored(resolveColor(m_settings.PageBackColor));
        pattern.wantDigest = m_reportEntries;
        const int threads = m_threads > 0 ? m_threads : std::max(1, QThread::idealThreadCount());
        // Enough look-ahead that the workers keep busy while a finished page is handed on
        // (a PNG write takes as long as several decodes); a thumbnail is only ~50 kB.
        DecodeQueue queue(m_paths.mid(slice.first, slice.end - slice.first), pattern, threads, 8 * threads, m_cache);

        bool pageFull = false;
        QList<int> totalsGuessed; // the page counts shown by footers of pages handed on
        const bool keepsPages = target.keptPage(0) != nullptr;
        for (std::int64_t i = slice.first + 1; i <= slice.end; ++i) {
            m_progress.yield();
            if (m_progress.cancelRequested()) {
                result.outcome = GenerationResult::Outcome::Cancelled;
                break;
            }
            m_progress.setValue(int(i - slice.first));
            DecodeQueue::Item item = queue.take(int(i - 1 - slice.first), [this] { m_progress.yield(); });
            if (item.error)
                globalErrorHandler(*item.error, kLoadRoutine);
            EntryPlacement *entry = m_reportEntries ? &result.entries.emplace_back() : nullptr;
            if (entry && item.error)
                entry->failure = item.error->description();
            if (!item.picture) {
                result.skippedFiles << m_paths.at(int(i - 1));
                continue;
            }
            // The next page is opened only when a picture needs it, so a page that the last
            // picture filled is not followed by an empty one.
            if (pageFull) {
                // A page handed on now shows the most pages the entries left could fill.
                if (texts->hasFooter() && !keepsPages) {
                    const int total =
                        m_pageTotal > 0 ? m_pageTotal : int(pageNumber + (entries - i + 1 + perPage - 1) / perPage);
                    texts->drawFooter(*page, pageNumber, total);
                    totalsGuessed << total;
                }
                page = &target.nextPage(*page);
                placedOnPage = 0;
                ++pageNumber;
                preparePage(*page, pageNumber);
                cursor.reset();
                pageFull = false;
            }
            const QImage &bitmap = item.picture->bitmap;
            page->drawBitmap(cursor.x(), cursor.y(), bitmap, m_paths.at(int(i - 1)));
            texts->placed(
                *page, pageNumber, QPoint(cursor.x(), cursor.y()), QSize(m_input.cellWidth, m_input.cellHeight),
                PhotoFacts{m_paths.at(int(i - 1)), i, QSize(item.picture->actualWidth, item.picture->actualHeight),
                           &item.picture->info});
            const QSize cell(int(std::lround(bitmap.width() / scale)), int(std::lround(bitmap.height() / scale)));
            if (entry) {
                *entry = {pageNumber,
                          placedOnPage / grid.columns,
                          placedOnPage % grid.columns,
                          {QPoint(cursor.x(), cursor.y()), cell},
                          {item.picture->actualWidth, item.picture->actualHeight},
                          item.picture->info,
                          item.picture->sha256,
                          {}};
            }
            ++result.placed;
            ++placedOnPage;
            pageFull = cursor.advance(cell.width(), cell.height());
            if (pageFull && perPage == 0)
                perPage = placedOnPage;
        }
        if (texts->hasFooter()) {
            // A slice cannot know what the others skip: it counts the pages as numbered, as if
            // every file gives a picture.
            const int total = m_pageTotal > 0 ? m_pageTotal
                              : sliced        ? int((entries + perPage - 1) / perPage)
                                              : pageNumber;
            for (int k = 1; k < pageNumber && keepsPages; ++k)
                texts->drawFooter(*target.keptPage(k - 1), k, total);
            texts->drawFooter(*page, pageNumber, total);
            result.pageTotalsWrong = !sliced && texts->footerNeedsTotal() &&
                                     (total != pageNumber || totalsGuessed.count(pageNumber) != totalsGuessed.size());
        }
        target.finish(*page);
    } catch (const RuntimeError &e) {
        result.outcome = GenerationResult::Outcome::Failed;
        result.error = e;
        // A page that failed while being opened (out of memory, say) holds at most its title:
        // it is not kept, so the pages left are the ones with pictures.
        if (pageBegun && placedOnPage == 0)
            target.dropUnfilled();
        globalErrorHandler(e, kRunRoutine);
    }
    result.pageCount = target.pageCount();
    if (texts) {
        result.shortenedTexts = texts->shortened;
        result.missingGlyphs = texts->missingGlyphs;
    }
    return result;
}

} // namespace pagorra
