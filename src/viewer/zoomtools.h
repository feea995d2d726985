#pragma once

#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QLabel;

namespace pagorra {

// The zoom tools over the page (`picTools`): the option pair `optZoom` (0 = best fit,
// 1 = actual size), exactly one of them selected, and the zoom label `lblZoom`.
class ZoomTools : public QWidget {
    Q_OBJECT
  public:
    explicit ZoomTools(QWidget *parent = nullptr);

    QAbstractButton *option(int index) const;
    QLabel *zoomLabel() const { return m_label; }
    // 0 when best fit is selected, else 1.
    int selected() const;
    // Selects without emitting optionClicked(); 0 = best fit, anything else = actual size.
    void select(int index);

  signals:
    // The user clicked an option (also when it was already selected).
    void optionClicked(int index);

  private:
    QButtonGroup *m_group;
    QLabel *m_label;
};

} // namespace pagorra
