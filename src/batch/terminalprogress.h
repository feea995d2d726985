#pragma once

#include "core/runprogress.h"

#include <atomic>
#include <cstdio>

namespace pagorra {

// A progress bar on a terminal (nothing when the stream is not one); a cancel is asked for
// from outside, e.g. by the interrupt signal, and takes effect between two entries.
class TerminalProgress : public RunProgress {
  public:
    explicit TerminalProgress(std::FILE *stream);

    void begin(int maximum) override;
    void yield() override {}
    bool cancelRequested() const override { return s_cancel.load(); }
    void setValue(int value) override;
    void end() override;

    // Safe to call from a signal handler.
    static void requestCancel() { s_cancel.store(true); }

  private:
    void draw(int value);

    static std::atomic<bool> s_cancel;
    std::FILE *m_stream;
    bool m_terminal;
    int m_maximum = 0;
    int m_lastDrawn = -1;
};

} // namespace pagorra
