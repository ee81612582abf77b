#include "config/SettingsKeys.h"
#include "ui/main/HotWordsPage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/SettingsPage.h"
#include "ui/onboarding/OnboardingView.h"
#include "ui/support/UiHarness.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QWheelEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace velnor {
namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

QPushButton* buttonWithText(QWidget* root, const QString& text)
{
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        if (button->text() == text && button->isVisibleTo(root))
            return button;
    }
    return nullptr;
}

QMap<QString, QString> snapshot(const MemorySettingsStore& store)
{
    QMap<QString, QString> values;
    for (const QString& name : store.keys())
        values.insert(name, store.string(name).value_or(QString()));
    return values;
}

class ScreensTest : public ::testing::Test, protected test::UiHarness {
protected:
    ScreensTest()
    {
        answer(QStringLiteral("/qasr/hotwordlist"), R"({"code":0,"data":[{"text":"语音输入","weight":10}]})");
    }

    QJsonObject lastBody() const
    {
        return QJsonDocument::fromJson(transport.last().body.value_or(QByteArray())).object();
    }
};

TEST_F(ScreensTest, SettingsScreenWritesNothingWhenItShows)
{
    // Values the pickers do not offer, or offer differently, must survive being shown.
    settings.setString(key(SettingsKey::HotkeyStart), QStringLiteral("fn"));
    settings.setString(key(SettingsKey::MaxRecordingDuration), QStringLiteral("33"));
    settings.setString(key(SettingsKey::CurrentQasrType), QStringLiteral("16k_custom"));
    settings.setString(key(SettingsKey::FloatingWindowPosition), QStringLiteral("top_right"));
    settings.setString(key(SettingsKey::OverOverEnable), QStringLiteral("true"));
    const auto before = snapshot(settings);

    SettingsPage page(services());
    page.resize(600, 900);
    page.show();
    QCoreApplication::processEvents();
    scheduler.advanceBy(seconds(2));
    EXPECT_EQ(snapshot(settings), before);
    EXPECT_TRUE(indicatorMoves.isEmpty());

    // A real choice writes and moves the indicator at once.
    QComboBox* positions = nullptr;
    for (QComboBox* box : page.findChildren<QComboBox*>()) {
        if (box->findData(QStringLiteral("top_left")) >= 0)
            positions = box;
    }
    ASSERT_NE(positions, nullptr);
    EXPECT_EQ(positions->currentData().toString(), QStringLiteral("top_right"));
    const int index = positions->findData(QStringLiteral("top_left"));
    positions->setCurrentIndex(index);
    emit positions->activated(index);
    EXPECT_EQ(settings.string(key(SettingsKey::FloatingWindowPosition)), QStringLiteral("top_left"));
    EXPECT_EQ(indicatorMoves, QStringList{QStringLiteral("top_left")});
    EXPECT_EQ(settings.string(key(SettingsKey::HotkeyStart)), QStringLiteral("fn"));

    // The tray menu changed a value while the window was hidden: shown again, not written back.
    settings.setString(key(SettingsKey::FloatingWindowPosition), QStringLiteral("bottom_right"));
    const auto beforeReshow = snapshot(settings);
    page.hide();
    page.show();
    EXPECT_EQ(positions->currentData().toString(), QStringLiteral("bottom_right"));
    EXPECT_EQ(snapshot(settings), beforeReshow);
}

TEST_F(ScreensTest, ScrollingOverAnUnfocusedPickerChangesNothing)
{
    SettingsPage page(services());
    page.resize(600, 900);
    page.show();
    QCoreApplication::processEvents();
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    const auto before = snapshot(settings);
    for (QWidget* control : page.findChildren<QWidget*>()) {
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
        EXPECT_TRUE(indicatorMoves.isEmpty());
    }
}

TEST_F(ScreensTest, HotkeyCardShowsTheSessionOnlyWhenThereIsSomethingToSay)
{
    const auto shownLines = [this] {
        SettingsPage page(services());
        page.show();
        QStringList shown;
        for (QLabel* label : page.findChildren<QLabel*>()) {
            if (label->isVisible() && label->text().contains(QStringLiteral("会话: ")))
                shown << label->text();
        }
        return shown;
    };
    EXPECT_TRUE(shownLines().isEmpty());
    sessionState = QStringLiteral("会话: Wayland (GNOME) · 热键: 门户 · 输入: 辅助功能\n门户热键: Shift+Control_R");
    EXPECT_EQ(shownLines(), QStringList{sessionState});
}

