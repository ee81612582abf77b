// The client against a real velnor-server on 127.0.0.1: every service over
// real sockets, the account flow end to end, faults the server injects, and
// a recording made here from synthetic speech.
#include "backend/AccountSession.h"
#include "backend/AdjustTextService.h"
#include "backend/BackendServices.h"
#include "backend/HotWordManager.h"
#include "backend/LoginViewModel.h"
#include "backend/OsType.h"
#include "backend/QASRService.h"
#include "backend/QtHttpTransport.h"
#include "backend/UpdateChecker.h"
#include "backend/UserManager.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/QtScheduler.h"
#include "support/EventLoopWait.h"
#include "support/LogCapture.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"
#include "support/TempDir.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>

#include <iostream>

namespace velnor {
namespace {

using test::waitUntil;
using Name = AccountNotifications::Name;

const QString kPhone = QStringLiteral("13912345678");

template <typename T>
using Outcome = std::optional<Result<T, ServiceError>>;

// Waits for a completion that fills `outcome`.
template <typename T>
bool arrived(const std::optional<T>& outcome)
{
    return waitUntil([&] { return outcome.has_value(); });
}

class BackendIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(startServer()) << server.error().toStdString(); }
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "velnor-server said:\n" << server.standardError().toStdString() << '\n';
    }

    bool startServer(const QStringList& extraArgs = {})
    {
        if (!server.start(data.path(), extraArgs))
            return false;
        client = std::make_unique<APIClient>(transport, settings, scheduler, log.logger(), log.redactor(),
                                             server.url(), timeout);
        return true;
    }

    // Signs in through the SMS flow with the services alone; the token.
    QString signIn(const QString& phone = kPhone)
    {
        AuthService auth(*client, log.logger());
        Outcome<SentCode> sent;
        auth.sendVerificationCode(phone, [&](auto r) { sent = r; });
        EXPECT_TRUE(arrived(sent) && sent->ok());
        Outcome<LoginResponse> login;
        auth.loginWithVerificationCode({phone, server.smsCode(phone), std::nullopt}, [&](auto r) { login = r; });
        EXPECT_TRUE(arrived(login) && login->ok());
        if (!login || !login->ok())
            return {};
        settings.setString(QString::fromLatin1(SettingsKey::UserJwt), login->value().token);
        return login->value().token;
    }

    test::TempDir data;
    test::TempDir work;
    test::ServerProcess server;
    test::LogCapture log;
    MemorySettingsStore settings;
    QtScheduler scheduler;
    QNetworkAccessManager manager;
    QtHttpTransport transport{manager};
    Duration timeout = std::chrono::seconds(20);
    std::unique_ptr<APIClient> client;
};

TEST_F(BackendIntegrationTest, SmsLoginEndToEnd)
{
    AuthService auth(*client, log.logger());
    UserManager users(settings);
    AccountNotifications notifications;
    QList<Name> posted;
    QObject context;
    notifications.observe(Name::LoginSuccess, &context, [&] { posted.append(Name::LoginSuccess); });
    LoginViewModel model(auth, settings, users, notifications, scheduler, log.logger(), log.redactor(), log.printSink());
    EXPECT_FALSE(model.isLoggedIn());

    model.setPhoneNumber(kPhone);
    model.sendVerificationCode();
    ASSERT_TRUE(waitUntil([&] { return !model.isSendingCode(); }));
    ASSERT_FALSE(model.errorMessage().has_value()) << model.errorMessage()->toStdString();
    EXPECT_EQ(model.countdownSeconds(), 60);

    // A wrong code is the backend's error, shown as such.
    const QString code = server.smsCode(kPhone);
    ASSERT_EQ(code.size(), 4);
    model.setVerificationCode(code == QStringLiteral("0000") ? QStringLiteral("1111") : QStringLiteral("0000"));
    model.login();
    ASSERT_TRUE(waitUntil([&] { return !model.isLoading(); }));
    ASSERT_TRUE(model.errorMessage().has_value());
    EXPECT_TRUE(model.errorMessage()->startsWith(QStringLiteral("API错误: "))) << model.errorMessage()->toStdString();
    EXPECT_FALSE(model.isLoggedIn());

    model.setVerificationCode(code);
    model.login();
    ASSERT_TRUE(waitUntil([&] { return !posted.isEmpty(); }));
    EXPECT_TRUE(model.isLoggedIn());
    EXPECT_EQ(model.userPhone(), kPhone);
    const auto token = settings.string(QString::fromLatin1(SettingsKey::UserJwt));
    ASSERT_TRUE(token.has_value());
    ASSERT_TRUE(users.userInfoV2().has_value());
    EXPECT_EQ(users.userInfoV2()->phone, kPhone);
    EXPECT_FALSE(log.text().contains(*token)) << "the bearer token reached the log";
    EXPECT_TRUE(log.mentions(QStringLiteral("\"Authorization\": \"Bearer <redacted>\"")));
}

