#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// BMP, PCX and PSD, written by our own encoders: each is a short, fully documented layout,
// and writing it ourselves keeps the page in its own pixels (a general-purpose library would
// first copy the page into its own 16-bit pixel cache), states the resolution we choose and
// writes PSD as 8-bit RGB with the composite image only. Single pages; 24-bit RGB, no
// transparency.
class RasterPageWriter : public PageWriter {
  public:
    RasterPageWriter(ImageFormat format, const WriteOptions &options) : m_format(format), m_options(options) {}

  protected:
    std::unique_ptr<PageDocument> newDocument(const QString &path) const override;

  private:
    ImageFormat m_format;
    WriteOptions m_options;
};

} // namespace pagorra
