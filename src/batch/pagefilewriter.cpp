#include "batch/pagefilewriter.h"

#include "batch/batchoptions.h"
#include "core/runtimeerror.h"
#include "output/outputformats.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace pagorra {

namespace {
// The run time's "Path/File access error".
constexpr std::int32_t kFileAccessError = 75;
} // namespace

PageFileWriter::PageFileWriter(QString output) : m_output(std::move(output)) {}

PageFileWriter::~PageFileWriter()
{
    if (!m_pendingFirst.isEmpty())
        QFile::remove(m_pendingFirst);
}

QString PageFileWriter::writeAside(const QImage &page) const
{
    const QFileInfo target(m_output);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.completeBaseName() +
                        QStringLiteral(".XXXXXX.part"));
    if (!file.open())
        PAGORRA_RAISE(kFileAccessError,
                      QStringLiteral("Cannot create a file in %1: %2").arg(target.absolutePath(), file.errorString()));
    // Temporary files are private; a page is an ordinary file of the user's.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file.handle(), 0666 & ~mask);
    QImageWriter writer(&file, "png");
    if (!writer.write(page) || !file.flush() || ::fsync(file.handle()) != 0)
        PAGORRA_RAISE(kFileAccessError, QStringLiteral("Cannot write %1: %2").arg(m_output, writer.errorString()));
    file.setAutoRemove(false);
    return file.fileName();
}

void PageFileWriter::moveIntoPlace(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(from);
        PAGORRA_RAISE(kFileAccessError, QStringLiteral("Cannot write %1: %2").arg(to, reason));
    }
    m_written << to;
}

void PageFileWriter::write(const QImage &page, int pageNumber)
{
    const QString aside = writeAside(page);
    if (pageNumber == 1) {
        m_pendingFirst = aside;
        return;
    }
    if (!m_pendingFirst.isEmpty()) {
        const QString first = m_pendingFirst;
        m_pendingFirst.clear();
        moveIntoPlace(first, numberedPageName(m_output, 1));
    }
    moveIntoPlace(aside, numberedPageName(m_output, pageNumber));
}

void PageFileWriter::finish()
{
    if (m_pendingFirst.isEmpty())
        return;
    const QString first = m_pendingFirst;
    m_pendingFirst.clear();
    moveIntoPlace(first, m_output);
}

} // namespace pagorra
