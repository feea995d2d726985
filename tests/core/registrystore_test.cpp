#include "core/registrystore.h"
#include "core/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace pagorra;

namespace {

constexpr std::int32_t kBase = err::ApplicationBase;

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The error a call raises, or 0.
RuntimeError raised(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e;
    }
    return RuntimeError(0, QString());
}

QStringList corruptCopies(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("settings.json.corrupt-*")}, QDir::Files);
}

class StoreTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("cfg/pagorra/settings.json"));
    RegistryStore store{path};
    const QString section = QStringLiteral("Pagorra");
};

TEST_F(StoreTest, MissingFileSectionOrValueGivesDefaultAndCreatesNothing)
{
    EXPECT_EQ(store.getValue(section, QStringLiteral("PageWidth"), QStringLiteral("800")), u"800");
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(path).absolutePath()));

    store.setValue(QStringLiteral("Other"), QStringLiteral("X"), QStringLiteral("1"));
    const QByteArray before = readBytes(path);
    EXPECT_EQ(store.getValue(section, QStringLiteral("PageWidth"), QStringLiteral("d")), u"d");         // no section
    EXPECT_EQ(store.getValue(QStringLiteral("Other"), QStringLiteral("Y"), QStringLiteral("d")), u"d"); // no value
    EXPECT_EQ(readBytes(path), before);
}

TEST_F(StoreTest, WriteCreatesFoldersAndReadsBack)
{
    store.setValue(section, QStringLiteral("PageWidth"), QStringLiteral("800"));
    EXPECT_EQ(store.getValue(section, QStringLiteral("PageWidth"), QStringLiteral("x")), u"800");
    EXPECT_EQ(QFileInfo(path).permissions() & QFileDevice::ReadOther, 0);
}

class OddTexts : public StoreTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(OddTexts, RoundTripUnchanged)
{
    const QString text = QString::fromUtf8(GetParam());
    store.setValue(section, QStringLiteral("Title"), text);
    EXPECT_EQ(store.getValue(section, QStringLiteral("Title"), QStringLiteral("default")), text);
    // The file is read afresh: a second store on the same path sees the same text.
    EXPECT_EQ(RegistryStore(path).getValue(section, QStringLiteral("Title"), QStringLiteral("default")), text);
}

INSTANTIATE_TEST_SUITE_P(Texts, OddTexts,
                         ::testing::Values("", "800", "  leading and trailing  ", " ", "say \"cheese\" and 'hi'",
                                           "back\\slash\\", "C:\\out\\Sheet.jpg", "line\nbreak\r\nand\rmore\n",
                                           "tab\there", "Ünïcødé ✓ 日本語 🙂", "{\"type\": 4, \"data\": 1}",
                                           "trailing zero\\0", "&H80000012"));

TEST_F(StoreTest, KeysAreExactSectionsAndAppNameTrimmed)
{
    store.setValue(section, QStringLiteral(" PageWidth"), QStringLiteral("1"));
    store.setValue(section, QStringLiteral("PageWidth"), QStringLiteral("2"));
    EXPECT_EQ(store.getValue(section, QStringLiteral(" PageWidth"), QString()), u"1");
    EXPECT_EQ(store.getValue(QStringLiteral("  Pagorra "), QStringLiteral("PageWidth"), QString()), u"2");
    EXPECT_EQ(RegistryStore(path, QStringLiteral(" Arvok Pagorra "))
                  .getValue(section, QStringLiteral("PageWidth"), QString()),
              u"2");
    EXPECT_EQ(store.getValue(section, QStringLiteral("pagewidth"), QStringLiteral("none")), u"none");
}

struct NameCase {
    const char *app, *section, *key;
    std::int32_t number;
    const char *description;
};

