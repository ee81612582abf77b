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

namespace velnor {
namespace {

using test::waitUntil;

const QString kPhone = QStringLiteral("13912345678");

TEST(DevSmsLoginTest, TheLocalServersCodeIsFilledInAndTheUserSignsIn)
{
    test::TempDir data;
    test::ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {QStringLiteral("--dev-sms")})) << server.error().toStdString();
    QNetworkAccessManager network;
    QtHttpTransport transport{network};
    QtScheduler scheduler;
    test::UiHarness harness(&transport, server.url(), &scheduler);
    harness.settings.setBool(test::UiHarness::key(SettingsKey::OnboardingCompleted), true);
    MainWindow window(harness.services());
    window.show();
    QWidget* sheet = window.loginSheet();
    ASSERT_NE(sheet, nullptr);
    QTest::keyClicks(sheet->findChild<QLineEdit*>(QStringLiteral("phone")), kPhone);
    sheet->findChild<QPushButton*>(QStringLiteral("sendCode"))->click();
    ASSERT_TRUE(waitUntil([&] { return harness.login.countdownSeconds() > 0; })) << server.standardError().toStdString();
    QLineEdit* code = sheet->findChild<QLineEdit*>(QStringLiteral("code"));
    EXPECT_EQ(code->text(), server.smsCode(kPhone));
    QLabel* notice = sheet->findChild<QLabel*>(QStringLiteral("localCodeNotice"));
    EXPECT_TRUE(notice->isVisibleTo(sheet));
    EXPECT_EQ(notice->text(), QStringLiteral("验证码来自本机的 velnor-server，已自动填入"));
    EXPECT_FALSE(window.model().isLoggedIn()) << "signing in is still the user's click";
    test::buttonWithText(sheet, QStringLiteral("登录"))->click();
    ASSERT_TRUE(waitUntil([&] { return window.loginSheet() == nullptr; })) << server.standardError().toStdString();
    EXPECT_TRUE(window.model().isLoggedIn());
    EXPECT_EQ(window.model().userPhone(), kPhone);
}

} // namespace
} // namespace velnor
