#include "support/EventLoopWait.h"
#include "ui/main/DashboardSummary.h"
#include "ui/main/HistoryPage.h"
#include "ui/main/HotWordsPage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MainWindowModel.h"
#include "ui/main/SettingsModel.h"
#include "ui/main/SettingsPage.h"
#include "ui/onboarding/OnboardingModel.h"
#include "ui/onboarding/OnboardingView.h"
#include "ui/support/UiHarness.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <tuple>

namespace velnor {
namespace {

using test::buttonWithText;
using test::waitUntil;

QMap<QString, QString> snapshot(const MemorySettingsStore& store)
{
    QMap<QString, QString> values;
    for (const QString& name : store.keys())
        values.insert(name, store.string(name).value_or(QString()));
    return values;
}

QComboBox* pickerOffering(QWidget* page, const QString& value)
{
    return test::shownChild<QComboBox>(page, [&](QComboBox* box) { return box->findData(value) >= 0; });
}

class ScreensTest : public ::testing::Test, protected test::UiHarness {
protected:
    ScreensTest() { answer(QStringLiteral("/qasr/hotwordlist"), R"({"code":0,"data":[{"text":"语音输入","weight":10}]})"); }

    QJsonObject lastBody() const { return QJsonDocument::fromJson(transport.last().body.value_or(QByteArray())).object(); }
};

TEST_F(ScreensTest, SettingsScreenWritesOnlyWhatTheUserChoosesFindsNewKeyboardsAndOpensOnlyWebLinks)
{
    // Values the pickers do not offer, or offer differently, must survive being shown.
    for (const auto& [name, value] : {std::pair{SettingsKey::HotkeyStart, "fn"}, {SettingsKey::MaxRecordingDuration, "33"},
                                      {SettingsKey::CurrentQasrType, "16k_custom"},
                                      {SettingsKey::FloatingWindowPosition, "top_right"}, {SettingsKey::OverOverEnable, "true"}})
        settings.setString(key(name), QString::fromLatin1(value));
    const auto before = snapshot(settings);
    const auto page = std::make_unique<SettingsPage>(services());
    page->resize(600, 900);
    page->show();
    QCoreApplication::processEvents();
    scheduler.advanceBy(seconds(2));
    EXPECT_EQ(snapshot(settings), before);
    EXPECT_NE(pickerOffering(page.get(), QStringLiteral("16k_custom")), nullptr) << "shown as it is, not as a blank";

    // Nor does a wheel over a picker the user has not focused.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    for (QWidget* control : page->findChildren<QWidget*>()) {
        if (!qobject_cast<QComboBox*>(control) && !qobject_cast<QAbstractSlider*>(control) &&
            !qobject_cast<QAbstractSpinBox*>(control))
            continue;
        SCOPED_TRACE(control->metaObject()->className());
        ASSERT_FALSE(control->hasFocus());
        const QPointF inside(control->width() / 2.0, control->height() / 2.0);
        for (const int delta : {-120, 120, -120}) {
            QWheelEvent wheel(inside, control->mapToGlobal(inside), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(control, &wheel);
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(snapshot(settings), before);
    }

    // A real choice writes and moves the indicator at once.
    QComboBox* positions = pickerOffering(page.get(), QStringLiteral("top_left"));
    ASSERT_NE(positions, nullptr);
    EXPECT_EQ(positions->currentData().toString(), QStringLiteral("top_right"));
    positions->setCurrentIndex(positions->findData(QStringLiteral("top_left")));
    emit positions->activated(positions->currentIndex());
    EXPECT_EQ(settings.string(key(SettingsKey::FloatingWindowPosition)), QStringLiteral("top_left"));
    EXPECT_EQ(indicatorMoves, QStringList{QStringLiteral("top_left")});
    EXPECT_EQ(settings.string(key(SettingsKey::HotkeyStart)), QStringLiteral("fn"));

    // The tray menu changed a value while the window was hidden: shown again, not written back.
    settings.setString(key(SettingsKey::FloatingWindowPosition), QStringLiteral("bottom_right"));
    const auto beforeReshow = snapshot(settings);
    page->hide();
    page->show();
    EXPECT_EQ(positions->currentData().toString(), QStringLiteral("bottom_right"));
    EXPECT_EQ(snapshot(settings), beforeReshow);

    // Refreshing finds a keyboard plugged in later.
    QComboBox* keyboards = pickerOffering(page.get(), QStringLiteral("built_in"));
    ASSERT_NE(keyboards, nullptr);
    ASSERT_EQ(keyboards->count(), 1);
    attachedKeyboards = listedKeyboards;
    attachedKeyboards.append({QStringLiteral("1133_49948"), QStringLiteral("Logitech USB Keyboard"), false, {}});
    // The keyboards and the microphones each have a refresh button.
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("刷新设备列表"))
            button->click();
    }
    EXPECT_GE(keyboards->findData(QStringLiteral("1133_49948")), 0);

