#pragma once

#include "core/runprogress.h"
#include "core/runtimeerror.h"
#include "core/settings.h"
#include "generation/pagegeometry.h"
#include "generation/pagelayout.h"

#include "generation/photoinfo.h"

#include <QByteArray>
#include <QRect>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace pagorra {

class Page;
class PageSet;
class ThumbnailCache;

// Where one basket entry went and what its decoder found (see setReportEntries).
struct EntryPlacement {
    int page = 0;            // 1-based; 0 when the entry gave no picture
    int row = 0, column = 0; // 0-based, on the page
    QRect cell;              // in layout pixels
    QSize original;          // the photo's own size, upright
    PhotoInfo info;
    QByteArray sha256;
    QString failure; // an unexpected failure's description
};

struct GenerationResult {
    enum class Outcome { Completed, Cancelled, CheckFailed, Failed };
    Outcome outcome = Outcome::Completed;
    // The failed check's message, for the caller to show (CheckFailed only).
    std::optional<UserMessage> message;
    // The error that ended the run (Failed only); it has already gone to the error handler.
    std::optional<RuntimeError> error;
    int pageCount = 0;
    int placed = 0;
    QStringList skippedFiles;      // entries that gave no picture, in basket order
    QList<EntryPlacement> entries; // with setReportEntries: one per entry reached, in basket order
    // Captions and footer parts shortened to fit (their files, or "footer of page n"), and
    // characters no installed font has a glyph for, with where they were to be drawn.
    QStringList shortenedTexts;
    QList<std::pair<QString, QString>> missingGlyphs;
    // Streamed pages whose footer shows the run's page count were handed on before the count
    // was known, with the count the entries left could still fill; entries that then gave no
    // picture made it wrong. A second run given the count (setPageTotal) mends them.
    bool pageTotalsWrong = false;
};

// One "Generate": lays one thumbnail per basket entry onto pages. Inputs are copied when
// the run is made, so later edits of the settings or the basket do not affect it.
// Pictures are decoded on worker threads a few entries ahead, but placed strictly in basket
// order and only between two progress steps, so a cancel keeps exactly the entries up to the
// one being loaded when it was asked for.
// Failed checks come back as a message (never shown here); run-time errors go to the global
// error handler under "cmdPreview_Click" (failed loads under "LoadPic") and end the run with
// the pages made so far kept.
class GenerationRun {
  public:
    GenerationRun(const RegistrySettings &settings, QStringList paths, RunProgress &progress);

    // Number of decoding threads; 0 (the default) means one per core.
    void setDecodingThreads(int threads) { m_threads = threads; }
    // Thumbnails are taken from and kept in `cache` (not owned); none by default.
    void setThumbnailCache(ThumbnailCache *cache) { m_cache = cache; }

    // Reports each entry's place and what its decoder read of it, its file's digest among it.
    void setReportEntries(bool report) { m_reportEntries = report; }

    // Called each time a page has been opened and prepared, with the number of pages so far
    // (the window shows "Page k of k" with it). It may raise RuntimeError, which ends the run
    // as any run-time error does.
    void setPageOpened(std::function<void(int pageCount)> callback) { m_pageOpened = std::move(callback); }

    // The page count a footer's {pages} shows, when an earlier run over the same entries has
    // told it; otherwise the run's own count.
    void setPageTotal(int pages) { m_pageTotal = pages; }

    // Builds the page set: `pages` is cleared once the checks pass and then holds every page
    // made. No trailing empty page is opened when the last thumbnail fills a page, and a run
    // that fails keeps no page without pictures.
    GenerationResult run(PageSet &pages);

    // For the batch tool: each page is handed to `sink` as soon as it is complete (the last
    // one at the end), then dropped, so memory stays bounded whatever the basket size. The
    // sink reports a failure by throwing RuntimeError. No 16-bit limit on the basket size.
    using PageSink = std::function<void(const Page &page, int pageNumber)>;
    GenerationResult stream(const PageSink &sink);
    // For stream(): only the `index`-th (1-based) of `count` slices of the entries is made,
    // cut at whole pages (see runslice.h); its pages are numbered, in titles and for the sink,
    // as in the whole run, and a slice past the last page makes none. The checks are those of
    // the whole run.
    void setShard(int index, int count)
    {
        m_shardIndex = index;
        m_shardCount = count;
    }

    // The height kept for the title on every page, as worked out by the last run.
    std::int16_t titleBandHeight() const { return m_titleBandHeight; }

  private:
    class Target;
    class SetTarget;
    class StreamTarget;
    GenerationResult execute(Target &target, bool basketIs16Bit);
    std::int16_t applyTitleFont(Page &page) const;
    void preparePage(Page &page, int pageNumber);

    RegistrySettings m_settings;
    QStringList m_paths;
    RunProgress &m_progress;
    LayoutInput m_input;
    PageOutput m_output;
    int m_threads = 0;
    bool m_reportEntries = false;
    ThumbnailCache *m_cache = nullptr;
    int m_shardIndex = 1;
    int m_shardCount = 1;
    std::function<void(int)> m_pageOpened;
    std::int16_t m_titleBandHeight = 0;
    int m_pageTotal = 0;
};

} // namespace pagorra
