#include "backend/AccountDisplay.h"
#include "backend/AccountSession.h"
#include "backend/LoginViewModel.h"
#include "backend/UserManager.h"
#include "backend/support/ClientFixture.h"

#include <vector>

namespace velnor {
namespace {

using Name = AccountNotifications::Name;

const QString kPhone = QStringLiteral("13800138000");

TEST(LoginRules, PhoneNumbersAndVerificationCodes)
{
    // Digits of other scripts are no phone number, but a numeric code in the Unicode sense.
    for (const auto& [phone, valid] : {std::pair{"13800138000", true}, {"19912345678", true}, {"12800138000", false},
                                       {"1380013800", false}, {"138001380001", false}, {"+8613800138000", false},
                                       {"13800138000\n", false}, {"138001380٠٠", false}})
        EXPECT_EQ(LoginViewModel::isValidPhoneNumber(QString::fromUtf8(phone)), valid) << phone;
    for (const auto& [code, valid] : {std::pair{"0000", true}, {"1234", true}, {"١٢٣٤", true}, {"12a4", false},
                                      {"123", false}, {"12345", false}})
        EXPECT_EQ(LoginViewModel::isValidVerificationCode(QString::fromUtf8(code)), valid) << code;
}

TEST(AccountDisplay, CountsInThousandsAndTenThousandsAndSubscriptionEndsByPatternElseAsText)
{
    for (const auto& [value, shown] : {std::pair<std::uint64_t, const char*>{0, "0"}, {999, "999"}, {1000, "1.0k"}, {1500, "1.5k"},
                                       {9999, "10.0k"}, {10000, "1.0w"}, {25000, "2.5w"}, {99999, "10.0w"},
                                       {123456789, "12345.7w"}})
        EXPECT_EQ(AccountDisplay::formatCount(value), QString::fromLatin1(shown)) << value;

    // A subscription's end: each pattern in order, else the text as received.
    const QTimeZone shanghai(8 * 3600);
    for (const auto& [text, shown] : {std::pair{"2026-03-31T20:00:00.123Z", "2026-04-01"}, {"2026-03-31T20:00:00+0000", "2026-04-01"},
                                      {"2026-03-31T20:00:00+08:00", "2026-03-31"}, {"2026-03-31T23:59:59", "2026-03-31"},
                                      {"2026-03-31 23:59:59", "2026-03-31"}, {"2026-03-31", "2026-03-31"}, {"next year", "next year"},
                                      {"2026-13-01", "2026-13-01"}, {"2026/03/31", "2026/03/31"}, {"", ""},
                                      {"2026-03-31T25:00:00Z", "2026-03-31T25:00:00Z"}})
        EXPECT_EQ(AccountDisplay::formatSubscriptionEnd(QString::fromLatin1(text), shanghai), QString::fromLatin1(shown)) << text;
    EXPECT_EQ(AccountDisplay::formatSubscriptionEnd(QStringLiteral("2026-01-01T02:00:00Z"), QTimeZone(-5 * 3600)),
              QStringLiteral("2025-12-31"));
}

class AccountTest : public test::ClientFixture {
protected:
    AccountTest()
    {
        QObject::connect(&notifications, &AccountNotifications::posted, &context, [this](Name name) { posted.push_back(name); });
    }

    std::unique_ptr<LoginViewModel> makeModel(const char* code = "", AuthService* through = nullptr)
    {
        auto model = std::make_unique<LoginViewModel>(through ? *through : auth, settings, users, notifications, scheduler,
                                                      log.logger(), log.redactor(), log.printSink());
        model->setPhoneNumber(kPhone);
        model->setVerificationCode(QString::fromLatin1(code));
        return model;
    }

    void storeSession()
    {
        settings.setString(SettingsKey::UserJwt, QStringLiteral("stored-token-1"));
        settings.setString(SettingsKey::UserPhone, kPhone);
        settings.setString(SettingsKey::UserName, QStringLiteral("Lu"));
        settings.setString(SettingsKey::UserId, QStringLiteral("u1"));
    }
    bool hasToken() const { return settings.contains(SettingsKey::UserJwt); }

