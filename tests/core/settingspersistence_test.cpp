#include "core/settingspersistence.h"
#include "errors/errorhandler.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace pagorra;

namespace {

class Persistence : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setReportPresenter([this](const ErrorReport &r) { reports.push_back(r); });
    }
    void TearDown() override { setReportPresenter({}); }

    QString stored(const QString &name) { return store.getValue(settingsSection(), name, QStringLiteral("<missing>")); }
    void put(const QString &name, const QString &text) { store.setValue(settingsSection(), name, text); }

    RegistrySettings expectedDefaults()
    {
        RegistrySettings d = defaultSettings();
        d.strFolderPath = picturesFolder();
        return d;
    }

    QTemporaryDir dir;
    RegistryStore store{dir.filePath(QStringLiteral("settings.json"))};
    std::vector<ErrorReport> reports;
};

TEST_F(Persistence, EmptyStoreGivesDefaultsAndSavesTheTable)
{
    RegistrySettings s;
    loadRegistrySettings(s, store);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(s, expectedDefaults());
    EXPECT_EQ(s.ThumbnailHeight, 88);
    EXPECT_EQ(s.Title, u"Photo List");
    EXPECT_EQ(s.TitleFontColor, -2147483630);
    EXPECT_FALSE(s.strFolderPath.endsWith(u'/'));
    EXPECT_FALSE(QFile::exists(store.filePath()));

    ASSERT_TRUE(saveRegistrySettings(s, store));
    const std::pair<const char *, const char *> written[] = {{"AddTitle", "0"},
                                                             {"PageBackColor", "16777215"},
                                                             {"PageWidth", "800"},
                                                             {"ThumbnailProportion", "1"},
                                                             {"Title", "Photo List"},
                                                             {"TitleBold", "False"},
                                                             {"TitleFontColor", "-2147483630"},
                                                             {"TitleFontName", "Tahoma"},
                                                             {"PrinterIndex", "-1"},
                                                             {"PrintLeft", "0"},
                                                             {"PrintScale", "100"},
                                                             {"PrintUnits", "0"}};
    for (const auto &[name, text] : written)
        EXPECT_EQ(stored(QString::fromUtf8(name)), QString::fromUtf8(text)) << name;
    EXPECT_EQ(stored(QStringLiteral("strFolderPath")), picturesFolder());

    RegistrySettings again;
    loadRegistrySettings(again, store);
    EXPECT_EQ(again, s);
}

TEST_F(Persistence, EveryFieldRoundTrips)
{
    RegistrySettings s = expectedDefaults();
    s.AddTitle = 1;
    s.PageBackColor = 0x00336699;
    s.PageMarginTop = -5;
    s.PageZoom = 1;
    s.Title = QStringLiteral("  Holiday \"2024\" \\ Été\nline two ");
    s.TitleBold = true;
    s.TitleFontColor = std::int32_t(0x80000008u);
    s.TitleFontName = QString();
    s.strFolderPath = QStringLiteral("/home/u/Bilder mit Leerzeichen");
    s.iState = 2;
    s.PrintFit = true;
    s.PrintCopies = 3;
    s.PrintLeft = 12.345;
    s.PrintTop = -0.5;
    s.PrintScale = 66.6666666666667;
    ASSERT_TRUE(saveRegistrySettings(s, store));
    RegistrySettings back;
    loadRegistrySettings(back, store);
    EXPECT_EQ(back, s);
    EXPECT_TRUE(reports.empty());
}

struct FolderCase {
    const char *storedText; // nullptr: not stored
    bool expectPictures;
};

class FolderField : public Persistence, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(FolderField, Rules)
{
    const FolderCase c = GetParam();
    if (c.storedText)
        put(QStringLiteral("strFolderPath"), QString::fromUtf8(c.storedText));
    RegistrySettings s;
    loadRegistrySettings(s, store);
    EXPECT_EQ(s.strFolderPath, c.expectPictures ? picturesFolder() : QString::fromUtf8(c.storedText));
}

INSTANTIATE_TEST_SUITE_P(Table, FolderField,
                         ::testing::Values(FolderCase{nullptr, true}, FolderCase{"app.path", true},
                                           FolderCase{"App.Path", false}, FolderCase{"", false},
                                           FolderCase{"/srv/photos", false}));

TEST(PicturesFolder, HasNoTrailingSeparator)
{
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString folder = picturesFolder();
    EXPECT_FALSE(folder.endsWith(u'/'));
    EXPECT_TRUE(expected.startsWith(folder));
    EXPECT_LE(expected.size() - folder.size(), 1);
}

TEST_F(Persistence, BoolStoredAsNumberIsWrittenBackAsWord)
{
    put(QStringLiteral("TitleBold"), QStringLiteral("1"));
    put(QStringLiteral("PrintFit"), QStringLiteral("tRuE"));
    put(QStringLiteral("AddTitle"), QStringLiteral("1"));
    RegistrySettings s;
    loadRegistrySettings(s, store);
    EXPECT_TRUE(s.TitleBold);
    EXPECT_TRUE(s.PrintFit);
    EXPECT_EQ(s.AddTitle, 1);
    saveRegistrySettings(s, store);
    EXPECT_EQ(stored(QStringLiteral("TitleBold")), u"True");
    EXPECT_EQ(stored(QStringLiteral("PrintFit")), u"True");
}

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

