#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// PDF through QPdfWriter: each page image fills one PDF page whose size is the image at
// WriteOptions::pdfResolution; images are embedded losslessly.
class PdfPageWriter : public PageWriter {
  public:
    explicit PdfPageWriter(const WriteOptions &options);

    bool writePages(const QList<QImage> &pages, const QString &path, QString &error) const override;
    bool supportsMultiplePages() const override { return true; }

  private:
    WriteOptions m_options;
};

} // namespace pagorra
