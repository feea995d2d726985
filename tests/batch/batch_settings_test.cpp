#include "batch/batchoptions.h"
#include "core/registrystore.h"
#include "core/runtimeerror.h"
#include "core/settingspersistence.h"
#include "errors/errorhandler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::int32_t raisedNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

// Collects the reports the settings load makes instead of printing them.
class CapturedReports {
  public:
    CapturedReports()
    {
        setReportPresenter([this](const ErrorReport &r) { routines << r.routineName + u' ' + r.systemError; });
    }
    ~CapturedReports() { setReportPresenter({}); }
    QStringList routines;
};

class ReadOnlyStore : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString folder = dir.filePath(u"pagorra"_s);
    QString path = folder + u"/settings.json"_s;
    const QString section = settingsSection();
};

} // namespace

TEST_F(ReadOnlyStore, RefusesWritesAndLeavesAnUnparsableFileWhereItIs)
{
    RegistryStore store(path);
    store.setReadOnly(true);
    EXPECT_EQ(raisedNumber([&] { store.setValue(section, u"Title"_s, u"t"_s); }), err::ApplicationBase + 2000 + EROFS);
    EXPECT_FALSE(QFileInfo::exists(folder));

    const QByteArray broken = "{\"Software\\\\Halvorn Imaging\": {not json";
    writeBytes(path, broken);
    EXPECT_EQ(raisedNumber([&] { store.getValue(section, u"Title"_s, QString()); }),
              err::ApplicationBase + 2000 + EBADMSG);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"settings.json"_s});
    EXPECT_EQ(readBytes(path), broken);
}

TEST_F(ReadOnlyStore, BatchSettingsComeFromTheStoreAndBadValuesTakeTheirDefaults)
{
    RegistryStore writable(path);
    writable.setValues(section,
                       {{u"PageWidth"_s, u"640"_s}, {u"ThumbnailHeight"_s, u"wide"_s}, {u"Title"_s, u"Holiday"_s}});
    const QByteArray stored = readBytes(path);
    const QDateTime modified = QFileInfo(path).lastModified();

    CapturedReports reports;
    const RegistrySettings s = batchBaseSettings(path);
    EXPECT_EQ(s.PageWidth, 640);
    EXPECT_EQ(s.ThumbnailHeight, 88); // cannot be converted: its default, and the rest still loads
    EXPECT_EQ(s.Title, u"Holiday"_s);
    ASSERT_EQ(reports.routines.size(), 1);
    EXPECT_TRUE(reports.routines.first().startsWith(u"subLoadRegistrySettings"));
    EXPECT_EQ(readBytes(path), stored);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);

    writeBytes(path, "[1, 2]");
    reports.routines.clear();
    const RegistrySettings d = batchBaseSettings(path);
    EXPECT_EQ(d.PageWidth, 800);
    ASSERT_EQ(reports.routines.size(), 1);
    EXPECT_TRUE(reports.routines.first().contains(path));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"settings.json"_s});
    EXPECT_EQ(readBytes(path), QByteArray("[1, 2]"));
}