TEST_F(BackendIntegrationTest, MeV2WithAGoodAndAForgedToken)
{
    const QString token = signIn();
    ASSERT_FALSE(token.isEmpty());
    settings.setString(QString::fromLatin1(SettingsKey::UserPhone), kPhone);
    AuthService auth(*client, log.logger());
    UserManager users(settings);
    AccountNotifications notifications;
    AccountSession session(auth, settings, users, notifications, log.logger(), log.printSink());

    std::optional<User> shown;
    session.refreshAccountData([&](const User& user) { shown = user; });
    ASSERT_TRUE(arrived(shown));
    EXPECT_EQ(shown->phone, kPhone);
    ASSERT_TRUE(shown->invite.has_value());
    EXPECT_FALSE(shown->invite->code.value_or(QString()).isEmpty());

    // Flip the signature's last character: the server must refuse it.
    QString forged = token;
    forged[forged.size() - 1] = forged.endsWith(QLatin1Char('A')) ? QLatin1Char('B') : QLatin1Char('A');
    settings.setString(QString::fromLatin1(SettingsKey::UserJwt), forged);
    session.checkStoredSession();
    bool loggedOut = false;
    QObject context;
    notifications.observe(Name::Logout, &context, [&] { loggedOut = true; });
    session.refreshAccountData(nullptr);
    ASSERT_TRUE(waitUntil([&] { return loggedOut; }));
    EXPECT_TRUE(waitUntil([&] { return !settings.contains(QString::fromLatin1(SettingsKey::UserJwt)); }));
    EXPECT_FALSE(session.isLoggedIn());
    EXPECT_FALSE(users.userInfoV2().has_value());
}

// A token that expired (here: forged, which the server takes the same way)
// must not cost a dictation, nor print a hot word error at every start.
TEST_F(BackendIntegrationTest, AnExpiredSessionStillDictates)
{
    const QString token = signIn();
    ASSERT_FALSE(token.isEmpty());
    settings.setString(QString::fromLatin1(SettingsKey::UserJwt), token.left(token.size() - 2) + QStringLiteral("xx"));

    auto services = std::make_unique<BackendServices>(BackendDependencies{
        settings, scheduler, log.logger(), log.redactor(), log.printSink(), server.url(), QStringLiteral("0.1.0"),
        currentOsType()});
    ASSERT_TRUE(waitUntil([&] { return !services->hotWordManager().isLoading(); }));
    EXPECT_TRUE(services->hotWordManager().cachedHotWords().isEmpty());
    EXPECT_TRUE(log.printed().isEmpty()) << log.printed().join(QLatin1Char('\n')).toStdString();

    ASSERT_TRUE(server.scriptRecognizer({QStringLiteral("still here")}));
    RecognizeAudioFileParams upload;
    upload.fileType = QStringLiteral("m4a");
    upload.osType = currentOsType();
    upload.audioData = QByteArray(20000, 'x');
    Outcome<RecognizeAudioFileResponse> recognized;
    services->fileRecognition().recognizeAudioFile(upload, [&](auto r) { recognized = r; });
    ASSERT_TRUE(arrived(recognized));
    ASSERT_TRUE(recognized->ok()) << recognized->error().toString().toStdString();
    EXPECT_EQ(recognized->value().text, QStringLiteral("still here"));

    Outcome<AdjustTextResponse> adjusted;
    AdjustTextParams params;
    params.text = QStringLiteral("and corrected");
    services->textAdjustment().adjustText(params, [&](auto r) { adjusted = r; });
    ASSERT_TRUE(arrived(adjusted));
    ASSERT_TRUE(adjusted->ok()) << adjusted->error().toString().toStdString();
    EXPECT_EQ(adjusted->value().text, QStringLiteral("and corrected"));
}

