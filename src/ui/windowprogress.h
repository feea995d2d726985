#pragma once

#include "core/runprogress.h"

#include <QObject>

class QProgressBar;
class QPushButton;

namespace pagorra {

// The long runs' progress in the main window: the progress bar `pb` and the Cancel button
// `cmdCancel` under the page. A click on Cancel only raises the flag; the run looks at it
// after its next yield. Both widgets belong to the window and must outlive this object.
class WindowProgress : public QObject, public RunProgress {
    Q_OBJECT
  public:
    WindowProgress(QProgressBar *bar, QPushButton *cancel, QObject *parent = nullptr);

    void begin(int maximum) override;
    void yield() override;
    bool cancelRequested() const override { return m_cancelRequested; }
    void setValue(int value) override;
    void end() override;

    // Asks the run in progress to stop, as the Cancel button does.
    void requestCancel() { m_cancelRequested = true; }

  private:
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    bool m_cancelRequested = false;
};

} // namespace pagorra
