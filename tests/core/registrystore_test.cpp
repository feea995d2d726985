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
using namespace Qt::StringLiterals;

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

// The error a call raises, or number 0.
RuntimeError raised(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e;
    }
    return RuntimeError(0, QString());
}

class StoreTest : public ::testing::Test {
  protected:
    QString get(const QString &key, const QString &def = u"d"_s) const { return store.getValue(section, key, def); }
    void set(const QString &key, const QString &value) const { store.setValue(section, key, value); }

    QTemporaryDir dir;
    QString path = dir.filePath(u"cfg/pagorra/settings.json"_s);
    QString folder = QFileInfo(path).absolutePath();
    RegistryStore store{path};
    const QString section = u"Pagorra"_s;
};

TEST_F(StoreTest, MissingFileSectionOrValueGivesDefaultAndCreatesNothing)
{
    EXPECT_EQ(get(u"PageWidth"_s, u"800"_s), u"800");
    EXPECT_FALSE(QFileInfo::exists(folder));

    store.setValue(u"Other"_s, u"X"_s, u"1"_s);
    EXPECT_EQ(QFileInfo(path).permissions() & QFileDevice::ReadOther, 0);
    const QByteArray before = readBytes(path);
    EXPECT_EQ(get(u"PageWidth"_s), u"d");                        // no section
    EXPECT_EQ(store.getValue(u"Other"_s, u"Y"_s, u"d"_s), u"d"); // no value
    EXPECT_EQ(readBytes(path), before);

    writeBytes(path, ""); // an empty file is an empty store
    EXPECT_EQ(get(u"Title"_s), u"d");
    set(u"Title"_s, u"t"_s);
    EXPECT_EQ(get(u"Title"_s), u"t");
}

class OddTexts : public StoreTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(OddTexts, RoundTripUnchanged)
{
    const QString text = QString::fromUtf8(GetParam());
    set(u"Title"_s, text);
    EXPECT_EQ(RegistryStore(path).getValue(section, u"Title"_s, u"default"_s), text);
}

INSTANTIATE_TEST_SUITE_P(Texts, OddTexts,
                         ::testing::Values("", "  leading and trailing  ", "say \"cheese\" and 'hi'", "C:\\out\\",
                                           "line\nbreak\r\nand\rmore\n", "tab\there", "Ünïcødé ✓ 日本語 🙂",
                                           "{\"type\": 4, \"data\": 1}", "trailing zero\\0"));

TEST_F(StoreTest, KeysAreExactSectionsAndAppNameTrimmed)
{
    set(u" PageWidth"_s, u"1"_s);
    set(u"PageWidth"_s, u"2"_s);
    EXPECT_EQ(get(u" PageWidth"_s), u"1");
    EXPECT_EQ(get(u"pagewidth"_s), u"d");
    EXPECT_EQ(store.getValue(u"  Pagorra "_s, u"PageWidth"_s, QString()), u"2");
    EXPECT_EQ(RegistryStore(path, u" Arvok Pagorra "_s).getValue(section, u"PageWidth"_s, {}), u"2");
}

TEST_F(StoreTest, EmptyNamesRaiseOnReadAndWrite)
{
    const struct {
        const char *app, *section, *key;
        std::int32_t number;
        const char *description;
    } cases[] = {{"   ", "Pagorra", "Title", kBase + 1000, "AppName may not be empty"},
                 {"Arvok Pagorra", " ", "", kBase + 1001, "Section may not be empty"},
                 {"Arvok Pagorra", "Pagorra", " ", kBase + 1002, "Key may not be empty"}};
    for (const auto &c : cases) {
        const RegistryStore named(path, QString::fromUtf8(c.app));
        const QString sec = QString::fromUtf8(c.section), key = QString::fromUtf8(c.key);
        for (const RuntimeError &e : {raised([&] { named.getValue(sec, key, QString()); }),
                                      raised([&] { named.setValue(sec, key, u"v"_s); })}) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.description(), QString::fromUtf8(c.description));
        }
    }
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(StoreTest, ValueOfAnotherTypeRaisesWithItsTypeCode)
{
    writeBytes(path, R"({"Software\\Halvorn Imaging": {"Arvok Pagorra": {"Pagorra": {
        "PageWidth": {"type": 4, "data": 800}, "Blob": {"type": 3, "data": "AAEC"}}}}})");
    const RuntimeError e = raised([&] { get(u"PageWidth"_s); });
    EXPECT_EQ(e.number(), std::int32_t(0x800407D4u)); // base + 2000 + 4
    EXPECT_EQ(e.description(), u"Registry data not a string");
    EXPECT_EQ(raised([&] { get(u"Blob"_s); }).number(), kBase + 2003);
}

