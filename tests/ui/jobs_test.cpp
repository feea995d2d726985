// Jobs in the real window, with scripted dialogs over real files: a job saved here makes in the
// batch tool the pages and manifest made here; reopened, it keeps its missing photos.
#include "core/settings.h"
#include "errors/errorhandler.h"
#include "jobs/jobfile.h"
#include "output/saveasdialog.h"
#include "ui/basketcontroller.h"
#include "ui/basketdialogs.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QHeaderView>
#include <QImageReader>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <utime.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

class ScriptedDialogs : public BasketDialogs, public SaveAsDialog {
  public:
    QStringList messages, files; // the answers of the job and manifest dialogs, in turn
    QString pagesAs;             // Save all pages' answer, as a PNG
    QList<UnsavedAnswer> unsaved;

    QStringList openFiles(QWidget *, const QString &, const QStringList &) override { return {}; }
    QString browseFolder(QWidget *, const QString &, const QString &) override { return {}; }
    void message(QWidget *, const QString &text) override { messages << text; }
    SaveDialogAnswer askSaveFile(QWidget *, const FileDialog &) override { return {true, pagesAs, 8}; }
    QString askPageFile(QWidget *, PageSaveChoice &) override { return {}; }
};

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

} // namespace

class JobsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_photos; // small copies of the real photos, with no time of their own inside
    ScriptedDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_window;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    void trigger(const char *action) const { m_window->findChild<QAction *>(QString::fromLatin1(action))->trigger(); }
    void click(const char *button) const
    {
        QTest::mouseClick(m_window->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
    }
    QTreeWidget *list() const { return m_window->findChild<QTreeWidget *>(u"lv"_s); }
    QStringList basket() const { return m_window->basket()->paths(); }

  private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(u"config"_s)));
        QDir().mkpath(path(u"photos"_s));
        const QDir source(QStringLiteral(PAGORRA_TESTDATA "/photos"));
        const QStringList names = source.entryList({u"*.jpg"_s}, QDir::Files, QDir::Name);
        m_photos.clear();
        for (int i = 0; i < 14; ++i) {
            QImageReader reader(source.filePath(names.at(i % names.size())));
            reader.setAutoTransform(true);
            reader.setScaledSize(reader.size().scaled(240, 240, Qt::KeepAspectRatio));
            m_photos << path(u"photos/p%1.jpg"_s.arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(reader.read().save(m_photos.last(), "JPEG", 85));
        }
        m_dialogs = ScriptedDialogs();
        WindowDialogs dialogs;
        dialogs.basket = &m_dialogs;
        dialogs.saveAs = &m_dialogs;
        dialogs.settings = [](RegistrySettings &s, QWidget *) {
            s.AddTitle = 1, s.Title = u"Trip"_s, s.PageWidth = 500, s.PageHeight = 300;
            s.ThumbnailWidth = 120, s.ThumbnailHeight = 80, s.Output.Resolution = 150;
            return true;
        };
        dialogs.jobFile = [this](QWidget *, JobFileDialog, const QString &) { return m_dialogs.files.takeFirst(); };
        dialogs.unsavedJob = [this](QWidget *, const QString &) { return m_dialogs.unsaved.takeFirst(); };
        registrySettings() = RegistrySettings();
        setReportPresenter([](const ErrorReport &r) { QFAIL(qPrintable(r.systemError)); });
        m_window = std::make_unique<MainWindow>(dialogs);
        m_window->formLoad();
        m_window->show();
    }

    void cleanup()
    {
        m_window.reset();
        setReportPresenter({});
    }

    void jobSavedHereMakesTheSamePagesAndManifestInTheBatchTool()
    {
        m_window->basket()->addPaths(m_photos);
        click("cmdTasks");
        click("cmdPreview");
        QDir().mkpath(path(u"desk"_s));
        m_dialogs.pagesAs = path(u"desk/S"_s);
        click("cmdSaveAll");
        m_dialogs.files = {path(u"desk/m.csv"_s), path(u"j"_s)};
        trigger("actSaveManifest");
        QCOMPARE(m_window->windowTitle(), u"Arvok Pagorra"_s);
        trigger("actSaveJob");
        QCOMPARE(m_window->windowTitle() + QString::number(m_window->isWindowModified()), u"j[*] - Arvok Pagorra0"_s);
        QVERIFY(m_dialogs.messages.isEmpty());

        // The job names where Save all put the pages: the batch tool puts its own there.
        QVERIFY(QDir().rename(path(u"desk"_s), path(u"saved"_s)) && QDir().mkpath(path(u"desk"_s)));
        QProcess batch;
        batch.start(QStringLiteral(PAGORRA_BATCH_EXE),
                    {u"--job"_s, path(u"j.pagorra"_s), u"--manifest"_s, path(u"desk/m.csv"_s)});
        QVERIFY(batch.waitForFinished(120000) && batch.exitCode() == 0);
        const QStringList written = QDir(path(u"saved"_s)).entryList(QDir::Files, QDir::Name);
        QCOMPARE(written, (QStringList{u"S1.png"_s, u"S2.png"_s, u"m.csv"_s}));
        QCOMPARE(QDir(path(u"desk"_s)).entryList(QDir::Files, QDir::Name), written);
        for (const QString &name : written)
            QVERIFY2(bytesOf(path(u"saved/"_s) + name) == bytesOf(path(u"desk/"_s) + name), qPrintable(name));
    }

    void reopenedJobKeepsItsMissingPhotosAndChangesAreNotLostUnasked()
    {
        m_window->basket()->addPaths(m_photos.mid(0, 4));
        m_dialogs.files = {path(u"j.pagorra"_s)};
        QVERIFY(m_window->saveJobAs());
        QFile::remove(m_photos.at(1));
        m_window->basket()->newBasket();
        m_dialogs.unsaved = {UnsavedAnswer::Discard};
        m_window->basket()->addPaths({path(u"j.pagorra"_s)}); // as the command line hands it over
        QCOMPARE(basket(), m_photos.mid(0, 4));
        QVERIFY(list()->topLevelItem(1)->toolTip(0).startsWith(u"Missing: "_s));
        QCOMPARE(m_dialogs.messages.size(), 1);
        QVERIFY(m_dialogs.messages.at(0).startsWith(u"1 of the job's files cannot be found"_s));
        click("cmdPreview");
        QVERIFY(!m_window->jobModified());

        list()->topLevelItem(3)->setSelected(true);
        m_window->basket()->moveSelectedTo(0);
        QVERIFY(m_window->isWindowModified());
        m_dialogs.unsaved = {UnsavedAnswer::Cancel, UnsavedAnswer::Save};
        QVERIFY(!m_window->close() && m_window->isVisible());
        QVERIFY(m_window->close());
        QVERIFY(m_dialogs.unsaved.isEmpty());
        QCOMPARE(readJob(path(u"j.pagorra"_s), {}).job->basket,
                 (QStringList{m_photos.at(3), m_photos.at(0), m_photos.at(1), m_photos.at(2)}));
    }

    // A file damaged past its basket is refused whole: the window and the file stay as they were.
    void refusedJobChangesNothing()
    {
        m_window->basket()->addPaths(m_photos.mid(0, 3));
        m_dialogs.files = {path(u"mine.pagorra"_s)};
        QVERIFY(m_window->saveJobAs());
        const QByteArray bytes = R"({"version": 1, "basket": ["a.jpg"], "settings": {"Pagorra": {"Title": 7}}})";
        QFile file(path(u"bad.pagorra"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const RegistrySettings before = registrySettings();
        QVERIFY(!m_window->openJobFile(file.fileName()));
        QVERIFY(m_dialogs.messages.value(0).endsWith(u"the value Pagorra/Title is not a text."_s));
        QVERIFY(registrySettings() == before && basket() == m_photos.mid(0, 3) && bytesOf(file.fileName()) == bytes);
        QCOMPARE(m_window->jobPath(), path(u"mine.pagorra"_s));
    }

    // Without times of their own inside, the photos are ordered by their files' times.
    void sortingByDateFollowsTheCaptureTimes()
    {
        m_window->basket()->addPaths(m_photos.mid(0, 3));
        for (const int i : {0, 1, 2}) {
            const utimbuf times{1'600'000'000 - i * 3600, 1'600'000'000 - i * 3600};
            QCOMPARE(::utime(QFile::encodeName(m_photos.at(i)).constData(), &times), 0);
        }
        m_window->basket()->sortByDate();
        QCOMPARE(basket(), (QStringList{m_photos.at(2), m_photos.at(1), m_photos.at(0)}));
        QVERIFY(!list()->header()->isSortIndicatorShown());
    }
};

QTEST_MAIN(JobsTest)
#include "jobs_test.moc"
