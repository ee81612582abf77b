#pragma once

#include "core/Scheduler.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace velnor {

// Why an accessibility read gave nothing (the reference platform's error codes).
enum class AccessibilityError {
    None = 0,
    NotImplemented = -25208,
    InvalidElement = -25202,
    CannotComplete = -25204,
    Failure = -25200,
};

// What a write did to a field.
enum class WriteResult {
    // The field holds the text where it belongs.
    Written,
    // The field is as it was: another way may still insert the text.
    NotWritten,
    // No answer in time, or a change that could not be undone: the text may
    // be in the field, so inserting it another way could type it twice.
    Unknown,
};

// One element of another application's accessibility tree. Reads and writes
// block on the target application, so callers use elements off the GUI thread
// (see AccessibilityBridge); an element stays on the thread that made it.
class AccessibleElement {
public:
    AccessibleElement() = default;
    virtual ~AccessibleElement() = default;
    AccessibleElement(const AccessibleElement&) = delete;
    AccessibleElement& operator=(const AccessibleElement&) = delete;

    // Roles use the reference names where one fits ("AXTextField",
    // "AXTextArea", "AXComboBox", "AXWebArea"…), else the platform's own.
    virtual std::optional<QString> role() = 0;
    virtual std::optional<QString> title() = 0;
    // "AXValue": the whole text; none when the element has no text.
    virtual std::optional<QString> value() = 0;
    // "AXSelectedText": the selected text (empty when only a caret).
    virtual std::optional<QString> selectedText() = 0;
    // The length of the text without fetching it; none without text.
    virtual std::optional<int> characterCount() = 0;
    // A password or other field whose text must never be read or written.
    virtual bool isProtectedText() = 0;
    virtual QStringList attributeNames() = 0;
    virtual std::optional<bool> isFocused() = 0;
    // None when the children cannot be read. Elements that manage their
    // descendants (tables, large lists) report none of them.
    virtual std::optional<std::vector<std::shared_ptr<AccessibleElement>>> children() = 0;

    // Replaces the selection with the text, or inserts it at the caret.
    // Written only when the element now holds the text where it belongs; a
    // failed write is undone by deleting what it inserted, nothing else.
    // Protected fields are never written.
    virtual WriteResult setSelectedText(const QString& text) = 0;
    // Replaces the whole contents; Written only when read back equal.
    virtual WriteResult setValue(const QString& text) = 0;
};

// The focused element of an application, or why there is none.
struct FocusedElementResult {
    std::shared_ptr<AccessibleElement> element;
    AccessibilityError error = AccessibilityError::None;
};

// Reads and drives other applications' UI through the platform's
// accessibility service. Every call may block on the target application for
// up to the messaging timeout: call it from a worker thread, never the GUI
// thread, and always from the same thread.
class AccessibilityBridge {
public:
    AccessibilityBridge() = default;
    virtual ~AccessibilityBridge() = default;
    AccessibilityBridge(const AccessibilityBridge&) = delete;
    AccessibilityBridge& operator=(const AccessibilityBridge&) = delete;

    // Whether the accessibility service can reach applications at all.
    virtual bool isAvailable() = 0;
    // The root element of the application with this process id (0: the
    // application whose window is active, where the window system names
    // no process), with the
    // given messaging timeout applied to every call made through it. Walks
    // of its tree stop once `searchBudget` has passed since this call.
    virtual std::shared_ptr<AccessibleElement> applicationElement(qint32 processId, Duration messagingTimeout,
                                                                  Duration searchBudget) = 0;
    virtual FocusedElementResult focusedElement(AccessibleElement& application) = 0;
};

} // namespace velnor
