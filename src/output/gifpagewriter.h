#pragma once

#include "output/pagewriter.h"

namespace pagorra {

// GIF written by our own encoder: libimagequant picks the 256 colours and maps the page onto
// them (with dithering), reading the page's rows as it needs them; the colour indexes (one
// byte a pixel, a quarter of the page) are then LZW-coded straight into the file. A general
// saver would first copy the page whole, four bytes a pixel, and then keep more copies of it.
// Single pages; no transparency.
class GifPageWriter : public PageWriter {
  protected:
    std::unique_ptr<PageDocument> newDocument(const QString &path) const override;
};

} // namespace pagorra
