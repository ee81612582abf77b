#include "backend/AccountSession.h"
#include "backend/LoginViewModel.h"
#include "backend/UserManager.h"
#include "backend/support/ClientFixture.h"

namespace velnor {
namespace {

using Name = AccountNotifications::Name;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

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

class AccountTest : public test::ClientFixture {
protected:
    AccountTest()
    {
        notifications.observe(Name::LoginSuccess, &context, [this] { posted.append(Name::LoginSuccess); });
        notifications.observe(Name::Logout, &context, [this] { posted.append(Name::Logout); });
        notifications.observe(Name::NetworkError, &context, [this] { posted.append(Name::NetworkError); });
    }

    std::unique_ptr<LoginViewModel> makeModel()
    {
        return std::make_unique<LoginViewModel>(auth, settings, users, notifications, scheduler, log.logger(),
                                                log.redactor(), log.printSink());
    }

    std::unique_ptr<LoginViewModel> makeModel(const char* code)
    {
        auto model = makeModel();
        model->setPhoneNumber(QStringLiteral("13800138000"));
        model->setVerificationCode(QString::fromLatin1(code));
        return model;
    }

    void storeSession()
    {
        settings.setString(key(SettingsKey::UserJwt), QStringLiteral("stored-token-1"));
        settings.setString(key(SettingsKey::UserPhone), QStringLiteral("13800138000"));
        settings.setString(key(SettingsKey::UserName), QStringLiteral("Lu"));
        settings.setString(key(SettingsKey::UserId), QStringLiteral("u1"));
    }

    AuthService auth{client, log.logger()};
    UserManager users{settings};
    AccountNotifications notifications;
    QObject context;
    QList<Name> posted;
};

TEST_F(AccountTest, CheckLoginStatusNeedsANonEmptyTokenAndAPhone)
{
    settings.setString(key(SettingsKey::UserJwt), QString());
    settings.setString(key(SettingsKey::UserPhone), QStringLiteral("13800138000"));
    EXPECT_FALSE(makeModel()->isLoggedIn());
    storeSession();
    auto model = makeModel();
    EXPECT_TRUE(model->isLoggedIn());
    EXPECT_EQ(model->userPhone(), QStringLiteral("13800138000"));
}

TEST_F(AccountTest, SendCodeValidatesThenCountsDownFromSixty)
{
    auto model = makeModel();
    model->setPhoneNumber(QStringLiteral("12345"));
    model->sendVerificationCode();
    EXPECT_EQ(model->errorMessage(), QStringLiteral("请输入有效的11位手机号码"));
    EXPECT_EQ(transport.count(), 0);

    model->setPhoneNumber(QStringLiteral("13800138000"));
    model->sendVerificationCode();
    EXPECT_TRUE(model->isSendingCode());
    EXPECT_FALSE(model->errorMessage().has_value());
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("phone"), QStringLiteral("13800138000")}}));
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
}

// "--dev-sms" on a velnor-server on this computer answers the code itself; the
// sheet fills it in. From any other backend, or anything but a 4-digit code,
// nothing is filled in.
TEST_F(AccountTest, ACodeInTheAnswerIsFilledInOnlyFromThisComputersServer)
{
    APIClient localClient{transport, settings, scheduler, log.logger(), log.redactor(),
                          QUrl(QStringLiteral("http://127.0.0.1:18470"))};
    AuthService localAuth{localClient, log.logger()};
    struct Case {
        bool local;
        const char* answer;
        const char* filled;
    };
    for (const Case& c : {Case{true, R"({"code":0,"data":{"dev_code":"4321"}})", "4321"},
                          Case{false, R"({"code":0,"data":{"dev_code":"4321"}})", ""},
                          Case{true, R"({"code":0,"data":{"dev_code":"43a1"}})", ""},
                          Case{true, R"({"code":0,"data":{"dev_code":4321}})", ""},
                          Case{true, R"({"code":0,"data":true})", ""},
                          Case{true, R"({"code":429,"msg":"later","data":{"dev_code":"4321"}})", ""}}) {
        SCOPED_TRACE(c.answer);
        LoginViewModel model(c.local ? localAuth : auth, settings, users, notifications, scheduler, log.logger(),
                             log.redactor(), log.printSink());
        model.setPhoneNumber(QStringLiteral("13800138000"));
        model.sendVerificationCode();
        transport.respondBody(c.answer);
        EXPECT_EQ(model.verificationCode(), QString::fromLatin1(c.filled));
        EXPECT_EQ(model.codeFromLocalServer(), *c.filled != 0);
        if (*c.filled) {
            model.setVerificationCode(QStringLiteral("432"));
            EXPECT_FALSE(model.codeFromLocalServer()) << "the user's own edit is no longer the server's code";
        }
    }
    EXPECT_EQ(transport.count(), 6) << "no login was sent for the user";
}

