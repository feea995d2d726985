#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// PDF through QPdfWriter: each page image fills one PDF page whose size is the image at
// WriteOptions::pdfResolution; images are embedded losslessly. Each image goes into the file
// as its page is added, so only the page being added is held.
class PdfPageWriter : public PageWriter {
  public:
    explicit PdfPageWriter(const WriteOptions &options);

    bool supportsMultiplePages() const override { return true; }

  protected:
    std::unique_ptr<PageDocument> newDocument(const QString &path) const override;

  private:
    WriteOptions m_options;
};

} // namespace pagorra
