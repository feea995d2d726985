// Writes COUNT camera RAW files (DNG) of WIDTHxHEIGHT made from the shared photos into FOLDER,
// with an embedded JPEG preview PREVIEW pixels wide, or none when PREVIEW is 0.
// Usage: make_dngs FOLDER COUNT WIDTHxHEIGHT PREVIEW
#include "dngwriter.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fputs("usage: make_dngs FOLDER COUNT WIDTHxHEIGHT PREVIEW\n", stderr);
        return 2;
    }
    const QDir photos(QStringLiteral(PAGORRA_TESTDATA "/photos"));
    const QStringList sources = photos.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    const QSize size(args.at(3).section(u'x', 0, 0).toInt(), args.at(3).section(u'x', 1, 1).toInt());
    const int count = args.at(2).toInt(), previewWidth = args.at(4).toInt();
    for (int i = 0; i < count; ++i) {
        const QImage photo = QImage(photos.filePath(sources.at(i % sources.size())))
                                 .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage preview =
            previewWidth > 0 ? photo.scaledToWidth(previewWidth, Qt::SmoothTransformation) : QImage();
        const QString path = QDir(args.at(1)).filePath(QStringLiteral("raw%1.dng").arg(i, 3, 10, QLatin1Char('0')));
        if (!writeDng(path, photo, preview, 1 + 5 * (i % 2))) // every other one turned (6)
            return 1;
    }
    return 0;
}
