#include "output/pdfpagewriter.h"

#include "core/filenames.h"
#include "output/fileoutput.h"

#include <cstdio>
#include <vector>
#include <zlib.h>

namespace pagorra {

namespace {

// Objects the document has whatever its length; each page adds four after them: the page,
// its contents, its image and the image's length, known only once the image is written.
constexpr int kCatalogObject = 1;
constexpr int kPagesObject = 2;
constexpr int kInfoObject = 3;
// Deflate output is handed to the file in pieces of this size.
constexpr std::size_t kDeflateChunk = 64 * 1024;
constexpr double kPointsPerInch = 72.0;

// A PDF number: at most four decimals, no trailing zeros.
QByteArray pdfNumber(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text;
}

class PdfDocument : public PageDocument {
  public:
    PdfDocument(const QString &path, const WriteOptions &options)
        : PageDocument(path, true), m_pixelsPerInch(options.pixelsPerInch > 0 ? options.pixelsPerInch : 96.0)
    {
    }

  protected:
    bool openFile(QString &error) override;
    bool writePage(const QImage &page, QString &error) override;
    bool finishFile(QString &error) override;
    void closeFile() override {}

  private:
    // Starts object `number` at the current offset and writes its opening line.
    void beginObject(int number);
    void writeObject(int number, const QByteArray &body);
    bool deflateImage(const QImage &page);
    bool failed(QString &error) const;

    double m_pixelsPerInch;
    std::optional<FileOutput> m_out;
    std::vector<std::uint64_t> m_offsets{0, 0, 0, 0}; // by object number; object 0 is no object
    std::vector<int> m_pageObjects;
};

void PdfDocument::beginObject(int number)
{
    if (m_offsets.size() <= std::size_t(number))
        m_offsets.resize(std::size_t(number) + 1);
    m_offsets[std::size_t(number)] = m_out->position();
    const QByteArray line = QByteArray::number(number) + " 0 obj\n";
    m_out->write(line.constData(), std::size_t(line.size()));
}

void PdfDocument::writeObject(int number, const QByteArray &body)
{
    beginObject(number);
    const QByteArray text = body + "\nendobj\n";
    m_out->write(text.constData(), std::size_t(text.size()));
}

bool PdfDocument::openFile(QString &)
{
    m_out.emplace(descriptor());
    // The second line's bytes above 127 tell transfer programs that the file is binary.
    m_out->write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", 15);
    return true;
}

bool PdfDocument::writePage(const QImage &page, QString &error)
{
    const int pageObject = int(m_offsets.size());
    const int contents = pageObject + 1;
    const int image = pageObject + 2;
    const int length = pageObject + 3;
    const QByteArray ref = " 0 R";
    const QByteArray width = pdfNumber(page.width() * kPointsPerInch / m_pixelsPerInch);
    const QByteArray height = pdfNumber(page.height() * kPointsPerInch / m_pixelsPerInch);

    writeObject(pageObject, "<< /Type /Page /Parent " + QByteArray::number(kPagesObject) + ref + " /MediaBox [0 0 " +
                                width + ' ' + height + "] /Resources << /XObject << /Im0 " + QByteArray::number(image) +
                                ref + " >> >> /Contents " + QByteArray::number(contents) + ref + " >>");
    const QByteArray drawing = "q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q";
    writeObject(contents,
                "<< /Length " + QByteArray::number(drawing.size()) + " >>\nstream\n" + drawing + "\nendstream");

    beginObject(image);
    const QByteArray head = "<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(page.width()) +
                            " /Height " + QByteArray::number(page.height()) +
                            " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /Length " +
                            QByteArray::number(length) + ref + " >>\nstream\n";
    m_out->write(head.constData(), std::size_t(head.size()));
    const std::uint64_t start = m_out->position();
    if (!deflateImage(page)) {
        error = QStringLiteral("Could not write '%1': not enough memory to compress the page").arg(displayName(path()));
        return false;
    }
    const std::uint64_t streamBytes = m_out->position() - start;
    m_out->write("\nendstream\nendobj\n", 18);
    writeObject(length, QByteArray::number(qulonglong(streamBytes)));

    m_pageObjects.push_back(pageObject);
    return m_out->error() == 0 ? true : failed(error);
}

// The page's rows as R, G, B bytes through deflate, one row converted at a time; false when
// deflate cannot start. The level is zlib's default, a fair trade of time and size.
bool PdfDocument::deflateImage(const QImage &page)
{
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
        return false;
    std::vector<unsigned char> row(std::size_t(page.width()) * 3);
    std::vector<unsigned char> chunk(kDeflateChunk);
    for (int y = 0; y <= page.height(); ++y) {
        const bool last = y == page.height();
        if (!last)
            rgbRow(page, y, 0, page.width(), row.data());
        stream.next_in = row.data();
        stream.avail_in = last ? 0 : uInt(row.size());
        int result = Z_OK;
        do {
            stream.next_out = chunk.data();
            stream.avail_out = uInt(chunk.size());
            result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            m_out->write(chunk.data(), chunk.size() - stream.avail_out);
        } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
        if (m_out->error() != 0)
            break;
    }
    deflateEnd(&stream);
    return true;
}

bool PdfDocument::finishFile(QString &error)
{
    QByteArray kids;
    for (const int page : m_pageObjects)
        kids += QByteArray::number(page) + " 0 R ";
    writeObject(kPagesObject, "<< /Type /Pages /Kids [ " + kids + "] /Count " +
                                  QByteArray::number(qsizetype(m_pageObjects.size())) + " >>");
    writeObject(kCatalogObject, "<< /Type /Catalog /Pages " + QByteArray::number(kPagesObject) + " 0 R >>");
    writeObject(kInfoObject, "<< /Creator (Arvok Pagorra) /Producer (Arvok Pagorra) >>");

    // The cross-reference table: one line of exactly 20 bytes per object.
    const std::uint64_t tableAt = m_out->position();
    const QByteArray head = "xref\n0 " + QByteArray::number(qsizetype(m_offsets.size())) + "\n0000000000 65535 f \n";
    m_out->write(head.constData(), std::size_t(head.size()));
    for (std::size_t number = 1; number < m_offsets.size(); ++number) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(m_offsets[number]));
        m_out->write(entry, 20);
    }
    const QByteArray trailer = "trailer\n<< /Size " + QByteArray::number(qsizetype(m_offsets.size())) + " /Root " +
                               QByteArray::number(kCatalogObject) + " 0 R /Info " + QByteArray::number(kInfoObject) +
                               " 0 R >>\nstartxref\n" + QByteArray::number(qulonglong(tableAt)) + "\n%%EOF\n";
    m_out->write(trailer.constData(), std::size_t(trailer.size()));
    return m_out->flush() ? true : failed(error);
}

bool PdfDocument::failed(QString &error) const
{
    error = fileErrorText(path(), m_out->error());
    return false;
}

} // namespace

std::unique_ptr<PageDocument> PdfPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<PdfDocument>(path, m_options);
}

} // namespace pagorra