    // The update button opens only web links.
    for (const auto& [url, opens] : {std::pair{"file:///usr/bin/xterm", false}, std::pair{"https://velnor.example/v2", true}}) {
        openedUrls.clear();
        updates.checkForUpdates();
        ASSERT_TRUE(answer(QStringLiteral("/app/check"), QByteArray(R"({"code":0,"msg":"ok","data":{"is_need_update":true,)"
                                                                    R"("focus_update":false,"update_url":")") +
                                                             url + R"(","update_desc":"","update_version":"2.0.0"}})"));
        ASSERT_NE(buttonWithText(page.get(), QStringLiteral("立即更新")), nullptr);
        buttonWithText(page.get(), QStringLiteral("立即更新"))->click();
        EXPECT_EQ(openedUrls.size(), opens ? 1 : 0) << url;
        EXPECT_EQ(dialogs.alerts.size(), 1) << url; // the refused link was explained once
    }
}

TEST_F(ScreensTest, HotWordScreenCutsTypingAddsAsksBeforeDeletingAndSendsAWeightChangeAtAFullList)
{
    HotWordsPage page(services());
    page.show();
    auto* field = page.findChild<QLineEdit*>(QStringLiteral("hotWordInput"));
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field, QStringLiteral("abcdefghijkl"));
    EXPECT_EQ(field->text(), QStringLiteral("abcdefghij"));
    field->setText(QStringLiteral("一二三四五六七八九十👍🏽")); // pasted: cut too, the emoji not split
    EXPECT_EQ(field->text(), QStringLiteral("一二三四五六七八九十"));

    const qsizetype before = transport.count();
    buttonWithText(&page, QStringLiteral("添加"))->click();
    ASSERT_EQ(transport.count(), before + 1);
    EXPECT_EQ(transport.last().method, "POST");
    EXPECT_EQ(transport.last().url.path(), QStringLiteral("/qasr/hotword"));
    EXPECT_EQ(lastBody().value(QStringLiteral("text")).toString(), QStringLiteral("一二三四五六七八九十"));
    EXPECT_EQ(lastBody().value(QStringLiteral("weight")).toInt(), HotWordsPage::kDefaultWeight);
    ASSERT_TRUE(answer(QStringLiteral("/qasr/hotword"), R"({"code":1002,"msg":"热词已存在"})"));
    EXPECT_EQ(dialogs.alerts, QStringList{QStringLiteral("添加热词失败: API错误: 热词已存在")});
    EXPECT_EQ(field->text(), QStringLiteral("一二三四五六七八九十")); // kept for another try

    buttonWithText(&page, QStringLiteral("编辑"))->click();
    QCoreApplication::processEvents();
    QPushButton* remove = test::shownChild<QPushButton>(&page, [](QPushButton* button) {
        return button->toolTip() == QStringLiteral("删除");
    });
    ASSERT_NE(remove, nullptr);
    remove->click();
    EXPECT_EQ(dialogs.confirmTitles, QStringList{QStringLiteral("删除热词")});
    QCoreApplication::processEvents();
    EXPECT_EQ(transport.count(), before + 1); // nothing without the confirmation
    dialogs.accept();
    QCoreApplication::processEvents(); // the request travels as a queued notification
    ASSERT_EQ(transport.count(), before + 2);
    EXPECT_EQ(transport.last().method, "DELETE");
    EXPECT_EQ(lastBody().value(QStringLiteral("text")).toString(), QStringLiteral("语音输入"));

    // At the backend's limit of 50 words a weight change is still sent: it is an
    // update, not an add.
    QJsonArray full;
    for (int i = 0; i < HotWordManager::kMaxHotWords; ++i)
        full.append(QJsonObject{{QStringLiteral("text"), QStringLiteral("词%1").arg(i)}, {QStringLiteral("weight"), 5}});
    ASSERT_TRUE(answer(QStringLiteral("/qasr/hotwordlist"),
                       QJsonDocument(QJsonObject{{QStringLiteral("code"), 0}, {QStringLiteral("data"), full}}).toJson()));
    QCoreApplication::processEvents();
    QSpinBox* weight = test::shownChild<QSpinBox>(&page, [](QSpinBox* box) { return box->property("hotWord") == QStringLiteral("词7"); });
    ASSERT_NE(weight, nullptr);
    dialogs.alerts.clear();
    weight->setValue(9);
    emit weight->editingFinished();
    EXPECT_EQ(transport.last().url.path(), QStringLiteral("/qasr/hotword"));
    EXPECT_EQ(lastBody(), (QJsonObject{{QStringLiteral("text"), QStringLiteral("词7")}, {QStringLiteral("weight"), 9}}));
    EXPECT_TRUE(dialogs.alerts.isEmpty()) << dialogs.alerts.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ScreensTest, LoginSheetSurvivesEscapeAndClosingTheWindowOnlyHidesIt)
{
    settings.setBool(key(SettingsKey::OnboardingCompleted), true);
    MainWindow window(services());
    window.show();
    ASSERT_NE(window.loginSheet(), nullptr);
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(window.loginSheet()->findChild<QLineEdit*>(QStringLiteral("phone")), Qt::Key_Escape);
    EXPECT_NE(window.loginSheet(), nullptr);
    window.close();
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_NE(window.loginSheet(), nullptr);

    buttonWithText(window.loginSheet(), QStringLiteral("退出 APP"))->click();
    EXPECT_EQ(dialogs.confirmTitles, QStringList{QStringLiteral("退出 APP？")});
    EXPECT_EQ(quitRequests, 0);
    dialogs.accept();
    EXPECT_EQ(quitRequests, 1);
}

