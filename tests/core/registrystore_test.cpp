// The per-user store and the settings record kept in it, on real files, and the texts of its values.
#include "core/colors.h"
#include "core/registrystore.h"
#include "core/runtimeerror.h"
#include "core/settingspersistence.h"
#include "core/valuetext.h"
#include "errors/errorhandler.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
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

QByteArray settingsFile(const QByteArray &values)
{
    return R"({"Software\\Halvorn Imaging": {"Arvok Pagorra": {"Pagorra": {)" + values + "}}}}";
}

class Store : public ::testing::Test {
  protected:
    Store()
    {
        setReportPresenter([this](const ErrorReport &r) { reports.push_back(r); });
    }
    ~Store() override { setReportPresenter({}); }

    QString get(const QString &key) const { return store.getValue(section, key, u"d"_s); }
    void set(const QString &key, const QString &value) const { store.setValue(section, key, value); }
    RegistrySettings load() const
    {
        RegistrySettings s;
        loadRegistrySettings(s, store);
        return s;
    }
    static RegistrySettings defaults()
    {
        RegistrySettings d = defaultSettings();
        d.strFolderPath = picturesFolder();
        return d;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(u"cfg/pagorra/settings.json"_s);
    QString folder = QFileInfo(path).absolutePath();
    RegistryStore store{path};
    const QString section = settingsSection();
    std::vector<ErrorReport> reports;
};

struct Failure {
    const char *app, *section, *key;
    void (*arrange)(const QString &path);
    bool write;
    int number;              // less the base of application errors
    const char *description; // <file>: the settings file, <folder>: its folder
};

void noFile(const QString &) {}

class StoreFailure : public Store, public ::testing::WithParamInterface<Failure> {};

// Each failure has the number and text of the store's table; those of the file add the file and
// what to mend (a folder in the file's place: see the start-up of the desktop program).
TEST_P(StoreFailure, HasItsNumberAndNamesTheFileAndTheReason)
{
    const Failure f = GetParam();
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther;
    QFile::setPermissions(dir.path(), open);
    f.arrange(path);
    const bool root = ::geteuid() == 0;
    if (root) { // root passes every permission check: meet them as an ordinary user would
        ::setfsgid(65534);
        ::setfsuid(65534);
    }
    RuntimeError e(0, {});
    try {
        const RegistryStore named(path, QString::fromUtf8(f.app));
        const QString sec = QString::fromUtf8(f.section), key = QString::fromUtf8(f.key);
        f.write ? named.setValue(sec, key, u"1"_s) : void(named.getValue(sec, key, {}));
    } catch (const RuntimeError &raised) {
        e = raised;
    }
    if (root) {
        ::setfsuid(0);
        ::setfsgid(0);
    }
    QFile::setPermissions(folder, open);
    EXPECT_EQ(e.number(), kBase + f.number);
    const QString expected = QString::fromUtf8(f.description).replace(u"<file>"_s, path).replace(u"<folder>"_s, folder);
    EXPECT_EQ(e.description().toStdString(), expected.toStdString());
    if (f.arrange == noFile) { // the names are checked before anything is touched
        EXPECT_FALSE(QFileInfo::exists(folder));
    }
}
constexpr auto A = "Arvok Pagorra", P = "Pagorra", T = "Title";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, StoreFailure, ::testing::Values(
    Failure{"   ", P, T, noFile, false, 1000, "AppName may not be empty"},
    Failure{"   ", P, T, noFile, true, 1000, "AppName may not be empty"},
    Failure{A, " ", "", noFile, false, 1001, "Section may not be empty"},
    Failure{A, " ", "", noFile, true, 1001, "Section may not be empty"},
    Failure{A, P, " ", noFile, false, 1002, "Key may not be empty"},
    Failure{A, P, " ", noFile, true, 1002, "Key may not be empty"},
    Failure{A, P, T, [](const QString &p) { writeBytes(p, settingsFile(R"("Title": {"type": 4, "data": 8})")); },
            false, 2004, "Registry data not a string: '<file>': the value 'Title' is of type 4, not text"},
    Failure{A, P, T, [](const QString &p) { writeBytes(QFileInfo(p).absolutePath(), "x"); }, false, 2000 + ENOTDIR,
            "Could not open registry section: '<file>': Not a directory"},
    Failure{A, P, T, [](const QString &p) { writeBytes(QFileInfo(p).absolutePath(), "x"); }, true, 2000 + ENOTDIR,
            "Could not open/create registry section: '<file>': '<folder>' is not a folder"},
    Failure{A, P, T, [](const QString &p) { writeBytes(p, "{}"); QFile::setPermissions(p, {}); }, false,
            2000 + EACCES, "Could not open registry section: '<file>': Permission denied"},
    Failure{A, P, T, [](const QString &p) {
                writeBytes(p, "{}");
                QFile::setPermissions(QFileInfo(p).absolutePath(), QFile::ReadOwner | QFile::ExeOwner | QFile::ExeOther);
            }, true, 2000 + EACCES, "Could not set key value: '<file>': cannot create a file in its folder: Permission denied"}));
