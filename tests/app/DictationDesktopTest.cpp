// A whole dictation as a user does it on the X11 desktop: the real `velnor`
// with its configured hotkey, the real recorder on the virtual microphone,
// velnor-server with a scripted recognition, and real target applications.
// Needs scripts/with-services.sh (Xvfb, openbox, D-Bus, AT-SPI, PulseAudio).
#include "config/LanguageConfigManager.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "e2e/EndToEndSession.h"
#include "support/EventLoopWait.h"
#include "support/desktop/Fcitx5Process.h"
#include "support/desktop/FieldApp.h"
#include "support/desktop/TrayHost.h"
#include "ui/tray/TrayMenuModel.h"

#include <QDBusMessage>
#include <QDBusConnection>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace velnor {
namespace {

// A field off the accessibility bus that takes its keys through Fcitx5.
QProcessEnvironment imEnvironment(const char* moduleVariable = "GTK_IM_MODULE")
{
    QProcessEnvironment environment = test::fieldEnvironment(false);
    environment.insert(QLatin1String(moduleVariable), QStringLiteral("fcitx"));
    return environment;
}

// Dictations of noise that velnor-server's scripted recognition answers.
class DictationDesktopTest : public test::WholeAppTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(WholeAppTest::SetUp());
        ASSERT_TRUE(server.start(dir.filePath(QStringLiteral("server")))) << server.error().toStdString();
        ASSERT_TRUE(test::writeSpeechNoise(noise));
    }

    const QString noise = dir.filePath(QStringLiteral("noise.wav"));
};

// A returning user, signed in, with a tray host on the desktop and the app on
// the accessibility bus, dictates into one entry, goes to another and asks for
// the newest text again: from the tray menu (into an entry off the bus: a
// paste, which borrows the user's clipboard), then from the history screen,
// whose controls the test finds on screen as assistive tools do (into an
// entry on the bus: AT-SPI).
class ReinsertDesktopTest : public DictationDesktopTest {
protected:
    void SetUp() override
    {
        // The host must be there before the app looks for one.
        ASSERT_TRUE(tray.start()) << "trayer is in scripts/packages/desktop.txt";
        ASSERT_NO_FATAL_FAILURE(DictationDesktopTest::SetUp());
        const QString phone = QStringLiteral("13912345678");
        test::RawHttp http;
        const QJsonObject who{{QStringLiteral("phone"), phone}};
        ASSERT_EQ(http.json("POST", server.url(QStringLiteral("/auth/sms/code")), who).code(), 0);
        const test::HttpResult login = http.json("POST", server.url(QStringLiteral("/auth/login/sms")),
                                                 {{QStringLiteral("phone"), phone},
                                                  {QStringLiteral("code"), server.smsCode(phone)}});
        const QString token = login.data().toObject().value(QStringLiteral("token")).toString();
        ASSERT_FALSE(token.isEmpty()) << login.body.toStdString();
        QProcessEnvironment accessible;
        accessible.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        // What a login through the sheet leaves behind.
        startApp({{SettingsKey::OnboardingCompleted, true}, {SettingsKey::UserJwt, token}, {SettingsKey::UserPhone, phone}},
                 accessible);
    }

    static std::unique_ptr<test::FieldApp> openEntry(const QString& title, bool accessible)
    {
        return test::openActiveField(QStringLiteral("velnor-gtk-entry"), title, {}, test::fieldEnvironment(accessible));
    }

    // Dictates `texts` into a first entry, then opens an empty second one.
    void dictateThenSwitch(const QStringList& texts)
    {
        ASSERT_TRUE(server.scriptRecognizer(texts));
        first = openEntry(QStringLiteral("velnor-gtk-first"), false);
        ASSERT_TRUE(first);
        userClipboard.fill();
        for (qsizetype i = 0; i < texts.size(); ++i) {
            say(noise);
            ASSERT_TRUE(test::waitUntil([&] { return app->insertions() == i + 1; }, 20000)) << app->log().toStdString();
        }
        firstText = texts.join(QString());
        newest = texts.last();
        ASSERT_TRUE(test::waitUntil([&] { return first->text() == firstText; }, 20000))
            << "field: " << first->text().toStdString();
        EXPECT_TRUE(userClipboard.waitUntilBack());
        second = openEntry(QStringLiteral("velnor-gtk-second"), false);
        ASSERT_TRUE(second);
        ASSERT_EQ(second->text(), QString());
    }

