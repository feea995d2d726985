#pragma once

#include "generation/decodeinput.h"

#include <QByteArray>
#include <cstddef>

namespace pagorra {

// Whether pixels tagged with this ICC profile must be converted to be shown as sRGB: an RGB
// profile whose primaries or tone curves are not sRGB's (Adobe RGB, ProPhoto, Display P3). Most
// photos carry sRGB or nothing, and skip the conversion. A profile that cannot be read is
// left alone, as an untagged picture is.
bool needsSrgbConversion(const void *profile, std::size_t size);

// A picture tagged with a colour profile other than sRGB's, converted to sRGB once it is
// scaled: the conversion then costs a thumbnail's pixels. Untagged and sRGB pictures are
// taken as they are; CMYK ones are converted with their profile on the way to RGB. Throws
// vips::VError as the image library does.
class SrgbConversion {
  public:
    // Takes the profile of `image` as decoded, before any conversion.
    explicit SrgbConversion(const vips::VImage &image);
    // `image`, 8-bit RGB, with its colours converted; the profile is attached anew, as the
    // pixels may have been copied without it.
    vips::VImage applied(vips::VImage image) const;

  private:
    QByteArray m_profile;
};

} // namespace pagorra
