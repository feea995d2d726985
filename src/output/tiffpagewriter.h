#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// TIFF through libtiff: one directory per page, 8-bit RGB, LZW with horizontal prediction
// (lossless). Each page is encoded strip by strip into the file as it is added, so only the
// page being added is held. All pages of a document have the size of the first.
class TiffPageWriter : public PageWriter {
  public:
    explicit TiffPageWriter(const WriteOptions &options) : m_options(options) {}
    bool supportsMultiplePages() const override { return true; }

  protected:
    std::unique_ptr<PageDocument> newDocument(const QString &path) const override;

  private:
    WriteOptions m_options;
};

} // namespace pagorra
