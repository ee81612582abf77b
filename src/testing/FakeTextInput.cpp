#include "testing/FakeTextInput.h"

#include "platform/Workspace.h"

namespace velnor {

void FakeTextInput::inputTextToFocusedField(const QString& text, Completion completion)
{
    typed << text;
    if (deferCompletion) {
        m_pending.append(std::move(completion));
        return;
    }
    completion(resultFor());
}

std::optional<FrontAppInfo> FakeTextInput::getFrontmostApp()
{
    ++frontAppQueries;
    return m_workspace.frontmostApplication();
}

void FakeTextInput::completePending()
{
    const auto pending = std::exchange(m_pending, {});
    for (const auto& completion : pending)
        completion(resultFor());
}

InsertionResult FakeTextInput::resultFor() const
{
    InsertionResult result;
    result.method = method;
    if (const auto app = m_workspace.frontmostApplication()) {
        result.info.insert(QStringLiteral("appName"), app->localizedName.value_or(QStringLiteral("未知")));
        result.info.insert(QStringLiteral("bundleId"), app->bundleId.value_or(QStringLiteral("未知")));
        result.info.insert(QStringLiteral("processId"), QString::number(app->processId));
    }
    return result;
}

} // namespace velnor
