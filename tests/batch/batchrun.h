// Running the batch tool as a user would, for the tests of its end-to-end behaviour.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace batchrun {

using namespace Qt::StringLiterals;

inline const QString kData = QStringLiteral(PAGORRA_TESTDATA);
inline const QString kPhotos = kData + u"/photos"_s;

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

// Never the user's own settings: an empty settings folder unless a test brings one. Through
// the shell, `shellTail` may add arguments printf makes from octal escapes: bytes that are not
// UTF-8, which QProcess cannot pass.
inline void startBatch(QProcess &p, const QStringList &arguments, const QString &configHome = {},
                       const QString &shellTail = {}, const QString &workingFolder = {})
{
    static QTemporaryDir emptyConfig;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, configHome.isEmpty() ? emptyConfig.path() : configHome);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingFolder);
    p.start(u"/bin/sh"_s,
            QStringList{u"-c"_s, u"exec \"$0\" \"$@\" "_s + shellTail, QStringLiteral(PAGORRA_BATCH_EXE)} + arguments);
}

inline Outcome runBatch(const QStringList &arguments, const QString &configHome = {}, const QString &shellTail = {},
                        const QString &workingFolder = {})
{
    QProcess p;
    startBatch(p, arguments, configHome, shellTail, workingFolder);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

inline QStringList photoFiles()
{
    QStringList files;
    for (const QString &name : QDir(kPhotos).entryList(QDir::Files, QDir::Name))
        files << kPhotos + u'/' + name;
    return files;
}

// Lines of a tool's standard output; empty when it fails.
inline QStringList toolOutput(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

} // namespace batchrun
