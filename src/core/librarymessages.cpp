#include "core/librarymessages.h"

#include <QString>
#include <QtGlobal>

namespace pagorra {

namespace {

QtMessageHandler g_next = nullptr;

// Qt looks for a sandbox marker in the runtime folder whenever a GUI application starts, and
// warns when the session names no runtime folder (a console login, cron, a container). Neither
// program needs one then: the desktop program's single-instance lock goes to the private folder
// Qt makes in its place. Other runtime-folder warnings (wrong owner or permissions) name a real
// fault and are kept.
bool isNoise(QtMsgType type, const QString &message)
{
    return type == QtWarningMsg && message.startsWith(u"QStandardPaths: XDG_RUNTIME_DIR not set");
}

void filterMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!isNoise(type, message))
        g_next(type, context, message);
}

} // namespace

void quietenLibraryMessages()
{
    if (!g_next)
        g_next = qInstallMessageHandler(filterMessage);
}

} // namespace pagorra
