// The built desktop program, run as the user would run it: one copy per user.
#include "core/registrystore.h"
#include "core/settingspersistence.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <memory>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ProgramRun : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkdir(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        RegistryStore store(settingsPath());
        store.setValues(settingsSection(), {{u"Title"_s, u"Before"_s}, {u"PageWidth"_s, u"1234"_s}});
        m_settingsBefore = readBytes(settingsPath());
        ASSERT_FALSE(m_settingsBefore.isEmpty());
    }

    void TearDown() override
    {
        for (auto &p : m_processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(10000);
            }
        }
    }

    QString runtimeDir() const { return m_dir.filePath(u"run"_s); }
    QString lockPath() const { return runtimeDir() + u"/pagorra.lock"_s; }
    QString settingsPath() const { return m_dir.filePath(u"config/pagorra/settings.json"_s); }

    QProcess &start()
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, runtimeDir());
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(PAGORRA_BINARY), {});
        EXPECT_TRUE(process->waitForStarted(10000));
        m_processes.push_back(std::move(process));
        return *m_processes.back();
    }

    // The process whose id the lock file names, or 0.
    qint64 lockOwner() const { return readBytes(lockPath()).split('\n').value(0).toLongLong(); }

    bool waitFor(const std::function<bool()> &condition)
    {
        QDeadlineTimer deadline(30000);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
        return true;
    }

    QTemporaryDir m_dir;
    QByteArray m_settingsBefore;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// A crash (kill) leaves the lock file behind: the next copy must take it over, not be refused.
TEST_F(ProgramRun, SecondCopyIsRefusedAndAKilledCopysLockIsTakenOver)
{
    QProcess &first = start();
    ASSERT_TRUE(waitFor([&] { return lockOwner() == first.processId(); }));

    QProcess &second = start();
    QByteArray err;
    const QByteArray message =
        "There is already an instance of Arvok Pagorra running!\nMultiple instance is unsupported.\n";
    ASSERT_TRUE(waitFor([&] {
        second.waitForReadyRead(20);
        err += second.readAllStandardError();
        return err.contains(message) || second.state() == QProcess::NotRunning;
    })) << err.toStdString();
    EXPECT_TRUE(err.contains(message)) << err.toStdString();
    second.kill();
    second.waitForFinished(10000);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(lockOwner(), first.processId());

    first.kill(); // no shutdown, so no save
    first.waitForFinished(10000);
    EXPECT_EQ(readBytes(settingsPath()), m_settingsBefore);
    ASSERT_TRUE(QFile::exists(lockPath()));
    QProcess &next = start();
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
