// How long a page flip in the viewer takes when the pages wait packed in the cache folder: a
// run makes A4 pages at the given resolution from the photos of a folder into a page set with
// a page store, as the window does, and the viewer then shows the pages one after another,
// back and forth, each flip timed up to its repaint.
// Usage: page_flip PHOTO-FOLDER [resolution (300)] [photos (250)]
#include "core/runprogress.h"
#include "core/settings.h"
#include "generation/generationrun.h"
#include "generation/pageset.h"
#include "generation/pagestore.h"
#include "viewer/pageviewer.h"
#include "viewer/zoomtools.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace pagorra;

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: page_flip PHOTO-FOLDER [resolution] [photos]\n");
        return 2;
    }
    const int resolution = argc > 2 ? std::atoi(argv[2]) : 300;
    const int wanted = argc > 3 ? std::atoi(argv[3]) : 250;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QStringList photos;
    for (const QString &name : folder.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        photos << folder.filePath(name);
    photos = photos.mid(0, wanted);

    RegistrySettings settings = defaultSettings();
    settings.PageWidth = 794; // A4
    settings.PageHeight = 1123;
    settings.Output.Paper = QStringLiteral("A4");
    settings.Output.Resolution = std::int16_t(resolution);
    QTemporaryDir cache;
    PageSet pages(std::make_shared<PageStore>(cache.path()));
    NullProgress progress;
    QElapsedTimer timer;
    timer.start();
    GenerationRun(settings, photos, progress).run(pages);
    const double runSeconds = timer.elapsed() / 1000.0;

    ZoomTools tools;
    PageViewer viewer(&tools);
    viewer.resize(900, 700);
    viewer.setPageSet(&pages);
    viewer.show();
    QApplication::processEvents();
    std::vector<double> flips;
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < pages.count(); ++k) {
            const int index = round % 2 == 0 ? k : pages.count() - 1 - k;
            timer.restart();
            viewer.showPage(index);
            viewer.repaint();
            QApplication::processEvents();
            flips.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    std::sort(flips.begin(), flips.end());
    std::printf("%lld photos on %d A4 pages at %d dpi (%dx%d pixels), made in %.1f s\n", qlonglong(photos.size()),
                pages.count(), resolution, pages.peek(0).imageWidth(), pages.peek(0).imageHeight(), runSeconds);
    std::printf("%zu flips: median %.1f ms, 90th percentile %.1f ms, slowest %.1f ms (target below 150 ms)\n",
                flips.size(), flips[flips.size() / 2], flips[flips.size() * 9 / 10], flips.back());
    return 0;
}
