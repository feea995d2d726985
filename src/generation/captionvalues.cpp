#include "generation/captionvalues.h"

#include "core/filenames.h"

#include <QLocale>

#include <cmath>
#include <optional>
#include <sys/stat.h>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

// One decimal, without a trailing ".0": 2.8, 50, 0.5.
QString oneDecimal(double value)
{
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(u".0"_s))
        text.chop(2);
    return text;
}

// Short exposures as the fraction photographers read off the dial (1/250), longer ones in
// seconds: the same text as exiftool prints.
QString exposureText(double seconds)
{
    if (seconds > 0 && seconds < 0.25001)
        return u"1/%1"_s.arg(std::int64_t(0.5 + 1 / seconds));
    return oneDecimal(seconds);
}

QString apertureText(double fNumber)
{
    return QString::number(fNumber, 'f', fNumber < 1 ? 2 : 1);
}

// Rating 0 is "not rated" in both EXIF and XMP: no stars rather than none.
QString ratingText(int rating)
{
    return rating > 0 ? QString(std::min(rating, 5), QChar(0x2605)) : QString();
}

// The file's entry in its folder: its size and modification time, without opening it.
struct FileEntry {
    std::int64_t bytes = 0;
    QDateTime modified;
};

std::optional<FileEntry> fileEntry(const QString &path)
{
    struct stat st;
    if (::stat(nativePath(path).constData(), &st) != 0)
        return std::nullopt;
    return FileEntry{std::int64_t(st.st_size), QDateTime::fromMSecsSinceEpoch(std::int64_t(st.st_mtim.tv_sec) * 1000 +
                                                                              st.st_mtim.tv_nsec / 1000000)};
}

QString folderName(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash <= 0)
        return slash == 0 ? u"/"_s : QString();
    return shownFileName(path.left(slash));
}

QString stem(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name; // ".profile" is all stem
}

} // namespace

QString shownFileName(const QString &path)
{
    return displayName(path.mid(path.lastIndexOf(u'/') + 1));
}

QString formattedDate(const QDateTime &time, const QString &format, bool dayOnly)
{
    if (!format.isEmpty())
        return time.toString(format);
    return dayOnly ? time.date().toString(Qt::ISODate) : time.toString(Qt::ISODate);
}

QString captionValue(const QString &token, const PhotoFacts &photo, const QString &dateFormat)
{
    static const PhotoInfo unknown;
    const PhotoInfo &info = photo.info ? *photo.info : unknown;
    const QSize size = info.size.isValid() ? info.size : photo.size;
    if (token == u"name")
        return shownFileName(photo.path);
    if (token == u"stem")
        return stem(shownFileName(photo.path));
    if (token == u"folder")
        return folderName(photo.path);
    if (token == u"index")
        return QString::number(photo.index);
    if (token == u"width")
        return size.width() > 0 ? QString::number(size.width()) : QString();
    if (token == u"height")
        return size.height() > 0 ? QString::number(size.height()) : QString();
    if (token == u"date") {
        if (info.taken)
            return formattedDate(*info.taken, dateFormat);
        const std::optional<FileEntry> entry = fileEntry(photo.path);
        return entry ? formattedDate(entry->modified, dateFormat) : QString();
    }
    if (token == u"camera")
        return info.camera;
    if (token == u"lens")
        return info.lens;
    if (token == u"exposure")
        return info.exposureSeconds ? exposureText(*info.exposureSeconds) : QString();
    if (token == u"aperture")
        return info.aperture && *info.aperture > 0 ? apertureText(*info.aperture) : QString();
    if (token == u"iso")
        return info.iso ? QString::number(*info.iso) : QString();
    if (token == u"focal")
        return info.focalLength && *info.focalLength > 0 ? oneDecimal(*info.focalLength) + u" mm"_s : QString();
    if (token == u"rating")
        return info.rating ? ratingText(*info.rating) : QString();
    if (token == u"size") {
        const std::optional<FileEntry> entry = fileEntry(photo.path);
        return entry ? QLocale::c().formattedDataSize(entry->bytes, 1, QLocale::DataSizeSIFormat) : QString();
    }
    return {};
}

} // namespace pagorra
