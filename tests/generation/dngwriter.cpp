#include "dngwriter.h"

#include <QBuffer>
#include <QFile>
#include <cmath>
#include <tiffio.h>
#include <vector>

namespace {

// From linear sRGB to XYZ and back: the camera's colour matrix maps XYZ to its own RGB.
const float kXyzToCamera[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f, 0.0415f, 0.0557f, -0.2040f, 1.0570f};

// The photo as a camera's sensor sees it: one linear 16-bit sample a pixel, red, green or blue
// after a Bayer pattern (RGGB).
void writeRaw(TIFF *tif, const QImage &photo)
{
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB888);
    const quint16 repeat[2] = {2, 2};
    const uchar pattern[4] = {0, 1, 1, 2};
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, rgb.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rgb.height());
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, 32803); // colour filter array
    TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, repeat);
    TIFFSetField(tif, TIFFTAG_CFAPATTERN, 4, pattern);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<quint16> row(size_t(rgb.width()));
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar *src = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const double v = src[3 * x + pattern[(y % 2) * 2 + x % 2]] / 255.0;
            row[size_t(x)] =
                quint16(std::lround(65535 * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4))));
        }
        TIFFWriteScanline(tif, row.data(), quint32(y), 0);
    }
}

void writeCameraTags(TIFF *tif, int orientation)
{
    const uchar version[4] = {1, 4, 0, 0}, backward[4] = {1, 1, 0, 0};
    const float neutral[3] = {1, 1, 1};
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_DNGBACKWARDVERSION, backward);
    TIFFSetField(tif, TIFFTAG_MAKE, "Pagorra");
    TIFFSetField(tif, TIFFTAG_MODEL, "Test Camera");
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, "Pagorra Test Camera");
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, kXyzToCamera);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, 21); // D65
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
}

} // namespace

bool writeDng(const QString &path, const QImage &photo, const QImage &preview, int orientation)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    if (preview.isNull()) {
        writeCameraTags(tif, orientation);
        writeRaw(tif, photo);
        TIFFWriteDirectory(tif);
        TIFFClose(tif);
        return true;
    }
    // The preview first, as cameras write it, as one JPEG strip; the raw data in a
    // sub-directory.
    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    preview.convertToFormat(QImage::Format_RGB888).save(&jpeg, "JPEG", 90);
    toff_t subDirectory = 0;
    writeCameraTags(tif, orientation);
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, preview.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, preview.height());
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, preview.height());
    TIFFSetField(tif, TIFFTAG_SUBIFD, 1, &subDirectory);
    TIFFWriteRawStrip(tif, 0, jpeg.buffer().data(), jpeg.buffer().size());
    TIFFWriteDirectory(tif);
    writeRaw(tif, photo);
    TIFFWriteDirectory(tif);
    TIFFClose(tif);
    return true;
}
