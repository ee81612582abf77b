// The login sheet against a real velnor-server on 127.0.0.1, started with
// --dev-sms: what a user types reaches the server, the server's code is
// filled in, and the user signs in with a click.
#include "backend/QtHttpTransport.h"
#include "core/QtScheduler.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "ui/main/MainWindow.h"
#include "ui/support/UiHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>

namespace velnor {
namespace {

using test::waitUntil;

const QString kPhone = QStringLiteral("13912345678");

class DevSmsLoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start(data.path(), {QStringLiteral("--dev-sms")})) << server.error().toStdString();
        harness = std::make_unique<test::UiHarness>(&transport, server.url(), &scheduler);
        harness->settings.setBool(test::UiHarness::key(SettingsKey::OnboardingCompleted), true);
    }
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "velnor-server said:\n" << server.standardError().toStdString() << '\n';
    }

    test::TempDir data;
    test::ServerProcess server;
    QNetworkAccessManager network;
    QtHttpTransport transport{network};
    QtScheduler scheduler;
    std::unique_ptr<test::UiHarness> harness;
};

TEST_F(DevSmsLoginTest, TheLocalServersCodeIsFilledInAndTheUserSignsIn)
{
    MainWindow window(harness->services());
    window.show();
    QWidget* sheet = window.loginSheet();
    ASSERT_NE(sheet, nullptr);
    QTest::keyClicks(sheet->findChild<QLineEdit*>(QStringLiteral("phone")), kPhone);
    sheet->findChild<QPushButton*>(QStringLiteral("sendCode"))->click();
    ASSERT_TRUE(waitUntil([&] { return harness->login.countdownSeconds() > 0; }));
    QLineEdit* code = sheet->findChild<QLineEdit*>(QStringLiteral("code"));
    EXPECT_EQ(code->text(), server.smsCode(kPhone));
    QLabel* notice = sheet->findChild<QLabel*>(QStringLiteral("localCodeNotice"));
    EXPECT_TRUE(notice->isVisibleTo(sheet));
    EXPECT_EQ(notice->text(), QStringLiteral("验证码来自本机的 velnor-server，已自动填入"));
    EXPECT_FALSE(window.model().isLoggedIn()) << "signing in is still the user's click";
    test::buttonWithText(sheet, QStringLiteral("登录"))->click();
    ASSERT_TRUE(waitUntil([&] { return window.loginSheet() == nullptr; }));
    EXPECT_TRUE(window.model().isLoggedIn());
    EXPECT_EQ(window.model().userPhone(), kPhone);
}

} // namespace
} // namespace velnor