    // The newest text went once into `target`, the entry `title` in front, and
    // into no other entry; `reinsertions` texts were asked for again so far.
    void expectTypedInto(test::FieldApp& target, const QString& title, const char* method, qsizetype reinsertions)
    {
        // The text picked again in the app was typed into the now focused field.
        const QString reinserted = QStringLiteral("重新输入完成，输入方式: ") + QLatin1String(method);
        EXPECT_TRUE(test::waitUntil([&] { return app->log().count(reinserted) == 1; }, 20000)) << app->log().toStdString();
        EXPECT_TRUE(test::waitUntil([&] { return target.text() == newest; }, 20000))
            << "field: " << target.text().toStdString();
        EXPECT_TRUE(userClipboard.waitUntilBack());
        EXPECT_EQ(target.text().toStdString(), newest.toStdString()) << "typed once";
        EXPECT_EQ(first->text().toStdString(), firstText.toStdString()) << "the first window is left alone";
        EXPECT_EQ(test::activeWindowName().toStdString(), title.toStdString());
        EXPECT_EQ(app->insertions(), 2 + reinsertions) << "the dictations and the re-inserts";
    }

    std::optional<QRect> icon() const { return tray.iconOf(QStringLiteral("velnor"), QStringLiteral("velnor")); }
    static bool menuIsOpen() { return test::openPopupMenuOf(QStringLiteral("velnor"), QStringLiteral("velnor")).has_value(); }

    // Our own icon docked; a right click opens the menu too; Escape closes it.
    void expectOurIconAndItsContextMenu()
    {
        ASSERT_TRUE(test::waitUntil([&] { return icon().has_value(); }, 15000)) << app->log().toStdString();
        test::clickAt(icon()->center(), 3);
        ASSERT_TRUE(test::waitUntil(menuIsOpen, 10000));
        test::runTool(QStringLiteral("xdotool"), {"key", "Escape", "Escape"});
        ASSERT_TRUE(test::waitUntil([] { return !menuIsOpen(); }, 10000));
    }

    // Opens the menu with a click on the icon, as a user does, and chooses
    // `action` with the arrow keys and Enter; the menu skips separators and
    // starts above its first entry.
    void chooseFromTrayMenu(TrayAction action)
    {
        const MemorySettingsStore settings;
        int presses = 0;
        for (const TrayMenuItem& item : buildTrayMenu(settings, {})) {
            presses += item.isSeparator ? 0 : 1;
            if (item.action == action)
                break;
        }
        ASSERT_TRUE(test::waitUntil([&] { return icon().has_value(); }, 15000)) << app->log().toStdString();
        test::clickAt(icon()->center(), 1);
        ASSERT_TRUE(test::waitUntil(menuIsOpen, 10000));
        // Keys typed before the menu holds the keyboard would go to the focused field.
        ASSERT_TRUE(test::waitUntil([this] { return keys.keyboardGrabbedElsewhere(); }, 10000));
        for (int i = 0; i < presses; ++i) {
            keys.press(test::XKey::Down);
            keys.release(test::XKey::Down);
        }
        keys.press(test::XKey::Return);
        keys.release(test::XKey::Return);
    }

    // A second launch hands over to the running app, which shows its window.
    void openMainWindowByLaunchingAgain()
    {
        ASSERT_EQ(app->launchAgain(QStringLiteral(VELNOR_APP_BIN)), 0);
        ASSERT_TRUE(test::waitUntil([] { return test::activeWindowName() == QStringLiteral("Velnor"); }, 10000))
            << "active: " << test::activeWindowName().toStdString();
        ASSERT_TRUE(mainWindowIsShown());
    }

    // The indicator bears the app's title too; only the main window is this large.
    static bool mainWindowIsShown()
    {
        const QList<test::XWindow> windows = test::windowsNamed(QStringLiteral("Velnor"), QStringLiteral("velnor"));
        return std::any_of(windows.begin(), windows.end(), [](const test::XWindow& window) {
            return window.geometry.width() >= 800 && window.geometry.height() >= 600 && test::isViewable(window);
        });
    }