// An already granted user goes through the pages without a restart.
TEST_F(ScreensTest, OnboardingPagesFollowTheirModel)
{
    accessibility.enabled = true;
    OnboardingModel model(settings, scheduler, permissions, services().relaunch);
    int finished = 0;
    QObject::connect(&model, &OnboardingModel::finished, [&finished] { ++finished; });
    OnboardingView view(model, settings);
    view.resize(620, 500);
    view.show();
    model.appear();
    EXPECT_TRUE(settings.boolean(key(SettingsKey::AccessibilityPermission)));
    EXPECT_EQ(model.stepNumber(), 1);

    buttonWithText(&view, QStringLiteral("开始设置"))->click();
    EXPECT_EQ(model.step(), OnboardingStep::Accessibility);
    // Already granted: no instructions, just the way on.
    EXPECT_EQ(buttonWithText(&view, QStringLiteral("打开系统设置")), nullptr);
    buttonWithText(&view, QStringLiteral("继续"))->click();
    buttonWithText(&view, QStringLiteral("授予麦克风权限"))->click();
    EXPECT_TRUE(model.hasMicrophonePermission());
    scheduler.advanceBy(seconds(0.4));
    EXPECT_EQ(model.step(), OnboardingStep::Microphone); // the step waits half a second
    scheduler.advanceBy(seconds(0.1));
    ASSERT_EQ(model.step(), OnboardingStep::Complete);
    EXPECT_EQ(model.stepNumber(), 5);

    settings.setBool(key(SettingsKey::WasAccessibilityJustSet), true);
    buttonWithText(&view, QStringLiteral("开始体验"))->click();
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(settings.boolean(key(SettingsKey::OnboardingCompleted)));
    EXPECT_FALSE(settings.contains(key(SettingsKey::WasAccessibilityJustSet)));
    EXPECT_EQ(relaunches, 0);
}

