#pragma once

#include "core/sha256.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

// glib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <vips/vips8>
#pragma pop_macro("signals")

namespace pagorra {

// One input file opened for one decode, which every reader of it goes through: the header
// reader, the image library and Qt's readers. Reads are by position on one descriptor, so
// readers never disturb each other; they fail once the decode's deadline has passed, which
// ends any decoder still reading; and a range of bytes may be read as zeros, hiding what a
// decoder must not see. The name is never handed to a library, so any name the file system
// holds is read. Shared by the objects reading it; safe to read from several threads.
//
// The file's SHA-256, when asked for, comes from the same reads: every read that reaches the
// first byte not yet hashed carries the hash on, so a decoder reading the file from its start
// (as most do, once) hashes it as it goes, and only what no reader reached is read again at the
// end. Mapping the file instead would let every reader share the pages, but a file cut short
// while mapped kills the process (SIGBUS), and the readers copy into buffers of their own
// anyway.
class DecodeInput {
  public:
    // Opens a regular file (never waiting on a FIFO or a device); nothing when it cannot be.
    static std::shared_ptr<DecodeInput> open(const QString &path);
    // Bytes [offset, offset + length) of `whole`, read as a file of their own (a camera RAW's
    // embedded preview): reads go through `whole`, its deadline and its digest.
    static std::shared_ptr<DecodeInput> part(std::shared_ptr<const DecodeInput> whole, std::int64_t offset,
                                             std::int64_t length);
    ~DecodeInput();
    DecodeInput(const DecodeInput &) = delete;
    DecodeInput &operator=(const DecodeInput &) = delete;

    std::int64_t size() const { return m_size; }

    void setDeadline(std::chrono::steady_clock::time_point deadline) { m_deadline = deadline; }
    bool pastDeadline() const;
    // Bytes [offset, offset + length) are read as zeros from now on.
    void hide(std::int64_t offset, int length);

    // Up to `length` bytes at `offset`: the count read (0 at the end), -1 on failure or past
    // the deadline.
    std::int64_t read(std::int64_t offset, void *buffer, std::int64_t length) const;
    // Exactly `length` bytes at `offset`, or nothing.
    std::optional<QByteArray> readExactly(std::int64_t offset, std::int64_t length) const;

    // Hashes the bytes read from now on (call before the first read).
    void startDigest();
    // The SHA-256 (32 bytes) of the whole file, reading what no reader has reached; nothing
    // when the file cannot be read to its end as it was opened.
    std::optional<QByteArray> digest();

  private:
    DecodeInput(int descriptor, std::int64_t size);
    std::int64_t readFile(std::int64_t offset, void *buffer, std::int64_t length) const;
    void carryDigest(std::int64_t offset, const char *bytes, std::int64_t count) const;

    const int m_descriptor;
    const std::int64_t m_size;
    std::shared_ptr<const DecodeInput> m_whole; // for a part: the file it lies in, from m_base
    std::int64_t m_base = 0;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    std::int64_t m_hiddenOffset = 0;
    int m_hiddenLength = 0;

    mutable std::mutex m_digestMutex;
    mutable std::unique_ptr<Sha256> m_hash;
    mutable std::int64_t m_hashed = 0; // bytes [0, m_hashed) are in m_hash
};

// A source the image library's loaders read `input` through; it keeps `input` alive.
vips::VSource vipsSourceFor(std::shared_ptr<const DecodeInput> input);

// A device Qt's image readers read `input` through, opened; it keeps `input` alive.
std::unique_ptr<QIODevice> qtDeviceFor(std::shared_ptr<const DecodeInput> input);

} // namespace pagorra
