#include "core/settings.h"
#include "generation/generationrun.h"
#include "generation/pageset.h"
#include "generation/pagestore.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// Files of this process may grow no further than `bytes` while it lives: writes past that
// fail as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit limit{bytes, m_saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }

  private:
    rlimit m_saved{};
};

enum class Disk { Usable, FullAfterFirstPage, None };

struct StoreCase {
    const char *name;
    Disk disk;
    int resolution;
};

class PageStoreRoundTrip : public ::testing::TestWithParam<StoreCase> {};

// Pages put aside come back exactly as they were made, pixels and drawing items, however the
// disk takes them: a full disk keeps them in memory instead.
TEST_P(PageStoreRoundTrip, GivesBackEveryPageAsItWasMade)
{
    QStringList photos;
    const QStringList names = QDir(QStringLiteral(PAGORRA_TESTDATA "/photos")).entryList({u"*.jpg"_s});
    for (int i = 0; i < 130; ++i)
        photos << QStringLiteral(PAGORRA_TESTDATA "/photos/") + names.at(i % names.size());
    RegistrySettings settings = defaultSettings();
    settings.AddTitle = 1;
    settings.AppendPageNumber = 1;
    settings.Output.Resolution = std::int16_t(GetParam().resolution);

    NullProgress progress;
    PageSet reference;
    GenerationRun(settings, photos, progress).run(reference);
    ASSERT_GE(reference.count(), 5);

    QTemporaryDir dir;
    const auto store = std::make_shared<PageStore>(GetParam().disk == Disk::None ? QString() : dir.path());
    PageSet pages(store);
    {
        std::optional<FileSizeLimit> full;
        GenerationRun run(settings, photos, progress);
        if (GetParam().disk == Disk::FullAfterFirstPage)
            run.setPageOpened([&](int page) {
                if (page == 3)
                    full.emplace(1); // the first page is in the file: no other fits
            });
        run.run(pages);
    }
    ASSERT_EQ(pages.count(), reference.count());
    EXPECT_EQ(store->bytesInMemory() > 0, GetParam().disk != Disk::Usable);
    EXPECT_TRUE(pages.peek(0).isStowed());
    // Backwards and forwards, so every page is put aside and drawn again more than once.
    for (const int k : {4, 3, 1, 0, 2, 4, 0, 1, 3}) {
        const Page &page = pages.page(k);
        const Page &made = reference.page(k);
        ASSERT_EQ(page.image(), made.image()) << "page " << k;
        ASSERT_EQ(page.content().items.size(), made.content().items.size());
        for (qsizetype i = 0; i < made.content().items.size(); ++i) {
            if (const auto *picture = std::get_if<PagePictureItem>(&made.content().items.at(i))) {
                EXPECT_EQ(std::get<PagePictureItem>(page.content().items.at(i)).image, picture->image);
            }
        }
    }
    int resident = 0;
    for (int k = 0; k < pages.count(); ++k)
        resident += pages.peek(k).isStowed() ? 0 : 1;
    EXPECT_LE(resident, int(PageSet::ResidentPages));
}

INSTANTIATE_TEST_SUITE_P(Pages, PageStoreRoundTrip,
                         ::testing::Values(StoreCase{"OnDisk", Disk::Usable, 96},
                                           StoreCase{"OnDiskAt150", Disk::Usable, 150},
                                           StoreCase{"DiskFull", Disk::FullAfterFirstPage, 96},
                                           StoreCase{"NoFolder", Disk::None, 96}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
