#include "ui/main/HotWordsPage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/SettingsPage.h"
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

namespace velnor {
namespace {

using test::buttonWithText;

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

TEST_F(ScreensTest, SettingsScreenWritesOnlyWhatTheUserChooses)
{
    // Values the pickers do not offer, or offer differently, must survive being shown.
    for (const auto& [name, value] : {std::pair{SettingsKey::HotkeyStart, "fn"}, {SettingsKey::MaxRecordingDuration, "33"},
                                      {SettingsKey::CurrentQasrType, "16k_custom"},
                                      {SettingsKey::FloatingWindowPosition, "top_right"}, {SettingsKey::OverOverEnable, "true"}})
        settings.setString(key(name), QString::fromLatin1(value));
    const auto before = snapshot(settings);
    sessionState = QStringLiteral("会话: Wayland (GNOME) · 热键: 门户 · 输入: 辅助功能");
    const auto page = std::make_unique<SettingsPage>(services());
    page->resize(600, 900);
    page->show();
    QCoreApplication::processEvents();
    scheduler.advanceBy(seconds(2));
    EXPECT_EQ(snapshot(settings), before);
    EXPECT_NE(test::shownChild<QLabel>(page.get(), [this](QLabel* label) { return label->text() == sessionState; }), nullptr);

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
    EXPECT_TRUE(indicatorMoves.isEmpty());

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
}

TEST_F(ScreensTest, RefreshingFindsAKeyboardPluggedInLater)
{
    SettingsPage page(services());
    QComboBox* keyboards = pickerOffering(&page, QStringLiteral("built_in"));
    ASSERT_NE(keyboards, nullptr);
    ASSERT_EQ(keyboards->count(), 1);
    attachedKeyboards = listedKeyboards;
    attachedKeyboards.append({QStringLiteral("1133_49948"), QStringLiteral("Logitech USB Keyboard"), false, {}});
    // The keyboards and the microphones each have a refresh button.
    for (QPushButton* button : page.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("刷新设备列表"))
            button->click();
    }
    EXPECT_GE(keyboards->findData(QStringLiteral("1133_49948")), 0);
}

TEST_F(ScreensTest, UpdateButtonOpensOnlyWebLinks)
{
    SettingsPage page(services());
    for (const auto& [url, opens] : {std::pair{"file:///usr/bin/xterm", false}, std::pair{"https://velnor.example/v2", true}}) {
        openedUrls.clear();
        updates.checkForUpdates();
        ASSERT_TRUE(answer(QStringLiteral("/app/check"), QByteArray(R"({"code":0,"msg":"ok","data":{"is_need_update":true,)"
                                                                    R"("focus_update":false,"update_url":")") +
                                                             url + R"(","update_desc":"","update_version":"2.0.0"}})"));
        ASSERT_NE(buttonWithText(&page, QStringLiteral("立即更新")), nullptr);
        buttonWithText(&page, QStringLiteral("立即更新"))->click();
        EXPECT_EQ(openedUrls.size(), opens ? 1 : 0) << url;
        EXPECT_EQ(dialogs.alerts.size(), 1) << url; // the refused link was explained once
    }
}

TEST_F(ScreensTest, HotWordScreenCutsTypingAddsAndAsksBeforeDeleting)
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
}

// At the backend's limit of 50 words a weight change is still sent: it is an
// update, not an add.
TEST_F(ScreensTest, AWeightChangeAtAFullListIsSent)
{
    HotWordsPage page(services());
    page.show();
    QJsonArray full;
    for (int i = 0; i < HotWordManager::kMaxHotWords; ++i)
        full.append(QJsonObject{{QStringLiteral("text"), QStringLiteral("词%1").arg(i)}, {QStringLiteral("weight"), 5}});
    ASSERT_TRUE(answer(QStringLiteral("/qasr/hotwordlist"),
                       QJsonDocument(QJsonObject{{QStringLiteral("code"), 0}, {QStringLiteral("data"), full}}).toJson()));
    buttonWithText(&page, QStringLiteral("编辑"))->click();
    QCoreApplication::processEvents();
    QSpinBox* weight = test::shownChild<QSpinBox>(&page, [](QSpinBox* box) { return box->property("hotWord") == QStringLiteral("词7"); });
    ASSERT_NE(weight, nullptr);
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
    // The sheet dims the screens below it.
    const QColor corner = window.grab().toImage().pixelColor(5, 5);
    EXPECT_LT(corner.lightness(), 200) << corner.name().toStdString();

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

} // namespace
} // namespace velnor
