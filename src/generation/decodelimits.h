#pragma once

#include <chrono>
#include <cstdint>

// The limits every decode is held to, whatever the file holds. Files come from cameras,
// scanners, the web and old archives, and some are broken or made to hurt: each limit below
// bounds what one file can cost, with the reason for its value.
namespace pagorra::limits {

constexpr std::int64_t kMiB = std::int64_t(1) << 20;

// Past this many pixels a picture is refused whatever its file size: decoding it would
// need gigabytes, and no camera makes such photos.
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;
// Below this many pixels any claim is affordable, however small the file.
constexpr std::int64_t kAlwaysAffordablePixels = std::int64_t(1) << 24;
// The best any supported codec compresses real pixels (a flat-colour PNG or GIF) stays
// well under this many pixels per byte of file.
constexpr std::int64_t kMaxPixelsPerByte = 2048;

// A decode that takes longer than this is abandoned: some malformed files make the decoders
// spin without end. Reads of the file fail past it, and the pixels are looked at in strips
// between which the clock is read.
constexpr auto kDecodeTime = std::chrono::seconds(20);

// Memory all decodes running at once may hold together, as estimated from the headers before
// any pixel is decoded. The batch tool must stay under 250 MB at any --jobs: about 50 MB are
// the program and its libraries, a few more the page being made and the thumbnails waiting.
// A whole progressive JPEG of 22 megapixels (a full-frame camera's photo, 133 MB of
// coefficients) still fits, one at a time. A file whose estimate alone is larger is refused.
constexpr std::int64_t kDecodeBudget = 160 * kMiB;
// What any decode holds besides what its estimate names (the decoder's state, tables, the
// scaling's buffers).
constexpr std::int64_t kDecodeOverhead = 4 * kMiB;

// libpng keeps text, profile and other ancillary chunks whole in memory, and inflates a
// compressed one to at most this much (its own limit for any chunk).
constexpr std::int64_t kPngInflatedChunk = 8 * kMiB;
// Deflate expands data at most about this many times.
constexpr std::int64_t kDeflateRatio = 1032;
// A progressive JPEG's decoder goes over every coefficient once per scan. libjpeg's own
// scripts use 10 scans and its tools refuse to write more than 100; far more only makes a
// small file cost minutes.
constexpr int kMaxJpegScans = 100;
// A TIFF directory is read whole into memory; real ones hold a few dozen tags.
constexpr std::int64_t kMaxTiffTags = 4096;
// Memory the GIF decoder keeps for each frame it has found (every frame is indexed when the
// file is opened, whichever one is shown).
constexpr std::int64_t kGifFrameBytes = 256;

} // namespace pagorra::limits