// clang-format on

// Writes replace the file as a whole (a second name for the old file still shows the old
// content), all values or none, and keep everything the program does not know about.
TEST_F(Store, WritesAreAtomicAllOrNothingAndKeepEverythingElse)
{
    const QByteArray original = R"({"Other Company": {"Tool": {"Main": {"N": {"type": 4, "data": 7}}}},
        "Software\\Halvorn Imaging": {"Another App": {"S": {"V": {"type": 1, "data": "kept"}}},
            "Arvok Pagorra": {"Extra": {"E": {"type": 1, "data": "e"}},
                "Pagorra": {"Unknown": {"type": 3, "data": "AA"}, "Title": {"type": 1, "data": "old"}}}}})";
    writeBytes(path, original);
    const QString oldName = dir.filePath(u"old.json"_s);
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldName).constData()), 0);
    EXPECT_THROW(store.setValues(section, {{u"Title"_s, u"new"_s}, {u" "_s, u"x"_s}}), RuntimeError);
    EXPECT_EQ(readBytes(path), original);
    store.setValues(section, {{u"Title"_s, u"new"_s}, {u"PageWidth"_s, u"900"_s}});
    EXPECT_EQ(readBytes(oldName), original);
    EXPECT_EQ(QJsonDocument::fromJson(readBytes(path)),
              QJsonDocument::fromJson(QByteArray(original).replace(
                  "\"old\"}", "\"new\"}, \"PageWidth\": {\"type\": 1, \"data\": \"900\"}")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"settings.json"_s});
}

class CorruptFile : public Store, public ::testing::WithParamInterface<QByteArray> {};

// A damaged file costs every value with one report, on load and on save alike; it is kept
// aside under a fresh name, never overwritten, and the next save starts afresh.
TEST_P(CorruptFile, IsKeptAsideAndReportedOnceNeverOverwritten)
{
    for (int round = 1; round <= 2; ++round) {
        writeBytes(path, GetParam());
        EXPECT_TRUE(round == 1 ? load() == defaults() : !saveRegistrySettings(defaults(), store));
        const QStringList copies = QDir(folder).entryList({u"settings.json.corrupt-*"_s}, QDir::Files);
        ASSERT_EQ(copies.size(), round);
        for (const QString &copy : copies)
            EXPECT_EQ(readBytes(QDir(folder).filePath(copy)), GetParam());
        EXPECT_FALSE(QFileInfo::exists(path));
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].routineName, round == 1 ? u"subLoadRegistrySettings"_s : u"subSaveRegistrySettings"_s);
        EXPECT_TRUE(reports[0].systemError.startsWith(
            u"%1 - Could not %2 registry section: '%3': not a valid settings file ("_s.arg(
                QString::number(kBase + 2000 + EBADMSG), round == 1 ? u"open"_s : u"open/create"_s, path)));
        EXPECT_TRUE(reports[0].systemError.contains(u"; it was kept as '%1/settings.json.corrupt-"_s.arg(folder)));
        reports.clear();
    }
    EXPECT_TRUE(saveRegistrySettings(defaults(), store));
    EXPECT_EQ(load(), defaults());
    EXPECT_TRUE(reports.empty());
}