TEST_F(BackendIntegrationTest, HotWordsAddListDeleteAndTheLimitOfFifty)
{
    ASSERT_FALSE(signIn().isEmpty());
    HotwordService service(*client, log.logger());
    HotWordManager words(service, log.printSink());
    ASSERT_TRUE(waitUntil([&] { return !words.isLoading(); }));
    EXPECT_TRUE(words.cachedHotWords().isEmpty());

    using Done = std::optional<Result<std::monostate, ServiceError>>;
    Done done;
    words.addHotword(QStringLiteral("Velnor"), 10.6, [&](auto r) { done = r; });
    ASSERT_TRUE(arrived(done));
    ASSERT_TRUE(done->ok()) << done->error().toString().toStdString();
    ASSERT_EQ(words.cachedHotWords().size(), 1);
    EXPECT_EQ(words.cachedHotWords().first().text, QStringLiteral("Velnor"));
    EXPECT_EQ(words.cachedHotWords().first().weight, 10.0);
    const QUuid id = words.cachedHotWords().first().id;

    // The backend's own rules reach the caller as its error.
    done.reset();
    words.addHotword(QStringLiteral("far too long for a hot word"), 5, [&](auto r) { done = r; });
    ASSERT_TRUE(arrived(done));
    ASSERT_FALSE(done->ok());
    EXPECT_EQ(done->error().domain, QStringLiteral("HotwordServiceErrorDomain"));
    EXPECT_NE(done->error().code, 0);

    for (int i = 1; i < 50; ++i) {
        done.reset();
        words.addHotword(QStringLiteral("w%1").arg(i), 3, [&](auto r) { done = r; });
        ASSERT_TRUE(arrived(done));
        ASSERT_TRUE(done->ok()) << i << ' ' << done->error().toString().toStdString();
    }
    ASSERT_EQ(words.cachedHotWords().size(), 50);
    EXPECT_EQ(words.cachedHotWords().first().id, id); // kept across 49 refreshes

    done.reset();
    words.addHotword(QStringLiteral("one more"), 3, [&](auto r) { done = r; });
    ASSERT_TRUE(done.has_value()); // refused locally, at once
    EXPECT_EQ(done->error().domain, QStringLiteral("HotWordManager"));
    EXPECT_EQ(done->error().code, 1);

    done.reset();
    words.deleteHotword(QStringLiteral("Velnor"), 1, [&](auto r) { done = r; });
    ASSERT_TRUE(arrived(done));
    ASSERT_TRUE(done->ok()) << done->error().toString().toStdString();
    EXPECT_EQ(words.cachedHotWords().size(), 49);
    EXPECT_FALSE(std::any_of(words.cachedHotWords().cbegin(), words.cachedHotWords().cend(),
                             [](const HotWord& w) { return w.text == QStringLiteral("Velnor"); }));
}

