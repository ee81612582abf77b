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

AtspiElement::AtspiElement(GRef<AtspiAccessible> accessible, ToolkitTextUnits units, WalkDeadline walkDeadline)
    : m_accessible(std::move(accessible))
    , m_units(units)
    , m_walkDeadline(walkDeadline)
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

std::optional<int> AtspiElement::characterCount()
{
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(m_accessible.get()));
    if (!text)
        return std::nullopt;
    ErrorSlot error;
    const int count = atspi_text_get_character_count(text.get(), error.out());
    if (error.failed() || count < 0)
        return std::nullopt;
    return count;
}

bool AtspiElement::isProtectedText()
{
    // AT-SPI has no state for protected text: GTK (an entry without
    // visibility), Qt (echo mode Password), Gecko and Chromium
    // (<input type=password>) all give such fields this role.
    ErrorSlot error;
    const AtspiRole role = atspi_accessible_get_role(m_accessible.get(), error.out());
    return !error.failed() && role == ATSPI_ROLE_PASSWORD_TEXT;
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

bool AtspiElement::hasState(AtspiStateType state)
{
    const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(m_accessible.get()));
    return states && atspi_state_set_contains(states.get(), state);
}

std::optional<std::vector<std::shared_ptr<AccessibleElement>>> AtspiElement::children()
{
    std::vector<std::shared_ptr<AccessibleElement>> list;
    // Tables and long lists (a spreadsheet's million cells) make their
    // children on demand: listing them would take forever.
    if (hasState(ATSPI_STATE_MANAGES_DESCENDANTS))
        return list;
    ErrorSlot countError;
    const int count = atspi_accessible_get_child_count(m_accessible.get(), countError.out());
    if (countError.failed() || count < 0)
        return std::nullopt;
    for (int i = 0; i < count; ++i) {
        // The insertion has given up on the walk by now: stop asking.
        if (std::chrono::steady_clock::now() >= m_walkDeadline)
            return std::nullopt;
        ErrorSlot childError;
        GRef<AtspiAccessible> child(atspi_accessible_get_child_at_index(m_accessible.get(), i, childError.out()));
        if (!childError.failed() && child)
            list.push_back(std::make_shared<AtspiElement>(std::move(child), m_units, m_walkDeadline));
    }
    return list;
}

WriteResult AtspiElement::setSelectedText(const QString& inserted)
{
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(m_accessible.get()));
    const GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(m_accessible.get()));
    if (!text || !editable || isProtectedText() || !hasState(ATSPI_STATE_EDITABLE))
        return WriteResult::NotWritten;
    const auto before = fullText(text.get());
    if (!before)
        return WriteResult::NotWritten;
    const auto range = selection(text.get(), *before);
    if (!range)
        return WriteResult::NotWritten;

    // Insert after the selection first and delete the selection second: a
    // failure at either step is undone by deleting only what was inserted,
    // so the user's own text is never written back (which would lose rich
    // text's formatting).
    const QByteArray utf8 = inserted.toUtf8();
    ErrorSlot insertError;
    atspi_editable_text_insert_text(editable.get(), m_units.offsetOf(*before, range->end), utf8.constData(),
                                    m_units.lengthOf(inserted), insertError.out());
    const QString withInsertion = spliced(*before, range->end, range->end, inserted);
    const auto afterInsert = fullText(text.get());
    if (afterInsert != withInsertion)
        return undoInsertion(text.get(), editable.get(), *before, range->end);
    if (range->end == range->start)
        return WriteResult::Written;

    ErrorSlot deleteError;
    atspi_editable_text_delete_text(editable.get(), m_units.offsetOf(*before, range->start),
                                    m_units.offsetOf(*before, range->end), deleteError.out());
    const auto afterDelete = fullText(text.get());
    if (afterDelete == spliced(*before, range->start, range->end, inserted))
        return WriteResult::Written;
    if (afterDelete != withInsertion)
        return WriteResult::Unknown;
    return undoInsertion(text.get(), editable.get(), *before, range->end);
}

WriteResult AtspiElement::undoInsertion(AtspiText* text, AtspiEditableText* editable, const QString& before,
                                        qsizetype at)
{
    const auto now = fullText(text);
    if (!now)
        return WriteResult::Unknown;
    if (*now == before)
        return WriteResult::NotWritten;
    // Whatever landed at the insertion point (all of the text, part of it,
    // or garbage) sits between the user's text before and after it.
    const qsizetype added = now->size() - before.size();
    if (added <= 0 || !now->startsWith(before.left(at)) || !now->endsWith(before.mid(at)))
        return WriteResult::Unknown;
    ErrorSlot error;
    atspi_editable_text_delete_text(editable, m_units.offsetOf(*now, at), m_units.offsetOf(*now, at + added),
                                    error.out());
    return fullText(text) == before ? WriteResult::NotWritten : WriteResult::Unknown;
}

WriteResult AtspiElement::setValue(const QString& newText)
{
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(m_accessible.get()));
    const GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(m_accessible.get()));
    if (!text || !editable || isProtectedText() || !hasState(ATSPI_STATE_EDITABLE))
        return WriteResult::NotWritten;
    const auto before = fullText(text.get());
    if (!before)
        return WriteResult::NotWritten;
    ErrorSlot error;
    atspi_editable_text_set_text_contents(editable.get(), newText.toUtf8().constData(), error.out());
    const auto now = fullText(text.get());
    if (now == newText)
        return WriteResult::Written;
    if (now == before)
        return WriteResult::NotWritten;
    // Only an empty field's contents can be told apart from what was set.
    return before->isEmpty() ? undoInsertion(text.get(), editable.get(), *before, 0) : WriteResult::Unknown;
}

} // namespace velnor::atspi
