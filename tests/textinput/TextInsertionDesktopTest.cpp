// Dictated text typed into real applications on the test desktop (Xvfb,
// openbox, AT-SPI): run under scripts/with-services.sh.
#include "DesktopInsertionRig.h"

#include "support/EventLoopWait.h"
#include "support/TempDir.h"
#include "support/desktop/UserClipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>

namespace velnor::test {
namespace {

// Chinese, an emoji with a skin-tone modifier (a surrogate pair plus one
// more), a decomposed "é" (e + combining acute) and a precomposed one.
const QString kMixedText = QStringLiteral("你好，世界 👋🏽 cafe\u0301 é ok");

class TextInsertionDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs the test desktop (scripts/with-services.sh)";
    }

    // Starts a target program; null unless it came up frontmost for `rig`.
    static std::unique_ptr<TargetApp> launch(DesktopInsertionRig& rig, const QString& program,
                                             const QStringList& arguments, bool accessible = false)
    {
        auto app = std::make_unique<TargetApp>(helperPath(program), arguments, targetEnvironment(accessible));
        if (!app->started() || !rig.waitUntilFrontmost(app->processId(), accessible))
            return nullptr;
        return app;
    }

    // Inserts `text` into the field holding `before` with `selection`
    // ("start length") selected, expects `method` and returns the field's text.
    static QString insertInto(DesktopInsertionRig& rig, TargetApp& app, const QString& text, TextInputMethod method,
                              const QString& before = {}, const QString& selection = QStringLiteral("0 0"))
    {
        app.command(QStringLiteral("set ") + before);
        app.command(QStringLiteral("select ") + selection);
        EXPECT_EQ(rig.insert(text).method, method);
        return app.command(QStringLiteral("text"));
    }
};
using ClipboardDesktop = TextInsertionDesktop;

// Through accessibility: a paste lands where the toolkit puts it, and the
// clipboard tests below paste into both toolkits.
TEST_F(TextInsertionDesktop, DictationLandsAtTheCaretOrOverTheSelectionAndPasswordFieldsKeepTheirText)
{
    for (const QString& program : {QStringLiteral("velnor-gtk-entry"), QStringLiteral("velnor-qt-line-edit")}) {
        SCOPED_TRACE(program.toStdString());
        DesktopInsertionRig rig;
        const auto app = launch(rig, program, {program}, true);
        ASSERT_TRUE(app);
        // Caret between "a" and "b".
        app->command(QStringLiteral("set ab"));
        app->command(QStringLiteral("select 1 1"));
        const InsertionResult atCaret = rig.insert(kMixedText);
        EXPECT_EQ(atCaret.method, TextInputMethod::Accessibility);
        EXPECT_EQ(atCaret.info.value(QStringLiteral("processId")), QString::number(app->processId()));
        EXPECT_EQ(app->command(QStringLiteral("text")), QStringLiteral("a") + kMixedText + QStringLiteral("b"));
        // A selection ("old" of "keep old") is replaced, the rest kept.
        EXPECT_EQ(insertInto(rig, *app, QStringLiteral("新的 😀"), TextInputMethod::Accessibility, QStringLiteral("keep old"),
                             QStringLiteral("5 -1")),
                  QStringLiteral("keep 新的 😀"));

        // A password field keeps its text; the dictation waits on the clipboard.
        const auto password = launch(rig, program, {QStringLiteral("password"), QStringLiteral("--password")}, true);
        ASSERT_TRUE(password);
        EXPECT_EQ(insertInto(rig, *password, QStringLiteral("听写 dictation"), TextInputMethod::Unknown,
                             QStringLiteral("secret"), QStringLiteral("3 3")),
                  QStringLiteral("secret"));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("听写 dictation"));
    }
}