TEST_F(AccountTest, SendCodeFailureShowsTheMessage)
{
    auto model = makeModel("");
    model->sendVerificationCode();
    transport.respondBody(R"({"code":429,"msg":"请稍后再试"})");
    EXPECT_EQ(model->errorMessage(), QStringLiteral("API错误: 请稍后再试"));
    EXPECT_EQ(model->countdownSeconds(), 0);

    model->sendVerificationCode();
    transport.respondError(TransportErrorKind::TimedOut);
    EXPECT_EQ(model->errorMessage(), QStringLiteral("请求超时: 服务器响应时间超过10秒"));

    model->sendVerificationCode();
    transport.respondError(TransportErrorKind::Other, QStringLiteral("Connection refused"));
    EXPECT_EQ(model->errorMessage(), QStringLiteral("网络请求失败: Connection refused"));
}

TEST_F(AccountTest, LoginStoresTheSessionFetchesTheUserAndPostsSuccess)
{
    auto model = makeModel("12a4");
    model->login();
    EXPECT_EQ(model->errorMessage(), QStringLiteral("请输入4位验证码"));
    EXPECT_EQ(transport.count(), 0);

    model->setVerificationCode(QStringLiteral("1234"));
    model->login();
    EXPECT_TRUE(model->isLoading());
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("phone"), QStringLiteral("13800138000")},
                                        {QStringLiteral("code"), QStringLiteral("1234")}}));
    transport.respondBody(R"({"code":0,"data":{"token":"fresh-token-abcdef","phone":"13800138000","userId":"u9"}})");
    EXPECT_FALSE(model->isLoading());
    EXPECT_TRUE(model->isLoggedIn());
    EXPECT_EQ(settings.string(key(SettingsKey::UserJwt)), QStringLiteral("fresh-token-abcdef"));
    EXPECT_EQ(settings.string(key(SettingsKey::UserPhone)), QStringLiteral("13800138000"));

    ASSERT_EQ(transport.count(), 2);
    EXPECT_EQ(transport.last().url.path(), QStringLiteral("/auth/mev2"));
    EXPECT_EQ(test::FakeHttpTransport::header(transport.last(), "Authorization"), QByteArray("Bearer fresh-token-abcdef"));
    EXPECT_TRUE(posted.isEmpty());
    transport.respondBody(R"({"code":0,"data":{"id":"u9","phone":"13800138000","generate_words_total":1500}})");
    ASSERT_TRUE(users.userInfoV2().has_value());
    EXPECT_EQ(users.userInfoV2()->generatewordsTotal, 1500u);
    EXPECT_EQ(posted, QList<Name>{Name::LoginSuccess});
    EXPECT_TRUE(log.mentions(QStringLiteral("获取用户信息成功: User(id: Optional(\"u9\")")));
    EXPECT_FALSE(log.mentions(QStringLiteral("fresh-token-abcdef")));
}

TEST_F(AccountTest, InviteCodeIsSentOnlyWhenGivenAndFailuresKeepTheUserOut)
{
    auto model = makeModel("0000");
    model->setInviteCode(QStringLiteral("FRIEND"));
    model->login();
    EXPECT_EQ(jsonBody(0).value(QStringLiteral("invite_code")).toString(), QStringLiteral("FRIEND"));
    transport.respondBody(R"({"code":1002,"msg":"验证码错误"})");
    EXPECT_EQ(model->errorMessage(), QStringLiteral("API错误: 验证码错误"));
    EXPECT_FALSE(model->isLoggedIn());
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserJwt)));

    // A success without a readable token is the unknown error.
    model->login();
    transport.respondBody(R"({"code":0,"data":{"phone":"13800138000"}})");
    EXPECT_EQ(model->errorMessage(), QStringLiteral("未知错误"));
    EXPECT_FALSE(model->isLoggedIn());

    // A token that would break the header line of every request is not stored.
    model->login();
    transport.respondBody(R"({"code":0,"data":{"token":"abc\r\nX-Injected: 1","phone":"13800138000"}})");
    EXPECT_EQ(model->errorMessage(), QStringLiteral("数据解析错误"));
    EXPECT_FALSE(model->isLoggedIn());
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserJwt)));
    EXPECT_EQ(transport.count(), 3) << "no user data request with it";
}

