#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// Single-page raster formats through libvips: native savers for GIF, JPEG and PNG,
// ImageMagick through magicksave for BMP, PSD and PCX, which vips cannot write itself. Pages
// are written as 8-bit RGB; they carry no transparency.
class VipsPageWriter : public PageWriter {
  public:
    VipsPageWriter(ImageFormat format, const WriteOptions &options);

  protected:
    std::unique_ptr<PageDocument> newDocument(const QString &path) const override;

  private:
    ImageFormat m_format;
    WriteOptions m_options;
};

} // namespace pagorra
