#include "output/tiffpagewriter.h"

#include "core/atomicwrite.h"
#include "core/filenames.h"
#include "output/srgbprofile.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace pagorra {

namespace {

// Strips of about this many bytes: LZW restarts its dictionary at every strip, so strips of
// a few rows compress worse, while the strip is what libtiff and we hold at a time.
constexpr std::size_t kStripBytes = 256 * 1024;

// libtiff writes through our own file procedures, so that a short write (full disk, file
// size limit) is caught with its errno instead of surfacing as a vague library message.
class TiffDocument : public PageDocument {
  public:
    TiffDocument(const QString &path, double pixelsPerInch) : PageDocument(path, true), m_pixelsPerInch(pixelsPerInch)
    {
    }
    ~TiffDocument() override { TiffDocument::closeFile(); }

  protected:
    bool openFile(QString &error) override;
    bool writePage(const QImage &page, QString &error) override;
    bool finishFile(QString &error) override;
    void closeFile() override;

  private:
    bool fail(QString &error) const;

    static tmsize_t readProc(thandle_t handle, void *data, tmsize_t size);
    static tmsize_t writeProc(thandle_t handle, void *data, tmsize_t size);
    static toff_t seekProc(thandle_t handle, toff_t offset, int whence);
    static toff_t sizeProc(thandle_t handle);
    static int closeProc(thandle_t) { return 0; } // the descriptor is the document's to close
    static int mapProc(thandle_t, void **, toff_t *) { return 0; }
    static void unmapProc(thandle_t, void *, toff_t) {}
    static int errorProc(TIFF *, void *user, const char *module, const char *format, va_list args);
    static int warningProc(TIFF *, void *, const char *, const char *, va_list) { return 1; }

    double m_pixelsPerInch;
    int m_fd = -1; // the document's, borrowed
    TIFF *m_tiff = nullptr;
    int m_ioErrno = 0;      // the first failed read or write
    QString m_libraryError; // the first error libtiff reported
    QSize m_pageSize;
};

TiffDocument *documentOf(thandle_t handle)
{
    return static_cast<TiffDocument *>(handle);
}

bool TiffDocument::openFile(QString &error)
{
    m_fd = descriptor();
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, errorProc, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, warningProc, this);
    // libtiff takes the name only to put it in its messages.
    m_tiff = TIFFClientOpenExt(displayName(path()).toUtf8().constData(), "w", this, readProc, writeProc, seekProc,
                               closeProc, sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return m_tiff ? true : fail(error);
}

bool TiffDocument::writePage(const QImage &page, QString &error)
{
    if (m_pageSize.isValid() && page.size() != m_pageSize) {
        error = QStringLiteral("Could not write '%1': the pages differ in size").arg(displayName(path()));
        return false;
    }
    m_pageSize = page.size();
    const auto width = std::uint32_t(page.width());
    const auto height = std::uint32_t(page.height());
    const std::size_t rowBytes = std::size_t(width) * 3;
    const auto rowsPerStrip = std::uint32_t(std::clamp<std::size_t>(kStripBytes / rowBytes, 1, height));

    TIFFSetField(m_tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(m_tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(m_tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(m_tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(m_tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(m_tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(m_tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(m_tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(m_tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(m_tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(m_tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(m_tiff, TIFFTAG_XRESOLUTION, m_pixelsPerInch);
    TIFFSetField(m_tiff, TIFFTAG_YRESOLUTION, m_pixelsPerInch);
    TIFFSetField(m_tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(m_tiff, TIFFTAG_SOFTWARE, "Arvok Pagorra");
    const QByteArray &profile = srgbProfile(); // colour-managed readers take the page as sRGB
    if (!profile.isEmpty())
        TIFFSetField(m_tiff, TIFFTAG_ICCPROFILE, std::uint32_t(profile.size()), profile.constData());

    // One strip converted at a time; the predictor rewrites the buffer it is given anyway.
    std::vector<unsigned char> strip(rowBytes * rowsPerStrip);
    for (std::uint32_t top = 0, index = 0; top < height; top += rowsPerStrip, ++index) {
        const auto rows = std::min(rowsPerStrip, height - top);
        for (std::uint32_t y = 0; y < rows; ++y)
            rgbRow(page, int(top + y), 0, int(width), strip.data() + rowBytes * y);
        if (TIFFWriteEncodedStrip(m_tiff, index, strip.data(), tmsize_t(rowBytes * std::size_t(rows))) < 0 ||
            m_ioErrno != 0)
            return fail(error);
    }
    return TIFFWriteDirectory(m_tiff) && m_ioErrno == 0 ? true : fail(error);
}

bool TiffDocument::finishFile(QString &error)
{
    // Every page's directory is written already; closing only releases libtiff.
    TIFFClose(m_tiff);
    m_tiff = nullptr;
    return m_ioErrno == 0 && m_libraryError.isEmpty() ? true : fail(error);
}

void TiffDocument::closeFile()
{
    if (m_tiff) {
        TIFFClose(m_tiff);
        m_tiff = nullptr;
    }
}

bool TiffDocument::fail(QString &error) const
{
    if (m_ioErrno != 0)
        error = fileErrorText(path(), m_ioErrno);
    else
        error = QStringLiteral("Could not write '%1': %2")
                    .arg(displayName(path()),
                         m_libraryError.isEmpty() ? QStringLiteral("the TIFF library failed") : m_libraryError);
    return false;
}

tmsize_t TiffDocument::readProc(thandle_t handle, void *data, tmsize_t size)
{
    TiffDocument *self = documentOf(handle);
    tmsize_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(self->m_fd, static_cast<char *>(data) + done, std::size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (self->m_ioErrno == 0)
                self->m_ioErrno = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

tmsize_t TiffDocument::writeProc(thandle_t handle, void *data, tmsize_t size)
{
    TiffDocument *self = documentOf(handle);
    if (const int code = writeFully(self->m_fd, static_cast<const char *>(data), size)) {
        if (self->m_ioErrno == 0)
            self->m_ioErrno = code;
        return -1;
    }
    return size;
}

toff_t TiffDocument::seekProc(thandle_t handle, toff_t offset, int whence)
{
    const off_t position = ::lseek(documentOf(handle)->m_fd, off_t(offset), whence);
    return position < 0 ? toff_t(-1) : toff_t(position);
}

toff_t TiffDocument::sizeProc(thandle_t handle)
{
    struct stat status {};
    return ::fstat(documentOf(handle)->m_fd, &status) == 0 ? toff_t(status.st_size) : 0;
}

int TiffDocument::errorProc(TIFF *, void *user, const char *module, const char *format, va_list args)
{
    auto *self = static_cast<TiffDocument *>(user);
    if (self->m_libraryError.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        self->m_libraryError = QString::fromLocal8Bit(text);
        if (module && *module)
            self->m_libraryError.prepend(QString::fromLocal8Bit(module) + QStringLiteral(": "));
    }
    return 1; // handled: nothing goes to stderr
}

} // namespace

std::unique_ptr<PageDocument> TiffPageWriter::newDocument(const QString &path) const
{
    return std::make_unique<TiffDocument>(path, m_options.pixelsPerInch);
}

} // namespace pagorra