    AuthService auth{client, log.logger()};
    UserManager users{settings};
    AccountNotifications notifications;
    AccountSession session{auth, settings, users, notifications, log.logger(), log.printSink()};
    QObject context;
    std::vector<Name> posted; // not QList: Qt 6.4 compares two empty lists through a null pointer
};

TEST_F(AccountTest, SendCodeValidatesThenCountsDownFromSixtyOrShowsTheFailure)
{
    auto model = makeModel();
    model->setPhoneNumber(QStringLiteral("12345"));
    model->sendVerificationCode();
    EXPECT_EQ(model->errorMessage(), QStringLiteral("请输入有效的11位手机号码"));
    EXPECT_EQ(transport.count(), 0);

    model->setPhoneNumber(kPhone);
    model->sendVerificationCode();
    EXPECT_TRUE(model->isSendingCode());
    EXPECT_FALSE(model->errorMessage().has_value());
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("phone"), kPhone}}));
    transport.respondBody(R"({"code":0,"data":"sent"})"); // a non-boolean answer counts as true
    EXPECT_FALSE(model->isSendingCode());
    EXPECT_EQ(model->countdownSeconds(), 60);
    EXPECT_TRUE(log.printed().contains(QStringLiteral("验证码发送成功: true")));

    scheduler.advanceBy(seconds(59));
    EXPECT_EQ(model->countdownSeconds(), 1);
    // A second send restarts the countdown at 60.
    model->sendVerificationCode();
    transport.respondBody(R"({"code":0,"data":true})");
    EXPECT_EQ(model->countdownSeconds(), 60);
    scheduler.advanceBy(seconds(60));
    EXPECT_EQ(model->countdownSeconds(), 0);
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    // A failed send shows why and starts no countdown.
    for (const auto& [answer, message] : {std::pair<test::Reply, const char*>{{R"({"code":429,"msg":"请稍后再试"})"}, "API错误: 请稍后再试"},
                                          {{nullptr, TransportErrorKind::TimedOut}, "请求超时: 服务器响应时间超过10秒"},
                                          {{}, "网络请求失败: Connection refused"}}) {
        model->sendVerificationCode();
        reply(answer);
        EXPECT_EQ(model->errorMessage(), QString::fromUtf8(message));
        EXPECT_EQ(model->countdownSeconds(), 0);
    }
}

// "--dev-sms" on a velnor-server on this computer answers the code itself; the
// sheet fills it in. From any other backend, or anything but a 4-digit code,
// nothing is filled in.
TEST_F(AccountTest, ACodeInTheAnswerIsFilledInOnlyFromThisComputersServer)
{
    APIClient localClient{transport, settings, scheduler, log.logger(), log.redactor(),
                          QUrl(QStringLiteral("http://127.0.0.1:18470"))};
    AuthService localAuth{localClient, log.logger()};
    for (const auto& [local, answer, filled] : {std::tuple{true, R"({"code":0,"data":{"dev_code":"4321"}})", "4321"},
                                                {false, R"({"code":0,"data":{"dev_code":"4321"}})", ""},
                                                {true, R"({"code":0,"data":{"dev_code":"43a1"}})", ""},
                                                {true, R"({"code":0,"data":{"dev_code":4321}})", ""},
                                                {true, R"({"code":0,"data":true})", ""},
                                                {true, R"({"code":429,"msg":"later","data":{"dev_code":"4321"}})", ""}}) {
        SCOPED_TRACE(answer);
        auto model = makeModel("", local ? &localAuth : &auth);
        model->sendVerificationCode();
        transport.respondBody(answer);
        EXPECT_EQ(model->verificationCode(), QString::fromLatin1(filled));
        EXPECT_EQ(model->codeFromLocalServer(), *filled != 0);
        if (*filled) {
            model->setVerificationCode(QStringLiteral("432"));
            EXPECT_FALSE(model->codeFromLocalServer()) << "the user's own edit is no longer the server's code";
        }
    }
    EXPECT_EQ(transport.count(), 6) << "no login was sent for the user";
}

// An invite code is sent only when given. A success without a readable
// token is the unknown error; a token that would break the header line of
// every request is not stored. The user is fetched with the new token;
// success is posted only once it arrives, and a failed fetch still leaves the
// user signed in. The rest of a sign-in is proven against the real server
// (HotWordsServerTest.SignInThroughTheSheetThenChangeAWeightAtAFullList).
TEST_F(AccountTest, FailedLoginsKeepTheUserOutAndSuccessIsPostedOnlyOnceTheUserIsFetched)
{
    auto model = makeModel("12a4");
    model->login();
    EXPECT_EQ(model->errorMessage(), QStringLiteral("请输入4位验证码"));
    EXPECT_EQ(transport.count(), 0);
    model->setVerificationCode(QStringLiteral("0000"));
    model->setInviteCode(QStringLiteral("FRIEND"));
    for (const auto& [answer, message] :
         {std::pair{R"({"code":1002,"msg":"验证码错误"})", "API错误: 验证码错误"},
          {R"({"code":0,"data":{"phone":"13800138000"}})", "未知错误"},
          {R"({"code":0,"data":{"token":"abc\r\nX-Injected: 1","phone":"13800138000"}})", "数据解析错误"}}) {
        model->login();
        transport.respondBody(answer);
        EXPECT_EQ(model->errorMessage(), QString::fromUtf8(message));
        EXPECT_FALSE(model->isLoggedIn());
        EXPECT_FALSE(hasToken());
    }
    EXPECT_EQ(jsonBody(0).value(QStringLiteral("invite_code")).toString(), QStringLiteral("FRIEND"));
    EXPECT_EQ(transport.count(), 3) << "no user data request";

    for (const auto& [user, success] : {std::pair{test::Reply{R"({"code":0,"data":{"id":"u9","phone":"13800138000"}})"}, true},
                                        {test::Reply{}, false}}) {
        model->login();
        EXPECT_TRUE(model->isLoading());
        transport.respondBody(R"({"code":0,"data":{"token":"fresh-token-abcdef","userId":"u9"}})");
        EXPECT_TRUE(model->isLoggedIn());
        EXPECT_FALSE(settings.contains(SettingsKey::UserPhone)) << "the answer had no phone";
        EXPECT_EQ(model->userPhone(), kPhone);
        EXPECT_EQ(test::FakeHttpTransport::header(transport.last(), "Authorization"), QByteArray("Bearer fresh-token-abcdef"));
        EXPECT_TRUE(posted.empty());
        reply(user);
        EXPECT_TRUE(model->isLoggedIn());
        EXPECT_EQ(users.userInfoV2().has_value(), success);
        EXPECT_EQ(posted, success ? std::vector<Name>{Name::LoginSuccess} : std::vector<Name>{});
        posted.clear();
        users.clear();
    }
    EXPECT_TRUE(log.mentions(QStringLiteral("获取用户信息成功: User(id: Optional(\"u9\")")));
    EXPECT_TRUE(log.printed().first().startsWith(QStringLiteral("获取用户信息失败: ")));
}

