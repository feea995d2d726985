#include "errors/keptreports.h"

#include "core/atomicwrite.h"
#include "core/filenames.h"
#include "core/product.h"
#include "core/temporaryfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace pagorra {

namespace {

// It holds what the user wrote and maybe an e-mail address.
constexpr unsigned kReportFileMode = 0600;

QString reportsFolderText()
{
    return QStringLiteral("/pagorra/reports");
}

} // namespace

QString keptReportsFolder()
{
    // The XDG base directory rules: a relative value is to be ignored.
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return QDir::cleanPath(state) + reportsFolderText();
    return QDir::homePath() + QStringLiteral("/.local/state") + reportsFolderText();
}

QString keptReportText(const QList<std::pair<QString, QString>> &fields, const QString &why)
{
    QString text = productTitle() + QStringLiteral(" error report, kept because it was not delivered: ") + why +
                   QStringLiteral("\nWritten: ") +
                   QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t")) +
                   QStringLiteral("\n\n");
    for (const auto &[key, value] : fields) {
        // A value's further lines are indented, so that each line still shows whose it is.
        QString lines = value;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        text += key + QStringLiteral(": ") + lines.replace(u'\n', QStringLiteral("\n  ")) + u'\n';
    }
    return text;
}

QString keepReport(const QString &text, QString &error)
{
    const QString folder = keptReportsFolder();
    if (const std::optional<WriteFailure> failure = createFolders(folder)) {
        error = QStringLiteral("'%1': %2").arg(displayName(folder), failure->reason);
        return {};
    }
    removeOrphanedTemporaries(folder, QStringLiteral("report-"), QString());
    const QString stem =
        folder + QStringLiteral("/report-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".txt");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + u'-' + QString::number(n) + QStringLiteral(".txt");
    if (const std::optional<WriteFailure> failure = replaceFileAtomically(path, text.toUtf8(), kReportFileMode)) {
        error = QStringLiteral("'%1': %2").arg(displayName(path), failure->reason);
        return {};
    }
    return path;
}

} // namespace pagorra
