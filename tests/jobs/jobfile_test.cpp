#include "core/filenames.h"
#include "jobs/jobfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

QJsonObject documentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

} // namespace

// A job read back is the job written: names that are not UTF-8 byte for byte, paths under the
// job's folder relative to it, every setting of every section but the user's own, which come
// from the settings the job is read with; and what a later version added survives a save.
TEST(JobFile, ReadsBackWhatWasWrittenAndKeepsWhatItDoesNotKnow)
{
    QTemporaryDir dir;
    const QString folder = dir.path(), path = folder + u"/trip.pagorra"_s;
    Job job;
    job.basket = {folder + u"/photos/a.jpg"_s, pathFromNative(QFile::encodeName(folder) + "/caf\xe9.jpg"),
                  u"/elsewhere/b.png"_s};
    job.settings = defaultSettings();
    job.settings.Title = u"Trip \"2024\""_s;
    job.settings.ThumbnailWidth = 200;
    job.settings.Output.Resolution = 300;
    job.settings.iState = 2; // the user's own: not in the job
    job.target = {folder + u"/out/S.pdf"_s, true};
    // What a later version added: a field, a section, and a value in a known section.
    job.kept = QJsonDocument::fromJson(R"({"note": "for the archive", "settings": {"Future": {"Kind": "x"},
                                           "Pagorra": {"FutureValue": "7", "Title": "old"}}})")
                   .object();
    ASSERT_FALSE(writeJob(path, job));

    RegistrySettings mine = defaultSettings();
    mine.iState = 1;
    mine.PageWidth = 1234; // not the job's
    JobRead read = readJob(path, mine);
    ASSERT_TRUE(read.job) << read.error.toStdString();
    EXPECT_EQ(read.job->basket, job.basket);
    EXPECT_EQ(read.job->target, job.target);
    RegistrySettings expected = job.settings;
    expected.iState = 1;
    EXPECT_TRUE(read.job->settings == expected);

    read.job->settings.Title = u"Changed"_s;
    ASSERT_FALSE(writeJob(path, *read.job));
    const QJsonObject again = documentOf(path);
    EXPECT_EQ(again[u"basket"_s].toArray().at(1).toObject()[u"native"_s], u"caf%E9.jpg"_s);
    EXPECT_EQ(again[u"note"_s], u"for the archive"_s);
    EXPECT_EQ(again[u"settings"_s][u"Future"_s][u"Kind"_s], u"x"_s);
    EXPECT_EQ(again[u"settings"_s][u"Pagorra"_s][u"FutureValue"_s], u"7"_s);
    EXPECT_EQ(again[u"settings"_s][u"Pagorra"_s][u"Title"_s], u"Changed"_s);
    EXPECT_FALSE(again[u"settings"_s][u"Pagorra"_s].toObject().contains(u"iState"_s));
}

// Every part of a job is checked before anything of it is taken: one bad part refuses the file.
TEST(JobFile, RefusesADamagedFileWholeAndSaysWhere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"j.pagorra"_s);
    const std::pair<const char *, const char *> cases[] = {
        {"[1, 2]", "It is damaged: it is not a set of named values."},
        {"{\"version\": 1.5}", "it has no version number"},
        {"{\"version\": 1, \"basket\": {}}", "its basket is not a list"},
        {"{\"version\": 1, \"basket\": [\"\"]}", "entry 1 of the basket is not a path"},
        {"{\"version\": 1, \"basket\": [{\"native\": \"caf\xc3\xa9\"}]}", "entry 1 of the basket is not a path"},
        {"{\"version\": 1, \"settings\": {\"Output\": {\"Resolution\": 300}}}",
         "the value Output/Resolution is not a text"},
        {"{\"version\": 1, \"settings\": {\"Pagorra\": {\"ThumbnailWidth\": \"99999\"}}}",
         "(\"99999\") is not valid: Overflow"},
        {"{\"version\": 1, \"target\": {\"file\": \"S.png\", \"multipage\": \"yes\"}}", "its target is not"},
        {"{\"version\": 3}", "It was written by a newer version of Arvok Pagorra (job version 3); this version reads "
                             "jobs up to version 1."},
    };
    for (const auto &[text, reason] : cases) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        const JobRead read = readJob(path, defaultSettings());
        EXPECT_FALSE(read.job) << text;
        EXPECT_TRUE(read.error.startsWith(u"The job file '%1' cannot be opened. "_s.arg(path)) &&
                    read.error.contains(QString::fromUtf8(reason)))
            << read.error.toStdString();
    }
}
