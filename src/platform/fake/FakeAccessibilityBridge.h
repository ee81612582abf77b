#pragma once

#include "platform/AccessibilityBridge.h"

#include <QMap>

#include <functional>

namespace velnor {

// An element whose attributes the test sets; writes edit `text` like a real
// field (at the caret or over the selection) unless refused.
class FakeAccessibleElement final : public AccessibleElement {
public:
    std::optional<QString> role() override { return roleName; }
    std::optional<QString> title() override { return titleText; }
    std::optional<QString> value() override;
    std::optional<QString> selectedText() override;
    std::optional<int> characterCount() override;
    bool isProtectedText() override { return protectedText; }
    QStringList attributeNames() override { return {QStringLiteral("AXRole")}; }
    std::optional<bool> isFocused() override { return focused; }
    std::optional<std::vector<std::shared_ptr<AccessibleElement>>> children() override;
    WriteResult setSelectedText(const QString& inserted) override;
    WriteResult setValue(const QString& newText) override;

    std::shared_ptr<FakeAccessibleElement> addChild();

    std::optional<QString> roleName;
    std::optional<QString> titleText;
    bool hasText = false;
    bool selectionReadable = true;
    QString text;
    int caret = 0;
    int selectionLength = 0;
    std::optional<bool> focused = false;
    bool refuseSelectedText = false;
    bool refuseValue = false;
    bool childrenReadable = true;
    // A password field: writes are refused like the real bridge refuses them.
    bool protectedText = false;
    // What writes answer after doing their edit, e.g. Unknown for a helper
    // that stopped answering once the target had the text.
    std::optional<WriteResult> writeAnswer;
    int textReads = 0;
    std::vector<std::shared_ptr<FakeAccessibleElement>> kids;
    // Runs at the start of every write, e.g. to let time pass meanwhile.
    std::function<void()> onWrite;
    int writes = 0;
};

class FakeAccessibilityBridge final : public AccessibilityBridge {
public:
    bool isAvailable() override { return available; }
    std::shared_ptr<AccessibleElement> applicationElement(qint32 processId, Duration messagingTimeout,
                                                          Duration searchBudget) override;
    FocusedElementResult focusedElement(AccessibleElement& application) override;

    bool available = true;
    // Application elements by process id.
    QMap<qint32, std::shared_ptr<FakeAccessibleElement>> applications;
    // What focusedElement() answers; empty element with an error means "search".
    std::shared_ptr<FakeAccessibleElement> focused;
    AccessibilityError focusedError = AccessibilityError::None;
    Duration lastTimeout{0};
    Duration lastBudget{0};
};

} // namespace velnor
