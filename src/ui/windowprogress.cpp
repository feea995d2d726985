#include "ui/windowprogress.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>

namespace pagorra {

WindowProgress::WindowProgress(QProgressBar *bar, QPushButton *cancel, QObject *parent)
    : QObject(parent), m_bar(bar), m_cancel(cancel)
{
    connect(m_cancel, &QPushButton::clicked, this, &WindowProgress::requestCancel);
}

void WindowProgress::begin(int maximum)
{
    m_bar->setRange(0, maximum);
    m_bar->setValue(0);
    m_bar->show();
    m_cancel->show();
    m_cancelRequested = false;
}

void WindowProgress::yield()
{
    QCoreApplication::processEvents();
}

void WindowProgress::setValue(int value)
{
    m_bar->setValue(value);
}

void WindowProgress::end()
{
    m_cancelRequested = false;
    m_bar->hide();
    m_cancel->hide();
}

} // namespace pagorra
