// Fuzz target: any bytes as the settings file. Whatever it holds, reading a value must not
// crash or change the file, and a value written must read back.
#include "core/registrystore.h"
#include "core/runtimeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *g_dir = nullptr;

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    g_dir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/pagorra-store-fuzz-XXXXXX"));
    return g_dir->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A fresh folder each time: an unreadable file is renamed aside, never overwritten.
    QDir folder(g_dir->path());
    folder.removeRecursively();
    folder.mkpath(QStringLiteral("."));
    const QString path = folder.filePath(QStringLiteral("settings.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();

    const QString section = QStringLiteral("Pagorra");
    pagorra::RegistryStore readOnly(path);
    readOnly.setReadOnly(true);
    try {
        readOnly.getValue(section, QStringLiteral("Title"), QString());
        readOnly.getValue(QStringLiteral("Other"), QStringLiteral("PageWidth"), QStringLiteral("800"));
    } catch (const pagorra::RuntimeError &) {
    }
    if (contents(path) != QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)))
        std::abort(); // a read-only store changed the file

    pagorra::RegistryStore store(path);
    try {
        store.setValue(section, QStringLiteral("Title"), QStringLiteral("fuzz"));
    } catch (const pagorra::RuntimeError &) {
        return 0;
    }
    if (store.getValue(section, QStringLiteral("Title"), QString()) != QStringLiteral("fuzz"))
        std::abort(); // written, yet not read back
    return 0;
}
