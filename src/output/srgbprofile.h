#pragma once

#include <QByteArray>

namespace pagorra {

// The ICC profile of sRGB, the colour space of every page, for formats that carry a profile
// (so colour-managed readers and printers take the colours as they were meant). The image
// library's own copy; empty only if the library cannot give it. Shared, never freed.
const QByteArray &srgbProfile();

} // namespace pagorra