TEST_F(ScreensTest, RefreshingFindsAKeyboardPluggedInLater)
{
    SettingsPage page(services());
    QComboBox* keyboards = nullptr;
    for (QComboBox* box : page.findChildren<QComboBox*>()) {
        if (box->findData(QStringLiteral("built_in")) >= 0)
            keyboards = box;
    }
    ASSERT_NE(keyboards, nullptr);
    ASSERT_EQ(keyboards->count(), 1);

    attachedKeyboards = listedKeyboards;
    attachedKeyboards.append({QStringLiteral("1133_49948"), QStringLiteral("Logitech USB Keyboard"), false, {}});
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
        const QByteArray body = QByteArray(R"({"code":0,"msg":"ok","data":{"is_need_update":true,"focus_update":false,)"
                                           R"("update_url":")") + url +
                                R"(","update_desc":"","update_version":"2.0.0"}})";
        ASSERT_TRUE(answer(QStringLiteral("/app/check"), body));
        QPushButton* updateNow = buttonWithText(&page, QStringLiteral("立即更新"));
        ASSERT_NE(updateNow, nullptr);
        updateNow->click();
        EXPECT_EQ(openedUrls.size(), opens ? 1 : 0) << url;
        EXPECT_EQ(dialogs.alerts.size(), 1) << url; // the refused link was explained once
    }
}

TEST_F(ScreensTest, HotWordFieldCutsTypingAndAddReachesTheService)
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
}

TEST_F(ScreensTest, DeletingAHotWordAsksFirst)
{
    HotWordsPage page(services());
    page.show();
    buttonWithText(&page, QStringLiteral("编辑"))->click();
    QCoreApplication::processEvents();
    QPushButton* remove = nullptr;
    for (QPushButton* button : page.findChildren<QPushButton*>()) {
        if (button->toolTip() == QStringLiteral("删除") && button->isVisibleTo(&page))
            remove = button;
    }
    ASSERT_NE(remove, nullptr);
    const qsizetype before = transport.count();
    remove->click();
    EXPECT_EQ(dialogs.confirmTitles, QStringList{QStringLiteral("删除热词")});
    QCoreApplication::processEvents();
    EXPECT_EQ(transport.count(), before); // nothing without the confirmation
    dialogs.accept();
    QCoreApplication::processEvents(); // the request travels as a queued notification
    ASSERT_EQ(transport.count(), before + 1);
    EXPECT_EQ(transport.last().method, "DELETE");
    EXPECT_EQ(lastBody().value(QStringLiteral("text")).toString(), QStringLiteral("语音输入"));
}

TEST_F(ScreensTest, LoginSheetSurvivesEscapeAndClosingTheWindowOnlyHidesIt)
{
    settings.setBool(key(SettingsKey::OnboardingCompleted), true);
    MainWindow window(services());
    window.show();
    ASSERT_NE(window.loginSheet(), nullptr);

    // The sheet dims the screens below it.
    const QImage shot = window.grab().toImage();
    const QColor corner = shot.pixelColor(5, 5);
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

TEST_F(ScreensTest, OnboardingPagesFollowTheirModel)
{
    accessibility.enabled = true;
    OnboardingModel model(settings, scheduler, permissions, services().relaunch);
    OnboardingView view(model, settings);
    view.resize(620, 500);
    view.show();
    model.appear();

    buttonWithText(&view, QStringLiteral("开始设置"))->click();
    EXPECT_EQ(model.step(), OnboardingStep::Accessibility);
    // Already granted: no instructions, just the way on.
    EXPECT_EQ(buttonWithText(&view, QStringLiteral("打开系统设置")), nullptr);
    buttonWithText(&view, QStringLiteral("继续"))->click();
    buttonWithText(&view, QStringLiteral("授予麦克风权限"))->click();
    scheduler.advanceBy(seconds(0.5));
    ASSERT_EQ(model.step(), OnboardingStep::Complete);
    buttonWithText(&view, QStringLiteral("开始体验"))->click();
    EXPECT_TRUE(settings.boolean(key(SettingsKey::OnboardingCompleted)));
}

} // namespace
} // namespace velnor
