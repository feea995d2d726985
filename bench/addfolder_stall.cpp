// Measures how long the main window stops taking events while Add Folder lists and adds a
// folder: a timer ticks every few milliseconds on the window's thread, and the longest gap
// between two ticks is the longest time the window could not repaint or take a click.
// With "drop", every file of the folder is dropped on the list instead, as a file manager
// drops a selection.
// Usage: addfolder_stall FOLDER [drop]   (run by bench/addfolder_stall.sh)
#include "core/settings.h"
#include "ui/basketcontroller.h"
#include "ui/basketdialogs.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <cstdio>

using namespace pagorra;

namespace {

// Answers the folder picker with the folder under test; counts the messages shown.
class FixedFolder : public BasketDialogs {
  public:
    explicit FixedFolder(QString folder) : m_folder(std::move(folder)) {}
    QStringList openFiles(QWidget *, const QString &, const QStringList &) override { return {}; }
    QString browseFolder(QWidget *, const QString &, const QString &) override { return m_folder; }
    void message(QWidget *, const QString &text) override { messages.append(text); }
    QStringList messages;

  private:
    QString m_folder;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    FixedFolder dialogs(QString::fromLocal8Bit(argv[1]));
    WindowDialogs windowDialogs;
    windowDialogs.basket = &dialogs;
    MainWindow window(windowDialogs);
    window.formLoad();
    window.show();

    constexpr int TickMs = 5;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer heartbeat;
    heartbeat.setInterval(TickMs);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        ++ticks;
    });

    auto *addFolder = window.findChild<QPushButton *>(QStringLiteral("cmdAddFolder"));
    auto *list = window.findChild<QTreeWidget *>(QStringLiteral("lv"));
    auto *count = window.findChild<QLabel *>(QStringLiteral("lblCount"));
    const bool drop = argc > 2 && qstrcmp(argv[2], "drop") == 0;
    QList<QUrl> urls;
    if (drop) {
        const QDir folder(QString::fromLocal8Bit(argv[1]));
        const QStringList names = folder.entryList(QDir::Files, QDir::Name);
        for (const QString &name : names)
            urls << QUrl::fromLocalFile(folder.filePath(name));
    }
    QTimer::singleShot(300, [&] {
        clock.start();
        heartbeat.start();
        if (drop) {
            auto *mime = new QMimeData;
            mime->setUrls(urls);
            const QPoint at = list->viewport()->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            QDropEvent event(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &enter);
            QApplication::sendEvent(list->viewport(), &event);
            delete mime;
        } else {
            addFolder->click();
        }
        // The command may hand its work to the event loop: wait until the basket is filled.
        auto *done = new QTimer(&app);
        QObject::connect(done, &QTimer::timeout, [&, done] {
            if (!addFolder->isEnabled() || count->text().isEmpty())
                return;
            done->stop();
            const qint64 total = clock.elapsed();
            longestGap = std::max(longestGap, total - lastTick);
            std::printf("entries %d  label '%s'  messages %lld\n", list->topLevelItemCount(), qPrintable(count->text()),
                        static_cast<long long>(dialogs.messages.size()));
            std::printf("add folder took %lld ms; longest time without events %lld ms (%d ticks)\n",
                        static_cast<long long>(total), static_cast<long long>(longestGap), ticks);
            QApplication::exit(0);
        });
        done->start(1);
    });
    const int code = QApplication::exec();
    window.hide();
    return code;
}
