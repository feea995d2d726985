#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// Raster formats through libvips: native savers for GIF, JPEG, PNG and TIFF (TIFF also with
// several pages of one size), ImageMagick through magicksave for BMP, PSD and PCX, which
// vips cannot write itself. Pages are written as 8-bit RGB; they carry no transparency.
class VipsPageWriter : public PageWriter {
  public:
    VipsPageWriter(ImageFormat format, const WriteOptions &options);

    bool writePages(const QList<QImage> &pages, const QString &path, QString &error) const override;
    bool supportsMultiplePages() const override { return m_format == ImageFormat::Tiff; }

  private:
    ImageFormat m_format;
    WriteOptions m_options;
};

} // namespace pagorra
