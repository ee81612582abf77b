#pragma once

#include "platform/AccessibilityBridge.h"
#include "platform/linux/atspi/AtspiHandles.h"
#include "platform/linux/atspi/ToolkitTextUnits.h"

#include <chrono>

namespace velnor::atspi {

using WalkDeadline = std::chrono::steady_clock::time_point;

// An AT-SPI object seen as an accessibility element. Writes go through the
// EditableText interface in the toolkit's own text units and count only when
// the text read back is what the field should now hold. Listing children
// stops at the walk deadline shared by every element of one insertion.
class AtspiElement final : public AccessibleElement {
public:
    AtspiElement(GRef<AtspiAccessible> accessible, ToolkitTextUnits units, WalkDeadline walkDeadline);

    std::optional<QString> role() override;
    std::optional<QString> title() override;
    std::optional<QString> value() override;
    std::optional<QString> selectedText() override;
    std::optional<int> characterCount() override;
    bool isProtectedText() override;
    QStringList attributeNames() override;
    std::optional<bool> isFocused() override;
    std::optional<std::vector<std::shared_ptr<AccessibleElement>>> children() override;
    WriteResult setSelectedText(const QString& text) override;
    WriteResult setValue(const QString& text) override;

    AtspiAccessible* accessible() const { return m_accessible.get(); }
    const ToolkitTextUnits& units() const { return m_units; }
    WalkDeadline walkDeadline() const { return m_walkDeadline; }

private:
    struct Selection {
        qsizetype start = 0; // QString indices into the text
        qsizetype end = 0;
    };
    std::optional<Selection> selection(AtspiText* text, const QString& contents);
    bool hasState(AtspiStateType state);
    WriteResult undoInsertion(AtspiText* text, AtspiEditableText* editable, const QString& before, qsizetype at);

    GRef<AtspiAccessible> m_accessible;
    ToolkitTextUnits m_units;
    WalkDeadline m_walkDeadline;
};

// The reference role name for an AT-SPI role, or AT-SPI's own name.
QString referenceRoleName(AtspiRole role);

} // namespace velnor::atspi
