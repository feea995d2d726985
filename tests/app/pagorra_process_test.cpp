// The built programs, run as the user would run them, in a session that names no runtime folder
// (a console login, cron): they must work and say nothing about it. The one-copy lock then lives
// in the private folder Qt makes in TMPDIR.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <list>

using namespace Qt::StringLiterals;

namespace {

bool waitFor(const std::function<bool()> &condition)
{
    for (QDeadlineTimer deadline(30000); !condition(); QThread::msleep(20))
        if (deadline.hasExpired())
            return false;
    return true;
}

// A crash (kill) leaves the lock file behind: the next copy must take it over, not be refused.
TEST(ProgramRun, QuietAndOneCopyAtATimeAndAKilledCopysLockIsTakenOver)
{
    QTemporaryDir dir;
    std::list<QProcess> processes; // each is killed when it goes
    const auto start = [&](const char *program, const QStringList &arguments = {}, bool display = true) -> QProcess & {
        QProcess &process = processes.emplace_back();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        env.insert(u"TMPDIR"_s, dir.path());
        env.remove(u"XDG_RUNTIME_DIR"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        if (!display) {
            for (const QString &name : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s})
                env.remove(name);
        }
        process.setProcessEnvironment(env);
        process.start(QString::fromLocal8Bit(program), arguments);
        EXPECT_TRUE(process.waitForStarted(10000));
        return process;
    };
    const auto lockOwner = [&] { // the process whose id the lock file names, or 0
        const QStringList runtime = QDir(dir.path()).entryList({u"runtime-*"_s}, QDir::Dirs);
        QFile lock(dir.filePath(runtime.value(0) + u"/pagorra.lock"_s));
        return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
    };

    QProcess &batch = start(PAGORRA_BATCH_BINARY, {u"--help"_s});
    EXPECT_TRUE(batch.waitForFinished(30000) && batch.readAllStandardOutput().startsWith("Usage"));
    EXPECT_EQ(batch.readAllStandardError().toStdString(), "");
    // The desktop program answers --help and --version without a display to open a window on.
    for (const QString &option : {u"--help"_s, u"--version"_s}) {
        QProcess &desktop = start(PAGORRA_BINARY, {option}, false);
        EXPECT_TRUE(desktop.waitForFinished(30000) && desktop.exitCode() == 0);
        const QByteArray out = desktop.readAllStandardOutput();
        EXPECT_TRUE(out.startsWith("Usage: pagorra [") || out == "pagorra 1.0.0\n") << out.toStdString();
    }

    QProcess &first = start(PAGORRA_BINARY);
    ASSERT_TRUE(waitFor([&] { return lockOwner() == first.processId(); }));
    QProcess &second = start(PAGORRA_BINARY);
    QByteArray err;
    const QByteArray message =
        "There is already an instance of Arvok Pagorra running!\nMultiple instance is unsupported.\n";
    ASSERT_TRUE(waitFor([&] {
        second.waitForReadyRead(20);
        err += second.readAllStandardError();
        return err.contains(message) || second.state() == QProcess::NotRunning;
    })) << err.toStdString();
    // Nothing before it (the headless platform of the tests complains about the box that follows).
    EXPECT_TRUE(err.startsWith(message)) << err.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(lockOwner(), first.processId());

    first.kill();
    first.waitForFinished(10000);
    QProcess &next = start(PAGORRA_BINARY);
    ASSERT_TRUE(waitFor([&] { return lockOwner() == next.processId() || next.state() == QProcess::NotRunning; }))
        << next.readAllStandardError().toStdString();
    EXPECT_EQ(next.state(), QProcess::Running);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
