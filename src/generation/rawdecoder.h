#pragma once

#include "generation/decodeinput.h"
#include "generation/photoinfo.h"

#include <QSize>
#include <cstdint>
#include <memory>
#include <optional>

namespace pagorra {

// A camera RAW file as LibRaw parses it: its size, orientation and metadata, and the JPEG
// preview the camera embedded, with nothing decoded. Every read goes through the one
// DecodeInput, so its deadline ends a decode that runs too long; LibRaw's own allocations are
// held to the decode budget. Not thread-safe; one per decode.
class RawFile {
  public:
    // Memory an opened file holds (LibRaw's state and what its parsers keep).
    static constexpr std::int64_t kOpenCost = 4 << 20;

    // Nothing when LibRaw does not know the file as a RAW.
    static std::unique_ptr<RawFile> open(std::shared_ptr<const DecodeInput> input);
    ~RawFile();
    RawFile(const RawFile &) = delete;
    RawFile &operator=(const RawFile &) = delete;

    // Whether the raw data and previews lie whole in the file: one cut short is not placed,
    // even where its preview survived.
    bool complete() const { return m_complete; }
    // The picture's size once developed, upright, and the turn that makes it so (EXIF terms).
    QSize uprightSize() const { return m_upright; }
    int orientation() const { return m_orientation; }
    // Where the embedded JPEG preview lies, when it lies whole inside the file.
    struct Range {
        std::int64_t offset, length;
    };
    std::optional<Range> previewRange() const { return m_preview; }
    // What the camera wrote about the photo, as LibRaw parsed it.
    PhotoInfo info() const;

    // Memory a half-size development holds at the most.
    std::int64_t halfSizeCost() const;
    // The picture developed at half size as 8-bit RGB, not turned (the caller turns it by
    // orientation()), held by this object; nothing when the raw data cannot be read.
    struct Developed {
        const unsigned char *pixels;
        QSize size;
    };
    std::optional<Developed> developHalfSize();

  private:
    class Stream;
    class Processor;
    explicit RawFile(std::shared_ptr<const DecodeInput> input);
    bool parse();

    std::shared_ptr<const DecodeInput> m_input;
    std::unique_ptr<Stream> m_stream;
    std::unique_ptr<Processor> m_raw;
    QSize m_upright;
    int m_orientation = 1;
    bool m_complete = false;
    std::optional<Range> m_preview;
    std::int64_t m_rawBytes = 0;
    void *m_developed = nullptr; // LibRaw's processed image
};

} // namespace pagorra
