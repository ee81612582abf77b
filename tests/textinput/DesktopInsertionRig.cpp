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
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    if (accessible) {
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    } else {
        environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("0"));
    }
    return environment;
}

TargetApp::TargetApp(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000))
        return;
    m_ready = waitUntil([this] { return m_process.canReadLine(); }, 15000)
              && m_process.readLine().trimmed() == "ready";
}

TargetApp::~TargetApp()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString TargetApp::command(const QString& line)
{
    m_process.write(line.toUtf8() + '\n');
    if (!waitUntil([this] { return m_process.canReadLine(); }, 10000))
        return QStringLiteral("<no answer>");
    return QString::fromUtf8(m_process.readLine()).chopped(1);
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