TEST_F(BackendIntegrationTest, ScriptedRecognitionAndRecordUpdate)
{
    ASSERT_FALSE(signIn().isEmpty());
    ASSERT_TRUE(server.scriptRecognizer({QStringLiteral("ship it over over")}));
    test::SpeechFixtures speech(work.path());
    const QByteArray audio = speech.m4a(QStringLiteral("ship it over over"), 0.5);
    ASSERT_FALSE(audio.isEmpty()) << speech.error().toStdString();

    QASRService service(*client, log.logger());
    RecognizeAudioFileParams params;
    params.fileType = QStringLiteral("m4a");
    params.appID = QStringLiteral("org.example.Editor");
    params.appName = QStringLiteral("Editor\r\n--injected");
    params.osType = currentOsType();
    params.outLanguage = QStringLiteral("en");
    params.overOver = true;
    params.audioData = audio;
    Outcome<RecognizeAudioFileResponse> recognized;
    service.recognizeAudioFile(params, [&](auto r) { recognized = r; });
    ASSERT_TRUE(arrived(recognized));
    ASSERT_TRUE(recognized->ok()) << recognized->error().toString().toStdString();
    EXPECT_EQ(recognized->value().text, QStringLiteral("ship it"));
    EXPECT_EQ(recognized->value().overOver, true);
    const QString id = recognized->value().id.value_or(QString());
    ASSERT_FALSE(id.isEmpty());

    Outcome<bool> updated;
    RecognizeRecordUpdateReq update;
    update.id = id;
    update.textInputMethod = QStringLiteral("clipboard");
    update.osType = currentOsType();
    service.updateRecognizeRecord(update, [&](auto r) { updated = r; });
    ASSERT_TRUE(arrived(updated));
    ASSERT_TRUE(updated->ok()) << updated->error().toString().toStdString();
    EXPECT_TRUE(updated->value());

    updated.reset();
    update.id = QStringLiteral("no-such-record");
    service.updateRecognizeRecord(update, [&](auto r) { updated = r; });
    ASSERT_TRUE(arrived(updated));
    ASSERT_FALSE(updated->ok());
    EXPECT_EQ(updated->error().domain, QStringLiteral("QASRServiceErrorDomain"));
}

TEST_F(BackendIntegrationTest, UpdateCheckAgainstTheConfiguredVersion)
{
    ASSERT_TRUE(startServer({QStringLiteral("--latest-version"), QStringLiteral("linux=0.3.0,http://127.0.0.1/velnor")}))
        << server.error().toStdString();
    UpdateChecker older(transport, server.url(), QStringLiteral("0.2.9"), currentOsType(), log.printSink());
    older.checkForUpdates();
    older.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return !older.isCheckingUpdate(); }));
    EXPECT_TRUE(older.updateAvailable());
    ASSERT_TRUE(older.updateInfo().has_value());
    EXPECT_EQ(older.updateInfo()->update_version, QStringLiteral("0.3.0"));
    EXPECT_EQ(older.updateInfo()->update_url, QStringLiteral("http://127.0.0.1/velnor"));

    UpdateChecker current(transport, server.url(), QStringLiteral("0.3.0"), currentOsType(), log.printSink());
    current.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return !current.isCheckingUpdate(); }));
    EXPECT_FALSE(current.updateAvailable());
    EXPECT_TRUE(current.updateInfo().has_value());
    EXPECT_TRUE(log.printed().isEmpty()) << log.printed().join(QLatin1Char('\n')).toStdString();
}