TEST_F(StoreTest, FileFailuresCarryErrno)
{
    const QString blocked = dir.filePath(u"file"_s); // a plain file where the folder should be
    writeBytes(blocked, "x");
    const RegistryStore underFile(blocked + u"/settings.json"_s);
    RuntimeError e = raised([&] { underFile.getValue(section, u"A"_s, QString()); });
    EXPECT_EQ(e.number(), kBase + 2000 + ENOTDIR);
    EXPECT_EQ(e.description(), u"Could not open registry section");
    e = raised([&] { underFile.setValue(section, u"A"_s, u"1"_s); });
    EXPECT_EQ(e.number(), kBase + 2000 + ENOTDIR);
    EXPECT_EQ(e.description(), u"Could not open/create registry section");

    QDir().mkpath(path); // a folder where the file should be
    EXPECT_EQ(raised([&] { get(u"A"_s); }).number(), kBase + 2000 + EISDIR);

    // A file name that fits, whose temporary sibling does not.
    const RegistryStore longName(dir.filePath(QString(250, u'n')));
    e = raised([&] { longName.setValue(section, u"A"_s, u"1"_s); });
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
    set(u"Title"_s, u"new"_s);
    EXPECT_EQ(QJsonDocument::fromJson(readBytes(path)),
              QJsonDocument::fromJson(QByteArray(original).replace("\"old\"", "\"new\"")));
}

TEST_F(StoreTest, ReplacesTheFileAtomicallyAllOrNothing)
{
    set(u"Title"_s, u"old"_s);
    // A second name for the old file: an in-place rewrite would change what it shows.
    const QString oldName = dir.filePath(u"old.json"_s);
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldName).constData()), 0);
    const QByteArray before = readBytes(oldName);

    EXPECT_EQ(raised([&] {
                  store.setValues(section, {{u"Title"_s, u"new"_s}, {u" "_s, u"x"_s}});
              }).number(),
              kBase + 1002);
    EXPECT_EQ(readBytes(path), before);

    store.setValues(section, {{u"Title"_s, u"new"_s}, {u"PageWidth"_s, u"900"_s}});
    EXPECT_EQ(readBytes(oldName), before);
    EXPECT_EQ(get(u"Title"_s), u"new");
    EXPECT_EQ(get(u"PageWidth"_s), u"900");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{u"settings.json"_s});
}

class CorruptFile : public StoreTest, public ::testing::WithParamInterface<const char *> {};

// Read and write alike keep the unparsable file aside under a fresh name, never overwrite it,
// and the store starts afresh afterwards.
TEST_P(CorruptFile, IsKeptAsideAndReportedNeverOverwritten)
{
    const QByteArray content = GetParam();
    for (int round = 1; round <= 2; ++round) {
        const bool viaWrite = round == 2;
        writeBytes(path, content);
        const RuntimeError e = viaWrite ? raised([&] { set(u"Title"_s, u"t"_s); }) : raised([&] { get(u"Title"_s); });
        EXPECT_EQ(e.number(), kBase + 2000 + EBADMSG);
        EXPECT_TRUE(e.description().startsWith(viaWrite ? u"Could not open/create registry section"
                                                        : u"Could not open registry section"));
        EXPECT_TRUE(e.description().contains(u"settings.json.corrupt-"));
        const QStringList copies = QDir(folder).entryList({u"settings.json.corrupt-*"_s}, QDir::Files);
        ASSERT_EQ(copies.size(), round);
        for (const QString &copy : copies)
            EXPECT_EQ(readBytes(QDir(folder).filePath(copy)), content);
        EXPECT_FALSE(QFileInfo::exists(path));

        set(u"Title"_s, u"fresh"_s);
        EXPECT_EQ(get(u"Title"_s), u"fresh");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Contents, CorruptFile,
    ::testing::Values("{not json", "[1, 2]", "\x01\x02\xff binary", R"({"Software\\Halvorn Imaging": 5})",
                      R"({"Software\\Halvorn Imaging": {"Arvok Pagorra": {"Pagorra": {"Title": "bare"}}}})",
                      R"({"Software\\Halvorn Imaging": {"A": {"P": {"Title": {"type": 1, "data": 5}}}}})"));

TEST(StorePath, FollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    setRegistryValue(u"Pagorra"_s, u"Title"_s, u"via default store"_s);
    EXPECT_EQ(getRegistryValue(u"Pagorra"_s, u"Title"_s, QString()), u"via default store");
    EXPECT_TRUE(QFileInfo::exists(dir.path() + u"/pagorra/settings.json"_s));
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
