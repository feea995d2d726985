#pragma once

#include <mutex>

namespace pagorra {

// ImageMagick, which libvips calls on for some formats, installs libtiff error handlers for
// the whole process, and those handlers abort when libtiff reports an error outside an
// ImageMagick call. Qt's TIFF reader reports through the same handlers. So every use of
// ImageMagick (through vips) and every read through Qt's image readers holds this lock, and
// Qt's reads start by putting libtiff's handlers back to silent ones.
std::unique_lock<std::mutex> lockForeignCodecs();

// Silences libtiff's process-wide error and warning handlers; call with the lock held.
void silenceTiffHandlers();

} // namespace pagorra
