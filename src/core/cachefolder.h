#pragma once

#include <QString>

namespace pagorra {

// The program's folder for what can be made again: $XDG_CACHE_HOME/pagorra (by default
// ~/.cache/pagorra), without a trailing separator. Not created here.
QString cacheFolder();

} // namespace pagorra
