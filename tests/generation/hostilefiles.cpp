#include "hostilefiles.h"

#include "core/filenames.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>
#include <fcntl.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

// A PNG chunk; its stated length may be a lie, and then the file ends after `data`.
QByteArray pngChunk(const char *type, const QByteArray &data, quint32 length)
{
    const QByteArray body = QByteArray(type) + data;
    quint32 crc = 0xFFFFFFFF;
    for (char c : body) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return be32(length) + body + (length == quint32(data.size()) ? be32(~crc) : QByteArray());
}

// A progressive JPEG of one flat colour, written by Qt's own encoder.
QByteArray progressiveJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(90, 140, 200));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return buffer.data();
}

// The dimensions of a JPEG's frame header rewritten, the file padded with comments to `size`:
// a small file whose header claims a picture far too large to decode.
QByteArray claimingJpeg(QByteArray jpeg, quint16 width, quint16 height, int size)
{
    const qsizetype frame = jpeg.indexOf("\xFF\xC2");
    qToBigEndian(height, jpeg.data() + frame + 5);
    qToBigEndian(width, jpeg.data() + frame + 7);
    QByteArray comments;
    while (jpeg.size() + comments.size() < size) {
        const int length = std::clamp(int(size - jpeg.size() - comments.size()) - 2, 2, 65535);
        comments += "\xFF\xFE" + QByteArray(2, '\0') + QByteArray(length - 2, 'c');
        qToBigEndian(quint16(length), comments.data() + comments.size() - length);
    }
    return jpeg.insert(2, comments);
}

// The last scan of a progressive JPEG repeated `times` times: each repeat costs the decoder
// a pass over every block, for a few bytes of file.
QByteArray repeatedScans(const QByteArray &jpeg, int times)
{
    const qsizetype last = jpeg.lastIndexOf("\xFF\xDA");
    const QByteArray scan = jpeg.mid(last, jpeg.size() - 2 - last);
    return jpeg.left(last) + scan.repeated(times) + "\xFF\xD9";
}

// A little-endian TIFF of `pages` pages: a 64 x 64 grey first page, 1 x 1 pages after it.
QByteArray pageChain(int pages)
{
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    auto u16 = [&](quint16 v) { tiff.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](quint32 v) { u16(v & 0xFFFF), u16(v >> 16); };
    for (int page = 0; page < pages; ++page) {
        const quint32 side = page == 0 ? 64 : 1, pixels = side * side;
        const quint32 directory = quint32(tiff.size()), data = directory + 2 + 8 * 12 + 4;
        u16(8);
        const quint32 entries[8][3] = {{256, 3, side}, {257, 3, side}, {258, 3, 8},    {259, 3, 1},
                                       {262, 3, 1},    {273, 4, data}, {278, 3, side}, {279, 4, pixels}};
        for (const auto &e : entries)
            u16(quint16(e[0])), u16(quint16(e[1])), u32(1), u32(e[2]);
        u32(page + 1 < pages ? data + pixels : 0);
        tiff.append(QByteArray(int(pixels), char(128)));
    }
    return tiff;
}

// An ISO media box: its size, its type, its body; a full box's version and flags lead its body.
QByteArray box(const char *type, const QByteArray &body)
{
    return be32(quint32(8 + body.size())) + QByteArray(type) + body;
}

// A HEIC file of a header alone, whose one picture claims `side` x `side` pixels.
QByteArray claimingHeic(quint32 side)
{
    const QByteArray fullBox(4, '\0');
    const QByteArray item = "\x02\0\0\0\0\x01\0\0hvc1"_ba + QByteArray(1, '\0'); // version 2, item 1
    const QByteArray meta = box("hdlr", fullBox + QByteArray(4, '\0') + "pict" + QByteArray(13, '\0')) +
                            box("pitm", fullBox + "\0\x01"_ba) +
                            box("iinf", fullBox + "\0\x01"_ba + box("infe", item)) +
                            box("iprp", box("ipco", box("ispe", fullBox + be32(side) + be32(side))) +
                                            box("ipma", fullBox + be32(1) + "\0\x01\x01\x81"_ba));
    return box("ftyp", "heic\0\0\0\0mif1heic"_ba) + box("meta", fullBox + meta);
}

} // namespace

QList<HostileFile> writeHostileFiles(const QString &folder)
{
    const QByteArray header = "\x89PNG\r\n\x1A\n" + pngChunk("IHDR", be32(8) + be32(8) + "\x08\x02\0\0\0"_ba, 13);
    const QByteArray progressive = progressiveJpeg(2048, 2048);
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='16000' height='16000'>"
                     "<rect width='16000' height='16000' fill='red'/>";
    svg += "<!--" + QByteArray(130 * 1024, ' ') + "--></svg>\n";
    const QByteArray pdf = "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
                           "2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
                           "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 600 400]/Contents 4 0 R>>endobj\n"
                           "4 0 obj<</Length 26>>stream\n0 0 1 rg 0 0 600 400 re f\nendstream endobj\n"
                           "trailer<</Root 1 0 R>>\n%%EOF\n";
    const struct {
        const char *kind, *name;
        QByteArray bytes;
        bool picture = false;
    } files[] = {
        {"tEXt length bomb", "text.png", header + pngChunk("tEXt", "Comment\0xxxxxxxxxxxx"_ba, 0x7FFFFFFF)},
        {"zTXt length bomb", "ztext.png", header + pngChunk("zTXt", "Comment\0\0xxxxxxxxxxx"_ba, 0x7FFFFFFF)},
        {"iTXt length bomb", "itext.png", header + pngChunk("iTXt", "Comment\0\0\0\0\0xxxxxxx"_ba, 0x7FFFFFFF)},
        {"progressive dimension bomb", "claims.jpg", claimingJpeg(progressiveJpeg(64, 64), 16384, 16384, 196 * 1024)},
        {"progressive scan bomb", "scans.jpg", repeatedScans(progressive, 30000)},
        {"page-chain bomb (its first page is read)", "pages.tif", pageChain(200000), true},
        {"PDF named as a JPEG", "document.jpg", pdf},
        {"SVG named as a PNG", "drawing.png", svg},
        {"HEIC dimension bomb", "claims.heic", claimingHeic(60000)},
        {"WebP chunk length bomb", "chunk.webp", "RIFF\xF4\xFF\xFF\x7FWEBPVP8L\xF0\xFF\xFF\x7F\x2F"_ba},
        {"JPEG XL dimension bomb", "claims.jxl", "\xFF\x0A\xFE\xFF\xFF\xFF\x03"_ba + QByteArray(64, '\0')},
        {"escapes, a newline and a non-UTF-8 byte in the name", "\x1B]0;owned\x07\x1B[2J\nfake line \xFF.jpg",
         progressiveJpeg(64, 48), true},
    };
    QList<HostileFile> written;
    for (const auto &f : files) {
        const QString path = pagorra::pathFromNative(QFile::encodeName(folder) + '/' + f.name);
        QFile out;
        const int fd = ::open(pagorra::nativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || !out.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle) ||
            out.write(f.bytes) != f.bytes.size())
            return {};
        written.append({QString::fromLatin1(f.kind), path, f.picture});
    }
    return written;
}
