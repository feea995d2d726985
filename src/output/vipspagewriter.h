#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// JPEG and PNG through libvips's own savers. The saver reads the page's pixels a band of
// rows at a time through a view on them, and writes through our file output, so the page is
// never copied whole and a failed write is reported with its cause. Pages are 8-bit RGB;
// they carry no transparency.
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
