#include "platform/fake/FakeAccessibilityBridge.h"

namespace velnor {

std::optional<QString> FakeAccessibleElement::selectedText()
{
    if (!hasText || !selectionReadable)
        return std::nullopt;
    return text.mid(caret, selectionLength);
}

std::optional<std::vector<std::shared_ptr<AccessibleElement>>> FakeAccessibleElement::children()
{
    if (!childrenReadable)
        return std::nullopt;
    return std::vector<std::shared_ptr<AccessibleElement>>(kids.begin(), kids.end());
}

bool FakeAccessibleElement::setSelectedText(const QString& inserted)
{
    if (onWrite)
        onWrite();
    if (refuseSelectedText || !hasText)
        return false;
    ++writes;
    text.replace(caret, selectionLength, inserted);
    caret += static_cast<int>(inserted.size());
    selectionLength = 0;
    return true;
}

bool FakeAccessibleElement::setValue(const QString& newText)
{
    if (refuseValue || !hasText)
        return false;
    ++writes;
    text = newText;
    caret = static_cast<int>(newText.size());
    selectionLength = 0;
    return true;
}

std::shared_ptr<FakeAccessibleElement> FakeAccessibleElement::addChild()
{
    kids.push_back(std::make_shared<FakeAccessibleElement>());
    return kids.back();
}

std::shared_ptr<AccessibleElement> FakeAccessibilityBridge::applicationElement(qint32 processId,
                                                                               Duration messagingTimeout)
{
    lastTimeout = messagingTimeout;
    return applications.value(processId);
}

FocusedElementResult FakeAccessibilityBridge::focusedElement(AccessibleElement&)
{
    return {focused, focused ? AccessibilityError::None : focusedError};
}

} // namespace velnor
