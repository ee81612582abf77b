#include "textinput/PreviousAppInserter.h"

#include "log/Logger.h"
#include "platform/Workspace.h"
#include "textinput/TextInput.h"

namespace velnor {

PreviousAppInserter::PreviousAppInserter(Dependencies dependencies)
    : m_with(std::move(dependencies))
{
}

void PreviousAppInserter::insert(const QString& text)
{
    if (text.isEmpty())
        return;
    m_poll.cancel();
    m_text = text;
    if (ownWindowIsInFront())
        m_with.stepAside();
    // Even when focus already moved, the window manager's answer comes on a
    // later turn: look from there.
    m_poll = m_with.scheduler.post([this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            waitForFocus(Duration::zero());
    });
}

bool PreviousAppInserter::ownWindowIsInFront() const
{
    const auto front = m_with.workspace.frontmostApplication();
    return front && front->processId == m_with.ownProcessId;
}

void PreviousAppInserter::waitForFocus(Duration waited)
{
    if (ownWindowIsInFront() && waited < kFocusLimit) {
        m_poll = m_with.scheduler.after(kPollInterval, [this, waited, guard = m_lifetime.guard()] {
            if (!guard.expired())
                waitForFocus(waited + kPollInterval);
        });
        return;
    }
    if (ownWindowIsInFront()) {
        // Typing now would go into our own window (the history's search
        // field, say): the text stays where it is, and the user hears why.
        m_text.clear();
        m_with.log.warning(QStringLiteral("窗口隐藏后焦点未回到其他应用，未输入任何文字"));
        if (m_with.nothingTyped)
            m_with.nothingTyped();
        return;
    }
    const QString text = std::exchange(m_text, QString());
    m_with.textInput.inputTextToFocusedField(text, [this, guard = m_lifetime.guard()](const InsertionResult& result) {
        if (!guard.expired())
            m_with.log.info(QStringLiteral("重新输入完成，输入方式: ") + textInputMethodName(result.method));
    });
}

} // namespace velnor
