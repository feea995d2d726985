#include "generation/exifreader.h"

#include <QRegularExpression>
#include <QtEndian>
#include <cstring>

namespace pagorra {

namespace {

// Directories hold a few dozen entries; past this the structure is taken as broken.
constexpr int kMaxEntries = 1024;
// Texts of the fields read (make, model, lens, date) are short.
constexpr int kMaxText = 256;

class Tiff {
  public:
    explicit Tiff(const TiffBytes &read) : m_read(read)
    {
        uchar head[8];
        m_sound = m_read(0, 8, head) && (head[0] == 'I' || head[0] == 'M') && head[0] == head[1];
        m_little = head[0] == 'I';
        m_first = m_sound ? u32(head + 4) : 0;
    }
    bool sound() const { return m_sound; }
    std::int64_t firstDirectory() const { return m_first; }

    struct Entry {
        int tag = 0, type = 0;
        std::uint32_t count = 0;
        std::int64_t valueAt = 0; // where the value lies
    };
    // The entries of the directory at `offset`.
    std::vector<Entry> directory(std::int64_t offset) const
    {
        std::vector<Entry> entries;
        uchar raw[12];
        if (offset <= 0 || !m_read(offset, 2, raw))
            return entries;
        const int count = u16(raw);
        if (count > kMaxEntries)
            return entries;
        const int sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
        for (int i = 0; i < count; ++i) {
            const std::int64_t at = offset + 2 + std::int64_t(i) * 12;
            if (!m_read(at, 12, raw))
                break;
            Entry e{int(u16(raw)), int(u16(raw + 2)), u32(raw + 4), at + 8};
            const int size = e.type >= 1 && e.type <= 12 ? sizes[e.type] : 0;
            if (size == 0)
                continue;
            if (std::int64_t(size) * e.count > 4)
                e.valueAt = u32(raw + 8);
            entries.push_back(e);
        }
        return entries;
    }
    std::optional<std::uint32_t> integer(const Entry &e) const
    {
        uchar v[4];
        if (e.count < 1 || !m_read(e.valueAt, e.type == 3 ? 2 : 4, v))
            return std::nullopt;
        if (e.type == 3)
            return u16(v);
        if (e.type == 4)
            return u32(v);
        return std::nullopt;
    }
    std::optional<double> rational(const Entry &e) const
    {
        uchar v[8];
        if (e.count < 1 || (e.type != 5 && e.type != 10) || !m_read(e.valueAt, 8, v))
            return std::nullopt;
        const double n = e.type == 10 ? double(qint32(u32(v))) : double(u32(v));
        const double d = e.type == 10 ? double(qint32(u32(v + 4))) : double(u32(v + 4));
        if (d == 0)
            return std::nullopt;
        return n / d;
    }
    QString text(const Entry &e) const
    {
        if (e.type != 2 || e.count == 0)
            return {};
        QByteArray bytes(int(std::min<std::uint32_t>(e.count, kMaxText)), '\0');
        if (!m_read(e.valueAt, int(bytes.size()), reinterpret_cast<uchar *>(bytes.data())))
            return {};
        const qsizetype end = bytes.indexOf('\0');
        if (end >= 0)
            bytes.truncate(end);
        // Cameras write ASCII, some Latin-1; a UTF-8 text reads as it is.
        const QString utf8 = QString::fromUtf8(bytes);
        return cleanedText(utf8.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(bytes) : utf8);
    }

  private:
    std::uint32_t u16(const uchar *p) const
    {
        return m_little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    }
    std::uint32_t u32(const uchar *p) const
    {
        return m_little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    }

    const TiffBytes &m_read;
    bool m_sound = false;
    bool m_little = true;
    std::int64_t m_first = 0;
};

std::optional<QDateTime> exifDate(const QString &text)
{
    const QDateTime date = QDateTime::fromString(text.left(19), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    return date.isValid() ? std::optional(date) : std::nullopt;
}

} // namespace

PhotoInfo photoInfoFromExif(const TiffBytes &read)
{
    PhotoInfo info;
    const Tiff tiff(read);
    if (!tiff.sound())
        return info;
    QString make, model;
    std::int64_t exifDirectory = 0;
    for (const Tiff::Entry &e : tiff.directory(tiff.firstDirectory())) {
        switch (e.tag) {
        case 0x010F:
            make = tiff.text(e);
            break;
        case 0x0110:
            model = tiff.text(e);
            break;
        case 0x0112:
            if (const auto o = tiff.integer(e); o && *o >= 1 && *o <= 8)
                info.orientation = int(*o);
            break;
        case 0x4746:
            if (const auto r = tiff.integer(e); r && *r <= 5)
                info.rating = int(*r);
            break;
        case 0x8769:
            exifDirectory = tiff.integer(e).value_or(0);
            break;
        default:
            break;
        }
    }
    info.camera = cameraName(make, model);
    for (const Tiff::Entry &e : tiff.directory(exifDirectory)) {
        switch (e.tag) {
        case 0x829A:
            info.exposureSeconds = tiff.rational(e);
            break;
        case 0x829D:
            info.aperture = tiff.rational(e);
            break;
        case 0x8827:
            if (const auto iso = tiff.integer(e); iso && *iso > 0)
                info.iso = int(*iso);
            break;
        case 0x9003:
            info.taken = exifDate(tiff.text(e));
            break;
        case 0x920A:
            info.focalLength = tiff.rational(e);
            break;
        case 0xA434:
            info.lens = tiff.text(e);
            break;
        default:
            break;
        }
    }
    return info;
}

PhotoInfo photoInfoFromExif(const QByteArray &tiff)
{
    return photoInfoFromExif([&tiff](std::int64_t offset, int length, uchar *out) {
        if (offset < 0 || length < 0 || offset > tiff.size() - length)
            return false;
        std::memcpy(out, tiff.constData() + offset, size_t(length));
        return true;
    });
}

std::optional<int> xmpRating(const QByteArray &xmp)
{
    static const QRegularExpression rating(QStringLiteral(R"(xmp:Rating(?:\s*=\s*["']|>)\s*(-?\d+))"));
    const QRegularExpressionMatch match = rating.match(QString::fromUtf8(xmp));
    if (!match.hasMatch())
        return std::nullopt;
    return std::clamp(match.captured(1).toInt(), 0, 5);
}

std::optional<QDateTime> xmpDateTaken(const QByteArray &xmp)
{
    // The value as an attribute or as an element; its zone, if any, is left aside as the EXIF
    // field has none.
    static const QRegularExpression taken(
        QStringLiteral(R"(exif:DateTimeOriginal(?:\s*=\s*["']|>)\s*(\d{4}-\d\d-\d\dT\d\d:\d\d(?::\d\d)?))"));
    const QRegularExpressionMatch match = taken.match(QString::fromUtf8(xmp));
    if (!match.hasMatch())
        return std::nullopt;
    QString text = match.captured(1);
    if (text.size() == 16)
        text += QStringLiteral(":00");
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

QString cameraName(const QString &make, const QString &model)
{
    const QString brand = make.section(u' ', 0, 0);
    if (make.isEmpty() || model.startsWith(brand, Qt::CaseInsensitive))
        return model;
    if (model.isEmpty())
        return make;
    return make + u' ' + model;
}

QString cleanedText(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control)
            clean.append(c);
    }
    return clean.trimmed();
}

} // namespace pagorra
