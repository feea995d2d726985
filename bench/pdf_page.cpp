// One A4 page at 300 dpi of 30 thumbnails and a title, written as a PDF document (pictures as
// JPEG at quality 90, then lossless) and as the raster PDF of the same page, with the size of
// each file and the time per page. Usage: pdf_page PHOTO-FOLDER [pages]
#include "generation/imageloader.h"
#include "output/pagewriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

using namespace pagorra;

namespace {

constexpr double kPixelsPerInch = 300;
constexpr double kScale = kPixelsPerInch / 96; // output pixels per layout pixel
constexpr int kColumns = 5, kRows = 6;         // 30 cells of the default 140 x 88 on A4

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: pdf_page PHOTO-FOLDER [pages]\n");
        return 2;
    }
    const int pageCount = argc > 2 ? std::atoi(argv[2]) : 3;
    QStringList photos;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (const QString &name : folder.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        photos << folder.filePath(name);

    PageContent content;
    content.layoutSize = QSizeF(794, 1123);
    content.pointSize = QSizeF(595.276, 841.89);
    content.pixelsPerInch = kPixelsPerInch;
    content.background = Qt::white;
    QImage raster((content.layoutSize * kScale).toSize(), QImage::Format_RGB32);
    raster.fill(Qt::white);
    QPainter painter(&raster);
    PageTextItem title{QPointF(10, 10), QFont(QStringLiteral("DejaVu Sans"), 20), Qt::black, QStringLiteral("Trip")};
    content.items.append(title);
    painter.scale(kScale, kScale);
    painter.setFont(title.font);
    painter.drawText(title.topLeft + QPointF(0, 30), title.text);
    painter.resetTransform();
    for (int cell = 0; cell < kColumns * kRows; ++cell) {
        const QRectF rect(16 + 156 * (cell % kColumns), 60 + 98 * (cell / kColumns), 140, 88);
        const QString path = photos.at(cell % photos.size());
        const auto picture =
            loadPicture({path, LoadAs::Fixed, int(rect.width() * kScale), int(rect.height() * kScale), 0xFFFFFF, true});
        if (!picture)
            continue;
        content.items.append(PagePictureItem{rect, picture->bitmap, path});
        painter.drawImage((rect.topLeft() * kScale).toPoint(), picture->bitmap);
    }
    painter.end();

    QTemporaryDir dir;
    std::printf("%d pages of A4 at 300 dpi, %d thumbnails each\n", pageCount, kColumns * kRows);
    std::printf("%-26s %12s %14s\n", "document", "MB a page", "seconds a page");
    for (const int kind : {0, 1, 2}) {
        WriteOptions options;
        options.pixelsPerInch = kPixelsPerInch;
        options.pdfJpegPictures = kind == 0;
        options.documentTitle = title.text;
        const QString path = dir.filePath(QStringLiteral("page%1.pdf").arg(kind));
        QElapsedTimer timer;
        timer.start();
        QString error;
        const auto document = createPageWriter(ImageFormat::Pdf, options)->begin(path, error);
        for (int page = 0; document && page < pageCount; ++page) {
            if (!(kind == 2 ? document->addPage(raster, error) : document->addPage(content, raster, error)))
                break;
        }
        if (!document || !document->commit(error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const char *names[] = {"text, JPEG q90 pictures", "text, lossless pictures", "raster page (as before)"};
        std::printf("%-26s %12.2f %14.3f\n", names[kind], QFileInfo(path).size() / 1048576.0 / pageCount,
                    timer.elapsed() / 1000.0 / pageCount);
    }
    return 0;
}
