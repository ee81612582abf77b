// Shows each main-window page, the login sheet and each onboarding step with
// realistic account data (fake backend answers, fake devices) and saves a PNG
// of each into the folder given as the first argument.
#include "audio/AudioInputManager.h"
#include "config/SettingsKeys.h"
#include "support/EventLoopWait.h"
#include "ui/main/HistoryPage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/SettingsPage.h"
#include "ui/support/UiHarness.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>
#include <QTimer>

#include <cstdio>

namespace velnor {
namespace {

const QByteArray kUser = R"({"code":0,"data":{"id":"u1","phone":"13800138000","nick":"林晓",
  "generate_words_total":128400,"vip2":{"startTime":"2026-01-01T00:00:00Z","endTime":"2027-01-01T00:00:00Z",
  "status":"active"},"invite":{"code":"VEL8K2Q","total_invites":12}}})";

const QByteArray kHotWords = R"({"code":0,"data":[{"text":"Velnor","weight":11},{"text":"语音输入","weight":10},
  {"text":"张江高科","weight":8},{"text":"Kubernetes","weight":6},{"text":"季度复盘","weight":5}]})";

class ScreenshotRun {
public:
    explicit ScreenshotRun(QString folder)
        : m_folder(std::move(folder))
    {
        m_harness.audioDevices.sourceList = {
            AudioSourceInfo{QStringLiteral("alsa_input.pci-0000_00_1f.3.analog-stereo"), QStringLiteral("内置麦克风"),
                            false, false, QStringLiteral("pci"), QStringLiteral("internal"), true, 2, 48000},
            AudioSourceInfo{QStringLiteral("alsa_input.usb-Blue_Yeti-00.analog-stereo"), QStringLiteral("Yeti USB 麦克风"),
                            false, false, QStringLiteral("usb"), QString(), true, 2, 48000}};
        m_harness.audioDevices.defaultSource = QStringLiteral("alsa_input.usb-Blue_Yeti-00.analog-stereo");
        m_harness.audioInputs.refreshDevices();
        m_harness.audioInputs.loadSelectedDevice();
        SettingsHooks& hooks = m_harness.services().settingsHooks;
        hooks.keyboards = [] {
            return QList<KeyboardEntry>{{QStringLiteral("1:0001"), QStringLiteral("AT Translated Set 2 keyboard"), true,
                                         QStringLiteral("已连接")},
                                        {QStringLiteral("046d:c52b"), QStringLiteral("Logitech K380"), false,
                                         QStringLiteral("已连接")}};
        };
        hooks.selectedKeyboardId = [] { return QStringLiteral("1:0001"); };
    }

    bool run()
    {
        m_harness.settings.setBool(QString::fromLatin1(SettingsKey::OnboardingCompleted), true);
        m_harness.accessibility.enabled = false;
        m_harness.microphone.setStatus(MicrophonePermission::Status::NotDetermined);
        MainWindow window(m_harness.services());
        window.show();
        settle();
        bool ok = save(window, QStringLiteral("login-sheet"));
        // The embedded default server (--dev-sms) answers the code and the sheet fills it in.
        m_harness.login.setPhoneNumber(QStringLiteral("13800138000"));
        m_harness.login.sendVerificationCode();
        answerAll(QStringLiteral("/auth/sms/code"), R"({"code":0,"data":{"dev_code":"2468"}})");
        settle();
        ok = save(window, QStringLiteral("login-sheet-local-code")) && ok;
        for (int step = 0; step < OnboardingModel::kStepCount; ++step) {
            window.model().openOnboardingAt(static_cast<OnboardingStep>(step));
            settle();
            ok = save(window, QStringLiteral("onboarding-%1").arg(step + 1)) && ok;
            window.model().onboardingFinished();
            settle();
        }

        // Signed in, with data.
        m_harness.login.setPhoneNumber(QStringLiteral("13800138000"));
        m_harness.login.setVerificationCode(QStringLiteral("2468"));
        m_harness.login.login();
        answerAll(QStringLiteral("/auth/login/sms"), R"({"code":0,"data":{"token":"jwt-demo","phone":"13800138000"}})");
        m_harness.accessibility.enabled = true;
        m_harness.microphone.setStatus(MicrophonePermission::Status::Authorized);
        settle();
        ok = save(window, QStringLiteral("main-dashboard")) && ok;
        window.model().select(MenuItem::Hotwords);
        settle();
        ok = save(window, QStringLiteral("main-hotwords")) && ok;
        const int seeded = seedHistory();
        window.model().select(MenuItem::History);
        test::waitUntil([&] { return window.findChild<HistoryPage*>()->model().entries().size() == seeded; });
        settle();
        ok = save(window, QStringLiteral("main-history")) && ok;
        window.model().select(MenuItem::Settings);
        m_harness.updates.checkForUpdates();
        answerAll(QStringLiteral("/app/check"), R"({"code":0,"msg":"ok","data":{"is_need_update":true,"focus_update":false,
            "update_url":"https://velnor.example/download","update_desc":"","update_version":"1.3.0"}})");
        settle();
        ok = save(window, QStringLiteral("main-settings")) && ok;
        // Every settings card at once, to check that nothing is clipped.
        auto* settingsScroll = window.findChild<SettingsPage*>()->findChild<QScrollArea*>();
        ok = save(*settingsScroll->widget(), QStringLiteral("main-settings-all")) && ok;
        return ok;
    }

