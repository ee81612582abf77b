#include "textinput/AccessibilityInserter.h"

#include "log/Logger.h"
#include "platform/AccessibilityBridge.h"

#include <algorithm>
#include <array>

namespace velnor {

namespace {

const std::array<QString, 5> kTextRoles = {
    QStringLiteral("AXTextField"), QStringLiteral("AXTextArea"), QStringLiteral("AXSearchField"),
    QStringLiteral("AXComboBox"),  QStringLiteral("AXWebArea"),
};

QString errorText(AccessibilityError error)
{
    switch (error) {
    case AccessibilityError::NotImplemented:
        return QStringLiteral("错误：请求的属性或操作未实现");
    case AccessibilityError::InvalidElement:
        return QStringLiteral("错误：无效的UI元素");
    case AccessibilityError::CannotComplete:
        return QStringLiteral("错误：操作无法完成，可能是因为目标应用程序没有响应");
    default:
        return QStringLiteral("未知错误");
    }
}

} // namespace

AccessibilityInserter::AccessibilityInserter(AccessibilityBridge& bridge, Logger& log, Duration messagingTimeout,
                                             Duration searchBudget)
    : m_bridge(bridge)
    , m_log(log)
    , m_messagingTimeout(messagingTimeout)
    , m_searchBudget(searchBudget)
{
}

bool InsertionTicket::claimWrite()
{
    int expected = Searching;
    return m_state.compare_exchange_strong(expected, Writing);
}

bool InsertionTicket::abandon()
{
    int expected = Searching;
    return m_state.compare_exchange_strong(expected, Abandoned);
}

AccessibilityOutcome AccessibilityInserter::insert(qint32 processId, const QString& appName, const QString& text,
                                                   InsertionTicket& ticket)
{
    const auto root = getAppRootElement(processId, appName);
    if (!root) {
        m_log.info(QStringLiteral("无法获取应用根元素"));
        return AccessibilityOutcome::NotInserted;
    }
    const auto field = getFocusedTextField(root, ticket);
    if (!field) {
        m_log.info(QStringLiteral("未找到焦点输入框"));
        return AccessibilityOutcome::NotInserted;
    }
    if (field->isProtectedText()) {
        m_log.info(QStringLiteral("焦点输入框是密码框，不输入文字"));
        return AccessibilityOutcome::ProtectedField;
    }
    if (!ticket.claimWrite())
        return AccessibilityOutcome::NotInserted;
    return write(*field, text);
}

AccessibilityOutcome AccessibilityInserter::write(AccessibleElement& field, const QString& text)
{
    const auto logUnknown = [this] { m_log.warning(QStringLiteral("辅助功能写入结果未知，不再用剪贴板输入")); };
    switch (field.setSelectedText(text)) {
    case WriteResult::Written:
        m_log.info(QStringLiteral("成功输入文字"));
        return AccessibilityOutcome::Inserted;
    case WriteResult::Unknown:
        logUnknown();
        return AccessibilityOutcome::Unknown;
    case WriteResult::NotWritten:
        break;
    }
    // Setting the value replaces everything the user typed: only an empty
    // field may be written that way; otherwise the clipboard inserts at the caret.
    if (field.characterCount() == 0) {
        switch (field.setValue(text)) {
        case WriteResult::Written:
            m_log.info(QStringLiteral("使用kAXValueAttribute成功输入文字"));
            return AccessibilityOutcome::Inserted;
        case WriteResult::Unknown:
            logUnknown();
            return AccessibilityOutcome::Unknown;
        case WriteResult::NotWritten:
            break;
        }
    }
    m_log.info(QStringLiteral("辅助功能API输入失败"));
    return AccessibilityOutcome::NotInserted;
}

std::shared_ptr<AccessibleElement> AccessibilityInserter::getAppRootElement(qint32 processId, const QString& appName)
{
    auto root = m_bridge.applicationElement(processId, m_messagingTimeout, m_searchBudget);
    m_log.info(QStringLiteral("创建根元素 - 应用: ") + appName + QStringLiteral(", 进程ID: ")
               + QString::number(processId));
    return root;
}

std::shared_ptr<AccessibleElement> AccessibilityInserter::getFocusedTextField(
    const std::shared_ptr<AccessibleElement>& root, const InsertionTicket& ticket)
{
    const FocusedElementResult focused = m_bridge.focusedElement(*root);
    const int code = static_cast<int>(focused.error);
    m_log.info(QStringLiteral("获取焦点元素结果: ") + QString::number(code));
    if (focused.element) {
        AccessibleElement& element = *focused.element;
        m_log.info(QStringLiteral("焦点元素角色: ") + element.role().value_or(QString()));
        m_log.info(QStringLiteral("焦点元素标题: ") + element.title().value_or(QString()));
        // The field may hold a password or private text: its length is
        // enough to diagnose, and cheaper than the text of a long document.
        const auto count = element.characterCount();
        if (count)
            m_log.debug(QStringLiteral("焦点元素当前值: （") + QString::number(*count) + QStringLiteral(" 个字符）"));
        m_log.debug(QStringLiteral("焦点元素支持的属性列表: ") + element.attributeNames().join(QStringLiteral(", ")));
        // Value and selection are both readable exactly when there is text.
        if (!count) {
            m_log.info(QStringLiteral("焦点元素不支持文本编辑"));
            return nullptr;
        }
        return focused.element;
    }
    m_log.info(QStringLiteral("无法获取焦点元素，错误码: ") + QString::number(code) + QStringLiteral(" axError: ")
               + QString::number(code));
    m_log.info(errorText(focused.error));
    m_log.info(QStringLiteral("尝试递归查找焦点输入框..."));
    return findFocusedTextFieldRecursively(root, ticket);
}

std::shared_ptr<AccessibleElement> AccessibilityInserter::findFocusedTextFieldRecursively(
    const std::shared_ptr<AccessibleElement>& element, const InsertionTicket& ticket)
{
    if (ticket.isAbandoned())
        return nullptr;
    if (isTextInputElement(*element) && isElementFocused(*element)) {
        m_log.info(QStringLiteral("找到焦点输入框"));
        return element;
    }
    const auto children = element->children();
    if (!children)
        return nullptr;
    for (const auto& child : *children) {
        if (!child)
            continue;
        if (auto found = findFocusedTextFieldRecursively(child, ticket))
            return found;
    }
    return nullptr;
}

bool AccessibilityInserter::isTextInputElement(AccessibleElement& element)
{
    const auto role = element.role();
    if (!role)
        return false;
    if (std::find(kTextRoles.begin(), kTextRoles.end(), *role) != kTextRoles.end()) {
        m_log.debug(QStringLiteral("找到文本输入元素，角色: ") + *role);
        return true;
    }
    if (element.characterCount()) {
        m_log.debug(QStringLiteral("找到支持文本编辑的元素"));
        return true;
    }
    return false;
}

bool AccessibilityInserter::isElementFocused(AccessibleElement& element)
{
    if (element.isFocused().value_or(false)) {
        m_log.debug(QStringLiteral("元素处于焦点状态"));
        return true;
    }
    return false;
}

} // namespace velnor
