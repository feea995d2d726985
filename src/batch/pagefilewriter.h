#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace pagorra {

// Writes the pages of a run as they come: one page goes to the chosen name, several pages
// to numbered names (Sheet.png -> Sheet1.png, Sheet2.png ...). Whether a page is the only one
// is known only when the second arrives, so the first waits under a temporary name until
// then. Every file appears whole or not at all (written aside, then renamed into place).
// A failed write raises RuntimeError; nothing half-written is left behind.
class PageFileWriter {
  public:
    explicit PageFileWriter(QString output);
    ~PageFileWriter();
    PageFileWriter(const PageFileWriter &) = delete;
    PageFileWriter &operator=(const PageFileWriter &) = delete;

    void write(const QImage &page, int pageNumber);
    // Puts a lone first page under the chosen name.
    void finish();

    const QStringList &written() const { return m_written; }

  private:
    QString writeAside(const QImage &page) const;
    void moveIntoPlace(const QString &from, const QString &to);

    QString m_output;
    QString m_pendingFirst; // temporary file holding page 1 until its name is known
    QStringList m_written;
};

} // namespace pagorra
