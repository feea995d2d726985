#pragma once

// Reading written files back with decoders that share no code with our writers:
// ImageMagick's convert for raster files, poppler's pdfimages/pdfinfo for PDF, libtiff's
// tiffinfo for TIFF directories.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStringList>

#include <cstdlib>

namespace pagorra::testing {

inline QByteArray runTool(const QString &program, const QStringList &args, bool *ok = nullptr)
{
    QProcess process;
    process.start(program, args);
    const bool finished = process.waitForFinished(60000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

// Frame `frame` of an image file as RGB888, decoded by ImageMagick.
inline QImage decodeWithMagick(const QString &path, int frame = 0)
{
    const QString source = QStringLiteral("%1[%2]").arg(path).arg(frame);
    bool ok = false;
    const QStringList size =
        QString::fromUtf8(
            runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%w %h"), source}, &ok))
            .split(u' ');
    if (!ok || size.size() != 2)
        return {};
    const int width = size[0].toInt();
    const int height = size[1].toInt();
    const QByteArray raw =
        runTool(QStringLiteral("convert"),
                {source, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")}, &ok);
    if (!ok || raw.size() != qsizetype(width) * height * 3)
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), raw.constData() + qsizetype(y) * width * 3, std::size_t(width) * 3);
    return image;
}

// Number of frames ImageMagick sees in a file.
inline int magickFrameCount(const QString &path)
{
    const QString out = QString::fromUtf8(
        runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%p\n"), path}));
    return int(out.split(u'\n', Qt::SkipEmptyParts).size());
}

inline int tiffDirectoryCount(const QString &path)
{
    const QString out = QString::fromUtf8(runTool(QStringLiteral("tiffinfo"), {path}));
    return int(out.count(QStringLiteral("TIFF Directory")));
}

inline int pdfPageCount(const QString &path)
{
    const QString out = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {path}));
    for (const QString &line : out.split(u'\n')) {
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

// The images embedded in a PDF, in page order, extracted losslessly by poppler.
inline QList<QImage> pdfEmbeddedImages(const QString &path, const QString &workDir)
{
    const QString prefix = workDir + QStringLiteral("/extracted");
    runTool(QStringLiteral("pdfimages"), {QStringLiteral("-png"), path, prefix});
    QDir dir(workDir);
    QList<QImage> images;
    for (const QString &name : dir.entryList({QStringLiteral("extracted-*.png")}, QDir::Files, QDir::Name))
        images << decodeWithMagick(dir.filePath(name));
    return images;
}

// Largest difference of any channel between two images of the same size; -1 when sizes differ.
inline int maxChannelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

inline double meanChannelDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (double(x.width()) * x.height() * 3);
}

// A page with thousands of colours: a photo from the test data over a gradient, with text.
inline QImage richPage(int width = 160, int height = 120)
{
    QImage page(width, height, QImage::Format_RGB32);
    QPainter painter(&page);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(250, 20, 30));
    gradient.setColorAt(1, QColor(10, 90, 240));
    painter.fillRect(page.rect(), gradient);
    const QImage photo(QStringLiteral(PAGORRA_TESTDATA "/photos/exifsamples_jolla.jpg"));
    if (!photo.isNull())
        painter.drawImage(QRect(10, 30, width / 2, height / 2), photo);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, width, 28), Qt::AlignCenter, QStringLiteral("Photo List"));
    return page;
}

// A page of few flat colours (fits a GIF palette) that differs for every number.
inline QImage flatPage(int number, int width = 96, int height = 64)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(QColor(255, 255, 255));
    QPainter painter(&page);
    painter.fillRect(QRect(4, 4, 20, 20), QColor((number * 40) % 256, 100, 200 - number * 7));
    // The number in bars, so order mistakes show in the pixels as well as the colour.
    for (int i = 0; i < number; ++i)
        painter.fillRect(QRect(30 + i * 4, 40, 2, 16), Qt::black);
    return page;
}

} // namespace pagorra::testing
