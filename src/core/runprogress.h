#pragma once

namespace pagorra {

// What a long run (generation, save all, multipage save, batch printing) reports to, and
// asks whether to stop. The main window implements it with its progress bar and Cancel
// button; the batch tool with a terminal progress line; tests with a recorder.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    // The run starts: show the progress with 0..maximum and the Cancel button, clear the
    // cancel request.
    virtual void begin(int maximum) = 0;
    // Let the user interface repaint and take input (the Cancel click) between items.
    virtual void yield() = 0;
    virtual bool cancelRequested() const = 0;
    virtual void setValue(int value) = 0;
    // The run is over (finished, cancelled or failed): hide the progress and Cancel again.
    virtual void end() = 0;
};

// Begins a run on construction and ends it however the scope is left, also by an exception.
class ProgressScope {
public:
    ProgressScope(RunProgress &progress, int maximum) : m_progress(progress) { m_progress.begin(maximum); }
    ~ProgressScope() { m_progress.end(); }
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;

private:
    RunProgress &m_progress;
};

// For callers with nothing to show: never cancels.
class NullProgress : public RunProgress {
public:
    void begin(int) override {}
    void yield() override {}
    bool cancelRequested() const override { return false; }
    void setValue(int) override {}
    void end() override {}
};

} // namespace pagorra
