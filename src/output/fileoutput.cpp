#include "output/fileoutput.h"

#include "core/atomicwrite.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace pagorra {

namespace {

// Large enough that a system call per buffer costs nothing beside encoding it.
constexpr std::size_t kBufferBytes = 256 * 1024;

} // namespace

FileOutput::FileOutput(int descriptor) : m_fd(descriptor), m_buffer(kBufferBytes) {}

void FileOutput::write(const void *data, std::size_t size)
{
    m_position += size;
    if (m_errno != 0)
        return;
    const char *bytes = static_cast<const char *>(data);
    if (m_used + size > m_buffer.size()) {
        writeOut(m_buffer.data(), m_used, -1);
        m_used = 0;
        if (size >= m_buffer.size()) {
            writeOut(bytes, size, -1);
            return;
        }
    }
    std::memcpy(m_buffer.data() + m_used, bytes, size);
    m_used += size;
}

void FileOutput::put16le(std::uint16_t value)
{
    const unsigned char bytes[2] = {std::uint8_t(value), std::uint8_t(value >> 8)};
    write(bytes, 2);
}

void FileOutput::put32le(std::uint32_t value)
{
    put16le(std::uint16_t(value));
    put16le(std::uint16_t(value >> 16));
}

void FileOutput::put16be(std::uint16_t value)
{
    const unsigned char bytes[2] = {std::uint8_t(value >> 8), std::uint8_t(value)};
    write(bytes, 2);
}

void FileOutput::put32be(std::uint32_t value)
{
    put16be(std::uint16_t(value >> 16));
    put16be(std::uint16_t(value));
}

void FileOutput::patch(std::uint64_t offset, const void *data, std::size_t size)
{
    if (flush())
        writeOut(static_cast<const char *>(data), size, std::int64_t(offset));
}

bool FileOutput::flush()
{
    if (m_used > 0 && m_errno == 0)
        writeOut(m_buffer.data(), m_used, -1);
    m_used = 0;
    return m_errno == 0;
}

void FileOutput::writeOut(const char *data, std::size_t size, std::int64_t offset)
{
    if (m_errno == 0)
        m_errno = writeFully(m_fd, data, std::int64_t(size), offset);
}

} // namespace pagorra