// One value that cannot be read costs only that value: it takes its default, everything
// else keeps the user's settings, one report names the load, and the save that follows
// writes the user's settings back with the default in place of the bad one.
TEST_P(BadValueLoad, FieldTakesDefaultOthersStillLoad)
{
    const BadValue bad = GetParam();
    const std::pair<const char *, const char *> mine[] = {
        {"AddTitle", "1"},         {"PageBackColor", "255"}, {"PageWidth", "1024"}, {"PageHeight", "700"},
        {"ThumbnailHeight", "99"}, {"Title", "Mine"},        {"TitleBold", "True"}, {"iState", "2"},
        {"PrintCopies", "3"},      {"PrintScale", "50"},     {"PrintUnits", "2"}};
    for (const auto &[name, text] : mine)
        put(QString::fromUtf8(name), QString::fromUtf8(text));
    const QString badName = QString::fromUtf8(bad.field);
    if (bad.text) {
        put(badName, QString::fromUtf8(bad.text));
    } else {
        // The same name holding a 32-bit number, as another program might have left it.
        QFile f(store.filePath());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
        f.close();
        const QString company = RegistryStore::companyKey(), app = RegistryStore::defaultAppName();
        QJsonObject c = root[company].toObject(), a = c[app].toObject(), sec = a[settingsSection()].toObject();
        sec[badName] = QJsonObject{{QStringLiteral("type"), 4}, {QStringLiteral("data"), 5}};
        a[settingsSection()] = sec;
        c[app] = a;
        root[company] = c;
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(root).toJson());
    }

    RegistrySettings s;
    loadRegistrySettings(s, store);

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].routineName, u"subLoadRegistrySettings");
    EXPECT_TRUE(reports[0].systemError.startsWith(QString::number(bad.number) + QStringLiteral(" - ")))
        << reports[0].systemError.toStdString();

    RegistrySettings expected = expectedDefaults();
    expected.AddTitle = 1;
    expected.PageBackColor = 255;
    expected.PageWidth = 1024;
    expected.PageHeight = 700;
    expected.ThumbnailHeight = 99;
    expected.Title = QStringLiteral("Mine");
    expected.TitleBold = true;
    expected.iState = 2;
    expected.PrintCopies = 3;
    expected.PrintScale = 50;
    expected.PrintUnits = 2;
    // The bad field alone is back at its default.
    const RegistrySettings defaults = expectedDefaults();
    if (badName == u"AddTitle")
        expected.AddTitle = defaults.AddTitle;
    if (badName == u"PageWidth")
        expected.PageWidth = defaults.PageWidth;
    if (badName == u"PageHeight")
        expected.PageHeight = defaults.PageHeight;
    if (badName == u"ThumbnailHeight")
        expected.ThumbnailHeight = defaults.ThumbnailHeight;
    if (badName == u"TitleBold")
        expected.TitleBold = defaults.TitleBold;
    if (badName == u"PrintScale")
        expected.PrintScale = defaults.PrintScale;
    if (badName == u"PageZoom")
        expected.PageZoom = defaults.PageZoom;
    EXPECT_EQ(s, expected);

    reports.clear();
    ASSERT_TRUE(saveRegistrySettings(s, store));
    EXPECT_TRUE(reports.empty());
    RegistrySettings afterSave;
    loadRegistrySettings(afterSave, store);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(afterSave, expected);
    EXPECT_EQ(stored(QStringLiteral("Title")), u"Mine");
    EXPECT_EQ(stored(QStringLiteral("PrintCopies")), u"3");
}

INSTANTIATE_TEST_SUITE_P(Table, BadValueLoad,
                         ::testing::Values(BadValue{"PageWidth", "letters", err::TypeMismatch},
                                           BadValue{"AddTitle", "300", err::Overflow},
                                           BadValue{"ThumbnailHeight", "", err::TypeMismatch},
                                           BadValue{"TitleBold", "maybe", err::TypeMismatch},
                                           BadValue{"PrintScale", "1e999", err::Overflow},
                                           BadValue{"PageZoom", "-1", err::Overflow},
                                           BadValue{"PageHeight", nullptr, err::ApplicationBase + 2004}));

TEST_F(Persistence, SeveralBadValuesReportTheFirstOnce)
{
    put(QStringLiteral("PageHeight"), QStringLiteral("x"));
    put(QStringLiteral("PrintCopies"), QStringLiteral("99999999999"));
    put(QStringLiteral("Title"), QStringLiteral("kept"));
    RegistrySettings s;
    loadRegistrySettings(s, store);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].systemError.startsWith(u"13 - Type mismatch"));
    EXPECT_EQ(s.PageHeight, 600);
    EXPECT_EQ(s.PrintCopies, 1);
    EXPECT_EQ(s.Title, u"kept");
}

TEST_F(Persistence, UnreadableFileGivesDefaultsWithOneReport)
{
    QFile f(store.filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{ truncated");
    f.close();
    RegistrySettings s;
    loadRegistrySettings(s, store);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].routineName, u"subLoadRegistrySettings");
    EXPECT_EQ(s, expectedDefaults());
    EXPECT_TRUE(saveRegistrySettings(s, store));
    EXPECT_EQ(stored(QStringLiteral("PageWidth")), u"800");
}

TEST_F(Persistence, SaveFailureIsReportedAndWritesNothing)
{
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const RegistryStore blocked(dir.filePath(QStringLiteral("blocker/settings.json")));
    EXPECT_FALSE(saveRegistrySettings(expectedDefaults(), blocked));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].routineName, u"subSaveRegistrySettings");
    EXPECT_TRUE(reports[0].systemError.endsWith(u" - Could not open/create registry section"));
}

} // namespace
