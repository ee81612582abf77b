#include "platform/linux/atspi/AtspiElement.h"

namespace velnor::atspi {

namespace {

std::optional<QString> fullText(AtspiText* text)
{
    ErrorSlot error;
    auto contents = takeString(atspi_text_get_text(text, 0, -1, error.out()));
    if (error.failed() || !contents)
        return std::nullopt;
    return *contents;
}

} // namespace

QString referenceRoleName(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
    case ATSPI_ROLE_SPIN_BUTTON:
    case ATSPI_ROLE_TEXT:
        return QStringLiteral("AXTextField");
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_DOCUMENT_TEXT:
        return QStringLiteral("AXTextArea");
    case ATSPI_ROLE_COMBO_BOX:
        return QStringLiteral("AXComboBox");
    case ATSPI_ROLE_DOCUMENT_WEB:
    case ATSPI_ROLE_DOCUMENT_FRAME:
        return QStringLiteral("AXWebArea");
    default: {
        const GString name(atspi_role_get_name(role));
        return name ? QString::fromUtf8(name.get()) : QString();
    }
    }
}

AtspiElement::AtspiElement(GRef<AtspiAccessible> accessible, ToolkitTextUnits units)
    : m_accessible(std::move(accessible))
    , m_units(units)
{
}

std::optional<QString> AtspiElement::role()
{
    ErrorSlot error;
    const AtspiRole role = atspi_accessible_get_role(m_accessible.get(), error.out());
    if (error.failed())
        return std::nullopt;
    return referenceRoleName(role);
}

std::optional<QString> AtspiElement::title()
{
    ErrorSlot error;
    auto name = takeString(atspi_accessible_get_name(m_accessible.get(), error.out()));
    if (error.failed() || !name)
        return std::nullopt;
    return *name;
}

std::optional<QString> AtspiElement::value()
{
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(m_accessible.get()));
    if (!text)
        return std::nullopt;
    return fullText(text.get());
}

std::optional<AtspiElement::Selection> AtspiElement::selection(AtspiText* text, const QString& contents)
{
    ErrorSlot countError;
    const int count = atspi_text_get_n_selections(text, countError.out());
    if (countError.failed())
        return std::nullopt;
    if (count > 0) {
        ErrorSlot rangeError;
        AtspiRange* range = atspi_text_get_selection(text, 0, rangeError.out());
        if (!rangeError.failed() && range) {
            const int start = std::min(range->start_offset, range->end_offset);
            const int end = std::max(range->start_offset, range->end_offset);
            g_free(range);
            if (end > start)
                return Selection{m_units.indexOf(contents, start), m_units.indexOf(contents, end)};
        } else if (range) {
            g_free(range);
        }
    }
    ErrorSlot caretError;
    const int caret = atspi_text_get_caret_offset(text, caretError.out());
    if (caretError.failed() || caret < 0)
        return std::nullopt;
    const qsizetype index = m_units.indexOf(contents, caret);
    return Selection{index, index};
}

std::optional<QString> AtspiElement::selectedText()
{
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(m_accessible.get()));
    if (!text)
        return std::nullopt;
    const auto contents = fullText(text.get());
    if (!contents)
        return std::nullopt;
    const auto range = selection(text.get(), *contents);
    if (!range)
        return std::nullopt;
    return contents->mid(range->start, range->end - range->start);
}

QStringList AtspiElement::attributeNames()
{
    QStringList names;
    GArray* interfaces = atspi_accessible_get_interfaces(m_accessible.get());
    if (!interfaces)
        return names;
    for (guint i = 0; i < interfaces->len; ++i)
        names << QString::fromUtf8(g_array_index(interfaces, gchar*, i));
    for (guint i = 0; i < interfaces->len; ++i)
        g_free(g_array_index(interfaces, gchar*, i));
    g_array_free(interfaces, TRUE);
    return names;
}

std::optional<bool> AtspiElement::isFocused()
{
    const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(m_accessible.get()));
    if (!states)
        return std::nullopt;
    return atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED) != FALSE;
}

bool AtspiElement::isEditable()
{
    const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(m_accessible.get()));
    return states && atspi_state_set_contains(states.get(), ATSPI_STATE_EDITABLE);
}

std::optional<std::vector<std::shared_ptr<AccessibleElement>>> AtspiElement::children()
{
    ErrorSlot countError;
    const int count = atspi_accessible_get_child_count(m_accessible.get(), countError.out());
    if (countError.failed() || count < 0)
        return std::nullopt;
    std::vector<std::shared_ptr<AccessibleElement>> list;
    for (int i = 0; i < count; ++i) {
        ErrorSlot childError;
        GRef<AtspiAccessible> child(atspi_accessible_get_child_at_index(m_accessible.get(), i, childError.out()));
        if (!childError.failed() && child)
            list.push_back(std::make_shared<AtspiElement>(std::move(child), m_units));
    }
    return list;
}

bool AtspiElement::setSelectedText(const QString& inserted)
{
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(m_accessible.get()));
    const GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(m_accessible.get()));
    if (!text || !editable || !isEditable())
        return false;
    const auto before = fullText(text.get());
    if (!before)
        return false;
    const auto range = selection(text.get(), *before);
    if (!range)
        return false;
    const int start = m_units.offsetOf(*before, range->start);
    if (range->end > range->start) {
        ErrorSlot error;
        const int end = m_units.offsetOf(*before, range->end);
        if (!atspi_editable_text_delete_text(editable.get(), start, end, error.out()) || error.failed())
            return false;
    }
    const QByteArray utf8 = inserted.toUtf8();
    ErrorSlot insertError;
    const bool insertedOk = atspi_editable_text_insert_text(editable.get(), start, utf8.constData(),
                                                            m_units.lengthOf(inserted), insertError.out())
                            && !insertError.failed();
    const QString expected = spliced(*before, range->start, range->end, inserted);
    if (insertedOk && fullText(text.get()) == expected)
        return true;
    // Whatever went wrong, the user's text must not be left half-edited:
    // put the field back as it was before the clipboard takes over.
    if (fullText(text.get()) != *before) {
        ErrorSlot error;
        atspi_editable_text_set_text_contents(editable.get(), before->toUtf8().constData(), error.out());
    }
    return false;
}

bool AtspiElement::setValue(const QString& newText)
{
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(m_accessible.get()));
    const GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(m_accessible.get()));
    if (!text || !editable || !isEditable())
        return false;
    ErrorSlot error;
    if (!atspi_editable_text_set_text_contents(editable.get(), newText.toUtf8().constData(), error.out())
        || error.failed())
        return false;
    return fullText(text.get()) == newText;
}

} // namespace velnor::atspi