TEST_F(TextInsertionDesktop, XtermGetsThePasteThroughThePrimarySelection)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xterm")).isEmpty())
        GTEST_SKIP() << "xterm not installed";
    TempDir dir;
    const QString output = dir.path() + QStringLiteral("/typed.txt");
    DesktopInsertionRig rig(false);
    QProcess xterm;
    xterm.setProcessEnvironment(targetEnvironment(false));
    // The shell script writes one line typed into the terminal to the file.
    xterm.start(QStringLiteral("xterm"), {QStringLiteral("-u8"), QStringLiteral("-e"), QStringLiteral("sh"),
                                           QStringLiteral("-c"), QStringLiteral("stty -echo; head -n 1 > '%1'").arg(output)});
    ASSERT_TRUE(xterm.waitForStarted(10000));
    ASSERT_TRUE(rig.waitUntilFrontmost(xterm.processId(), false));

    const InsertionResult result = rig.insert(kMixedText);
    EXPECT_EQ(result.method, TextInputMethod::Clipboard);
    EXPECT_EQ(result.info.value(QStringLiteral("bundleId")), QStringLiteral("XTerm"));
    // Enter ends the line, as auto-submit would.
    const auto source = rig.keys.createEventSource();
    ASSERT_NE(source, nullptr);
    source->post({VirtualKey::Return, true});
    source->post({VirtualKey::Return, false});
    ASSERT_TRUE(xterm.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(dir.readFile(QStringLiteral("typed.txt"))), kMixedText + QLatin1Char('\n'));
}

TEST_F(TextInsertionDesktop, ThePasteChordFollowsTheActiveLayoutSoDvorakUsersGetAPaste)
{
    if (QStandardPaths::findExecutable(QStringLiteral("setxkbmap")).isEmpty())
        GTEST_SKIP() << "setxkbmap not installed";
    // On Dvorak the key that types "v" is where QWERTY has ".", and QWERTY's
    // "v" key types "k": a positional Ctrl+V would be Ctrl+K.
    TargetApp app(helperPath(QStringLiteral("velnor-gtk-entry")), {QStringLiteral("dvorak")}, targetEnvironment(false));
    ASSERT_TRUE(app.started());
    // US again for the next test, however this one ends.
    const std::shared_ptr<void> restoreUs(nullptr, [](void*) { QProcess::execute(QStringLiteral("setxkbmap"), {"us"}); });
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {"us", "-variant", "dvorak"}), 0);
    DesktopInsertionRig rig(false);
    ASSERT_TRUE(rig.waitUntilFrontmost(app.processId(), false));
    EXPECT_EQ(insertInto(rig, app, QStringLiteral("德沃夏克 ok"), TextInputMethod::Clipboard), QStringLiteral("德沃夏克 ok"));
}

