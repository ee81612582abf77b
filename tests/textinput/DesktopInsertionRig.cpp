#include "DesktopInsertionRig.h"

#include "support/EventLoopWait.h"

#include <QClipboard>
#include <QGuiApplication>

namespace velnor::test {

QString helperPath(const QString& name)
{
    return QStringLiteral(VELNOR_BINARY_DIR "/tests/support/desktop/") + name;
}

QProcessEnvironment targetEnvironment(bool accessible)
{
    QProcessEnvironment environment = fieldEnvironment(accessible);
    environment.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    return environment;
}

DesktopInsertionRig::DesktopInsertionRig(bool accessibility)
    : pasteboard(*QGuiApplication::clipboard())
    , stack(workspace, trust,
            std::make_unique<atspi::AtspiHelperBridge>(accessibility ? atspi::AtspiHelperBridge::defaultHelperPath()
                                                                     : QStringLiteral("/nonexistent/velnor-atspi-helper")),
            pasteboard, keys, scheduler, log.logger(), {seconds(2.0), seconds(3.0), {}})
{
}

bool DesktopInsertionRig::waitUntilFrontmost(qint64 processId, bool accessible)
{
    const bool front = waitUntil(
        [&] {
            const auto app = workspace.frontmostApplication();
            return app && app->processId == processId;
        },
        15000);
    if (!front || !accessible)
        return front;
    return waitUntil(
        [&] {
            bool known = false;
            stack.runOnAccessibilityThread(
                [&] { known = stack.bridge().applicationElement(qint32(processId), seconds(1.0), seconds(1.0)) != nullptr; });
            return known;
        },
        15000);
}

InsertionResult DesktopInsertionRig::insert(const QString& text)
{
    std::optional<InsertionResult> result;
    manager.inputTextToFocusedField(text, [&](const InsertionResult& r) { result = r; });
    waitUntil([&] { return result.has_value(); }, 20000);
    return result.value_or(InsertionResult{});
}

} // namespace velnor::test