class NameChecks : public StoreTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameChecks, RaisedByReadAndWrite)
{
    const NameCase c = GetParam();
    const RegistryStore named(path, QString::fromUtf8(c.app));
    for (const RuntimeError &e :
         {raised([&] { named.getValue(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QString()); }),
          raised(
              [&] { named.setValue(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QStringLiteral("v")); })}) {
        EXPECT_EQ(e.number(), c.number);
        EXPECT_EQ(e.description(), QString::fromUtf8(c.description));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameChecks,
    ::testing::Values(NameCase{"", "", "", kBase + 1000, "AppName may not be empty"},
                      NameCase{"   ", "Pagorra", "Title", kBase + 1000, "AppName may not be empty"},
                      NameCase{"Arvok Pagorra", " ", "", kBase + 1001, "Section may not be empty"},
                      NameCase{"Arvok Pagorra", "Pagorra", " ", kBase + 1002, "Key may not be empty"},
                      NameCase{"Arvok Pagorra", "Pagorra", "", kBase + 1002, "Key may not be empty"}));

TEST_F(StoreTest, ValueOfAnotherTypeRaisesWithItsTypeCode)
{
    writeBytes(path, R"({"Software\\Halvorn Imaging": {"Arvok Pagorra": {"Pagorra": {
        "PageWidth": {"type": 4, "data": 800},
        "Blob": {"type": 3, "data": "AAEC"},
        "Title": {"type": 1, "data": "ok"}}}}})");
    RuntimeError e = raised([&] { store.getValue(section, QStringLiteral("PageWidth"), QStringLiteral("800")); });
    EXPECT_EQ(e.number(), kBase + 2004);
    EXPECT_EQ(e.number(), std::int32_t(0x800407D4u));
    EXPECT_EQ(e.description(), u"Registry data not a string");
    EXPECT_EQ(raised([&] { store.getValue(section, QStringLiteral("Blob"), QString()); }).number(), kBase + 2003);
    EXPECT_EQ(store.getValue(section, QStringLiteral("Title"), QString()), u"ok");
}

TEST_F(StoreTest, FileFailuresCarryErrno)
{
    // A plain file where the folder should be.
    const QString blocked = dir.filePath(QStringLiteral("file"));
    writeBytes(blocked, "x");
    const RegistryStore underFile(blocked + QStringLiteral("/settings.json"));
    RuntimeError e = raised([&] { underFile.getValue(section, QStringLiteral("A"), QString()); });
    EXPECT_EQ(e.number(), kBase + 2000 + ENOTDIR);
    EXPECT_EQ(e.description(), u"Could not open registry section");
    e = raised([&] { underFile.setValue(section, QStringLiteral("A"), QStringLiteral("1")); });
    EXPECT_EQ(e.number(), kBase + 2000 + ENOTDIR);
    EXPECT_EQ(e.description(), u"Could not open/create registry section");

    // A folder where the file should be.
    QDir().mkpath(path);
    e = raised([&] { store.getValue(section, QStringLiteral("A"), QString()); });
    EXPECT_EQ(e.number(), kBase + 2000 + EISDIR);
    EXPECT_EQ(e.description(), u"Could not open registry section");

    // A file name that fits, whose temporary sibling does not.
    const RegistryStore longName(dir.filePath(QString(250, u'n')));
    e = raised([&] { longName.setValue(section, QStringLiteral("A"), QStringLiteral("1")); });
    EXPECT_EQ(e.number(), kBase + 2000 + ENAMETOOLONG);
    EXPECT_EQ(e.description(), u"Could not set key value");
}

TEST_F(StoreTest, WriteKeepsEverythingElse)
{
    const QByteArray original = R"({
        "Other Company": {"Tool": {"Main": {"N": {"type": 4, "data": 7}}}},
        "Software\\Halvorn Imaging": {
            "Another App": {"S": {"V": {"type": 1, "data": "kept"}}},
            "Arvok Pagorra": {
                "Extra": {"E": {"type": 1, "data": "e"}},
                "Pagorra": {"Unknown": {"type": 1, "data": "u"}, "Bin": {"type": 3, "data": "AA"},
                            "Title": {"type": 1, "data": "old"}}}}})";
    writeBytes(path, original);
    store.setValue(section, QStringLiteral("Title"), QStringLiteral("new"));

    QJsonObject expected = QJsonDocument::fromJson(original).object();
    QJsonObject company = expected[QStringLiteral("Software\\Halvorn Imaging")].toObject();
    QJsonObject app = company[QStringLiteral("Arvok Pagorra")].toObject();
    QJsonObject sec = app[section].toObject();
    sec[QStringLiteral("Title")] =
        QJsonObject{{QStringLiteral("type"), 1}, {QStringLiteral("data"), QStringLiteral("new")}};
    app[section] = sec;
    company[QStringLiteral("Arvok Pagorra")] = app;
    expected[QStringLiteral("Software\\Halvorn Imaging")] = company;
    EXPECT_EQ(QJsonDocument::fromJson(readBytes(path)).object(), expected);
}

TEST_F(StoreTest, ReplacesTheFileAtomically)
{
    store.setValue(section, QStringLiteral("Title"), QStringLiteral("old"));
    // A second name for the old file: an in-place rewrite would change what it shows.
    const QString oldName = dir.filePath(QStringLiteral("old.json"));
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldName).constData()), 0);
    const QByteArray before = readBytes(oldName);

    store.setValues(section, {{QStringLiteral("Title"), QStringLiteral("new")},
                              {QStringLiteral("PageWidth"), QStringLiteral("900")}});
    EXPECT_EQ(readBytes(oldName), before);
    EXPECT_EQ(RegistryStore(oldName).getValue(section, QStringLiteral("Title"), QString()), u"old");
    EXPECT_EQ(store.getValue(section, QStringLiteral("Title"), QString()), u"new");
    EXPECT_EQ(store.getValue(section, QStringLiteral("PageWidth"), QString()), u"900");
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files),
              QStringList{QStringLiteral("settings.json")});
}

