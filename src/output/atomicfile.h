#pragma once

#include <QString>

namespace pagorra {

// A file that appears under its final name only once it is complete: writers fill a fresh
// temporary file in the same folder, and commit() flushes it to disk and renames it over the
// target. Until then, and whenever anything fails, an existing file of the target name stays
// as it was; the temporary file is removed unless committed.
class AtomicFile {
  public:
    explicit AtomicFile(const QString &targetPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the empty temporary file; false with error set when the folder takes no file.
    bool open(QString &error);
    const QString &tempPath() const { return m_tempPath; }
    const QString &targetPath() const { return m_targetPath; }
    // Syncs the temporary file and renames it into place; false with error set on failure.
    bool commit(QString &error);

  private:
    QString m_targetPath;
    QString m_tempPath;
    bool m_committed = false;
};

// "Could not write '<path>': <reason>" with the reason of errno.
QString fileErrorText(const QString &path, int errnoValue);

} // namespace pagorra
