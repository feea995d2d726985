#include "generation/photoinfo.h"

namespace pagorra {

// Until the decoders report metadata, nothing is known without decoding.
std::optional<PhotoInfo> readPhotoInfo(const QString &)
{
    return std::nullopt;
}

} // namespace pagorra