TEST_F(StoreTest, BatchWithOneBadKeyWritesNothing)
{
    store.setValue(section, QStringLiteral("Title"), QStringLiteral("old"));
    const QByteArray before = readBytes(path);
    EXPECT_EQ(raised([&] {
                  store.setValues(section, {{QStringLiteral("Title"), QStringLiteral("new")},
                                            {QStringLiteral(" "), QStringLiteral("x")}});
              }).number(),
              kBase + 1002);
    EXPECT_EQ(readBytes(path), before);
}

TEST_F(StoreTest, EmptyFileIsAnEmptyStore)
{
    writeBytes(path, "");
    EXPECT_EQ(store.getValue(section, QStringLiteral("Title"), QStringLiteral("d")), u"d");
    store.setValue(section, QStringLiteral("Title"), QStringLiteral("t"));
    EXPECT_EQ(store.getValue(section, QStringLiteral("Title"), QStringLiteral("d")), u"t");
}

class CorruptFile : public StoreTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(CorruptFile, IsKeptAsideAndReportedNeverOverwritten)
{
    const QByteArray content = GetParam();
    const QString folder = QFileInfo(path).absolutePath();

    for (bool viaWrite : {false, true}) {
        SCOPED_TRACE(viaWrite ? "write" : "read");
        QDir(folder).removeRecursively();
        writeBytes(path, content);
        const RuntimeError e =
            viaWrite ? raised([&] { store.setValue(section, QStringLiteral("Title"), QStringLiteral("t")); })
                     : raised([&] { store.getValue(section, QStringLiteral("Title"), QStringLiteral("d")); });
        EXPECT_EQ(e.number(), kBase + 2000 + EBADMSG);
        EXPECT_TRUE(e.description().startsWith(viaWrite ? u"Could not open/create registry section"
                                                        : u"Could not open registry section"))
            << e.description().toStdString();
        const QStringList copies = corruptCopies(folder);
        ASSERT_EQ(copies.size(), 1);
        EXPECT_TRUE(e.description().contains(copies.first()));
        EXPECT_EQ(readBytes(QDir(folder).filePath(copies.first())), content);
        EXPECT_FALSE(QFileInfo::exists(path));

        // Afterwards the store starts afresh and the kept copy stays as it was.
        EXPECT_EQ(store.getValue(section, QStringLiteral("Title"), QStringLiteral("d")), u"d");
        store.setValue(section, QStringLiteral("Title"), QStringLiteral("fresh"));
        EXPECT_EQ(store.getValue(section, QStringLiteral("Title"), QStringLiteral("d")), u"fresh");
        EXPECT_EQ(readBytes(QDir(folder).filePath(copies.first())), content);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Contents, CorruptFile,
    ::testing::Values(
        "{not json", "[1, 2]", "\"text\"", "\x01\x02\xff binary", R"({"Software\\Halvorn Imaging": 5})",
        R"({"Software\\Halvorn Imaging": {"Arvok Pagorra": {"Pagorra": {"Title": "bare"}}}})",
        R"({"Software\\Halvorn Imaging": {"Arvok Pagorra": {"Pagorra": {"Title": {"type": 1, "data": 5}}}}})"));

TEST_F(StoreTest, SecondCorruptFileGetsItsOwnName)
{
    const QString folder = QFileInfo(path).absolutePath();
    for (int i = 0; i < 2; ++i) {
        writeBytes(path, QByteArray("{broken ") + QByteArray::number(i));
        raised([&] { store.getValue(section, QStringLiteral("Title"), QString()); });
    }
    const QStringList copies = corruptCopies(folder);
    ASSERT_EQ(copies.size(), 2);
    EXPECT_NE(readBytes(QDir(folder).filePath(copies[0])), readBytes(QDir(folder).filePath(copies[1])));
}

TEST(StorePath, FollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    EXPECT_EQ(RegistryStore::defaultPath(), dir.path() + QStringLiteral("/pagorra/settings.json"));
    setRegistryValue(QStringLiteral("Pagorra"), QStringLiteral("Title"), QStringLiteral("via default store"));
    EXPECT_EQ(getRegistryValue(QStringLiteral("Pagorra"), QStringLiteral("Title"), QString()), u"via default store");
    EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/pagorra/settings.json")));
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