using Step = OnboardingStep;
using MicStatus = MicrophonePermission::Status;

// The harness's permissions: a microphone already authorised, accessibility off.
class OnboardingTest : public ::testing::Test, protected test::UiHarness {
protected:
    std::unique_ptr<OnboardingModel> makeModel(Step initial = Step::Welcome)
    {
        auto model = std::make_unique<OnboardingModel>(settings, scheduler, permissions, services().relaunch, initial);
        model->appear();
        return model;
    }
};

TEST_F(OnboardingTest, ASlowDesktopNeverHasTwoChecksOnTheirWay)
{
    auto model = makeModel(Step::Accessibility);
    accessibility.checksUntilEnabled = 2;
    accessibility.holdAnswers = true;
    model->openAccessibilitySettings();
    const int checksBefore = accessibility.checks;
    scheduler.advanceBy(seconds(5));
    EXPECT_EQ(accessibility.checks, checksBefore + 1) << "the next tick waits for the answer";

    accessibility.releaseAnswers(); // "not yet"
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(accessibility.checks, checksBefore + 2);
    accessibility.releaseAnswers();
    EXPECT_TRUE(model->hasAccessibilityPermission());
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(model->step(), Step::Microphone);

    // An answer that arrives after the model is gone touches nothing.
    model->openAccessibilitySettings();
    scheduler.advanceBy(seconds(0.5));
    model.reset();
    accessibility.releaseAnswers();
}

TEST_F(OnboardingTest, GrantDuringOnboardingGoesThroughRestartAndResumesAfterIt)
{
    accessibility.checksUntilEnabled = 3;
    auto model = makeModel();
    model->beginSetup();
    model->openAccessibilitySettings();
    model->openAccessibilitySettings(); // a second press starts no second poll
    EXPECT_TRUE(model->isWaitingForAccessibility());

    const int checksBefore = accessibility.checks;
    scheduler.advanceBy(seconds(1.0));
    EXPECT_EQ(accessibility.checks, checksBefore + 2); // one check per 0.5 s
    EXPECT_FALSE(model->hasAccessibilityPermission());
    scheduler.advanceBy(seconds(0.5));
    EXPECT_TRUE(model->hasAccessibilityPermission());
    EXPECT_TRUE(model->wasAccessibilityJustSet());
    EXPECT_TRUE(settings.boolean(key(SettingsKey::WasAccessibilityJustSet)));
    EXPECT_FALSE(model->isWaitingForAccessibility());
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(model->step(), Step::Microphone);
    scheduler.advanceBy(seconds(5));
    EXPECT_EQ(accessibility.checks, checksBefore + 3); // the poll stopped

    model->grantMicrophone();
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(model->step(), Step::Restart);
    model->restartNow();
    EXPECT_EQ(relaunches, 1);
    EXPECT_TRUE(settings.boolean(key(SettingsKey::NeedsRestartAfterPermissions)));

    // The relaunched app: the onboarding shows again, once, even over an
    // earlier completion, and knows the grant.
    model.reset();
    settings.setBool(key(SettingsKey::OnboardingCompleted), true);
    EXPECT_TRUE(OnboardingModel::shouldShowAtFirstAppearance(settings));
    EXPECT_FALSE(OnboardingModel::shouldShowAtFirstAppearance(settings));
    auto relaunched = makeModel();
    EXPECT_TRUE(relaunched->wasAccessibilityJustSet());
    EXPECT_TRUE(relaunched->hasAccessibilityPermission());
    EXPECT_FALSE(settings.contains(key(SettingsKey::WasAccessibilityJustSet)));
}

