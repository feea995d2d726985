#pragma once

// Written files are read back with decoders that share no code with our writers:
// ImageMagick for raster files, poppler for PDF, libtiff's tiffinfo for TIFF directories.

#include "core/filenames.h"
#include "core/runprogress.h"
#include "generation/page.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <dirent.h>
#include <cstring>
#include <functional>
#include <sys/resource.h>

namespace pagorra::testing {

using namespace Qt::StringLiterals;

inline QByteArray runTool(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? process.readAllStandardOutput()
                                                                                   : QByteArray();
}

inline QString identify(const QString &source, const QString &format)
{
    return QString::fromUtf8(runTool(u"identify"_s, {u"-format"_s, format, source}));
}

// Frame `frame` of an image file, decoded by ImageMagick and handed over as plain 8-bit RGB.
inline QImage decodeWithMagick(const QString &path, int frame = 0)
{
    return QImage::fromData(runTool(u"convert"_s, {u"%1[%2]"_s.arg(path).arg(frame), u"-strip"_s, u"PNG24:-"_s}));
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
    return pdfInfo(path, u"Pages"_s).toInt();
}

// The pages of a multipage TIFF, or of a PDF (its embedded images, extracted losslessly by
// poppler), in order; none when pdfinfo counts other pages than there are images.
inline QList<QImage> decodeDocument(const QString &path)
{
    QList<QImage> pages;
    if (!path.endsWith(u".pdf"_s)) {
        for (int i = 0; i < tiffDirectoryCount(path); ++i)
            pages << decodeWithMagick(path, i);
        return pages;
    }
    QTemporaryDir work;
    runTool(u"pdfimages"_s, {u"-png"_s, path, work.filePath(u"x"_s)});
    for (const QString &name : QDir(work.path()).entryList({u"x-*.png"_s}, QDir::Files, QDir::Name))
        pages << decodeWithMagick(work.filePath(name));
    return pdfPageCount(path) == pages.size() ? pages : QList<QImage>();
}

// Mean difference of the channels of two images (0 when equal); -1 when sizes differ.
inline double channelDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(x.constScanLine(row)[i]) - int(y.constScanLine(row)[i]));
    }
    return sum / (double(x.width()) * x.height() * 3);
}

// A page with thousands of colours (a photo from the test data) and long runs of white.
inline QImage richPage(int width = 160, int height = 120)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(QRect(10, 30, width / 2, height / 2),
                              QImage(QStringLiteral(PAGORRA_TESTDATA "/photos/exifsamples_jolla.jpg")));
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

// Pages whose images were set rather than drawn: what they show is their raster.
inline QList<Page> asPages(const QList<QImage> &images)
{
    QList<Page> pages(images.size());
    for (qsizetype k = 0; k < images.size(); ++k)
        pages[k].setImage(images[k]);
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
        m_cancel = m_cancel || ++m_yields == m_cancelAtYield;
        if (onYield)
            onYield();
    }
    bool cancelRequested() const override { return m_cancel; }
    void setValue(int value) override
    {
        events << u"value %1"_s.arg(value);
        m_cancel = m_cancel || (m_cancelAfterValue >= 0 && value >= m_cancelAfterValue);
    }
    void end() override { events << u"end"_s; }

    QStringList events;
    std::function<void()> onYield; // looks at the run half-way

  private:
    int m_cancelAtYield;
    int m_cancelAfterValue;
    int m_yields = 0;
    bool m_cancel = false;
};

// Lowers the file size limit of the whole process while it lives, for root as well: writes
// past it fail with EFBIG, as they fail with ENOSPC on a full disk.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lowered{bytes, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
    rlimit saved{};
};

// Every entry, hidden ones and names that are not UTF-8 included (QDir would drop those).
inline QStringList filesIn(const QString &folder)
{
    QStringList names;
    if (DIR *dir = ::opendir(nativePath(folder).constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names << pathFromNative(name);
        }
        ::closedir(dir);
    }
    names.sort();
    return names;
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

} // namespace pagorra::testing
