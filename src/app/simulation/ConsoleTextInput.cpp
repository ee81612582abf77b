#include "app/simulation/ConsoleTextInput.h"

#include "platform/Workspace.h"

namespace velnor {

ConsoleTextInput::ConsoleTextInput(const Workspace& workspace, ConsoleSink console)
    : m_workspace(workspace)
    , m_console(std::move(console))
{
}

void ConsoleTextInput::inputTextToFocusedField(const QString& text, Completion completion)
{
    m_delivered << text;
    m_console(QStringLiteral(">>> typed into the focused field: \"%1\"").arg(text));
    InsertionResult result;
    result.method = TextInputMethod::Accessibility;
    if (const auto app = m_workspace.frontmostApplication()) {
        result.info.insert(QStringLiteral("appName"), app->localizedName.value_or(QStringLiteral("未知")));
        result.info.insert(QStringLiteral("bundleId"), app->bundleId.value_or(QStringLiteral("未知")));
        result.info.insert(QStringLiteral("processId"), QString::number(app->processId));
    }
    completion(result);
}

std::optional<FrontAppInfo> ConsoleTextInput::getFrontmostApp()
{
    return m_workspace.frontmostApplication();
}

} // namespace velnor
