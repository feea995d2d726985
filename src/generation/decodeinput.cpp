#include "generation/decodeinput.h"

#include "core/filenames.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

std::shared_ptr<DecodeInput> DecodeInput::open(const QString &path)
{
    // Non-blocking, so a FIFO named like a photo cannot hold the decode up before it is
    // found not to be a regular file.
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<DecodeInput>(new DecodeInput(fd, st.st_size));
}

std::shared_ptr<DecodeInput> DecodeInput::part(std::shared_ptr<const DecodeInput> whole, std::int64_t offset,
                                               std::int64_t length)
{
    if (!whole || offset < 0 || length < 0 || offset > whole->size() || length > whole->size() - offset)
        return nullptr;
    std::shared_ptr<DecodeInput> part(new DecodeInput(-1, length));
    part->m_whole = std::move(whole);
    part->m_base = offset;
    return part;
}

DecodeInput::DecodeInput(int descriptor, std::int64_t size) : m_descriptor(descriptor), m_size(size) {}

DecodeInput::~DecodeInput()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool DecodeInput::pastDeadline() const
{
    return std::chrono::steady_clock::now() > m_deadline || (m_whole && m_whole->pastDeadline());
}

void DecodeInput::hide(std::int64_t offset, int length)
{
    m_hiddenOffset = offset;
    m_hiddenLength = length;
}

std::int64_t DecodeInput::readFile(std::int64_t offset, void *buffer, std::int64_t length) const
{
    ssize_t got;
    do {
        got = ::pread(m_descriptor, buffer, size_t(length), offset);
    } while (got < 0 && errno == EINTR);
    return got;
}

void DecodeInput::carryDigest(std::int64_t offset, const char *bytes, std::int64_t count) const
{
    const std::lock_guard lock(m_digestMutex);
    if (m_hash && offset <= m_hashed && offset + count > m_hashed) {
        m_hash->add(bytes + (m_hashed - offset), offset + count - m_hashed);
        m_hashed = offset + count;
    }
}

void DecodeInput::startDigest()
{
    if (m_whole) {
        std::const_pointer_cast<DecodeInput>(m_whole)->startDigest();
        return;
    }
    const std::lock_guard lock(m_digestMutex);
    m_hash = std::make_unique<Sha256>();
    m_hashed = 0;
}

std::optional<QByteArray> DecodeInput::digest()
{
    if (m_whole)
        return std::const_pointer_cast<DecodeInput>(m_whole)->digest();
    const std::lock_guard lock(m_digestMutex);
    if (!m_hash)
        return std::nullopt;
    QByteArray chunk(qsizetype(1) << 20, Qt::Uninitialized);
    while (m_hashed < m_size) {
        const std::int64_t got =
            readFile(m_hashed, chunk.data(), std::min<std::int64_t>(chunk.size(), m_size - m_hashed));
        if (got <= 0)
            return std::nullopt;
        m_hash->add(chunk.constData(), got);
        m_hashed += got;
    }
    return m_hash->result();
}

std::int64_t DecodeInput::read(std::int64_t offset, void *buffer, std::int64_t length) const
{
    if (pastDeadline() || offset < 0 || length < 0)
        return -1;
    if (m_whole) {
        length = std::min(length, std::max<std::int64_t>(0, m_size - offset));
        return length == 0 ? 0 : m_whole->read(m_base + offset, buffer, length);
    }
    // Only the bytes of the file as it was opened: they are what the digest covers.
    length = std::min(length, std::max<std::int64_t>(0, m_size - offset));
    const std::int64_t got = length == 0 ? 0 : readFile(offset, buffer, length);
    if (got <= 0)
        return got;
    carryDigest(offset, static_cast<const char *>(buffer), got); // before any byte is hidden
    const std::int64_t from = std::max(offset, m_hiddenOffset);
    const std::int64_t to = std::min(offset + got, m_hiddenOffset + m_hiddenLength);
    if (from < to)
        std::memset(static_cast<char *>(buffer) + (from - offset), 0, size_t(to - from));
    return got;
}

std::optional<QByteArray> DecodeInput::readExactly(std::int64_t offset, std::int64_t length) const
{
    if (offset < 0 || length < 0 || offset > m_size || length > m_size - offset)
        return std::nullopt;
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    std::int64_t done = 0;
    while (done < length) {
        const std::int64_t got = read(offset + done, bytes.data() + done, length - done);
        if (got <= 0)
            return std::nullopt;
        done += got;
    }
    return bytes;
}

namespace {

// The read position of one source; the input is shared.
struct SourceState {
    std::shared_ptr<const DecodeInput> input;
    std::int64_t position = 0;
};

gint64 readSource(VipsSourceCustom *, void *buffer, gint64 length, gpointer data)
{
    auto *state = static_cast<SourceState *>(data);
    const std::int64_t got = state->input->read(state->position, buffer, length);
    if (got > 0)
        state->position += got;
    return got;
}

gint64 seekSource(VipsSourceCustom *, gint64 offset, int whence, gpointer data)
{
    auto *state = static_cast<SourceState *>(data);
    const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? state->position : state->input->size();
    if (base + offset < 0)
        return -1;
    state->position = base + offset;
    return state->position;
}

// Qt's readers take any QIODevice; this one reads by position through the input.
class InputDevice : public QIODevice {
  public:
    explicit InputDevice(std::shared_ptr<const DecodeInput> input) : m_input(std::move(input)) {}
    qint64 size() const override { return m_input->size(); }

  protected:
    qint64 readData(char *data, qint64 maxSize) override { return m_input->read(pos(), data, maxSize); }
    qint64 writeData(const char *, qint64) override { return -1; }

  private:
    std::shared_ptr<const DecodeInput> m_input;
};

} // namespace

vips::VSource vipsSourceFor(std::shared_ptr<const DecodeInput> input)
{
    VipsSourceCustom *custom = vips_source_custom_new();
    auto *state = new SourceState{std::move(input)};
    auto release = [](gpointer data, GClosure *) { delete static_cast<SourceState *>(data); };
    g_signal_connect_data(custom, "read", G_CALLBACK(readSource), state, release, GConnectFlags(0));
    g_signal_connect_data(custom, "seek", G_CALLBACK(seekSource), state, nullptr, GConnectFlags(0));
    return vips::VSource(VIPS_SOURCE(custom));
}

std::unique_ptr<QIODevice> qtDeviceFor(std::shared_ptr<const DecodeInput> input)
{
    auto device = std::make_unique<InputDevice>(std::move(input));
    device->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return device;
}

} // namespace pagorra