INSTANTIATE_TEST_SUITE_P(Contents, CorruptFile,
                         ::testing::Values("{not json", "[1, 2]", "\x01\x02\xff binary",
                                           R"({"Software\\Halvorn Imaging": 5})", settingsFile(R"("Title": "bare")"),
                                           settingsFile(R"("Title": {"type": 1, "data": 5})")));

// Numbers, bools and texts are written as the load reads them back: the defaults as their own
// texts, into a file of the user's own. Keys are exact, sections and the application trimmed.
TEST_F(Store, EveryFieldRoundTripsAsItsText)
{
    RegistrySettings s = defaults();
    ASSERT_TRUE(saveRegistrySettings(s, store));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    EXPECT_EQ(get(u"TitleFontColor"_s) + get(u"TitleBold"_s) + get(u"PrintScale"_s), u"-2147483630False100");
    writeBytes(path, " \n"); // a blank file is an empty store
    EXPECT_EQ(load(), defaults());
    s.AddTitle = 1;
    s.PageMarginTop = -5;
    s.Title = u"  Holiday \"2024\" \\ Été 日本 🙂\nline two\r\n\ttab "_s;
    s.TitleBold = true;
    s.TitleFontColor = std::int32_t(0x80000008u);
    s.TitleFontName = QString();
    s.strFolderPath = u"/home/u/Bilder mit Leerzeichen"_s;
    s.PrintLeft = 1e20;
    s.PrintTop = -2.5e-7;
    s.PrintScale = 2.0 / 3;
    s.Captions.Caption = u"{name}\n{date}"_s, s.Captions.CaptionFontSize = 11, s.Captions.Footer = u"|{page}|"_s;
    ASSERT_TRUE(saveRegistrySettings(s, store));
    for (const QString &pair :
         {u"AddTitle=1"_s, u"PageBackColor=16777215"_s, u"TitleBold=True"_s, u"TitleFontColor=-2147483640"_s,
          u"PrinterIndex=-1"_s, u"PrintLeft=1E+20"_s, u"PrintTop=-2.5E-07"_s, u"PrintScale=0.666666666666667"_s})
        EXPECT_EQ(get(pair.section(u'=', 0, 0)), pair.section(u'=', 1));
    s.PrintScale = 0.666666666666667;
    EXPECT_EQ(load(), s);
    for (const auto &[stored, loaded] : {std::pair{u"app.path"_s, picturesFolder()}, {u"App.Path"_s, u"App.Path"_s}}) {
        set(u"strFolderPath"_s, stored);
        EXPECT_EQ(load().strFolderPath, loaded);
    }
    set(u" Title"_s, u"other"_s);
    EXPECT_EQ(RegistryStore(path, u" Arvok Pagorra "_s).getValue(u" Pagorra  "_s, u"Title"_s, {}), s.Title);
    store.setValues(section, {{u"AddTitle"_s, u"300"_s}, {u"PrintPaperSize"_s, u"A4"_s}}); // first bad reported
    EXPECT_EQ(load().AddTitle, 0);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].systemError.startsWith(u"6 - "_s));
    EXPECT_EQ(resolveColor(0x0000FF), QColor(255, 0, 0)); // stored colours are 0x00BBGGRR
    EXPECT_EQ(colorToStored(QColor(0, 0, 255)), 0xFF0000);
}

// A save cut short by the death of its process leaves the old file, and the next load clears
// its temporary copy away; the copy of a running process is left alone.
TEST_F(Store, KilledSaveLeavesTheOldFileAndTheNextLoadClearsItsCopy)
{
    set(u"Title"_s, u"Before"_s);
    RegistrySettings s = defaults();
    const QString running = path + u".tmp-1-0123abcd"_s; // process 1 runs as long as the system
    writeBytes(running, "");
    s.Title = QString(100000, u'x');
    const auto saveCutShort = [&] {
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = 4096; // the new copy grows past this, and the process dies
        ::setrlimit(RLIMIT_FSIZE, &limit);
        saveRegistrySettings(s, store);
    };
    EXPECT_EXIT(saveCutShort(), ::testing::KilledBySignal(SIGXFSZ), "");
    const auto copies = [&] { return QDir(folder).entryList({u"settings.json.tmp-*"_s}, QDir::Files); };
    ASSERT_EQ(copies().size(), 2);
    EXPECT_EQ(load().Title, u"Before");
    EXPECT_EQ(copies(), QStringList{QFileInfo(running).fileName()});
}

