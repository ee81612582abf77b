// The login sheet and the hot word screen against a real velnor-server on
// 127.0.0.1: what a user types reaches the server, a server started with
// --dev-sms fills in the code (and only that server), and a weight change at a
// full list keeps the word.
#include "backend/QtHttpTransport.h"
#include "config/SettingsKeys.h"
#include "core/QtScheduler.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "ui/main/MainWindow.h"
#include "ui/support/UiHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>

namespace velnor {
namespace {

using test::waitUntil;

const QString kPhone = QStringLiteral("13912345678");

class HotWordsServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start(data.path(), serverArguments())) << server.error().toStdString();
        harness = std::make_unique<test::UiHarness>(&transport, server.url(), &scheduler);
        harness->settings.setBool(QString::fromLatin1(SettingsKey::OnboardingCompleted), true);
    }
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "velnor-server said:\n" << server.standardError().toStdString() << '\n';
    }

    virtual QStringList serverArguments() const { return {}; }

    // Types the phone into the sheet and asks for a code.
    void requestCode(QWidget* sheet)
    {
        ASSERT_NE(sheet, nullptr);
        QTest::keyClicks(sheet->findChild<QLineEdit*>(QStringLiteral("phone")), kPhone);
        sheet->findChild<QPushButton*>(QStringLiteral("sendCode"))->click();
        ASSERT_TRUE(waitUntil([&] { return harness->login.countdownSeconds() > 0; }));
    }

    void signIn(MainWindow& window)
    {
        test::buttonWithText(window.loginSheet(), QStringLiteral("登录"))->click();
        ASSERT_TRUE(waitUntil([&] { return window.loginSheet() == nullptr; }));
        EXPECT_TRUE(window.model().isLoggedIn());
    }

    std::optional<HotWord> cached(const QString& text) const
    {
        for (const HotWord& word : harness->hotWords.cachedHotWords()) {
            if (word.text == text)
                return word;
        }
        return std::nullopt;
    }

    test::TempDir data;
    test::ServerProcess server;
    QNetworkAccessManager network;
    QtHttpTransport transport{network};
    QtScheduler scheduler;
    std::unique_ptr<test::UiHarness> harness;
};

TEST_F(HotWordsServerTest, SignInThroughTheSheetThenChangeAWeightAtAFullList)
{
    MainWindow window(harness->services());
    window.show();
    QWidget* sheet = window.loginSheet();
    ASSERT_NO_FATAL_FAILURE(requestCode(sheet));
    QLineEdit* code = sheet->findChild<QLineEdit*>(QStringLiteral("code"));
    EXPECT_TRUE(code->text().isEmpty()) << "a server without --dev-sms keeps the code to itself";
    EXPECT_FALSE(sheet->findChild<QLabel*>(QStringLiteral("localCodeNotice"))->isVisibleTo(sheet));
    QTest::keyClicks(code, server.smsCode(kPhone));
    ASSERT_NO_FATAL_FAILURE(signIn(window));
    EXPECT_EQ(window.model().userPhone(), kPhone);

    // Fill the list to the backend's limit of 50.
    for (int i = 0; i < HotWordManager::kMaxHotWords; ++i) {
        std::optional<bool> ok;
        harness->hotWords.addHotword(QStringLiteral("词%1").arg(i), 5, [&](auto result) { ok = result.ok(); });
        ASSERT_TRUE(waitUntil([&] { return ok.has_value(); }) && *ok) << i;
    }

    window.model().select(MenuItem::Hotwords);
    QWidget* page = window.findChild<QWidget*>(QStringLiteral("hotWordsPage"));
    ASSERT_NE(page, nullptr);
    test::buttonWithText(page, QStringLiteral("编辑"))->click();
    QSpinBox* weight = nullptr;
    for (QSpinBox* box : page->findChildren<QSpinBox*>()) {
        if (box->property("hotWord").toString() == QStringLiteral("词7"))
            weight = box;
    }
    ASSERT_NE(weight, nullptr);
    weight->setValue(9);
    emit weight->editingFinished();
    ASSERT_TRUE(waitUntil([&] { return cached(QStringLiteral("词7")) && cached(QStringLiteral("词7"))->weight == 9; }));
    EXPECT_EQ(harness->hotWords.cachedHotWords().size(), HotWordManager::kMaxHotWords);
    EXPECT_TRUE(harness->dialogs.alerts.isEmpty()) << harness->dialogs.alerts.join(QLatin1Char('\n')).toStdString();
}

class DevSmsLoginTest : public HotWordsServerTest {
protected:
    QStringList serverArguments() const override { return {QStringLiteral("--dev-sms")}; }
};

TEST_F(DevSmsLoginTest, TheLocalServersCodeIsFilledInAndTheUserSignsIn)
{
    MainWindow window(harness->services());
    window.show();
    QWidget* sheet = window.loginSheet();
    ASSERT_NO_FATAL_FAILURE(requestCode(sheet));
    QLineEdit* code = sheet->findChild<QLineEdit*>(QStringLiteral("code"));
    EXPECT_EQ(code->text(), server.smsCode(kPhone));
    QLabel* notice = sheet->findChild<QLabel*>(QStringLiteral("localCodeNotice"));
    EXPECT_TRUE(notice->isVisibleTo(sheet));
    EXPECT_EQ(notice->text(), QStringLiteral("验证码来自本机的 velnor-server，已自动填入"));
    EXPECT_FALSE(window.model().isLoggedIn()) << "signing in is still the user's click";
    signIn(window);
}

} // namespace
} // namespace velnor
