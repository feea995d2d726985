#pragma once

#include "generation/generationrun.h"
#include "jobs/jobfile.h"
#include "output/saveasdialog.h"
#include "ui/mainwindow.h"

#include <QJsonObject>
#include <optional>

class QAction;
class QPushButton;

namespace pagorra {

// What the window's Save all pages and Save as multipage dialogs last answered, passed on to
// the dialog the window was given: the job's output is where the user saved its pages.
class SaveAnswerRecorder : public SaveAsDialog {
  public:
    explicit SaveAnswerRecorder(SaveAsDialog &inner) : m_inner(inner) {}

    SaveDialogAnswer askSaveFile(QWidget *owner, const FileDialog &request) override;
    QString askPageFile(QWidget *owner, PageSaveChoice &choice) override;

    // The page dialog's answer when a lone page was saved: its name and format row.
    std::optional<std::pair<QString, int>> pageAnswer;
    bool askedSaveFile = false;

  private:
    SaveAsDialog &m_inner;
};

// The job the window works on: its file, what it had when last opened or saved, and what
// Save manifest describes.
struct MainWindow::JobSession {
    // What a job holds, to tell whether the window's state still is the job as saved.
    struct State {
        QStringList basket;
        QJsonObject settings;
        JobTarget target;
        bool operator==(const State &) const = default;
    };

    explicit JobSession(SaveAsDialog &dialog) : recorder(dialog) {}

    QString path;     // empty: no job
    QJsonObject kept; // the file as read, for what this version does not know of it
    JobTarget target; // where the pages were last saved
    State saved;
    SaveAnswerRecorder recorder;
    // The last Generate that made pages: its basket and where each entry went.
    QStringList runPaths;
    std::optional<GenerationResult> lastRun;
    QPushButton *button = nullptr;
    QAction *saveManifest = nullptr;
};

} // namespace pagorra
