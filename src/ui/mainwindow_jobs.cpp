// Jobs in the window: Open job, Save job, Save job as and Save manifest, in a small menu beside
// the About button and on Ctrl+O, Ctrl+S and Ctrl+Shift+S; the caption names the open job and
// marks unsaved changes. With no job open, the window is as it always was.
#include "ui/mainwindow.h"

#include "basket/capturetime.h"
#include "core/filenames.h"
#include "core/product.h"
#include "core/settings.h"
#include "core/spacetrim.h"
#include "jobs/manifest.h"
#include "jobs/storedpath.h"
#include "output/filedialog.h"
#include "output/outputformats.h"
#include "ui/basketcontroller.h"
#include "ui/basketdialogs.h"
#include "ui/jobsession.h"
#include "ui/mainpanes.h"
#include "ui/workerwait.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <sys/stat.h>

namespace pagorra {

using namespace Qt::StringLiterals;

namespace {

// Beside the About button, where the design leaves the top row empty (twips).
const QRect kJobButton(8400, 0, 855, 375);
// Missing files named in the message after opening a job; the rest are counted, so the
// message stays readable whatever the number.
constexpr int kMissingNamed = 12;

QSet<QString> missingFiles(const QStringList &paths, std::stop_token stop)
{
    QSet<QString> missing;
    for (const QString &path : paths) {
        if (stop.stop_requested())
            break;
        struct stat st;
        if (::stat(nativePath(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            missing.insert(path);
    }
    return missing;
}

QString missingMessage(const QStringList &basket, const QSet<QString> &missing)
{
    QStringList named;
    for (const QString &path : basket) {
        if (missing.contains(path) && named.size() < kMissingNamed)
            named << displayName(path);
    }
    QString text = u"%1 of the job's files cannot be found. They stay in the basket, marked as missing, and "
                   "Generate leaves them out:\n\n"_s.arg(missing.size()) +
                   named.join(u'\n');
    if (missing.size() > named.size())
        text += u"\n... and %1 more"_s.arg(missing.size() - named.size());
    return text;
}

QString askJobFile(QWidget *owner, JobFileDialog kind, const QString &folder)
{
    const QString jobs = u"Jobs (*.%1)"_s.arg(jobFileSuffix());
    const QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
    switch (kind) {
    case JobFileDialog::OpenJob:
        return QFileDialog::getOpenFileName(owner, u"Open job"_s, folder, jobs, nullptr, options);
    case JobFileDialog::SaveJobAs:
        return QFileDialog::getSaveFileName(owner, u"Save job as"_s, folder, jobs, nullptr, options);
    case JobFileDialog::SaveManifest:
        return QFileDialog::getSaveFileName(owner, u"Save manifest"_s, folder, u"CSV table (*.csv);;JSON (*.json)"_s,
                                            nullptr, options);
    }
    return {};
}

UnsavedAnswer askUnsaved(QWidget *owner, const QString &jobName)
{
    const QString text = jobName.isEmpty() ? u"The basket is not saved as a job. Save it as a job first?"_s
                                           : u"The job '%1' has changes that are not saved. Save them?"_s.arg(jobName);
    QMessageBox box(QMessageBox::Question, productTitle(), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return UnsavedAnswer::Save;
    case QMessageBox::Discard:
        return UnsavedAnswer::Discard;
    default:
        return UnsavedAnswer::Cancel;
    }
}

// The job's name as the caption shows it: its file's name without the extension.
QString jobNameOf(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    return displayName(isJobFileName(name) ? name.left(name.size() - jobFileSuffix().size() - 1) : name);
}

QString withSuffix(const QString &name, const QString &suffix)
{
    return name.endsWith(u'.' + suffix, Qt::CaseInsensitive) ? name : name + u'.' + suffix;
}

} // namespace

SaveDialogAnswer SaveAnswerRecorder::askSaveFile(QWidget *owner, const FileDialog &request)
{
    askedSaveFile = true;
    return m_inner.askSaveFile(owner, request);
}

QString SaveAnswerRecorder::askPageFile(QWidget *owner, PageSaveChoice &choice)
{
    const QString answer = m_inner.askPageFile(owner, choice);
    pageAnswer.reset();
    if (!trimSpaces(answer).isEmpty())
        pageAnswer = {trimSpaces(answer), choice.filterIndex};
    return answer;
}

void MainWindow::setUpJobs()
{
    m_job = std::make_unique<JobSession>(*m_dialogs.saveAs);
    m_dialogs.saveAs = &m_job->recorder;

    auto *menu = new QMenu(this);
    auto add = [&](const QString &text, const char *name, const QKeySequence &keys, auto slot) {
        QAction *action = menu->addAction(text, this, slot);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        // On the window too, so the keys work wherever the focus is.
        addAction(action);
        return action;
    };
    add(u"Open job..."_s, "actOpenJob", QKeySequence::Open, &MainWindow::openJob);
    add(u"Save job"_s, "actSaveJob", QKeySequence::Save, &MainWindow::saveJob);
    add(u"Save job as..."_s, "actSaveJobAs", QKeySequence(u"Ctrl+Shift+S"_s), &MainWindow::saveJobAs);
    menu->addSeparator();
    m_job->saveManifest = add(u"Save manifest..."_s, "actSaveManifest", {}, &MainWindow::saveManifest);
    connect(menu, &QMenu::aboutToShow, this,
            [this] { m_job->saveManifest->setEnabled(!m_running && hasGeneratedPages() && m_job->lastRun); });

    m_job->button = new QPushButton(u"Job"_s);
    m_job->button->setObjectName(u"cmdJob"_s);
    m_job->button->setToolTip(u"Open and save jobs: the basket with its settings and output"_s);
    m_job->button->setAutoDefault(false);
    m_job->button->setMenu(menu);
    m_panes->addControl(m_job->button, kJobButton);

    connect(m_basket, &BasketController::basketChanged, this, &MainWindow::updateJobState);
    connect(m_basket, &BasketController::jobFileGiven, this, &MainWindow::openJobFile);
    m_basket->setTimeReader([this](const QStringList &paths) {
        return m_workerWait->run<QList<QDateTime>>(
            [paths](std::stop_token stop) { return readCaptureTimes(paths, std::move(stop)); });
    });
}

QString MainWindow::jobPath() const
{
    return m_job->path;
}

bool MainWindow::jobModified() const
{
    const JobSession::State now{m_basket->paths(), jobSettingsObject(registrySettings()), m_job->target};
    return now != m_job->saved;
}

void MainWindow::updateJobState()
{
    if (m_job->path.isEmpty()) {
        setWindowTitle(productTitle());
        setWindowModified(false);
        return;
    }
    setWindowTitle(jobNameOf(m_job->path) + u"[*] - "_s + productTitle());
    setWindowModified(jobModified());
}

void MainWindow::showJobMessage(const QString &text)
{
    m_dialogs.basket->message(this, text);
}

bool MainWindow::mayLeaveJob(bool closing)
{
    const bool hasJob = !m_job->path.isEmpty();
    if (hasJob ? !jobModified() : (closing || m_basket->basket().isEmpty()))
        return true;
    const QString name = hasJob ? jobNameOf(m_job->path) : QString();
    const UnsavedAnswer answer = m_dialogs.unsavedJob ? m_dialogs.unsavedJob(this, name) : askUnsaved(this, name);
    switch (answer) {
    case UnsavedAnswer::Save:
        return saveJob();
    case UnsavedAnswer::Discard:
        return true;
    case UnsavedAnswer::Cancel:
        break;
    }
    return false;
}

void MainWindow::openJob()
{
    if (m_running)
        return;
    const QString folder = m_job->path.isEmpty() ? m_currentFolder : folderOf(m_job->path);
    const QString path = m_dialogs.jobFile ? m_dialogs.jobFile(this, JobFileDialog::OpenJob, folder)
                                           : askJobFile(this, JobFileDialog::OpenJob, folder);
    if (!path.isEmpty())
        openJobFile(path);
}

bool MainWindow::openJobFile(const QString &path)
{
    if (m_running || !mayLeaveJob(false))
        return false;
    JobRead read = readJob(path, registrySettings());
    if (!read.job) {
        showJobMessage(read.error);
        return false;
    }
    Job &job = *read.job;
    const std::optional<QSet<QString>> missing = m_workerWait->run<QSet<QString>>(
        [basket = job.basket](std::stop_token stop) { return missingFiles(basket, std::move(stop)); });
    if (!missing)
        return false;
    registrySettings() = job.settings;
    const int refused = m_basket->openBasket(job.basket, *missing);
    m_job->path = absolutePath(path);
    m_job->kept = job.kept;
    m_job->target = job.target;
    m_job->saved = {m_basket->paths(), jobSettingsObject(job.settings), job.target};
    updateJobState();
    if (refused > 0)
        showJobMessage(BasketController::limitMessage(refused));
    if (!missing->isEmpty())
        showJobMessage(missingMessage(job.basket, *missing));
    return true;
}

bool MainWindow::writeJobTo(const QString &path)
{
    const Job job{m_basket->paths(), registrySettings(), m_job->target, m_job->kept};
    if (const std::optional<QString> failure = writeJob(path, job)) {
        showJobMessage(*failure);
        return false;
    }
    m_job->path = absolutePath(path);
    m_job->saved = {job.basket, jobSettingsObject(job.settings), job.target};
    updateJobState();
    return true;
}

bool MainWindow::saveJob()
{
    if (m_running)
        return false;
    return m_job->path.isEmpty() ? saveJobAs() : writeJobTo(m_job->path);
}

bool MainWindow::saveJobAs()
{
    if (m_running)
        return false;
    const QString start = m_job->path.isEmpty() ? m_currentFolder : m_job->path;
    const QString path = m_dialogs.jobFile ? m_dialogs.jobFile(this, JobFileDialog::SaveJobAs, start)
                                           : askJobFile(this, JobFileDialog::SaveJobAs, start);
    return !path.isEmpty() && writeJobTo(withSuffix(path, jobFileSuffix()));
}

void MainWindow::saveManifest()
{
    if (m_running || !m_job->lastRun)
        return;
    const QString start = m_job->path.isEmpty() ? m_currentFolder : folderOf(m_job->path);
    QString path = m_dialogs.jobFile ? m_dialogs.jobFile(this, JobFileDialog::SaveManifest, start)
                                     : askJobFile(this, JobFileDialog::SaveManifest, start);
    if (path.isEmpty())
        return;
    if (!manifestFormatOf(path))
        path = withSuffix(path, u"csv"_s);
    if (const std::optional<QString> failure = writeManifest(path, m_job->runPaths, *m_job->lastRun))
        showJobMessage(*failure);
}

void MainWindow::rememberRun(const QStringList &paths, const GenerationResult &result)
{
    m_job->runPaths = paths;
    m_job->lastRun = result;
}

void MainWindow::forgetSaveAnswer()
{
    m_job->recorder.askedSaveFile = false;
    m_job->recorder.pageAnswer.reset();
    fileDialog().fileName.clear();
}

void MainWindow::noteOutputTarget(bool multipage)
{
    const FileDialog &asked = fileDialog();
    if (m_job->recorder.askedSaveFile && !asked.fileName.isEmpty()) {
        m_job->target = multipage ? JobTarget{multipageTarget(asked.fileName, asked.filterIndex).fileName, true}
                                  : JobTarget{appendFilterExtension(asked.fileName, asked.filterIndex), false};
    } else if (const auto &page = m_job->recorder.pageAnswer) {
        m_job->target = {pageSaveName(page->first, page->second), false};
    }
    updateJobState();
}

} // namespace pagorra