    // Clicks the topmost control named `name` in the app once it shows, where
    // the accessibility bus says it is on screen. The place must hold for two
    // looks in a row: a row just added may not be laid out yet.
    void click(const QString& name)
    {
        QProcess tool;
        QByteArray place;
        const auto settled = [&] {
            tool.start(QStringLiteral(VELNOR_TARGETS_DIR "/velnor-atspi-locate"),
                       {QString::number(app->processId()), name});
            tool.waitForFinished(10000);
            if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
                return tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 1;
            const QByteArray previous = std::exchange(place, tool.readAllStandardOutput());
            return place == previous;
        };
        ASSERT_TRUE(test::waitUntil(settled, 15000)) << tool.readAllStandardError().toStdString();
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
        const QStringList centre = QString::fromLatin1(place).trimmed().split(QLatin1Char(' '));
        ASSERT_EQ(centre.size(), 2);
        test::clickAt(QPoint(centre[0].toInt(), centre[1].toInt()), 1);
    }

    test::TrayHost tray;
    std::unique_ptr<test::FieldApp> first;
    std::unique_ptr<test::FieldApp> second;
    QString firstText;
    QString newest;
};

TEST_F(ReinsertDesktopTest, TheTrayMenuAndTheHistoryScreenTypeTheNewestTextIntoTheNowFocusedEntryOnly)
{
    ASSERT_NO_FATAL_FAILURE(expectOurIconAndItsContextMenu());
    ASSERT_NO_FATAL_FAILURE(dictateThenSwitch({QStringLiteral("先发这句。"), QStringLiteral("发给张三：明天 9:30 见 👍")}));
    {
        SCOPED_TRACE("the tray menu");
        // The text was meant for the other window: the user asks for it again there.
        ASSERT_NO_FATAL_FAILURE(chooseFromTrayMenu(TrayAction::ReinsertLastText));
        expectTypedInto(*second, QStringLiteral("velnor-gtk-second"), "clipboard", 1);
    }
    SCOPED_TRACE("the history screen");
    const auto third = openEntry(QStringLiteral("velnor-gtk-third"), true);
    ASSERT_TRUE(third);
    // The user goes to the history screen and sends the newest text again.
    ASSERT_NO_FATAL_FAILURE(openMainWindowByLaunchingAgain());
    ASSERT_NO_FATAL_FAILURE(click(QStringLiteral("历史")));
    ASSERT_NO_FATAL_FAILURE(click(QStringLiteral("重新输入")));
    expectTypedInto(*third, QStringLiteral("velnor-gtk-third"), "accessibility", 2);
    EXPECT_EQ(second->text(), newest) << "the second window is left alone";
    EXPECT_FALSE(mainWindowIsShown());
}

#ifdef VELNOR_FCITX5_DATA_HOME
// A Fcitx5 user in real-time mode: the hotkey, the live partial text and
// the final text all go through the input method.
class InputMethodDesktopTest : public DictationDesktopTest {
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__)
        // Fcitx5 itself is not instrumented, so it cannot load a sanitized addon.
        GTEST_SKIP() << "the addon built with AddressSanitizer does not load into Fcitx5";
#endif
        ASSERT_TRUE(fcitx.waitForAddon()) << "Fcitx5 did not load the addon; see " << dir.path().toStdString();
        ASSERT_NO_FATAL_FAILURE(DictationDesktopTest::SetUp());
        startApp(settings());
    }

    virtual QVariantMap settings() const { return {{SettingsKey::RecognitionMode, QStringLiteral("realtime")}}; }

    test::TempDir fcitxHome;
    test::Fcitx5Process fcitx{fcitxHome.path(), QStringLiteral(VELNOR_FCITX5_DATA_HOME)};
};

