#pragma once

#include "support/EventLoopWait.h"
#include "support/RunProgram.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

namespace velnor::test {

// One of the target programs beside this header (velnor-gtk-entry,
// velnor-qt-line-edit): one text field that answers line commands ("text"
// prints the field) and says "ready" once shown.
class FieldApp {
public:
    FieldApp(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments);
        m_ready = waitUntil([this] { return m_process.canReadLine(); }, 15000) &&
                  m_process.readLine().trimmed() == "ready";
    }
    virtual ~FieldApp()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool isReady() const { return m_ready; }
    qint64 processId() const { return m_process.processId(); }
    // Asks the program to quit, as a user closes it; true once it ended.
    bool quit()
    {
        m_process.write("quit\n");
        m_process.closeWriteChannel();
        return m_process.waitForFinished(5000);
    }
    QString text() { return command(QStringLiteral("text")); }
    // What the program wrote to standard error so far (GTK: preedit changes).
    QString errors()
    {
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        return m_errors;
    }

    // Sends a command ("select 1 1", "copy TEXT") and returns its one-line
    // answer. Blocking, not a nested event loop: callers poll this inside waitUntil.
    QString command(const QString& line)
    {
        m_process.write(line.toUtf8() + '\n');
        m_process.waitForBytesWritten(1000);
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(5000))
                return QStringLiteral("<no answer>");
        }
        return QString::fromUtf8(m_process.readLine()).chopped(1);
    }

private:
    QProcess m_process;
    QString m_errors;
    bool m_ready = false;
};

// The environment of a target program. Without `accessible` the toolkit stays
// off the accessibility bus, so text can only arrive through the clipboard.
inline QProcessEnvironment fieldEnvironment(bool accessible)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (accessible) {
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    } else {
        environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_ACCESSIBILITY"), QStringLiteral("0"));
    }
    return environment;
}

// The title of the window the window manager has active (xdotool).
inline QString activeWindowName()
{
    return QString::fromUtf8(run(QStringLiteral("xdotool"), {"getactivewindow", "getwindowname"}, nullptr, 5000)).trimmed();
}

// A target program beside this header, once its window `title` (its first
// argument) is shown and active; null when not.
inline std::unique_ptr<FieldApp> openActiveField(const QString& program, const QString& title, QStringList arguments = {},
                                                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    arguments.prepend(title);
    auto field = std::make_unique<FieldApp>(QStringLiteral(VELNOR_BINARY_DIR "/tests/support/desktop/") + program, arguments,
                                            environment);
    if (!field->isReady() || !waitUntil([&] { return activeWindowName() == title; }, 10000))
        return nullptr;
    return field;
}

} // namespace velnor::test