TEST_F(OnboardingTest, MicrophoneStepAsksTheLiveStatusNotTheStoredAnswer)
{
    // The live status, the user's answer if asked, then the outcome and the questions asked.
    const std::tuple<MicStatus, bool, bool, int> cases[] = {
        {MicStatus::Denied, true, false, 0},        {MicStatus::Restricted, true, false, 0},
        {MicStatus::NotDetermined, false, false, 1}, {MicStatus::NotDetermined, true, true, 1},
        {MicStatus::Authorized, false, true, 0}};
    for (const auto& [status, answer, granted, requests] : cases) {
        SCOPED_TRACE(int(status));
        FakeMicrophonePermission mic(status, answer);
        PermissionManager manager(settings, accessibility, mic);
        OnboardingModel model(settings, scheduler, manager, services().relaunch, Step::Microphone);
        // A grant stored earlier (the microphone has been unplugged since) proves nothing.
        settings.setBool(key(SettingsKey::MicrophonePermission), true);
        model.grantMicrophone();
        scheduler.advanceBy(seconds(0.5));
        EXPECT_EQ(model.hasMicrophonePermission(), granted);
        EXPECT_EQ(mic.requestCount(), requests);
        EXPECT_EQ(settings.boolean(key(SettingsKey::MicrophonePermission)), granted);
        EXPECT_EQ(model.step(), granted ? Step::Complete : Step::Microphone);
        EXPECT_EQ(model.errorText().isEmpty(), granted);
    }
}

class HistoryPageTest : public ::testing::Test, protected test::UiHarness {
protected:
    HistoryPageTest()
    {
        history.open({});
        delivered = started(QStringLiteral("Editor"));
        history.recordDelivered(delivered, QStringLiteral("你好世界"), QStringLiteral("你好，世界。"), QStringLiteral("clipboard"));
        const QString recording = historyDir.writeFile(QStringLiteral("failed.m4a"), "m4a bytes");
        failed = started(QStringLiteral("Terminal"));
        history.recordRecognizing(failed, 2.0, recording,
                                  {QStringLiteral("org.example.Terminal"), QStringLiteral("Terminal"), QStringLiteral("en"), true});
        history.recordFailed(failed, QStringLiteral("网络请求失败: Connection refused"));
    }

