#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// PDF written by our own code, a document rather than a picture of one: each page has its
// size on paper, its pictures as images at their own resolution (lossless, or JPEG when
// asked), its text as text in embedded font subsets, with an outline entry per page, the
// document's title and an sRGB output intent. A page given as a raster image only is one
// picture at WriteOptions::pixelsPerInch. Pictures go into the file as their page is added;
// fonts, which collect glyphs from every page, are written at commit.
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
