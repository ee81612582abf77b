#pragma once

#include "audio/AudioInputManager.h"
#include "backend/APIClient.h"
#include "backend/AccountNotifications.h"
#include "backend/AccountSession.h"
#include "backend/AuthService.h"
#include "backend/HotWordManager.h"
#include "backend/HotwordService.h"
#include "backend/LoginViewModel.h"
#include "backend/QASRService.h"
#include "backend/UpdateChecker.h"
#include "backend/UserManager.h"
#include "backend/support/FakeHttpTransport.h"
#include "config/LanguageManager.h"
#include "config/LaunchAtLoginSetting.h"
#include "config/MemorySettingsStore.h"
#include "core/Clock.h"
#include "core/ManualScheduler.h"
#include "history/DictationRetry.h"
#include "history/HistoryStore.h"
#include "platform/fake/FakeAudioDevices.h"
#include "platform/fake/FakeLoginItem.h"
#include "platform/fake/FakeMicrophonePermission.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "ui/main/MainWindowServices.h"
#include "ui/onboarding/PermissionManager.h"
#include "config/SettingsKeys.h"
#include "ui/common/Dialogs.h"
#include "ui/onboarding/AccessibilityBus.h"

#include <QPushButton>

namespace velnor::test {

// Records alerts; confirmations are kept so the test can accept them.
class RecordingDialogs final : public Dialogs {
public:
    void alert(QWidget*, const QString& title, const QString& text) override { alerts.append(title + QStringLiteral(": ") + text); }
    void confirm(QWidget*, const QString& title, const QString&, const QString&, const QString&,
                 std::function<void()> onAccept) override
    {
        confirmTitles.append(title);
        pendingAccept = std::move(onAccept);
    }
    void accept()
    {
        if (const auto onAccept = std::exchange(pendingAccept, nullptr))
            onAccept();
    }

    QStringList alerts;
    QStringList confirmTitles;
    std::function<void()> pendingAccept;
};

// The desktop's accessibility switch; enabling takes effect after
// `checksUntilEnabled` further checks (the bus reports with a delay).
// Answers at once unless `holdAnswers` is set; held answers wait until the
// test releases them.
class FakeAccessibilityBus final : public AccessibilityBus {
public:
    void checkEnabled(Answer answer) override
    {
        ++checks;
        if (pendingChecks > 0 && --pendingChecks == 0)
            enabled = true;
        if (holdAnswers)
            heldAnswers.append([answer, now = enabled] { answer(now); });
        else
            answer(enabled);
    }
    void enable(Done done) override
    {
        pendingChecks = checksUntilEnabled;
        enabled = enabled || pendingChecks == 0;
        done(std::nullopt);
    }
    void releaseAnswers()
    {
        for (const auto& answer : std::exchange(heldAnswers, {}))
            answer();
    }

    bool enabled = false;
    int checksUntilEnabled = 0;
    int pendingChecks = 0;
    int checks = 0;
    bool holdAnswers = false;
    QList<std::function<void()>> heldAnswers;
};

// The last child of type W shown within `root` that `matches`; null when none.
template <class W, class Match>
W* shownChild(QWidget* root, Match matches)
{
    W* found = nullptr;
    for (W* widget : root->findChildren<W*>()) {
        if (widget->isVisibleTo(root) && matches(widget))
            found = widget;
    }
    return found;
}

inline QPushButton* buttonWithText(QWidget* root, const QString& text)
{
    return shownChild<QPushButton>(root, [&](QPushButton* button) { return button->text() == text; });
}

// Every service the main window drives, on in-memory settings, virtual time,
// a fake HTTP transport (answered by the test) and platform fakes.
// Build it, answer the hot word fetch, then build the window from services().
class UiHarness {
public:
    static inline const QUrl kBase{QStringLiteral("https://api.example.test")};

    // By default on the fake transport and virtual time; a real transport,
    // base URL and scheduler make it talk to a real server.
    explicit UiHarness(HttpTransport* realTransport = nullptr, const QUrl& base = kBase, Scheduler* realScheduler = nullptr);

    static QString key(const char* name) { return QString::fromLatin1(name); }
    MainWindowServices& services() { return m_services; }
    // Answers the oldest unanswered request whose path is `path`, or fails it.
    bool answer(const QString& path, const QByteArray& body, int status = 200)
    {
        return respond(path, FakeHttpTransport::bodyResponse(body, status));
    }
    bool fail(const QString& path)
    {
        return respond(path, {std::nullopt, std::nullopt, TransportError{TransportErrorKind::Other, 99, QStringLiteral("Network unreachable")}});
    }

    LogCapture log;
    MemorySettingsStore settings;
    ManualScheduler scheduler;
    FakeHttpTransport transport;
    RecordingDialogs dialogs;
    FakeAudioDevices audioDevices;
    FakeLoginItem loginItem;
    FakeMicrophonePermission microphone;
    FakeAccessibilityBus accessibility;
    AccountNotifications notifications;
    HttpTransport& activeTransport;
    Scheduler& activeScheduler;
    APIClient client;
    AuthService auth{client, log.logger()};
    UserManager users{settings};
    AccountSession session{auth, settings, users, notifications, log.logger(), log.printSink()};
    LoginViewModel login{auth, settings, users, notifications, activeScheduler, log.logger(), log.redactor(), log.printSink()};
    HotwordService hotwordService{client, log.logger()};
    HotWordManager hotWords{hotwordService, log.printSink()};
    UpdateChecker updates;
    AudioInputManager audioInputs;
    LanguageManager languages;
    LaunchAtLoginSetting launchAtLogin{settings, loginItem, activeScheduler, log.printSink()};
    PermissionManager permissions{settings, accessibility, microphone};
    // A real history file in a temporary folder; its answers come back
    // through the event loop.
    TempDir historyDir;
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(18, 30))};
    HistoryStore history;
    QASRService recognition{client, log.logger()};
    DictationRetry retry{{history, recognition, log.logger(), QStringLiteral("linux")}};
    QStringList copiedTexts;
    QStringList reinsertedTexts;
    QStringList indicatorMoves;
    // The keyboards the settings screen lists, and those a refresh would find.
    QList<KeyboardEntry> listedKeyboards{{QStringLiteral("built_in"), QStringLiteral("内置键盘"), true, {}}};
    QList<KeyboardEntry> attachedKeyboards;
    QStringList openedUrls;
    int quitRequests = 0;
    int relaunches = 0;

private:
    bool respond(const QString& path, const HttpResponse& response);

    MainWindowServices m_services;
};

} // namespace velnor::test
