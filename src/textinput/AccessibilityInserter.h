#pragma once

#include "core/Scheduler.h"

#include <QString>

#include <atomic>
#include <memory>

namespace velnor {

class AccessibilityBridge;
class AccessibleElement;
class Logger;

// Shared by the thread that waits for an insertion and the thread doing it:
// either the waiter abandons it or the worker claims the right to write,
// never both.
class InsertionTicket final {
public:
    bool isAbandoned() const { return m_state.load() == Abandoned; }
    // Worker: true when it may write (and the waiter must now wait for it).
    bool claimWrite();
    // Waiter: true when the worker had not begun writing and never will.
    bool abandon();

private:
    enum State { Searching, Writing, Abandoned };
    std::atomic<int> m_state{Searching};
};

// How an accessibility insertion ended.
enum class AccessibilityOutcome {
    Inserted,
    // Nothing was written: the clipboard may insert the text.
    NotInserted,
    // A write began but its result is not known: the text may be in the
    // field already, so it must not be pasted as well.
    Unknown,
    // The focused field is a password field: nothing may type into it.
    ProtectedField,
};

// Writes text into the focused text element of an application through the
// accessibility bridge. Blocking: runs on the accessibility worker thread.
class AccessibilityInserter final {
public:
    // Walks of the application's tree stop after `searchBudget`.
    AccessibilityInserter(AccessibilityBridge& bridge, Logger& log, Duration messagingTimeout = seconds(5.0),
                          Duration searchBudget = seconds(1.5));

    AccessibilityOutcome insert(qint32 processId, const QString& appName, const QString& text,
                                InsertionTicket& ticket);

    std::shared_ptr<AccessibleElement> getAppRootElement(qint32 processId, const QString& appName);
    std::shared_ptr<AccessibleElement> getFocusedTextField(const std::shared_ptr<AccessibleElement>& root,
                                                           const InsertionTicket& ticket);
    // Depth-first, pre-order; stops once the ticket is abandoned.
    std::shared_ptr<AccessibleElement> findFocusedTextFieldRecursively(const std::shared_ptr<AccessibleElement>& element,
                                                                       const InsertionTicket& ticket);
    bool isTextInputElement(AccessibleElement& element);
    bool isElementFocused(AccessibleElement& element);

private:
    AccessibilityOutcome write(AccessibleElement& field, const QString& text);

    AccessibilityBridge& m_bridge;
    Logger& m_log;
    const Duration m_messagingTimeout;
    const Duration m_searchBudget;
};

} // namespace velnor
