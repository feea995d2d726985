#pragma once

#include <QByteArray>
#include <QString>

namespace pagorra {

// A file that appears under its final name only once it is complete: writers fill a fresh
// temporary file in the same folder through its descriptor, and commit() flushes it to disk
// and renames it over the target. Until then, and whenever anything fails, an existing file
// of the target name stays as it was; the temporary file is removed unless committed.
//
// The temporary file is hidden, carries the process id and ends in ".part"; the first file
// this process writes into a folder removes such files that a killed run left there (never
// those of a run still going on). Its name is never handed to a library, so a target name
// holding "%d" or "[...]" is written exactly as named.
class AtomicFile {
  public:
    explicit AtomicFile(const QString &targetPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the empty temporary file, open for reading and writing; false with error set
    // when the folder takes no file.
    bool open(QString &error);
    // The open temporary file; it stays ours, so writers never close it.
    int descriptor() const { return m_fd; }
    const QString &targetPath() const { return m_targetPath; }
    // Syncs and closes the temporary file and renames it into place; false with error set.
    bool commit(QString &error);

  private:
    QString m_targetPath;
    QByteArray m_tempPath; // as the file system spells it
    int m_fd = -1;
    bool m_committed = false;
};

// "Could not write '<path>': <reason>" with the reason of errno; the path shown as one line.
QString fileErrorText(const QString &path, int errnoValue);

} // namespace pagorra
