// velnor-atspi-helper: runs the AT-SPI bridge for the app (see
// AtspiHelperProtocol.h). Ends when its standard input closes.
#include "platform/linux/atspi/AtspiAccessibilityBridge.h"
#include "platform/linux/atspi/AtspiHelperProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include <unistd.h>

namespace velnor::atspi {
namespace {

class HelperServer final {
public:
    QJsonObject handle(const QJsonObject& request)
    {
        const QString name = request.value(QStringLiteral("op")).toString();
        if (name == op::Available)
            return ok(m_bridge.isAvailable());
        if (name == op::Application) {
            auto element = m_bridge.applicationElement(
                request.value(QStringLiteral("pid")).toInt(),
                Duration(request.value(QStringLiteral("timeoutMs")).toInt(5000)),
                Duration(request.value(QStringLiteral("budgetMs")).toInt(1500)));
            return element ? withId(std::move(element)) : ok(false);
        }
        if (name == op::Release) {
            m_elements.erase(request.value(QStringLiteral("id")).toInt());
            return ok(true);
        }
        const auto found = m_elements.find(request.value(QStringLiteral("id")).toInt());
        if (found == m_elements.end())
            return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), int(AccessibilityError::InvalidElement)}};
        AccessibleElement& element = *found->second;
        if (name == op::Focused) {
            FocusedElementResult result = m_bridge.focusedElement(element);
            if (!result.element)
                return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), int(result.error)}};
            return withId(std::move(result.element));
        }
        if (name == op::Role)
            return text(element.role());
        if (name == op::Title)
            return text(element.title());
        if (name == op::Value)
            return text(element.value());
        if (name == op::SelectedText)
            return text(element.selectedText());
        if (name == op::CharacterCount) {
            const auto count = element.characterCount();
            return count ? QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("value"), *count}} : ok(false);
        }
        if (name == op::Protected)
            return {{QStringLiteral("ok"), true}, {QStringLiteral("value"), element.isProtectedText()}};
        if (name == op::AttributeNames)
            return {{QStringLiteral("ok"), true},
                    {QStringLiteral("values"), QJsonArray::fromStringList(element.attributeNames())}};
        if (name == op::Focus) {
            const auto focused = element.isFocused();
            return focused ? QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("value"), *focused}} : ok(false);
        }
        if (name == op::Children) {
            auto children = element.children();
            if (!children)
                return ok(false);
            QJsonArray ids;
            for (auto& child : *children)
                ids.append(store(std::move(child)));
            return {{QStringLiteral("ok"), true}, {QStringLiteral("ids"), ids}};
        }
        if (name == op::SetSelectedText)
            return written(element.setSelectedText(request.value(QStringLiteral("text")).toString()));
        if (name == op::SetValue)
            return written(element.setValue(request.value(QStringLiteral("text")).toString()));
        return ok(false);
    }

private:
    static QJsonObject ok(bool value) { return {{QStringLiteral("ok"), value}}; }
    static QJsonObject written(WriteResult result)
    {
        return {{QStringLiteral("ok"), true}, {QStringLiteral("result"), writeResultName(result)}};
    }
    static QJsonObject text(const std::optional<QString>& value)
    {
        return value ? QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("value"), *value}} : ok(false);
    }
    int store(std::shared_ptr<AccessibleElement> element)
    {
        m_elements.emplace(++m_lastId, std::move(element));
        return m_lastId;
    }
    QJsonObject withId(std::shared_ptr<AccessibleElement> element)
    {
        return {{QStringLiteral("ok"), true}, {QStringLiteral("id"), store(std::move(element))}};
    }

    AtspiAccessibilityBridge m_bridge;
    std::map<int, std::shared_ptr<AccessibleElement>> m_elements;
    int m_lastId = 0;
};

} // namespace
} // namespace velnor::atspi

int main()
{
    // The protocol gets the pipe that was standard output; fd 1 becomes
    // stderr, so whatever libatspi, GLib or a toolkit module prints there
    // can no longer be read as an answer.
    const int protocolFd = dup(STDOUT_FILENO);
    if (protocolFd < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    std::FILE* protocol = fdopen(protocolFd, "w");
    if (!protocol)
        return 1;

    velnor::atspi::HelperServer server;
    std::string line;
    while (std::getline(std::cin, line)) {
        const QJsonDocument request = QJsonDocument::fromJson(QByteArray::fromStdString(line));
        const QJsonObject question = request.isObject() ? request.object() : QJsonObject{};
        QJsonObject answer = request.isObject() ? server.handle(question) : QJsonObject{{QStringLiteral("ok"), false}};
        answer.insert(QStringLiteral("seq"), question.value(QStringLiteral("seq")));
        const QByteArray bytes = QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n';
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), protocol) != size_t(bytes.size())
            || std::fflush(protocol) != 0)
            return 1;
    }
    return 0;
}
