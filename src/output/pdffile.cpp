#include "output/pdffile.h"

#include "output/pagewriter.h"

#include <cstdio>
#include <zlib.h>

namespace pagorra {

namespace {

// Deflate output is handed to the file in pieces of this size.
constexpr std::size_t kDeflateChunk = 64 * 1024;

} // namespace

QByteArray pdfNumber(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArray("0") : text;
}

QByteArray pdfReference(int object)
{
    return QByteArray::number(object) + " 0 R";
}

QByteArray pdfTextString(const QString &text)
{
    QByteArray utf16("\xFE\xFF", 2);
    for (const QChar c : text) {
        utf16 += char(c.unicode() >> 8);
        utf16 += char(c.unicode() & 0xFF);
    }
    return '<' + utf16.toHex().toUpper() + '>';
}

QByteArray pdfLiteral(const QByteArray &bytes)
{
    QByteArray text("(");
    for (const char c : bytes) {
        if (c == '(' || c == ')' || c == '\\')
            text += '\\';
        text += c;
    }
    return text + ')';
}

int PdfFile::reserveObject()
{
    m_offsets.push_back(0);
    return int(m_offsets.size()) - 1;
}

void PdfFile::beginObject(int number)
{
    m_offsets[std::size_t(number)] = m_out.position();
    put(QByteArray::number(number) + " 0 obj\n");
}

void PdfFile::writeObject(int number, const QByteArray &body)
{
    beginObject(number);
    put(body + "\nendobj\n");
}

void PdfFile::writeStream(int number, const QByteArray &dictionary, const QByteArray &data)
{
    beginObject(number);
    put("<< " + dictionary + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n");
    put(data);
    put("\nendstream\nendobj\n");
}

void PdfFile::writeDeflated(int number, const QByteArray &dictionary, const QByteArray &data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray packed(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(data.constData()),
                  uLong(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        writeStream(number, dictionary, data);
        return;
    }
    packed.truncate(qsizetype(size));
    writeStream(number, dictionary + " /Filter /FlateDecode", packed);
}

// The level is zlib's default, a fair trade of time and size.
bool PdfFile::writeImageRows(int number, const QByteArray &dictionary, const QImage &image)
{
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
        return false;
    // The length is known once the data is written: an object of its own, written after.
    const int length = reserveObject();
    beginObject(number);
    put("<< " + dictionary + " /Filter /FlateDecode /Length " + pdfReference(length) + " >>\nstream\n");
    const std::uint64_t start = m_out.position();
    std::vector<unsigned char> row(std::size_t(image.width()) * 3);
    std::vector<unsigned char> chunk(kDeflateChunk);
    for (int y = 0; y <= image.height(); ++y) {
        const bool last = y == image.height();
        if (!last)
            rgbRow(image, y, 0, image.width(), row.data());
        stream.next_in = row.data();
        stream.avail_in = last ? 0 : uInt(row.size());
        int result = Z_OK;
        do {
            stream.next_out = chunk.data();
            stream.avail_out = uInt(chunk.size());
            result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            m_out.write(chunk.data(), chunk.size() - stream.avail_out);
        } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
        if (m_out.error() != 0)
            break;
    }
    deflateEnd(&stream);
    const std::uint64_t streamBytes = m_out.position() - start;
    put("\nendstream\nendobj\n");
    writeObject(length, QByteArray::number(qulonglong(streamBytes)));
    return true;
}

void PdfFile::writeTrailer(int catalog, int info)
{
    // The cross-reference table: one line of exactly 20 bytes per object.
    const std::uint64_t tableAt = m_out.position();
    put("xref\n0 " + QByteArray::number(qsizetype(m_offsets.size())) + "\n0000000000 65535 f \n");
    for (std::size_t number = 1; number < m_offsets.size(); ++number) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(m_offsets[number]));
        m_out.write(entry, 20);
    }
    put("trailer\n<< /Size " + QByteArray::number(qsizetype(m_offsets.size())) + " /Root " + pdfReference(catalog) +
        " /Info " + pdfReference(info) + " >>\nstartxref\n" + QByteArray::number(qulonglong(tableAt)) + "\n%%EOF\n");
}

} // namespace pagorra
