// The client against a real velnor-server on 127.0.0.1: one real-wire proof
// of each service (the sign-in, the dashboard and a refused token are the
// fakes' and the server's own tests' business) and faults the server injects.
#include "backend/AdjustTextService.h"
#include "backend/BackendServices.h"
#include "backend/HotWordManager.h"
#include "backend/OsType.h"
#include "backend/QASRService.h"
#include "backend/QtHttpTransport.h"
#include "backend/UpdateChecker.h"
#include "backend/support/ClientFixture.h"
#include "core/QtScheduler.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <QNetworkAccessManager>

#include <gmock/gmock.h>

#include <iostream>

namespace velnor {
namespace {

using test::waitUntil;

const QString kPhone = QStringLiteral("13912345678");

// Starts a call with a completion that keeps its result, and waits for it; a
// call that never answers fails the test and reads as an error.
template <typename T, typename Call>
Result<T, ServiceError> await(Call&& call)
{
    std::optional<Result<T, ServiceError>> outcome;
    call([&](Result<T, ServiceError> r) { outcome = std::move(r); });
    if (waitUntil([&] { return outcome.has_value(); }))
        return *outcome;
    ADD_FAILURE() << "no answer";
    return Result<T, ServiceError>::failure(ServiceError{QStringLiteral("no answer"), 0, {}, {}, {}, {}});
}

// The text of an answer, or its error as its log line renders it.
template <typename T>
std::string textOf(const Result<T, ServiceError>& result)
{
    return result.ok() ? result.value().text.value_or(QString()).toStdString() : test::outcomeText(result);
}

class BackendIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start(data.path(), {QStringLiteral("--latest-version"), QStringLiteral("linux=0.3.0,http://127.0.0.1/velnor")}))
            << server.error().toStdString();
        client = std::make_unique<APIClient>(transport, settings, scheduler, log.logger(), log.redactor(), server.url(),
                                             std::chrono::seconds(20));
    }
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "velnor-server said:\n" << server.standardError().toStdString() << '\n';
    }

    std::unique_ptr<BackendServices> makeServices()
    {
        return std::make_unique<BackendServices>(BackendDependencies{settings, scheduler, log.logger(), log.redactor(),
                                                                     log.printSink(), server.url(),
                                                                     QStringLiteral("0.1.0"), currentOsType()});
    }

    static RecognizeAudioFileParams upload()
    {
        RecognizeAudioFileParams params;
        params.fileType = QStringLiteral("m4a");
        params.osType = currentOsType();
        params.audioData = QByteArray(20000, 'x');
        return params;
    }

    static AdjustTextParams adjustment(const char* text)
    {
        AdjustTextParams params;
        params.text = QString::fromUtf8(text);
        return params;
    }

    test::TempDir data;
    test::ServerProcess server;
    test::LogCapture log;
    MemorySettingsStore settings;
    QtScheduler scheduler;
    QNetworkAccessManager manager;
    QtHttpTransport transport{manager};
    std::unique_ptr<APIClient> client;
};

