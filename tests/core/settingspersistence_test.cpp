#include "core/settingspersistence.h"
#include "errors/errorhandler.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

QJsonObject text(const char *t)
{
    return {{u"type"_s, 1}, {u"data"_s, QString::fromUtf8(t)}};
}

class Persistence : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setReportPresenter([this](const ErrorReport &r) { reports.push_back(r); });
    }
    void TearDown() override { setReportPresenter({}); }

    QString stored(const QString &name) { return store.getValue(settingsSection(), name, u"<missing>"_s); }

    void writeFile(const QByteArray &bytes)
    {
        QFile f(store.filePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    // A whole file holding `values` as the settings section.
    void writeSection(const QJsonObject &values)
    {
        writeFile(QJsonDocument(QJsonObject{{RegistryStore::companyKey(),
                                             QJsonObject{{RegistryStore::defaultAppName(),
                                                          QJsonObject{{settingsSection(), values}}}}}})
                      .toJson());
    }

    static RegistrySettings expectedDefaults()
    {
        RegistrySettings d = defaultSettings();
        d.strFolderPath = picturesFolder();
        return d;
    }

    QTemporaryDir dir;
    RegistryStore store{dir.filePath(u"settings.json"_s)};
    std::vector<ErrorReport> reports;
};

TEST_F(Persistence, EmptyStoreGivesDefaultsAndSavesTheTable)
{
    RegistrySettings s;
    loadRegistrySettings(s, store);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(s, expectedDefaults());
    EXPECT_FALSE(s.strFolderPath.endsWith(u'/'));
    EXPECT_FALSE(QFile::exists(store.filePath()));

    ASSERT_TRUE(saveRegistrySettings(s, store));
    const std::pair<const char *, const char *> written[] = {
        {"AddTitle", "0"},      {"PageBackColor", "16777215"},     {"PageWidth", "800"},   {"Title", "Photo List"},
        {"TitleBold", "False"}, {"TitleFontColor", "-2147483630"}, {"PrinterIndex", "-1"}, {"PrintLeft", "0"},
        {"PrintScale", "100"}};
    for (const auto &[name, value] : written)
        EXPECT_EQ(stored(QString::fromUtf8(name)), QString::fromUtf8(value)) << name;
}

TEST_F(Persistence, EveryFieldRoundTrips)
{
    RegistrySettings s = expectedDefaults();
    s.AddTitle = 1;
    s.PageBackColor = 0x00336699;
    s.PageMarginTop = -5;
    s.Title = u"  Holiday \"2024\" \\ Été\nline two "_s;
    s.TitleBold = true;
    s.TitleFontColor = std::int32_t(0x80000008u);
    s.TitleFontName = QString();
    s.strFolderPath = u"/home/u/Bilder mit Leerzeichen"_s;
    s.PrintCopies = 3;
    s.PrintTop = -0.5;
    s.PrintScale = 66.6666666666667;
    ASSERT_TRUE(saveRegistrySettings(s, store));
    RegistrySettings back;
    loadRegistrySettings(back, store);
    EXPECT_EQ(back, s);
    EXPECT_TRUE(reports.empty());
}

class FolderField : public Persistence, public ::testing::WithParamInterface<std::pair<const char *, bool>> {};

TEST_P(FolderField, AppPathAndMissingMeanThePicturesFolder)
{
    const auto [storedText, expectPictures] = GetParam();
    if (storedText)
        writeSection({{u"strFolderPath"_s, text(storedText)}});
    RegistrySettings s;
    loadRegistrySettings(s, store);
    EXPECT_EQ(s.strFolderPath, expectPictures ? picturesFolder() : QString::fromUtf8(storedText));
}

INSTANTIATE_TEST_SUITE_P(Table, FolderField,
                         ::testing::Values(std::pair{nullptr, true}, std::pair{"app.path", true},
                                           std::pair{"App.Path", false}, std::pair{"", false}));

struct BadValue {
    const char *field;
    const char *text; // nullptr: a 32-bit number value instead of a string
    std::int32_t number;
};

void PrintTo(const BadValue &b, std::ostream *os)
{
    *os << b.field;
}

class BadValueLoad : public Persistence, public ::testing::WithParamInterface<BadValue> {};

// A value that cannot be read costs only that value: it takes its default, the later fields
// still load, one report names the first failure, and the save that follows writes the user's
// settings back with the default in place of the bad one. A later bad PrintPaperSize is in
// every row.
TEST_P(BadValueLoad, FieldTakesDefaultOthersStillLoad)
{
    const BadValue bad = GetParam();
    const QString badName = QString::fromUtf8(bad.field);
    const std::pair<const char *, const char *> mine[] = {
        {"AddTitle", "1"},     {"PageBackColor", "255"},  {"PageWidth", "1024"},
        {"PageHeight", "700"}, {"ThumbnailHeight", "99"}, {"Title", "Mine"},
        {"TitleBold", "True"}, {"PrintScale", "50"},      {"PrintUnits", "2"}};
    QJsonObject values;
    for (const auto &[name, value] : mine)
        if (badName != QString::fromUtf8(name))
            values[QString::fromUtf8(name)] = text(value);
    writeSection(values);
    RegistrySettings expected;
    loadRegistrySettings(expected, store);
    ASSERT_TRUE(reports.empty());
    ASSERT_EQ(expected.PrintUnits, 2);

    values[badName] = bad.text ? text(bad.text) : QJsonObject{{u"type"_s, 4}, {u"data"_s, 5}};
    values[u"PrintPaperSize"_s] = text("A4");
    writeSection(values);
    RegistrySettings s;
    loadRegistrySettings(s, store);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].routineName, u"subLoadRegistrySettings");
    EXPECT_TRUE(reports[0].systemError.startsWith(QString::number(bad.number) + u" - "_s))
        << reports[0].systemError.toStdString();
    EXPECT_EQ(s, expected);

    reports.clear();
    ASSERT_TRUE(saveRegistrySettings(s, store));
    RegistrySettings afterSave;
    loadRegistrySettings(afterSave, store);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(afterSave, expected);
    EXPECT_EQ(stored(u"Title"_s), u"Mine");
}

INSTANTIATE_TEST_SUITE_P(Table, BadValueLoad,
                         ::testing::Values(BadValue{"PageWidth", "letters", err::TypeMismatch},
                                           BadValue{"AddTitle", "300", err::Overflow},
                                           BadValue{"TitleBold", "maybe", err::TypeMismatch},
                                           BadValue{"PageHeight", nullptr, err::ApplicationBase + 2004}));

TEST_F(Persistence, UnreadableFileGivesDefaultsWithOneReport)
{
    writeFile("{ truncated");
    RegistrySettings s;
    loadRegistrySettings(s, store);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].routineName, u"subLoadRegistrySettings");
    EXPECT_EQ(s, expectedDefaults());
    EXPECT_TRUE(saveRegistrySettings(s, store));
    EXPECT_EQ(stored(u"PageWidth"_s), u"800");
}

TEST_F(Persistence, SaveFailureIsReported)
{
    writeFile("");
    const RegistryStore blocked(store.filePath() + u"/settings.json"_s); // under a plain file
    EXPECT_FALSE(saveRegistrySettings(expectedDefaults(), blocked));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].routineName, u"subSaveRegistrySettings");
    EXPECT_TRUE(reports[0].systemError.endsWith(u" - Could not open/create registry section"));
}

} // namespace
