#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace pagorra {

class RunProgress;

// Slow reading that a command needs before it can go on (a folder listing of tens of thousands
// of files, a folder on a slow disk) runs on a worker thread while the window stays responsive:
// the command waits in a local event loop, so the window repaints and takes clicks meanwhile.
// - Work done within QuickWaitMs returns without any sign in the window.
// - Longer work puts the window in its busy state (lock(): commands that could change what the
//   command works on are disabled) with the busy cursor, and after ProgressAfterMs shows the
//   progress as an indeterminate bar with Cancel.
// - Cancel (or a close of the window, which asks for it) returns at once with no result: the
//   worker is asked to stop through its stop_token, finishes on its own and its result is
//   dropped. An exception thrown by the work is thrown again on the caller's thread.
// The work runs on another thread: it must not touch widgets, nor data the window changes.
class WorkerWait {
  public:
    static constexpr int QuickWaitMs = 50;      // below what a user notices as a pause
    static constexpr int ProgressAfterMs = 400; // a bar that would only flash is not shown
    static constexpr int CancelCheckMs = 50;    // Cancel answers well within a user's patience

    struct Window {
        std::function<void()> lock;
        std::function<void()> unlock;
        // begin(0) shows the indeterminate bar and Cancel, end() hides them; cancelRequested()
        // ends the wait.
        RunProgress *progress = nullptr;
    };

    explicit WorkerWait(Window window) : m_window(std::move(window)) {}

    // The work's result, or nothing when the user cancelled.
    template <typename Result> std::optional<Result> run(std::function<Result(std::stop_token)> work)
    {
        auto result = std::make_shared<std::optional<Result>>();
        if (!wait([result, work = std::move(work)](std::stop_token stop) { result->emplace(work(stop)); }))
            return std::nullopt;
        return std::move(*result);
    }

  private:
    // True when the work ran to its end; false when the user cancelled.
    bool wait(std::function<void(std::stop_token)> work);

    Window m_window;
};

} // namespace pagorra
