#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// PDF written by our own code: each page image fills one PDF page whose size is the image at
// WriteOptions::pixelsPerInch. The image is embedded losslessly, deflated row by row straight
// into the file as its page is added, so only that page is held and never copied; a failed
// write is reported with its cause.
class PdfPageWriter : public PageWriter {
  public:
    explicit PdfPageWriter(const WriteOptions &options) : m_options(options) {}

    bool supportsMultiplePages() const override { return true; }

  protected:
    std::unique_ptr<PageDocument> newDocument(const QString &path) const override;

  private:
    WriteOptions m_options;
};

} // namespace pagorra
