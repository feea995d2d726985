#include "ui/settingsdialognumberbox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QValidator>

namespace pagorra {

namespace {

// QLineEdit's own maximum length would also cut text set by the program; a validator
// only judges what the user types or pastes.
class TypedLengthValidator : public QValidator {
public:
    TypedLengthValidator(int length, QObject *parent) : QValidator(parent), m_length(length) {}

    State validate(QString &input, int &) const override { return input.size() > m_length ? Invalid : Acceptable; }

private:
    int m_length;
};

} // namespace

NumberBox::NumberBox(int maxTyped, QWidget *parent) : QLineEdit(parent)
{
    setValidator(new TypedLengthValidator(maxTyped, this));
    // Leave room for one character more than can be typed: computed values may be longer.
    const int chars = maxTyped + 2;
    setFixedWidth(fontMetrics().horizontalAdvance(QString(chars, u'0')) + 12);
}

void NumberBox::leave()
{
    if (onLeft)
        onLeft();
}

void NumberBox::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const bool typesCharacter = !text.isEmpty() && text.at(0).isPrint();
    if (typesCharacter && !(text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'9')) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void NumberBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        deselect();
        end(false);
    }
}

void NumberBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        leave();
}

} // namespace pagorra
