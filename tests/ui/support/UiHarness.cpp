#include "ui/support/UiHarness.h"

#include "config/SettingsReaders.h"

#include <QCoreApplication>

namespace velnor::test {

UiHarness::UiHarness(HttpTransport* realTransport, const QUrl& base, Scheduler* realScheduler)
    : activeTransport(realTransport ? *realTransport : transport)
    , activeScheduler(realScheduler ? *realScheduler : scheduler)
    , client(activeTransport, settings, activeScheduler, log.logger(), log.redactor(), base)
    , updates(activeTransport, base, QStringLiteral("1.2.0"), QStringLiteral("linux"), log.printSink())
    , audioInputs(audioDevices, settings, log.logger(), log.printSink())
    , languages(log.logger(), QStringLiteral(VELNOR_SOURCE_DIR "/resources/qasr.json"))
    , history({historyDir.filePath(QStringLiteral("history.db")), clock,
               [this] { return settings::historyEnabled(settings); },
               [](std::function<void()> work) {
                   QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
               }})
    , m_services{settings,
                 activeScheduler,
                 log.logger(),
                 dialogs,
                 notifications,
                 session,
                 login,
                 users,
                 hotWords,
                 updates,
                 audioInputs,
                 languages,
                 launchAtLogin,
                 permissions,
                 HistoryPageModel::Dependencies{history, retry, settings, clock, log.logger(),
                                                {[this](const QString& text) { copiedTexts.append(text); },
                                                 [this](const QString& text) { reinsertedTexts.append(text); }}},
                 {},
                 {},
                 [this](const QUrl& url) { openedUrls.append(url.toString()); },
                 [this] { ++quitRequests; },
                 [this] {
                     ++relaunches;
                     return std::optional<QString>();
                 }}
{
    SettingsHooks& hooks = m_services.settingsHooks;
    hooks.moveIndicator = [this](const QString& position) { indicatorMoves.append(position); };
    hooks.keyboards = [this] { return listedKeyboards; };
    hooks.selectedKeyboardId = [] { return QStringLiteral("built_in"); };
    hooks.refreshKeyboards = [this] { listedKeyboards = attachedKeyboards; };
    languages.loadLanguages();
}

bool UiHarness::respond(const QString& path, const HttpResponse& response)
{
    for (qsizetype i = 0; i < transport.count(); ++i) {
        if (transport.request(i).url.path() == path && !transport.isAnswered(i) && !transport.isCancelled(i)) {
            transport.respond(i, response);
            return true;
        }
    }
    return false;
}

} // namespace velnor::test
