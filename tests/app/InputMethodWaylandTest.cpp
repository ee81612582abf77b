// Dictation through Fcitx5 on Wayland: headless Sway with Fcitx5 as its input
// method (input-method-v2) and a GTK 3 entry on Wayland (text-input-v3). The
// app's Fcitx5 side (bridge, preedit sink, text input) runs as the session
// user in a copy of this program (`--as-app`): the chord cannot be injected
// here, as a virtual keyboard brings its own keymap and so never sends the
// key positions (right Ctrl, left Shift) the addon matches.
#include "platform/fake/FakeWorkspace.h"
#include "platform/linux/fcitx5/Fcitx5Bridge.h"
#include "platform/linux/fcitx5/Fcitx5PreeditSink.h"
#include "platform/linux/fcitx5/Fcitx5TextInput.h"
#include "support/EventLoopWait.h"
#include "support/LogCapture.h"
#include "support/desktop/Fcitx5Process.h"
#include "support/desktop/FieldApp.h"
#include "support/wayland/HeadlessSway.h"
#include "testing/FakeTextInput.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace velnor::test {
namespace {

const QString kPartial = QStringLiteral("今天天气");
const QString kFinal = QStringLiteral("今天天气很好");

// The app's side of one real-time dictation: partial text as preedit, then
// the final text committed. Prints how the text went in.
int dictateAsApp()
{
    LogCapture log;
    // Any fallback means the input method did not take the text.
    const FakeWorkspace workspace;
    FakeTextInput fallback(workspace);
    fcitx5::Fcitx5Bridge bridge(QDBusConnection::sessionBus());
    fcitx5::Fcitx5TextInput text(bridge, fallback, log.logger(), [] { return true; });
    fcitx5::Fcitx5PreeditSink preedit(bridge, [] { return true; });
    if (!waitUntil([&] { return bridge.canWriteToFocusedField(); }, 10000)) {
        std::printf("no field focused through the input method\n");
        return 1;
    }
    preedit.showPreedit(QStringLiteral("今天"));
    preedit.showPreedit(kPartial);
    runEventLoopFor(500);
    std::optional<InsertionResult> result;
    text.inputTextToFocusedField(kFinal, [&](const InsertionResult& done) { result = done; });
    waitUntil([&] { return result.has_value(); }, 10000);
    std::printf("%s\n", result ? qPrintable(textInputMethodName(result->method)) : "no answer");
    return result && result->method == TextInputMethod::InputMethod ? 0 : 1;
}

TEST(InputMethodWaylandTest, PartialTextShowsAsPreeditAndTheFinalTextIsCommittedOnce)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the addon built with AddressSanitizer does not load into Fcitx5";
#endif
    HeadlessSway sway;
    ASSERT_TRUE(sway.isRunning()) << sway.error().toStdString();
    const QString fcitxHome = QDir(sway.home()).filePath(QStringLiteral("fcitx5"));
    Fcitx5Process fcitx(fcitxHome, QStringLiteral(VELNOR_FCITX5_DATA_HOME), sway.clientEnvironment(),
                        [&](QProcess& process, const QString& program, const QStringList& arguments,
                            const QProcessEnvironment& environment) {
                            HeadlessSway::giveToUser(fcitxHome);
                            HeadlessSway::start(process, program, arguments, environment);
                        });
    const auto focusedContext = [&] {
        return sway.run(QStringLiteral("gdbus"), {"call", "--session", "-d", "org.velnor.Fcitx5", "-o", "/org/velnor/Fcitx5", "-m",
                                                  "org.velnor.Fcitx5.FocusedContext"});
    };
    ASSERT_TRUE(waitUntil([&] { return !focusedContext().isEmpty(); }, 15000))
        << "Fcitx5 did not load the addon; see " << fcitxHome.toStdString() << "/fcitx5.log";

    QProcessEnvironment gtkEnvironment = sway.clientEnvironment();
    gtkEnvironment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    gtkEnvironment.insert(QStringLiteral("GTK_IM_MODULE"), QStringLiteral("wayland"));
    gtkEnvironment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    QStringList line = HeadlessSway::command(QStringLiteral(VELNOR_TARGETS_DIR "/velnor-gtk-entry"),
                                             {QStringLiteral("wayland-im")});
    FieldApp gtk(line.takeFirst(), line, gtkEnvironment);
    ASSERT_TRUE(gtk.isReady());
    ASSERT_TRUE(waitUntil([&] { return sway.focusedTitle() == QLatin1String("wayland-im"); }, 10000));
    ASSERT_TRUE(waitUntil([&] { return focusedContext().startsWith("(true"); }, 10000)) << focusedContext().toStdString();

    QProcess app;
    app.setProcessChannelMode(QProcess::MergedChannels);
    HeadlessSway::start(app, QCoreApplication::applicationFilePath(), {QStringLiteral("--as-app")},
                        sway.clientEnvironment());
    ASSERT_TRUE(app.waitForStarted(5000));
    ASSERT_TRUE(waitUntil([&] { return app.state() == QProcess::NotRunning; }, 30000));
    const QString said = QString::fromUtf8(app.readAll());
    EXPECT_EQ(app.exitCode(), 0) << said.toStdString();

    // The commit arrives with no further Wayland event: the addon flushes.
    EXPECT_TRUE(waitUntil([&] { return gtk.text() == kFinal; }, 5000)) << "field: " << gtk.text().toStdString();
    runEventLoopFor(300);
    EXPECT_EQ(gtk.text(), kFinal) << "committed once";
    const QStringList preedits = gtk.errors().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(preedits.contains(QStringLiteral("preedit-changed: ") + kPartial)) << gtk.errors().toStdString();
    EXPECT_EQ(preedits.value(preedits.size() - 1), QStringLiteral("preedit-changed: ")) << gtk.errors().toStdString();
}

} // namespace
} // namespace velnor::test

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--as-app") == 0)
        return velnor::test::dictateAsApp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
