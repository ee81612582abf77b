#include "app/simulation/HeadlessSimulation.h"

#include "app/simulation/SimulatedBackend.h"
#include "app/simulation/SimulatedRealtimeClient.h"
#include "config/DefaultSettings.h"
#include "config/IndicatorPositioner.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/Clock.h"
#include "core/QtScheduler.h"
#include "dictation/AppSetupHelper.h"
#include "log/ConsoleSink.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "platform/fake/FakeAudioFileRecorder.h"
#include "platform/fake/FakeIndicator.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "platform/fake/FakeRecordingFiles.h"
#include "platform/fake/FakeSoundPlayer.h"
#include "platform/fake/FakeWorkspace.h"
#include "textinput/TextInput.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace velnor {

namespace {

// Prints what would be typed into the focused field.
class ConsoleTextInput final : public TextInput {
public:
    ConsoleTextInput(const Workspace& workspace, ConsoleSink console)
        : m_workspace(workspace)
        , m_console(std::move(console))
    {
    }

    void inputTextToFocusedField(const QString& text, Completion completion) override
    {
        delivered << text;
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

    std::optional<FrontAppInfo> getFrontmostApp() override { return m_workspace.frontmostApplication(); }

    QStringList delivered;

private:
    const Workspace& m_workspace;
    ConsoleSink m_console;
};

class PrintingPositioner final : public IndicatorPositioner {
public:
    explicit PrintingPositioner(ConsoleSink console)
        : m_console(std::move(console))
    {
    }
    void setPosition(const QString& position) override { m_console(QStringLiteral(">>> indicator moved to ") + position); }

private:
    ConsoleSink m_console;
};

} // namespace

int runHeadlessSimulation()
{
    const ConsoleSink console = standardOutputSink();
    QTemporaryDir recordings;
    SystemClock clock;
    QtScheduler scheduler;
    SecretRedactor redactor;
    Logger log(QString(), clock, console, redactor);
    MemorySettingsStore settings;
    PrintingPositioner positioner(console);
    DefaultSettingsRegistrar(settings, scheduler, positioner).registerDefaults();

    FakeIndicator indicator;
    FakeAudioFileRecorder recorder;
    FakeRecordingFiles recordingFiles(recordings.path());
    FakeSoundPlayer sounds;
    FakeWorkspace workspace;
    FakeAccessibilityTrust trust;
    FakeKeySynthesizer keys;
    ConsoleTextInput textInput(workspace, console);
    SimulatedBackend backend(scheduler, {QStringLiteral("今天下午三点在二号会议室开会。")});
    const RealtimeRecognitionClientFactory realtimeClients = [&scheduler] {
        return std::make_unique<SimulatedRealtimeClient>(
            scheduler, QStringList{QStringLiteral("please"), QStringLiteral("ship"), QStringLiteral("the"),
                                   QStringLiteral("release"), QStringLiteral("today")});
    };

    AppSetupHelper controller(AppSetupHelper::Collaborators{
        settings, scheduler, clock, log, console, indicator, recorder, recordingFiles, sounds, backend, backend,
        textInput, workspace, keys, trust, realtimeClients, QStringLiteral("linux")});

    console(QStringLiteral(">>> traditional dictation: hold the hotkey for 2 s"));
    scheduler.after(seconds(0.5), [&] { controller.handleKeyDown(); });
    scheduler.after(seconds(2.5), [&] { controller.handleKeyUp(); });
    scheduler.after(seconds(4.5), [&] {
        console(QStringLiteral(">>> real-time dictation: hold the hotkey for 3 s"));
        settings.setString(SettingsKey::RecognitionMode, QStringLiteral("realtime"));
        controller.handleKeyDown();
    });
    scheduler.after(seconds(7.5), [&] { controller.handleKeyUp(); });
    scheduler.after(seconds(10.0), [&] {
        log.flush();
        console(QStringLiteral(">>> delivered %1 text(s):").arg(textInput.delivered.size()));
        for (const QString& text : textInput.delivered)
            console(QStringLiteral("    \"%1\"").arg(text));
        QCoreApplication::exit(textInput.delivered.size() == 2 ? 0 : 1);
    });
    return QCoreApplication::exec();
}

} // namespace velnor
