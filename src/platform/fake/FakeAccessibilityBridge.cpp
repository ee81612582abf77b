#include "platform/fake/FakeAccessibilityBridge.h"

namespace velnor {

std::optional<QString> FakeAccessibleElement::value()
{
    if (!hasText)
        return std::nullopt;
    ++textReads;
    return text;
}

std::optional<QString> FakeAccessibleElement::selectedText()
{
    if (!hasText || !selectionReadable)
        return std::nullopt;
    ++textReads;
    return text.mid(caret, selectionLength);
}

std::optional<int> FakeAccessibleElement::characterCount()
{
    return hasText ? std::optional<int>(static_cast<int>(text.size())) : std::nullopt;
}

std::optional<std::vector<std::shared_ptr<AccessibleElement>>> FakeAccessibleElement::children()
{
    if (!childrenReadable)
        return std::nullopt;
    return std::vector<std::shared_ptr<AccessibleElement>>(kids.begin(), kids.end());
}

WriteResult FakeAccessibleElement::setSelectedText(const QString& inserted)
{
    if (onWrite)
        onWrite();
    if (refuseSelectedText || !hasText || protectedText)
        return WriteResult::NotWritten;
    ++writes;
    text.replace(caret, selectionLength, inserted);
    caret += static_cast<int>(inserted.size());
    selectionLength = 0;
    return writeAnswer.value_or(WriteResult::Written);
}

WriteResult FakeAccessibleElement::setValue(const QString& newText)
{
    if (refuseValue || !hasText || protectedText)
        return WriteResult::NotWritten;
    ++writes;
    text = newText;
    caret = static_cast<int>(newText.size());
    selectionLength = 0;
    return writeAnswer.value_or(WriteResult::Written);
}

std::shared_ptr<FakeAccessibleElement> FakeAccessibleElement::addChild()
{
    kids.push_back(std::make_shared<FakeAccessibleElement>());
    return kids.back();
}

std::shared_ptr<AccessibleElement> FakeAccessibilityBridge::applicationElement(qint32 processId,
                                                                               Duration messagingTimeout,
                                                                               Duration searchBudget)
{
    lastTimeout = messagingTimeout;
    lastBudget = searchBudget;
    return applications.value(processId);
}

FocusedElementResult FakeAccessibilityBridge::focusedElement(AccessibleElement&)
{
    return {focused, focused ? AccessibilityError::None : focusedError};
}

} // namespace velnor