    // A dictation a minute after the one before.
    QString started(const QString& app)
    {
        clock.advance(60'000);
        return history.recordStarted(QStringLiteral("traditional"), app, QStringLiteral("org.example.") + app);
    }

    void show()
    {
        page.resize(600, 700);
        page.show();
        ASSERT_TRUE(waitUntil([this] { return page.model().entries().size() == 2; }));
    }

    QList<QPushButton*> buttons(const QString& text)
    {
        QCoreApplication::processEvents(); // rebuilt rows show on a later turn
        QList<QPushButton*> found = page.findChildren<QPushButton*>();
        found.removeIf([&](QPushButton* button) { return button->text() != text || !button->isVisibleTo(&page); });
        return found;
    }

    QStringList storedIds()
    {
        std::optional<QStringList> ids;
        history.fetch({}, 10, [&](const QList<HistoryEntry>& entries) {
            ids = QStringList();
            for (const HistoryEntry& entry : entries)
                ids->append(entry.id);
        });
        EXPECT_TRUE(waitUntil([&] { return ids.has_value(); }));
        return ids.value_or(QStringList{QStringLiteral("no answer")});
    }

    QString delivered;
    QString failed;
    HistoryPage page{services().history, dialogs};
};

// With history off the kept entries still show, under a notice, and can go.
TEST_F(HistoryPageTest, ListsNewestFirstSearchesHandsTextsOnAndDeletesFromTheFile)
{
    settings.setString(key(SettingsKey::HistoryEnabled), QStringLiteral("false"));
    show();
    EXPECT_NE(test::shownChild<QLabel>(&page, [](QLabel* label) { return label->text() == QStringLiteral("听写历史已关闭"); }),
              nullptr);
    EXPECT_EQ(page.model().entries()[0].id, failed);
    EXPECT_EQ(page.model().entries()[1].id, delivered);
    // Text actions only where there is text; retry only on the failed one.
    EXPECT_EQ(buttons(QStringLiteral("复制")).size(), 1);
    EXPECT_EQ(buttons(QStringLiteral("重试")).size(), 1);
    EXPECT_EQ(buttons(QStringLiteral("删除")).size(), 2);

    buttons(QStringLiteral("复制")).first()->click();
    buttons(QStringLiteral("重新输入")).first()->click();
    EXPECT_EQ(copiedTexts, QStringList{QStringLiteral("你好，世界。")});
    EXPECT_EQ(reinsertedTexts, QStringList{QStringLiteral("你好，世界。")});

    page.findChild<QLineEdit*>(QStringLiteral("historySearch"))->setText(QStringLiteral("Termi"));
    ASSERT_TRUE(waitUntil([this] { return page.model().entries().size() == 1; }));
    EXPECT_EQ(page.model().entries()[0].id, failed);
    page.findChild<QLineEdit*>(QStringLiteral("historySearch"))->setText(QStringLiteral("100%"));
    ASSERT_TRUE(waitUntil([this] { return page.model().entries().isEmpty(); }));
    EXPECT_TRUE(buttons(QStringLiteral("删除")).isEmpty());

    page.findChild<QLineEdit*>(QStringLiteral("historySearch"))->clear();
    ASSERT_TRUE(waitUntil([this] { return page.model().entries().size() == 2; }));
    buttons(QStringLiteral("删除")).first()->click();
    EXPECT_EQ(page.model().entries().size(), 1);
    EXPECT_EQ(storedIds(), QStringList{delivered});
    buttons(QStringLiteral("清空")).first()->click();
    EXPECT_EQ(dialogs.confirmTitles, QStringList{QStringLiteral("清空历史")});
    dialogs.accept();
    EXPECT_TRUE(page.model().entries().isEmpty());
    EXPECT_TRUE(storedIds().isEmpty());
}

TEST_F(HistoryPageTest, RetrySendsTheKeptRecordingAndShowsTheText)
{
    show();
    buttons(QStringLiteral("重试")).first()->click();
    EXPECT_EQ(buttons(QStringLiteral("重试中…")).size(), 1);
    ASSERT_TRUE(waitUntil([&] { return transport.count() > 0 && transport.last().url.path() == QStringLiteral("/qasr/recognize"); }));
    const QByteArray upload = transport.last().body.value_or(QByteArray());
    // The same upload as the dictation's, whatever the settings say now.
    EXPECT_TRUE(upload.contains("m4a bytes"));
    EXPECT_TRUE(upload.contains("org.example.Terminal"));
    EXPECT_TRUE(upload.contains("name=\"out_language\"\r\n\r\nen\r\n"));
    EXPECT_TRUE(upload.contains("name=\"over_over\"\r\n\r\ntrue\r\n"));

    // A failed retry leaves the entry as it was, ready for another try.
    ASSERT_TRUE(fail(QStringLiteral("/qasr/recognize")));
    ASSERT_TRUE(waitUntil([this] { return !page.model().isRetrying(failed); }));
    EXPECT_TRUE(page.model().notice().startsWith(QStringLiteral("重新识别失败: ")));
    EXPECT_EQ(page.model().entries().value(0).outcome, HistoryOutcome::Failed); // the newest

    buttons(QStringLiteral("重试")).first()->click();
    bool answered = false;
    ASSERT_TRUE(waitUntil([&] {
        return answered = answered || answer(QStringLiteral("/qasr/recognize"), R"({"code":0,"data":{"text":"终于识别出来了"}})");
    }));
    ASSERT_TRUE(waitUntil([this] { return page.model().entries().value(0).outcome == HistoryOutcome::Delivered; }));
    EXPECT_EQ(page.model().notice(), QStringLiteral("重新识别成功: 终于识别出来了"));
    EXPECT_EQ(page.model().entries().value(0).id, failed);
    EXPECT_EQ(page.model().entries().value(0).deliveredText(), QStringLiteral("终于识别出来了"));
    EXPECT_TRUE(buttons(QStringLiteral("重试")).isEmpty());
}

TEST(HistoryLabels, TimesReadRelativeToToday)
{
    const QDateTime now(QDate(2026, 12, 6), QTime(18, 30));
    const std::pair<QDateTime, const char*> cases[] = {{QDateTime(QDate(2026, 12, 6), QTime(9, 5)), "今天 09:05"},
                                                       {QDateTime(QDate(2026, 12, 5), QTime(23, 10)), "昨天 23:10"},
                                                       {QDateTime(QDate(2026, 1, 4), QTime(8, 0)), "1月4日 08:00"},
                                                       {QDateTime(QDate(2025, 12, 31), QTime(8, 0)), "2025年12月31日 08:00"}};
    for (const auto& [when, label] : cases)
        EXPECT_EQ(HistoryPageModel::timeLabel(when, now), QString::fromUtf8(label));
}

const QString kMe = QStringLiteral("/auth/mev2");

TEST_F(ScreensTest, CleanSystemShowsOnboardingAndLoginWhichClosesWhateverTheUserFetchDoesAndReopensOnAnAnsweredAccountFailure)
{
    MainWindowModel model(settings, session, login);
    model.firstAppear();
    EXPECT_TRUE(model.showPermissionOnboarding());
    EXPECT_EQ(model.onboardingStep(), OnboardingStep::Welcome);
    EXPECT_TRUE(model.showLoginView());
    EXPECT_EQ(model.selectedMenuItem(), MenuItem::Dashboard);
    EXPECT_FALSE(model.isLoggedIn());

    // Once per window.
    model.onboardingFinished();
    model.firstAppear();
    EXPECT_FALSE(model.showPermissionOnboarding());

    for (const bool fetchSucceeds : {false, true}) {
        settings.remove(key(SettingsKey::UserJwt));
        model.requestLogin();
        model.firstAppear();
        ASSERT_TRUE(model.showLoginView());
        login.setPhoneNumber(QStringLiteral("13800138000"));
        login.setVerificationCode(QStringLiteral("1234"));
        login.login();
        ASSERT_TRUE(answer(QStringLiteral("/auth/login/sms"), R"({"code":0,"data":{"token":"jwt-1","phone":"13800138000"}})"));
        if (fetchSucceeds)
            ASSERT_TRUE(answer(kMe, R"({"code":0,"data":{"id":"u1","phone":"13800138000"}})"));
        else
            ASSERT_TRUE(fail(kMe));
        EXPECT_FALSE(model.showLoginView()) << fetchSucceeds;
        EXPECT_TRUE(model.isLoggedIn()) << fetchSucceeds;
        EXPECT_EQ(model.userPhone(), QStringLiteral("13800138000"));
    }
    ASSERT_TRUE(login.isLoggedIn());

    session.refreshAccountData(nullptr);
    ASSERT_TRUE(answer(kMe, R"({"code":500,"msg":"oops"})"));
    EXPECT_FALSE(model.isLoggedIn());
    EXPECT_TRUE(model.showLoginView());
    // The sheet shows the form, not a stale "signed in" state that would close it.
    EXPECT_FALSE(login.isLoggedIn());
}

TEST(DashboardSummaryTest, SubscriptionStatusTextAndColour)
{
    const std::tuple<std::optional<QString>, const char*, const char*> cases[] = {
        {QStringLiteral("Active"), "已激活", "#7ed321"},
        {QStringLiteral("expired"), "已过期", "#d0021b"},
        {QStringLiteral("INACTIVE"), "未激活", "#ff9500"},
        {QStringLiteral("trial"), "trial", "#8e8e93"},
        {std::nullopt, "未知", "#8e8e93"}};
    for (const auto& [status, text, colour] : cases) {
        SCOPED_TRACE(text);
        User user;
        user.vip2 = VIP2{std::nullopt, QStringLiteral("2026-03-01T00:00:00Z"), status};
        const DashboardSummary summary = DashboardSummary::from(user, QTimeZone::utc());
        EXPECT_EQ(summary.statusText, QString::fromUtf8(text));
        EXPECT_EQ(summary.statusColour.name(), QLatin1String(colour));
        EXPECT_EQ(summary.expiry, QStringLiteral("2026-03-01"));
    }

    User user;
    user.generatewordsTotal = 25000;
    user.invite = Invite{QStringLiteral("VEL123"), 3};
    const DashboardSummary summary = DashboardSummary::from(user);
    EXPECT_EQ(summary.wordsDictated, QStringLiteral("2.5w"));
    EXPECT_EQ(summary.invites, QStringLiteral("3"));
    EXPECT_EQ(summary.inviteCode, QStringLiteral("VEL123"));
    EXPECT_EQ(DashboardSummary::from(std::nullopt).statusText, QStringLiteral("未知"));
}

TEST(SettingsRules, OnlyWebLinksOpenFromAnUpdateAnswer)
{
    const std::pair<const char*, bool> cases[] = {
        {"https://velnor.example/download", true}, {"HTTP://mirror.example/v.tar.gz", true},
        {"file:///etc/passwd", false},             {"javascript:alert(1)", false},
        {"ftp://mirror.example/v", false},          {"https://", false},
        {"", false},                                {"/relative/path", false},
        {"x-scheme-handler://run", false},
    };
    for (const auto& [url, openable] : cases)
        EXPECT_EQ(SettingsModel::isOpenableUpdateUrl(QUrl(QString::fromLatin1(url))), openable) << url;
}

TEST_F(ScreensTest, SettingsChoicesAreStoredAsTheReadersExpectAndReachTheirListeners)
{
    SettingsModel model(settings, launchAtLogin, services().settingsHooks);
    // The indicator's position: ScreensTest.SettingsScreenWritesOnlyWhatTheUserChoosesFindsNewKeyboardsAndOpensOnlyWebLinks.
    // The duration snaps to the slider's steps of five, from 5 to 50.
    for (const auto& [given, snapped] : {std::pair{-3, 5}, {7, 5}, {8, 10}, {600, 50}, {23, 25}})
        EXPECT_EQ(model.setMaxDuration(given), snapped) << given;
    model.setOverOver(true);
    model.setSoundEffects(false);
    EXPECT_FALSE(model.load().evdevHotkey);
    model.setEvdevHotkey(true);
    model.setHistoryEnabled(false);
    const SettingsModel::Values values = model.load();
    EXPECT_TRUE(values.evdevHotkey);
    EXPECT_EQ(values.maxDurationSeconds, 25);
    EXPECT_TRUE(values.overOver);
    EXPECT_FALSE(values.soundEffects);
    EXPECT_FALSE(values.historyEnabled);
    // The keys the start-up and the history read.
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::EvdevHotkey)), QStringLiteral("true"));
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::MaxRecordingDuration)), QStringLiteral("25"));
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::HistoryEnabled)), QStringLiteral("false"));

    const std::pair<int, int> retention[] = {{7, 7}, {0, 1}, {-4, 1}, {99999, SettingsModel::kMaxRetentionDays}};
    for (const auto& [given, stored] : retention) {
        EXPECT_EQ(model.setHistoryRetentionDays(given), stored) << given;
        EXPECT_EQ(model.load().historyRetentionDays, stored) << given;
    }
}

} // namespace
} // namespace velnor
