#pragma once

#include "core/rounding.h"
#include "generation/photoinfo.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

namespace pagorra {

// Canvas size of a load: the image's own size, the image shrunk to fit a box (never
// enlarged), or exactly the box.
enum class LoadAs : std::int32_t { OwnSize = 0, FitInside = 1, Fixed = 2 };

// Size of an image of `image` pixels fitted inside `box`, never enlarged; the two ratios are
// kept in single precision so results match what the stored sizes were made with.
QSize fitInside(QSize image, QSize box);

// Where an image of `image` pixels is drawn on a canvas of `canvas` pixels, ratio kept,
// centred: the image touches two opposite edges, enlarged if need be.
QRect drawRectRetainingRatio(QSize image, QSize canvas);

// A header that claims far more pixels than its file could hold is a decompression bomb;
// such files are refused before any pixel is decoded.
bool plausibleImageSize(std::int64_t width, std::int64_t height, std::int64_t fileBytes);

struct LoadRequest {
    QString path;
    LoadAs loadAs = LoadAs::Fixed;
    int fixedWidth = 0;
    int fixedHeight = 0;
    std::int32_t backColor = 16777215; // stored form 0x00BBGGRR
    bool retainRatio = true;
    // Also the SHA-256 of the file's bytes, computed from the same reading of the file.
    bool wantDigest = false;
};

struct LoadedPicture {
    QImage bitmap;       // Format_RGB32, the canvas; owned by the caller
    int actualWidth = 0; // the photo's own size, upright
    int actualHeight = 0;
    PhotoInfo info;    // what the decoder parsed of the photo's metadata
    QByteArray sha256; // the file's digest (32 bytes) when asked for, else empty
};

// Decodes a picture file (JPEG, PNG, GIF, TIFF, BMP, HEIC/HEIF, AVIF, WebP, JPEG XL or a camera
// RAW, told by the file's first bytes whatever its name; photos turned upright by their
// orientation, colours tagged with a profile other than sRGB converted to sRGB) and draws it
// onto a canvas filled with the background colour, with what its metadata say in `info`. Any file that cannot be read
// gives no picture, and so does one that would cost more than the limits of decodelimits.h allow; nothing is thrown for
// a bad file. Safe to call from several threads at once; a call may wait for its share of the memory that decodes hold
// together.
std::optional<LoadedPicture> loadPicture(const LoadRequest &request);

// Starts the image library once for the process; safe to call from any thread.
void ensureImageLibraryStarted();

// Threads the image library may use inside one load (callers that decode several files at
// once on their own threads set 1).
void setThreadsPerLoad(int threads);

} // namespace pagorra
