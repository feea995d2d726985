#include "ui/workerwait.h"

#include "core/runprogress.h"

#include <QCursor>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace pagorra {

namespace {

// Shared by the waiting command and the worker, which may outlive the wait after a Cancel.
struct WorkerState {
    std::stop_source stop;
    std::atomic<bool> done{false};
    std::exception_ptr error;
};

} // namespace

bool WorkerWait::wait(std::function<void(std::stop_token)> work)
{
    auto state = std::make_shared<WorkerState>();
    QThread *thread = QThread::create([state, work = std::move(work)] {
        try {
            work(state->stop.get_token());
        } catch (...) {
            // Carried over to the waiting thread, which throws it again.
            state->error = std::current_exception();
        }
        state->done.store(true, std::memory_order_release);
    });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();

    if (!thread->wait(QDeadlineTimer(QuickWaitMs))) {
        m_window.lock();
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        RunProgress &progress = *m_window.progress;
        // Checked before the bar shows as well: a close of the window asks for a cancel at once.
        QTimer cancelCheck;
        QObject::connect(&cancelCheck, &QTimer::timeout, &loop, [&] {
            if (progress.cancelRequested())
                loop.quit();
        });
        cancelCheck.start(CancelCheckMs);
        QTimer showProgress;
        showProgress.setSingleShot(true);
        QObject::connect(&showProgress, &QTimer::timeout, &loop, [&] {
            if (progress.cancelRequested())
                loop.quit();
            else
                progress.begin(0);
        });
        showProgress.start(ProgressAfterMs);
        loop.exec();
        progress.end(); // also clears a cancel asked for before the bar showed
        QGuiApplication::restoreOverrideCursor();
        m_window.unlock();
    }

    if (!state->done.load(std::memory_order_acquire)) {
        state->stop.request_stop();
        return false;
    }
    if (state->error)
        std::rethrow_exception(state->error);
    return true;
}

} // namespace pagorra