TEST_F(AccountTest, LoginStaysValidWhenTheUserDataFails)
{
    auto model = makeModel("1234");
    model->login();
    transport.respondBody(R"({"code":0,"data":{"token":"fresh-token-abcdef"}})");
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserPhone)));
    EXPECT_EQ(model->userPhone(), QStringLiteral("13800138000"));
    transport.respondError(TransportErrorKind::Other);
    EXPECT_TRUE(model->isLoggedIn());
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_TRUE(log.printed().first().startsWith(QStringLiteral("获取用户信息失败: ")));
}

TEST_F(AccountTest, LogoutRemovesTheSessionAndPosts)
{
    storeSession();
    auto model = makeModel();
    model->logout();
    EXPECT_FALSE(model->isLoggedIn());
    EXPECT_TRUE(model->userPhone().isEmpty());
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserJwt)));
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserPhone)));
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserName)));
    EXPECT_TRUE(settings.contains(key(SettingsKey::UserId))); // only a full clear removes it
    EXPECT_EQ(posted, QList<Name>{Name::Logout});
}

class AccountSessionTest : public AccountTest {
protected:
    AccountSession session{auth, settings, users, notifications, log.logger(), log.printSink()};
};

TEST_F(AccountSessionTest, DashboardRefreshSignsOutOn401AndOnOtherFailures)
{
    storeSession();
    session.checkStoredSession();
    EXPECT_TRUE(session.isLoggedIn());
    transport.respondBody(R"({"code":0,"data":{"id":"u1"}})");
    EXPECT_TRUE(users.userInfoV2().has_value());

    std::optional<User> shown;
    session.refreshAccountData([&](const User& user) { shown = user; });
    transport.respondBody(R"({"code":0,"data":{"id":"u1","generate_words_total":25000}})");
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->generatewordsTotal, 25000u);

    session.refreshAccountData(nullptr);
    transport.respondBody(R"({"code":401,"msg":"token expired"})");
    EXPECT_EQ(posted, QList<Name>{Name::Logout});
    EXPECT_FALSE(session.isLoggedIn());
    EXPECT_FALSE(users.userInfoV2().has_value());
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserId)));
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserJwt)));
}

TEST_F(AccountSessionTest, LoginSuccessMarksTheUserSignedIn)
{
    session.checkStoredSession();
    EXPECT_FALSE(session.isLoggedIn());
    settings.setString(key(SettingsKey::UserPhone), QStringLiteral("13800138000"));
    notifications.post(Name::LoginSuccess);
    EXPECT_TRUE(session.isLoggedIn());
    EXPECT_EQ(session.userPhone(), QStringLiteral("13800138000"));
    notifications.post(Name::Logout);
    EXPECT_FALSE(session.isLoggedIn());
    EXPECT_TRUE(session.userPhone().isEmpty());
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserPhone)));
}

TEST_F(AccountSessionTest, OtherFailureShowsTheLoginScreen)
{
    storeSession();
    bool loginScreen = false;
    QObject::connect(&session, &AccountSession::loginScreenRequested, [&] { loginScreen = true; });
    session.refreshAccountData(nullptr);
    transport.respondBody(R"({"code":500,"msg":"oops"})");
    EXPECT_EQ(posted, QList<Name>{Name::NetworkError});
    EXPECT_TRUE(loginScreen);
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserJwt)));
    EXPECT_TRUE(log.mentions(QStringLiteral("收到网络错误通知，显示登录界面")));
}

TEST_F(AccountSessionTest, OnlyARejectedTokenEndsTheStoredSession)
{
    session.checkStoredSession();
    EXPECT_FALSE(session.isLoggedIn());
    EXPECT_EQ(transport.count(), 0);

    // Offline start, timeout, offline dashboard refresh: still signed in.
    storeSession();
    session.checkStoredSession();
    transport.respondError(TransportErrorKind::Other, QStringLiteral("Network unreachable"));
    session.checkStoredSession();
    transport.respondError(TransportErrorKind::TimedOut);
    session.refreshAccountData(nullptr);
    transport.respondError(TransportErrorKind::Other, QStringLiteral("Network unreachable"));
    EXPECT_TRUE(session.isLoggedIn());
    EXPECT_TRUE(settings.contains(key(SettingsKey::UserJwt)));
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_TRUE(log.mentions(QStringLiteral("获取用户信息失败: ")));

    session.checkStoredSession();
    transport.respondBody(R"({"code":401,"msg":"token expired"})");
    EXPECT_FALSE(session.isLoggedIn());
    EXPECT_FALSE(settings.contains(key(SettingsKey::UserJwt)));
}

} // namespace
} // namespace velnor
