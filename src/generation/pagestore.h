#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace pagorra {

// Where the pixels of finished pages wait while nobody looks at them, so that a run of
// thousands of pages costs the memory of the few being shown, saved or printed. Bytes are
// appended to one temporary file in `folder`, which is unlinked as soon as it is open: the
// disk space comes back when the store goes, also when the process is killed. Its name
// ("pages-<temporaryTag()>.tmp") lets the next start sweep one left by a crash in the
// moment between creating and unlinking it.
// A write that fails (a full disk, no cache folder) keeps those bytes in memory instead, so
// no page is ever lost to the disk; only a failed read of bytes written before is raised, as
// RuntimeError (device I/O error). Used from one thread.
class PageStore {
  public:
    // An empty folder keeps everything in memory.
    explicit PageStore(const QString &folder);
    ~PageStore();
    PageStore(const PageStore &) = delete;
    PageStore &operator=(const PageStore &) = delete;

    // Sweeps what crashed processes left in `folder`.
    static void removeOrphans(const QString &folder);

    // Puts the bytes away; the number returned gives them back.
    int put(const QByteArray &bytes);
    QByteArray get(int slot) const;
    // Forgets every slot and gives the file's space back.
    void clear();

    // How many bytes wait in memory rather than on disk.
    qint64 bytesInMemory() const { return m_bytesInMemory; }

  private:
    struct Slot {
        qint64 offset = -1; // in the file; -1: held in `bytes`
        qint64 size = 0;
        QByteArray bytes;
    };
    int m_fd = -1;
    qint64 m_end = 0;
    qint64 m_bytesInMemory = 0;
    std::vector<Slot> m_slots;
};

} // namespace pagorra