using Reader = double (*)(const QString &);

struct R {
    Reader read;
    const char *text;
    double expected;    // when error == 0
    std::int32_t error; // 0, err::Overflow or err::TypeMismatch
};

class TextToValue : public ::testing::TestWithParam<R> {};

// Stored text as the load reads it into each type.
TEST_P(TextToValue, ConvertsOrRaises)
{
    const R c = GetParam();
    try {
        EXPECT_EQ(c.read(QString::fromUtf8(c.text)), c.expected);
        EXPECT_EQ(c.error, 0) << "no error";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), c.error);
        EXPECT_EQ(e.description(), c.error == err::Overflow ? u"Overflow" : u"Type mismatch");
    }
}

constexpr auto OV = err::Overflow;
constexpr auto TM = err::TypeMismatch;
constexpr Reader U8 = [](const QString &t) { return double(textToU8(t)); };
constexpr Reader I16 = [](const QString &t) { return double(textToI16(t)); };
constexpr Reader I32 = [](const QString &t) { return double(textToI32(t)); };
constexpr Reader F64 = [](const QString &t) { return textToF64(t); };
constexpr Reader B = [](const QString &t) { return textToBool(t) ? 1.0 : 0.0; };

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, TextToValue, ::testing::Values(
    R{U8, " 12 ", 12, 0},  R{U8, "\t7\t", 7, 0},  R{U8, "255", 255, 0},   R{U8, "256", 0, OV},   R{U8, "-1", 0, OV},
    R{U8, "2.5", 2, 0},    R{U8, "3.5", 4, 0},    R{U8, "255.5", 0, OV},  R{U8, "-0.5", 0, 0},   R{U8, "&hff", 255, 0},
    R{U8, "&H100", 0, OV}, R{U8, "1e2", 100, 0},  R{U8, "+3", 3, 0},      R{U8, "", 0, TM},      R{U8, "   ", 0, TM},
    R{U8, "12abc", 0, TM}, R{U8, "1 2", 0, TM},   R{U8, "&H", 0, TM},     R{U8, "&HZZ", 0, TM},  R{U8, ".", 0, TM},
    R{U8, "1e", 0, TM},    R{I16, "-32768", -32768, 0}, R{I16, "32768", 0, OV}, R{I16, "&HFFFF", -1, 0},
    R{I16, "&H10000", 0, OV}, R{I16, "-2.5", -2, 0}, R{I16, "32767.5", 0, OV}, R{I32, "&H80000012", -2147483630, 0},
    R{I32, "2147483647", 2147483647, 0}, R{I32, "2147483648", 0, OV}, R{I32, "-2147483648", -2147483648.0, 0},
    R{I32, "&HFFFF", -1, 0}, R{I32, "&H10000", 65536, 0}, R{I32, "&H1FFFFFFFF", 0, OV}, R{I32, "1e400", 0, OV},
    R{F64, " -2.25 ", -2.25, 0}, R{F64, ".5", 0.5, 0}, R{F64, "5.", 5, 0}, R{F64, "2.5E-07", 2.5e-7, 0},
    R{F64, "1e400", 0, OV}, R{F64, "1,5", 0, TM}, R{F64, "nan", 0, TM}, R{F64, "inf", 0, TM},
    R{B, "TRUE", 1, 0}, R{B, " True ", 1, 0}, R{B, "fAlSe", 0, 0}, R{B, "-1", 1, 0}, R{B, "0.4", 1, 0},
    R{B, "&H0", 0, 0}, R{B, "", 0, TM}, R{B, "Truee", 0, TM}));
// clang-format on

} // namespace