TEST_F(InputMethodDesktopTest, PartialTextShowsAsPreeditAndTheFinalTextIsCommittedOnceInAGtkAndAQtField)
{
    // For each field: two partial texts while the audio streams in, then the final one.
    const QJsonObject script = QJsonDocument::fromJson(R"({"count": 2, "results": [
        {"after_packets": 5, "slice_type": 1, "index": 0, "text": "今天"},
        {"after_packets": 15, "slice_type": 1, "index": 0, "text": "今天天气"}],
        "final_results": [{"slice_type": 2, "index": 0, "text": "今天天气很好"}]})").object();
    ASSERT_FALSE(script.isEmpty());
    ASSERT_FALSE(server.control("POST", QStringLiteral("/__test/realtime/script"), script).isEmpty());
    // Off the accessibility bus: only the input method (or a paste) can reach
    // them. The GTK test program reports preedit changes; the Qt one does not.
    const std::pair<const char*, const char*> fields[] = {{"velnor-gtk-entry", "GTK_IM_MODULE"},
                                                          {"velnor-qt-line-edit", "QT_IM_MODULE"}};
    userClipboard.fill();
    for (qsizetype i = 0; i < 2; ++i) {
        const auto& [program, moduleVariable] = fields[i];
        SCOPED_TRACE(program);
        const auto field = test::openActiveField(QLatin1String(program), QStringLiteral("velnor-im-%1").arg(i), {}, imEnvironment(moduleVariable));
        ASSERT_TRUE(field);
        ASSERT_TRUE(test::waitUntil([this] { return fcitx.currentInputMethod() == QStringLiteral("keyboard-us"); }));

        say(noise);
        ASSERT_TRUE(test::waitUntil([&] { return app->log().count(QStringLiteral("通过输入法成功输入文字")) == i + 1; }, 20000))
            << app->log().toStdString();
        ASSERT_TRUE(test::waitUntil([&] { return field->text().contains(QStringLiteral("今天天气很好")); }, 10000))
            << "field: " << field->text().toStdString();
        test::runEventLoopFor(300);

        EXPECT_EQ(field->text(), QStringLiteral("今天天气很好")) << "committed once, nothing else typed";
        EXPECT_EQ(app->log().count(QStringLiteral("通过输入法成功输入文字")), i + 1);
        EXPECT_EQ(app->insertions(), i + 1) << "the input method's only: neither AT-SPI nor the clipboard";
        EXPECT_EQ(server.realtimeConnections().size(), i + 1) << "XI2 saw the chord too: still one dictation";
        EXPECT_EQ(fcitx.currentInputMethod(), QStringLiteral("keyboard-us")) << "Fcitx5's Ctrl+Shift never saw the chord";
        EXPECT_TRUE(userClipboard.waitUntilBack());
        if (i == 0) {
            const QStringList preedits = field->errors().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            EXPECT_TRUE(preedits.contains(QStringLiteral("preedit-changed: 今天"))) << field->errors().toStdString();
            EXPECT_TRUE(preedits.contains(QStringLiteral("preedit-changed: 今天天气"))) << field->errors().toStdString();
            EXPECT_EQ(preedits.value(preedits.size() - 1), QStringLiteral("preedit-changed: ")) << "no preedit left behind";
        }
    }
}

// A Fcitx5 user with the app's input-method way switched off: every dictation
// is pasted into a field that still takes its keys through Fcitx5's module.
class InputMethodPasteDesktopTest : public InputMethodDesktopTest {
protected:
    QVariantMap settings() const override { return {{SettingsKey::InputMethodEnabled, QStringLiteral("false")}}; }
};

// The module hands the entry each later Ctrl+V with the time of the first
// press of V, older than our claim on the clipboard.
TEST_F(InputMethodPasteDesktopTest, EveryDictationInARowIsPastedOnceIntoAGtkEntryOnFcitx5)
{
    const QStringList texts{QStringLiteral("第一句。"), QStringLiteral("Second one, café."), QStringLiteral("第三句 ✅")};
    ASSERT_TRUE(server.scriptRecognizer(texts));
    const auto entry = test::openActiveField(QStringLiteral("velnor-gtk-entry"), QStringLiteral("velnor-im-paste"), {}, imEnvironment());
    ASSERT_TRUE(entry);
    ASSERT_TRUE(test::waitUntil([this] { return fcitx.currentInputMethod() == QStringLiteral("keyboard-us"); }))
        << "the entry's keys go through Fcitx5";
    userClipboard.fill();

    QString expected;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(i);
        say(noise);
        expected += texts[i];
        ASSERT_TRUE(test::waitUntil([&] { return app->log().count(QStringLiteral("使用剪贴板方式成功输入文字")) == i + 1; }, 20000))
            << app->log().toStdString();
        EXPECT_TRUE(test::waitUntil([&] { return entry->text() == expected; }, 5000)) << "field: " << entry->text().toStdString();
        EXPECT_TRUE(userClipboard.waitUntilBack());
    }
    test::runEventLoopFor(300);
    EXPECT_EQ(entry->text(), expected) << "each text once, nothing else typed";
    EXPECT_EQ(app->log().count(QStringLiteral("通过输入法成功输入文字")), 0);
}

