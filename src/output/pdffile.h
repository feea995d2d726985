#pragma once

#include "output/fileoutput.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace pagorra {

// PDF syntax written front to back into an open file: numbered objects, whose offsets are
// kept for the cross-reference table, and streams. An object number may be taken before its
// object is written, so that a page can name a font that is written only at the end. Write
// failures are kept by the output (see FileOutput) and asked for once, at flush().
class PdfFile {
  public:
    explicit PdfFile(int descriptor) : m_out(descriptor) {}

    // A number for an object written later.
    int reserveObject();
    void writeObject(int number, const QByteArray &body);
    // A stream object; `dictionary` holds the entries beside /Length (a filter among them
    // when the data is encoded already).
    void writeStream(int number, const QByteArray &dictionary, const QByteArray &data);
    // The same, deflated here.
    void writeDeflated(int number, const QByteArray &dictionary, const QByteArray &data);
    // An image (32 bits a pixel, alpha left out) as 8-bit R, G, B samples, deflated a row at a
    // time straight into the file, so that it is never copied whole; false when deflate cannot
    // start.
    bool writeImageRows(int number, const QByteArray &dictionary, const QImage &image);
    // The cross-reference table and the trailer; the file is complete after flush().
    void writeTrailer(int catalog, int info);

    FileOutput &out() { return m_out; }
    bool flush() { return m_out.flush(); }
    int error() const { return m_out.error(); }

  private:
    void beginObject(int number);
    void put(const QByteArray &text) { m_out.write(text.constData(), std::size_t(text.size())); }

    FileOutput m_out;
    std::vector<std::uint64_t> m_offsets{0}; // by object number; object 0 is no object
};

// A number as PDF writes it: at most four decimals, no trailing zeros.
QByteArray pdfNumber(double value);
// "n 0 R"
QByteArray pdfReference(int object);
// A text string for any script: UTF-16BE with its byte-order mark, in hexadecimal.
QByteArray pdfTextString(const QString &text);
// A literal string of bytes, with the characters that end or escape it escaped.
QByteArray pdfLiteral(const QByteArray &bytes);

} // namespace pagorra
