#pragma once

#include "generation/photoinfo.h"

#include <QSize>

namespace pagorra {

class DecodeInput;
struct PictureHeader;

// What a picture's header and metadata blocks say of the photo, as read by its header
// reader (a TIFF's own directory read through `input`), with `upright` as its size.
PhotoInfo photoInfoFromHeader(const PictureHeader &header, const DecodeInput &input, QSize upright);

} // namespace pagorra
