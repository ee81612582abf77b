#include "app/MainWindowPresenter.h"

#include <QCloseEvent>

namespace velnor {

MainWindowPresenter::MainWindowPresenter(Factory factory, QObject* parent)
    : QObject(parent)
    , m_factory(std::move(factory))
{
}

MainWindowPresenter::~MainWindowPresenter()
{
    if (m_window)
        m_window->removeEventFilter(this);
}

void MainWindowPresenter::openMainWindow()
{
    if (!m_window) {
        m_window = m_factory();
        m_window->installEventFilter(this);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void MainWindowPresenter::hideMainWindow()
{
    if (m_window)
        m_window->hide();
}

bool MainWindowPresenter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close) {
        // The window manager's close button only hides the window.
        event->ignore();
        m_window->hide();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velnor
