#pragma once

// Written files are read back with decoders that share no code with our writers:
// ImageMagick for raster files, poppler for PDF, libtiff's tiffinfo for TIFF directories.

#include "core/runprogress.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace pagorra::testing {

using namespace Qt::StringLiterals;

inline QByteArray runTool(const QString &program, const QStringList &args, bool *ok = nullptr)
{
    QProcess process;
    process.start(program, args);
    const bool finished = process.waitForFinished(60000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

inline QString identify(const QString &source, const QString &format)
{
    return QString::fromUtf8(runTool(u"identify"_s, {u"-format"_s, format, source}));
}

// Frame `frame` of an image file as RGB888, decoded by ImageMagick.
inline QImage decodeWithMagick(const QString &path, int frame = 0)
{
    const QString source = u"%1[%2]"_s.arg(path).arg(frame);
    const QStringList size = identify(source, u"%w %h"_s).split(u' ');
    bool ok = false;
    const QByteArray raw = runTool(u"convert"_s, {source, u"-depth"_s, u"8"_s, u"rgb:-"_s}, &ok);
    const int width = size.value(0).toInt();
    const int height = size.value(1).toInt();
    if (!ok || size.size() != 2 || raw.size() != qsizetype(width) * height * 3)
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), raw.constData() + qsizetype(y) * width * 3, std::size_t(width) * 3);
    return image;
}

inline int tiffDirectoryCount(const QString &path)
{
    return int(QString::fromUtf8(runTool(u"tiffinfo"_s, {path})).count(u"TIFF Directory"_s));
}

// One field of pdfinfo's report ("Pages", "Title", "Page size").
inline QString pdfInfo(const QString &path, const QString &field)
{
    const QRegularExpression line(u"^%1:\\s*(.*?)\\s*$"_s.arg(field), QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(runTool(u"pdfinfo"_s, {path}))).captured(1);
}

inline int pdfPageCount(const QString &path)
{
    bool ok = false;
    const int pages = pdfInfo(path, u"Pages"_s).toInt(&ok);
    return ok ? pages : -1;
}

// The images embedded in a PDF, in page order, extracted losslessly by poppler.
inline QList<QImage> pdfEmbeddedImages(const QString &path)
{
    QTemporaryDir work;
    runTool(u"pdfimages"_s, {u"-png"_s, path, work.filePath(u"x"_s)});
    QList<QImage> images;
    for (const QString &name : QDir(work.path()).entryList({u"x-*.png"_s}, QDir::Files, QDir::Name))
        images << decodeWithMagick(work.filePath(name));
    return images;
}

// Largest (or mean) difference of any channel between two images; -1 when sizes differ.
inline double channelDifference(const QImage &a, const QImage &b, bool mean = false)
{
    if (a.size() != b.size() || a.isNull())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double worst = 0, sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i) {
            const int d = std::abs(int(p[i]) - int(q[i]));
            worst = std::max(worst, double(d));
            sum += d;
        }
    }
    return mean ? sum / (double(x.width()) * x.height() * 3) : worst;
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
    painter.drawImage(QRect(10, 30, width / 2, height / 2),
                      QImage(QStringLiteral(PAGORRA_TESTDATA "/photos/exifsamples_jolla.jpg")));
    painter.drawText(QRect(0, 0, width, 28), Qt::AlignCenter, u"Photo List"_s);
    return page;
}

// A page of few flat colours (fits a GIF palette), with `number` bars so order mistakes show.
inline QImage flatPage(int number, int width = 96, int height = 64)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(QColor(255, 255, 255));
    QPainter painter(&page);
    painter.fillRect(QRect(4, 4, 20, 20), QColor((number * 40) % 256, 100, 200 - number * 7));
    for (int i = 0; i < number; ++i)
        painter.fillRect(QRect(30 + i * 4, 40, 2, 16), Qt::black);
    return page;
}

inline QList<QImage> flatPages(int count)
{
    QList<QImage> pages;
    for (int k = 1; k <= count; ++k)
        pages << flatPage(k);
    return pages;
}

// Records a run as the main window sees it; Cancel is pressed at a chosen yield or once a
// chosen value was shown.
class RecordingProgress : public RunProgress {
  public:
    explicit RecordingProgress(int cancelAtYield = -1, int cancelAfterValue = -1)
        : m_cancelAtYield(cancelAtYield), m_cancelAfterValue(cancelAfterValue)
    {
    }
    void begin(int maximum) override
    {
        events << u"begin %1"_s.arg(maximum);
        m_cancel = false;
    }
    void yield() override
    {
        if (++m_yields == m_cancelAtYield)
            m_cancel = true;
    }
    bool cancelRequested() const override { return m_cancel; }
    void setValue(int value) override
    {
        events << u"value %1"_s.arg(value);
        if (m_cancelAfterValue >= 0 && value >= m_cancelAfterValue)
            m_cancel = true;
    }
    void end() override { events << u"end"_s; }

    QStringList events;

  private:
    int m_cancelAtYield;
    int m_cancelAfterValue;
    int m_yields = 0;
    bool m_cancel = false;
};

// Lowers the file size limit for the whole process while it lives, for root as well: writes past it fail with EFBIG, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

  private:
    rlimit m_saved{};
};

inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::Dirs, QDir::Name);
}

} // namespace pagorra::testing
