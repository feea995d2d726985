#include "generation/pagestore.h"

#include "core/atomicwrite.h"
#include "core/filenames.h"
#include "core/runtimeerror.h"
#include "core/temporaryfiles.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pagorra {

namespace {

const QString kPrefix = QStringLiteral("pages-");
const QString kSuffix = QStringLiteral(".tmp");

} // namespace

PageStore::PageStore(const QString &folder)
{
    if (folder.isEmpty() || createFolders(folder))
        return;
    const QByteArray path = nativePath(folder + u'/' + kPrefix + temporaryTag() + kSuffix);
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m_fd >= 0)
        ::unlink(path.constData());
}

PageStore::~PageStore()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void PageStore::removeOrphans(const QString &folder)
{
    removeOrphanedTemporaries(folder, kPrefix, kSuffix);
}

int PageStore::put(const QByteArray &bytes)
{
    Slot slot;
    slot.size = bytes.size();
    if (m_fd >= 0 && writeFully(m_fd, bytes.constData(), slot.size, m_end) == 0) {
        slot.offset = m_end;
        m_end += slot.size;
    } else {
        // The disk is full or failing: the next page may find room again, this one waits here.
        slot.bytes = bytes;
        m_bytesInMemory += slot.size;
    }
    m_slots.push_back(std::move(slot));
    return int(m_slots.size() - 1);
}

QByteArray PageStore::get(int slotIndex) const
{
    const Slot &slot = m_slots.at(std::size_t(slotIndex));
    if (slot.offset < 0)
        return slot.bytes;
    QByteArray bytes(slot.size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < slot.size) {
        const ssize_t n = ::pread(m_fd, bytes.data() + done, size_t(slot.size - done), slot.offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            PAGORRA_RAISE(err::DeviceIO,
                          QStringLiteral("Device I/O error: a page put aside could not be read back (%1)")
                              .arg(errnoText(n < 0 ? errno : EIO)));
        done += n;
    }
    return bytes;
}

void PageStore::clear()
{
    m_slots.clear();
    m_bytesInMemory = 0;
    m_end = 0;
    if (m_fd >= 0 && ::ftruncate(m_fd, 0) != 0) {
        // Space that cannot be given back is still written over by the next run.
    }
}

} // namespace pagorra
