#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pagorra {

// Buffered writes to an open file descriptor, for encoders that write a fresh file front to
// back. The first failure is kept (its errno) and every later write is dropped, so an encoder
// writes freely and asks once, at flush(), whether everything reached the file. The
// descriptor stays the caller's.
class FileOutput {
  public:
    explicit FileOutput(int descriptor);
    FileOutput(const FileOutput &) = delete;
    FileOutput &operator=(const FileOutput &) = delete;

    void write(const void *data, std::size_t size);
    void put8(std::uint8_t value) { write(&value, 1); }
    void put16le(std::uint16_t value);
    void put32le(std::uint32_t value);
    void put16be(std::uint16_t value);
    void put32be(std::uint32_t value);

    // Offset of the next byte written, from the start of the file.
    std::uint64_t position() const { return m_position; }
    // Overwrites bytes written earlier: a size or a table known only after what follows it.
    void patch(std::uint64_t offset, const void *data, std::size_t size);
    // Writes out what is buffered; false when any write failed.
    bool flush();
    // The errno of the first failed write; 0 while all is well.
    int error() const { return m_errno; }

  private:
    void writeOut(const char *data, std::size_t size, std::int64_t offset);

    int m_fd;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_position = 0;
    int m_errno = 0;
};

} // namespace pagorra