// In turn: the update check against the published version; a word added
// before the start is fetched by the bundle and offered for signing; a delete
// reaches the server (adds through the manager: HotWordsServerTest); a bundle
// dropped mid-request never calls back; an expired session still dictates;
// and one fault of each kind on real sockets (each fault's text is the
// services' unit tests' business): faults are one-shot, and a server that is
// gone is a network error.
TEST_F(BackendIntegrationTest, UpdatesHotWordsAnExpiredSessionAndServerFaultsMapToTheServiceDomains)
{
    for (const auto& [version, available] : {std::pair{"0.2.9", true}, {"0.3.0", false}}) {
        UpdateChecker checker(transport, server.url(), QString::fromLatin1(version), currentOsType(), log.printSink());
        checker.checkForUpdates();
        ASSERT_TRUE(waitUntil([&] { return !checker.isCheckingUpdate(); }));
        EXPECT_EQ(checker.updateAvailable(), available) << version;
        ASSERT_TRUE(checker.updateInfo().has_value());
        EXPECT_EQ(checker.updateInfo()->update_version, QStringLiteral("0.3.0"));
        EXPECT_EQ(checker.updateInfo()->update_url, QStringLiteral("http://127.0.0.1/velnor"));
    }
    EXPECT_TRUE(log.printed().isEmpty()) << log.printed().join(QLatin1Char('\n')).toStdString();

    // Signed in through the SMS flow with the services alone.
    AuthService auth(*client, log.logger());
    ASSERT_TRUE(await<SentCode>([&](auto done) { auth.sendVerificationCode(kPhone, done); }).ok());
    const auto login = await<LoginResponse>(
        [&](auto done) { auth.loginWithVerificationCode({kPhone, server.smsCode(kPhone), std::nullopt}, done); });
    ASSERT_TRUE(login.ok());
    const QString token = login.value().token;
    settings.setString(QString::fromLatin1(SettingsKey::UserJwt), token);
    HotwordService hotwords(*client, log.logger());
    ASSERT_TRUE(await<bool>([&](auto done) { hotwords.addHotword("Bundle", 2, done); }).ok());

    auto services = makeServices();
    HotWordManager& words = services->hotWordManager();
    EXPECT_TRUE(words.isLoading());
    ASSERT_TRUE(waitUntil([&] { return !words.isLoading(); }));
    const QList<HotWordEntry> forSigning = services->hotWordSource().cachedHotWords();
    ASSERT_EQ(forSigning.size(), 1);
    EXPECT_EQ(forSigning.first().text, "Bundle");
    EXPECT_EQ(forSigning.first().weight, 2.0);

    ASSERT_EQ(test::outcomeText(await<std::monostate>([&](auto done) { words.deleteHotword(QStringLiteral("Bundle"), 2, done); })),
              "ok");
    EXPECT_TRUE(words.cachedHotWords().isEmpty());
    EXPECT_TRUE(await<QList<Hotword>>([&](auto done) { hotwords.getHotwordList(done); }).value().isEmpty());

    ASSERT_TRUE(server.injectFault("/qasr/adjust", {{"delay_ms", 800}}));
    bool completed = false;
    ASSERT_NE(services->textAdjustment().adjustText(adjustment("late"), [&](auto) { completed = true; }), nullptr);
    test::runEventLoopFor(100);
    services.reset();
    test::runEventLoopFor(1200);
    EXPECT_FALSE(completed);

    // A token that expired (here: forged, which the server takes the same way)
    // must not cost a dictation, nor print a hot word error at every start.
    settings.setString(QString::fromLatin1(SettingsKey::UserJwt), token.left(token.size() - 2) + QStringLiteral("xx"));
    const qsizetype printed = log.printed().size();
    services = makeServices();
    ASSERT_TRUE(waitUntil([&] { return !services->hotWordManager().isLoading(); }));
    EXPECT_TRUE(services->hotWordManager().cachedHotWords().isEmpty());
    EXPECT_EQ(log.printed().size(), printed) << log.printed().join(QLatin1Char('\n')).toStdString();

    ASSERT_TRUE(server.scriptRecognizer({QStringLiteral("still here")}));
    EXPECT_EQ(textOf(await<RecognizeAudioFileResponse>(
                  [&](auto done) { services->fileRecognition().recognizeAudioFile(upload(), done); })),
              "still here");
    EXPECT_EQ(textOf(await<AdjustTextResponse>(
                  [&](auto done) { services->textAdjustment().adjustText(adjustment("and corrected"), done); })),
              "and corrected");

    // Server faults, signed in again.
    settings.setString(QString::fromLatin1(SettingsKey::UserJwt), token);
    APIClient impatient(transport, settings, scheduler, log.logger(), log.redactor(), server.url(),
                        std::chrono::milliseconds(400));
    AdjustTextService adjustImpatiently(impatient, scheduler, log.logger());
    AdjustTextService adjust(*client, scheduler, log.logger());
    QASRService qasr(*client, log.logger());
    const auto adjustWith = [&](AdjustTextService& service) {
        return test::outcomeText(await<AdjustTextResponse>([&](auto done) { service.adjustText(adjustment("hi"), done); }));
    };
    const auto recognize = [&] {
        return test::outcomeText(await<RecognizeAudioFileResponse>([&](auto done) { qasr.recognizeAudioFile(upload(), done); }));
    };
    // Two drops: Qt resends a request once when its connection closes before
    // any answer, and a busy machine may resend it after the server stopped
    // expecting the repeat. Without an adjusting service, the call is an upload.
    for (const auto& [path, fault, times, service, error] : {
             std::tuple<const char*, QJsonObject, int, AdjustTextService*, const char*>{
                 "/qasr/adjust", {{"delay_ms", 2500}}, 1, &adjustImpatiently,
                 R"(Error Domain=AdjustTextServiceTimeoutErrorDomain Code=-1001 "文本校对请求超时")"},
             {"/qasr/recognize", {{"drop_connection", true}}, 2, nullptr, R"(Error Domain=QASRServiceNetworkErrorDomain Code=-1 "网络请求失败: )"},
             {"/qasr/adjust", {{"malformed_body", true}}, 1, &adjust, "Error Domain=AdjustTextServiceNetworkErrorDomain "},
             {"/qasr/adjust", {{"envelope_code", 503}, {"http_status", 503}}, 1, &adjust, "Error Domain=AdjustTextServiceErrorDomain Code=503 "},
         }) {
        SCOPED_TRACE(error);
        ASSERT_TRUE(server.injectFault(QString::fromLatin1(path), fault, times));
        EXPECT_THAT(service ? adjustWith(*service) : recognize(), ::testing::StartsWith(error));
    }
    EXPECT_EQ(adjustWith(adjust), "ok") << "faults are one-shot: the next call succeeds";

    server.stop();
    EXPECT_THAT(test::outcomeText(await<SentCode>([&](auto done) { auth.sendVerificationCode(kPhone, done); })),
                ::testing::StartsWith("Error Domain=AuthServiceNetworkErrorDomain Code=-1 "));
}

} // namespace
} // namespace velnor
