#pragma once

#include "core/settings.h"
#include "output/pagewriter.h"

namespace pagorra {

// What the writers are to honour, from the stored choices: the pages' resolution (that of the
// pages being written, which were made before the settings may have changed), links and JPEG
// pictures in PDF, the JPEG quality, and the title as the document's title when one is drawn.
WriteOptions writeOptionsFor(const RegistrySettings &settings, double pagePixelsPerInch);

} // namespace pagorra
