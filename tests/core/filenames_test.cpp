#include "core/filenames.h"
#include "core/temporaryfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pagorra;

TEST(FileNames, EveryByteSequenceSurvivesTheRoundTripAndShowsAsOneLine)
{
    const QByteArray latin1Name("/photos/caf\xe9 \xff\x80.jpg");
    const QString text = pathFromNative(latin1Name);
    EXPECT_EQ(nativePath(text), latin1Name);
    EXPECT_EQ(displayName(text), QStringLiteral("/photos/caf\\xE9 \\xFF\\x80.jpg"));

    const QByteArray utf8Name("/fotos/\xc3\xa9t\xc3\xa9 \xf0\x9f\x93\xb7.jpg"); // été and a camera emoji
    EXPECT_EQ(pathFromNative(utf8Name), QString::fromUtf8(utf8Name));
    EXPECT_EQ(nativePath(pathFromNative(utf8Name)), utf8Name);
    // An encoded surrogate or an overlong form is not UTF-8: its bytes travel as bytes.
    for (const QByteArray &odd : {QByteArray("a\xed\xb2\x80z"), QByteArray("a\xc0\xafz"), QByteArray("a\xe9")})
        EXPECT_EQ(nativePath(pathFromNative(odd)), odd);

    EXPECT_EQ(displayName(QStringLiteral("a\nb\x1b]0;x\x07\u202Egpj.exe")),
              QStringLiteral("a\\nb\\x1B]0;x\\x07\\u202Egpj.exe"));
}

TEST(FileNames, OnlyOrphanedTemporariesAreRemoved)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0); // its id now names no process
    const QString gone = QStringLiteral(".Sheet1.png.%1-0123abcd.part").arg(child);
    const QString mine = QStringLiteral(".Sheet2.png.%1.part").arg(temporaryTag());
    const QString user = QStringLiteral("notes.%1-0123abcd.txt").arg(child);
    for (const QString &name : {gone, mine, user}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(removeOrphanedTemporaries(dir.path(), QStringLiteral("."), QStringLiteral(".part")), 1);
    EXPECT_FALSE(QFile::exists(dir.filePath(gone)));
    EXPECT_TRUE(QFile::exists(dir.filePath(mine)));
    EXPECT_TRUE(QFile::exists(dir.filePath(user)));
}