// Another program owns the clipboard: with only a PNG on it, which survives
// the paste byte for byte; then hung, never answering a request for it.
TEST_F(ClipboardDesktop, AnImageOnTheClipboardSurvivesAPastedDictationAndAHungOwnerStallsNothing)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        GTEST_SKIP() << "xclip not installed";
    // Noise does not compress: over a megabyte, more than one X request
    // carries, so the owner hands it over in pieces (INCR).
    QImage image(640, 480, QImage::Format_ARGB32);
    QRandomGenerator(12345).fillRange(reinterpret_cast<quint32*>(image.bits()), image.sizeInBytes() / 4);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    ASSERT_GT(png.size(), 1 << 20);
    DesktopInsertionRig rig(false);
    const auto app = launch(rig, QStringLiteral("velnor-gtk-entry"), {QStringLiteral("clipboard owners")});
    ASSERT_TRUE(app);

    const auto xclip = [](QProcess& process, const char* direction) {
        process.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                                QStringLiteral("image/png"), QString::fromLatin1(direction)});
    };
    QProcess owner;
    xclip(owner, "-i");
    ASSERT_TRUE(owner.waitForStarted(5000));
    owner.write(png);
    owner.closeWriteChannel();
    ASSERT_TRUE(waitUntil(
        [] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            return data && data->hasFormat(QStringLiteral("image/png"));
        },
        5000));

    EXPECT_EQ(insertInto(rig, *app, QStringLiteral("图片还在"), TextInputMethod::Clipboard), QStringLiteral("图片还在"));
    QProcess reader;
    xclip(reader, "-o");
    // This process owns the restored clipboard: the loop must run to answer xclip.
    ASSERT_TRUE(waitUntil([&] { return reader.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(reader.readAllStandardOutput(), png);
    owner.waitForFinished(5000);

    QProcess hung;
    hung.start(QStringLiteral("xclip"), {"-quiet", "-selection", "clipboard", "-i"});
    hung.write("held");
    hung.closeWriteChannel();
    const auto held = [&reader] {
        reader.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-o"});
        return reader.waitForFinished(2000) && reader.readAllStandardOutput() == "held";
    };
    ASSERT_TRUE(waitUntil(held, 5000));
    ASSERT_EQ(::kill(static_cast<pid_t>(hung.processId()), SIGSTOP), 0);
    // The longest the event loop goes without turning meanwhile.
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longestStallMs = std::max(longestStallMs, sinceTick.restart()); });
    sinceTick.start();
    tick.start(5);
    EXPECT_EQ(insertInto(rig, *app, QStringLiteral("挂起也不怕"), TextInputMethod::Clipboard), QStringLiteral("挂起也不怕"));
    EXPECT_LT(std::max(longestStallMs, sinceTick.elapsed()), 100);
    // What the owner held could not be saved: the dictation stays rather
    // than an empty clipboard.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("挂起也不怕"));
    EXPECT_TRUE(rig.log.mentions(QStringLiteral("原剪贴板内容未能完整读取")));
}

TEST_F(ClipboardDesktop, ATargetThatReadsLateGetsTheTextAndTheUserTheirClipboard)
{
    const UserClipboard userClipboard;
    userClipboard.fill();
    DesktopInsertionRig rig(false);
    // It reads 200 ms after the paste chord, after the chord's own steps
    // are over: the restore follows its read while Qt still answers it.
    const auto app = launch(rig, QStringLiteral("velnor-qt-line-edit"),
                            {QStringLiteral("--paste-delay"), QStringLiteral("200"), QStringLiteral("late reader")});
    ASSERT_TRUE(app);
    for (const QString& text : {QStringLiteral("迟到的读者"), QStringLiteral(" again")}) {
        EXPECT_EQ(rig.insert(text).method, TextInputMethod::Clipboard);
        EXPECT_TRUE(userClipboard.waitUntilBack());
    }
    EXPECT_EQ(app->command(QStringLiteral("text")), QStringLiteral("迟到的读者 again"));
}

// What this process owns when it quits (the restored clipboard after a
// dictation) is handed to a clipboard manager: Qt sends it SAVE_TARGETS.
TEST_F(ClipboardDesktop, AClipboardOwnedAtExitGoesToTheClipboardManager)
{
    QProcess manager;
    manager.start(helperPath(QStringLiteral("velnor-clipboard-manager")), {});
    ASSERT_TRUE(waitUntil([&] { return manager.canReadLine(); }, 10000));
    ASSERT_EQ(manager.readLine().trimmed(), "ready");
    const QString kept = QStringLiteral("退出后还在");
    {
        TargetApp owner(helperPath(QStringLiteral("velnor-qt-line-edit")), {QStringLiteral("exiting owner")},
                        targetEnvironment(false));
        ASSERT_TRUE(owner.started());
        owner.command(QStringLiteral("copy ") + kept);
        ASSERT_TRUE(waitUntil([&] { return QGuiApplication::clipboard()->text() == kept; }, 5000));
    }
    ASSERT_TRUE(waitUntil([&] { return manager.canReadLine(); }, 5000));
    EXPECT_EQ(QString::fromUtf8(manager.readLine()).trimmed(), QStringLiteral("copied ") + kept);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kept);
    manager.kill();
    manager.waitForFinished(5000);
}

} // namespace
} // namespace velnor::test