private:
    // A day of dictations as the store records them: delivered by either
    // method, a failed upload whose recording waits for a retry, a cancelled
    // one, and one a crash left unfinished.
    int seedHistory()
    {
        struct Dictation {
            QDateTime at;
            QString mode;
            QString app;
            QString text;
            QString error; // failed when set
        };
        const QDate today(2026, 12, 6);
        const QList<Dictation> dictations{
            {QDateTime(today.addDays(-1), QTime(16, 12)), QStringLiteral("traditional"), QStringLiteral("LibreOffice Writer"),
             QStringLiteral("本季度新增用户主要来自华东地区，复购率比上季度提高了百分之六。"), {}},
            {QDateTime(today.addDays(-1), QTime(21, 40)), QStringLiteral("realtime"), QStringLiteral("Telegram"), {}, {}},
            {QDateTime(today, QTime(9, 2)), QStringLiteral("traditional"), QStringLiteral("Terminal"), {},
             QStringLiteral("应用在识别完成前退出")},
            {QDateTime(today, QTime(18, 5)), QStringLiteral("realtime"), QStringLiteral("Firefox"),
             QStringLiteral("Kubernetes 集群今晚十点升级，请提前保存工作。"), {}},
            {QDateTime(today, QTime(18, 20)), QStringLiteral("traditional"), QStringLiteral("Thunderbird"), {},
             QStringLiteral("网络请求失败: Connection refused")},
            {QDateTime(today, QTime(18, 24)), QStringLiteral("traditional"), QStringLiteral("文本编辑器"),
             QStringLiteral("下午三点的季度复盘改到周四，会议室不变。"), {}},
        };
        HistoryStore& store = m_harness.history;
        store.open({});
        int index = 0;
        for (const Dictation& dictation : dictations) {
            m_harness.clock.set(dictation.at);
            const QString id = store.recordStarted(dictation.mode, dictation.app, QStringLiteral("org.example.app"));
            const QString recording = dictation.mode == QStringLiteral("traditional")
                                          ? m_harness.historyDir.writeFile(QStringLiteral("%1.m4a").arg(++index), "m4a")
                                          : QString();
            store.recordRecognizing(id, 3.2, recording);
            if (!dictation.error.isEmpty())
                store.recordFailed(id, dictation.error);
            else if (dictation.text.isEmpty())
                store.recordCancelled(id);
            else
                store.recordDelivered(id, dictation.text, dictation.text,
                                      dictation.mode == QStringLiteral("realtime") ? QStringLiteral("accessibility")
                                                                                   : QStringLiteral("clipboard"));
        }
        m_harness.clock.set(QDateTime(today, QTime(18, 30)));
        return static_cast<int>(dictations.size());
    }

    void answerAll(const QString& path, const QByteArray& body)
    {
        while (m_harness.answer(path, body)) {
        }
    }

    // Lets widgets lay out and answers whatever the screens asked the backend.
    void settle()
    {
        for (int round = 0; round < 5; ++round) {
            QApplication::processEvents();
            // As the backend does: account data only for a signed-in user.
            const bool signedIn = m_harness.settings.contains(QString::fromLatin1(SettingsKey::UserJwt));
            answerAll(QStringLiteral("/auth/mev2"), signedIn ? kUser : QByteArray(R"({"code":401,"msg":"unauthorized"})"));
            answerAll(QStringLiteral("/qasr/hotwordlist"), kHotWords);
            m_harness.scheduler.advanceBy(seconds(0.5));
        }
        QApplication::processEvents();
    }

    bool save(QWidget& window, const QString& name)
    {
        const QString path = QDir(m_folder).filePath(name + QStringLiteral(".png"));
        const bool saved = window.grab().save(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
        return saved;
    }

    QString m_folder;
    test::UiHarness m_harness{nullptr, QUrl(QStringLiteral("http://127.0.0.1:18470"))};   // the app's default backend
};

} // namespace
} // namespace velnor

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(folder);
    velnor::ScreenshotRun run(folder);
    return run.run() ? 0 : 1;
}