TEST_F(BackendIntegrationTest, ServerFaultsMapToTheServiceDomains)
{
    ASSERT_FALSE(signIn().isEmpty());
    timeout = std::chrono::milliseconds(400);
    APIClient impatient(transport, settings, scheduler, log.logger(), log.redactor(), server.url(), timeout);
    AdjustTextService adjust(impatient, scheduler, log.logger());
    AdjustTextParams params;
    params.text = QStringLiteral("hello");

    ASSERT_TRUE(server.injectFault(QStringLiteral("/qasr/adjust"), {{QStringLiteral("delay_ms"), 2500}}));
    Outcome<AdjustTextResponse> adjusted;
    adjust.adjustText(params, [&](auto r) { adjusted = r; });
    ASSERT_TRUE(arrived(adjusted));
    ASSERT_FALSE(adjusted->ok());
    EXPECT_EQ(adjusted->error().domain, QStringLiteral("AdjustTextServiceTimeoutErrorDomain"));
    EXPECT_EQ(adjusted->error().code, -1001);
    EXPECT_EQ(adjusted->error().description, QStringLiteral("文本校对请求超时"));

    QASRService qasr(*client, log.logger());
    RecognizeAudioFileParams upload;
    upload.fileType = QStringLiteral("m4a");
    upload.audioData = QByteArray(20000, 'x');
    // Two drops: Qt resends a request once when its connection closes before
    // any answer, and a busy machine may resend it after the server stopped
    // expecting the repeat.
    ASSERT_TRUE(
        server.injectFault(QStringLiteral("/qasr/recognize"), {{QStringLiteral("drop_connection"), true}}, 2));
    Outcome<RecognizeAudioFileResponse> recognized;
    qasr.recognizeAudioFile(upload, [&](auto r) { recognized = r; });
    ASSERT_TRUE(arrived(recognized));
    ASSERT_FALSE(recognized->ok());
    EXPECT_EQ(recognized->error().domain, QStringLiteral("QASRServiceNetworkErrorDomain"));
    EXPECT_EQ(recognized->error().code, -1);
    EXPECT_TRUE(recognized->error().description.startsWith(QStringLiteral("网络请求失败: ")));

    AdjustTextService patient(*client, scheduler, log.logger());
    ASSERT_TRUE(server.injectFault(QStringLiteral("/qasr/adjust"), {{QStringLiteral("malformed_body"), true}}));
    adjusted.reset();
    patient.adjustText(params, [&](auto r) { adjusted = r; });
    ASSERT_TRUE(arrived(adjusted));
    EXPECT_EQ(adjusted->error().domain, QStringLiteral("AdjustTextServiceNetworkErrorDomain"));

    ASSERT_TRUE(server.injectFault(QStringLiteral("/qasr/adjust"),
                                   {{QStringLiteral("envelope_code"), 503}, {QStringLiteral("http_status"), 503}}));
    adjusted.reset();
    patient.adjustText(params, [&](auto r) { adjusted = r; });
    ASSERT_TRUE(arrived(adjusted));
    EXPECT_EQ(adjusted->error().domain, QStringLiteral("AdjustTextServiceErrorDomain"));
    EXPECT_EQ(adjusted->error().code, 503);

    // Faults are one-shot: the next call succeeds.
    adjusted.reset();
    patient.adjustText(params, [&](auto r) { adjusted = r; });
    ASSERT_TRUE(arrived(adjusted));
    EXPECT_TRUE(adjusted->ok());
}

TEST_F(BackendIntegrationTest, ServicesBundleFetchesAtStartAndDiesCleanlyMidRequest)
{
    ASSERT_FALSE(signIn().isEmpty());
    HotwordService hotwords(*client, log.logger());
    Outcome<bool> added;
    hotwords.addHotword(QStringLiteral("Bundle"), 2, [&](auto r) { added = r; });
    ASSERT_TRUE(arrived(added) && added->ok());

    auto services = std::make_unique<BackendServices>(BackendDependencies{
        settings, scheduler, log.logger(), log.redactor(), log.printSink(), server.url(), QStringLiteral("0.1.0"),
        currentOsType()});
    EXPECT_TRUE(services->hotWordManager().isLoading());
    ASSERT_TRUE(waitUntil([&] { return !services->hotWordManager().isLoading(); }));
    ASSERT_EQ(services->hotWordManager().cachedHotWords().size(), 1);
    EXPECT_EQ(services->hotWordManager().cachedHotWords().first().text, QStringLiteral("Bundle"));
    const QList<HotWordEntry> forSigning = services->hotWordSource().cachedHotWords();
    ASSERT_EQ(forSigning.size(), 1);
    EXPECT_EQ(forSigning.first().text, QStringLiteral("Bundle"));
    EXPECT_EQ(forSigning.first().weight, 2.0);

    ASSERT_TRUE(server.injectFault(QStringLiteral("/qasr/adjust"), {{QStringLiteral("delay_ms"), 800}}));
    bool completed = false;
    AdjustTextParams params;
    params.text = QStringLiteral("late");
    ASSERT_NE(services->textAdjustment().adjustText(params, [&](auto) { completed = true; }), nullptr);
    test::runEventLoopFor(100);
    services.reset();
    test::runEventLoopFor(1200);
    EXPECT_FALSE(completed);
}

TEST_F(BackendIntegrationTest, ServerDownIsANetworkError)
{
    server.stop();
    AuthService auth(*client, log.logger());
    Outcome<SentCode> sent;
    auth.sendVerificationCode(kPhone, [&](auto r) { sent = r; });
    ASSERT_TRUE(arrived(sent));
    ASSERT_FALSE(sent->ok());
    EXPECT_EQ(sent->error().domain, QStringLiteral("AuthServiceNetworkErrorDomain"));
    EXPECT_EQ(sent->error().code, -1);
}

} // namespace
} // namespace velnor