// A stored session needs a token and a phone; a login shows the user, and
// the sheet's logout ends the session. Then, with a stored session: offline
// start, timeout, offline dashboard refresh: still signed in. A rejected
// token signs out; any other answer of the server shows the login screen.
TEST_F(AccountTest, LoginShowsTheUserLogoutEndsTheSessionAndOnlyARejectedTokenEndsAStoredOne)
{
    session.checkStoredSession();
    EXPECT_FALSE(session.isLoggedIn());
    EXPECT_EQ(transport.count(), 0);
    settings.setString(SettingsKey::UserJwt, QString());
    settings.setString(SettingsKey::UserPhone, kPhone);
    EXPECT_FALSE(makeModel()->isLoggedIn());
    notifications.post(Name::LoginSuccess);
    EXPECT_TRUE(session.isLoggedIn());
    EXPECT_EQ(session.userPhone(), kPhone);

    std::optional<User> shown;
    session.refreshAccountData([&](const User& user) { shown = user; });
    transport.respondBody(R"({"code":0,"data":{"id":"u1","generate_words_total":25000}})");
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->generatewordsTotal, 25000u);

    storeSession();
    auto model = makeModel();
    EXPECT_TRUE(model->isLoggedIn());
    EXPECT_EQ(model->userPhone(), kPhone);
    posted.clear();
    model->logout();
    EXPECT_FALSE(model->isLoggedIn());
    EXPECT_TRUE(model->userPhone().isEmpty());
    for (const char* gone : {SettingsKey::UserJwt, SettingsKey::UserPhone, SettingsKey::UserName})
        EXPECT_FALSE(settings.contains(gone)) << gone;
    EXPECT_EQ(posted, std::vector<Name>{Name::Logout});
    EXPECT_FALSE(session.isLoggedIn());
    EXPECT_TRUE(session.userPhone().isEmpty());

    bool loginScreen = false;
    QObject::connect(&session, &AccountSession::loginScreenRequested, [&] { loginScreen = true; });
    using Posted = std::vector<Name>;
    for (const auto& [refresh, answer, signedOut, expected] :
         {std::tuple<bool, test::Reply, bool, Posted>{false, {}, false, {}}, {false, {nullptr, TransportErrorKind::TimedOut}, false, {}},
          {true, {}, false, {}}, {false, {R"({"code":401,"msg":"token expired"})"}, true, {}},
          {true, {R"({"code":401,"msg":"token expired"})"}, true, {Name::Logout}},
          {true, {R"({"code":500,"msg":"oops"})"}, true, {Name::NetworkError}}}) {
        SCOPED_TRACE(answer.body ? answer.body : "no answer");
        storeSession();
        session.checkStoredSession();
        transport.respondBody(R"({"code":0,"data":{"id":"u1"}})");
        ASSERT_TRUE(users.userInfoV2().has_value());
        posted.clear();
        loginScreen = false;
        if (refresh)
            session.refreshAccountData(nullptr);
        else
            session.checkStoredSession();
        reply(answer);
        EXPECT_EQ(posted, expected);
        EXPECT_EQ(session.isLoggedIn(), !signedOut);
        EXPECT_EQ(hasToken(), !signedOut);
        EXPECT_EQ(users.userInfoV2().has_value(), !signedOut);
        EXPECT_EQ(loginScreen, expected == Posted{Name::NetworkError});
    }
    EXPECT_FALSE(settings.contains(SettingsKey::UserId));
    EXPECT_TRUE(log.mentions(QStringLiteral("获取用户信息失败: ")));
    EXPECT_TRUE(log.mentions(QStringLiteral("收到网络错误通知，显示登录界面")));
}

} // namespace
} // namespace velnor
