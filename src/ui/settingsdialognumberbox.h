#pragma once

#include <QLineEdit>
#include <functional>

namespace pagorra {

// A numeric box of the settings dialog. Typing lets only digits and backspace through and at
// most maxTyped characters; editing and navigation keys and shortcuts work as usual. Text set
// by the program may be longer, so a computed or stored value is never cut short. Entering
// the box puts the caret after the last character; onLeft runs when the focus moves to
// another control of the dialog (not for a context menu or a switch to another window).
class NumberBox : public QLineEdit {
public:
    NumberBox(int maxTyped, QWidget *parent = nullptr);

    std::function<void()> onLeft;

    // Runs onLeft as if the focus had moved away, for a "Save" pressed with Enter.
    void leave();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};

} // namespace pagorra
