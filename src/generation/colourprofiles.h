#pragma once

#include <cstddef>

namespace pagorra {

// Whether pixels tagged with this ICC profile must be converted to be shown as sRGB: an RGB
// profile whose primaries or tone curves are not sRGB's (Adobe RGB, ProPhoto, Display P3). Most
// photos carry sRGB or nothing, and skip the conversion. A profile that cannot be read is
// left alone, as an untagged picture is.
bool needsSrgbConversion(const void *profile, std::size_t size);

} // namespace pagorra
