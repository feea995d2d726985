#pragma once

#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// Answers every message box that opens while it lives, as a user pressing OK would, and
// remembers what each one said.
class MessageBoxWatcher : public QObject {
  public:
    struct Seen {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    MessageBoxWatcher()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            const QList<QWidget *> windows = QApplication::topLevelWidgets();
            for (QWidget *w : windows) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (!box || !box->isVisible())
                    continue;
                seen.append({box->icon(), box->windowTitle(), box->text()});
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_poll.start(10);
    }

    QList<Seen> seen;

  private:
    QTimer m_poll;
};