// Another program on the session bus tries to write into fields through the
// addon: refused unless it is the app that set the chord, and nobody writes
// into a password field, not even as preedit.
TEST(InputMethodAddonTest, OnlyTheAppWritesAndNeverIntoAPasswordField)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the addon built with AddressSanitizer does not load into Fcitx5";
#endif
    const test::TempDir fcitxHome;
    test::Fcitx5Process fcitx(fcitxHome.path(), QStringLiteral(VELNOR_FCITX5_DATA_HOME));
    ASSERT_TRUE(fcitx.waitForAddon());
    QDBusConnection app = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("velnor-app"));
    QDBusConnection intruder = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("intruder"));
    const auto reply = [](QDBusConnection& bus, const char* method, const QList<QVariant>& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.velnor.Fcitx5"), QStringLiteral("/org/velnor/Fcitx5"),
                                                              QStringLiteral("org.velnor.Fcitx5"), QLatin1String(method));
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 5000);
    };
    const auto call = [&reply](QDBusConnection& bus, const char* method, const QList<QVariant>& arguments) {
        const QDBusMessage answer = reply(bus, method, arguments);
        return answer.type() == QDBusMessage::ReplyMessage && answer.arguments().value(0).toBool();
    };

    const auto plain = test::openActiveField(QStringLiteral("velnor-gtk-entry"), QStringLiteral("addon-plain"), {}, imEnvironment());
    ASSERT_TRUE(plain);
    ASSERT_TRUE(test::waitUntil([&] { return call(intruder, "FocusedContext", {}); }, 10000));
    EXPECT_FALSE(call(intruder, "CommitString", {QStringLiteral("rm -rf ~")})) << "no app has claimed the addon yet";
    call(app, "SetHotkey", {QVariant::fromValue(uint(0x20200))});
    EXPECT_FALSE(call(intruder, "CommitString", {QStringLiteral("rm -rf ~")}));
    EXPECT_FALSE(call(intruder, "SetPreedit", {QStringLiteral("click here")}));
    EXPECT_FALSE(call(intruder, "ForwardKey", {QVariant::fromValue(uint(0xff0d)), QVariant::fromValue(uint(0))}));
    EXPECT_TRUE(call(app, "CommitString", {QStringLiteral("dictated")}));
    EXPECT_TRUE(test::waitUntil([&] { return plain->text() == QStringLiteral("dictated"); }, 5000)) << plain->text().toStdString();
    EXPECT_FALSE(plain->errors().contains(QStringLiteral("click here")));

    const auto password = test::openActiveField(QStringLiteral("velnor-gtk-entry"), QStringLiteral("addon-password"), {QStringLiteral("--password")}, imEnvironment());
    ASSERT_TRUE(password);
    constexpr qulonglong passwordCapability = 1ull << 3;
    QList<QVariant> focused;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            focused = reply(intruder, "FocusedContext").arguments();
            return (focused.value(2).toULongLong() & passwordCapability) != 0;
        },
        10000))
        << "focused: " << focused.value(1).toString().toStdString() << " flags " << focused.value(2).toULongLong();
    EXPECT_FALSE(call(app, "SetPreedit", {QStringLiteral("secret")}));
    EXPECT_FALSE(call(app, "CommitString", {QStringLiteral("secret")}));
    test::runEventLoopFor(200);
    EXPECT_EQ(password->text(), QString());
    EXPECT_FALSE(password->errors().contains(QStringLiteral("secret")));
    EXPECT_EQ(plain->text(), QStringLiteral("dictated")) << "the unfocused field is left alone";
}

#endif

} // namespace
} // namespace velnor
