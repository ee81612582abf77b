#include "InsertionRig.h"
#include "textinput/TextInputStack.h"

#include <QThread>

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

struct FieldCase {
    const char* name;
    std::function<void(InsertionRig&)> arrange;
    TextInputMethod method;
    QString fieldAfter;
    // Not typed, but put on the clipboard for the user to paste.
    bool leftOnClipboard = false;
};

TEST(TextInputMgr, TriesAccessibilityThenClipboardAndNeverOverwritesTypedText)
{
    const std::vector<FieldCase> cases = {
        // Where the selected-text write lands (caret, over a selection) is the
        // toolkit's: TextInsertionDesktop proves it on real fields.
        {"caret insert", [](InsertionRig&) {}, TextInputMethod::Accessibility, QStringLiteral("a你好b")},
        {"no focused element: the tree is searched",
         [](InsertionRig& f) {
             f.bridge.focused = nullptr;
             f.bridge.focusedError = AccessibilityError::NotImplemented;
             f.field->roleName = QStringLiteral("AXWebArea");
         },
         TextInputMethod::Accessibility, QStringLiteral("a你好b")},
        {"search finds nothing focused",
         [](InsertionRig& f) {
             f.bridge.focused = nullptr;
             f.field->focused = false;
         },
         TextInputMethod::Clipboard, QStringLiteral("ab")},
        {"focused element without text: no search",
         [](InsertionRig& f) { f.bridge.focused = std::make_shared<FakeAccessibleElement>(); },
         TextInputMethod::Clipboard, QStringLiteral("ab")},
        {"whole-value write refused on a field with text",
         [](InsertionRig& f) { f.field->refuseSelectedText = true; },
         TextInputMethod::Clipboard, QStringLiteral("ab")},
        {"whole-value write on an empty field",
         [](InsertionRig& f) {
             f.field->refuseSelectedText = true;
             f.field->text.clear();
             f.field->caret = 0;
         },
         TextInputMethod::Accessibility, QStringLiteral("你好")},
        {"no accessible application", [](InsertionRig& f) { f.bridge.applications.clear(); },
         TextInputMethod::Clipboard, QStringLiteral("ab")},
        {"clipboard refuses too",
         [](InsertionRig& f) {
             f.bridge.applications.clear();
             f.pasteboard.refuseWrites = true;
         },
         TextInputMethod::Unknown, QStringLiteral("ab")},
        {"password field: typed nowhere, left on the clipboard",
         [](InsertionRig& f) { f.field->protectedText = true; }, TextInputMethod::Unknown, QStringLiteral("ab"), true},
        {"write without an answer: the text may be there, so no paste",
         [](InsertionRig& f) { f.field->writeAnswer = WriteResult::Unknown; }, TextInputMethod::Unknown,
         QStringLiteral("a你好b")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InsertionRig f;
        c.arrange(f);
        f.type(QStringLiteral("你好"));
        f.scheduler.advanceBy(seconds(0.2));
        f.pasteboard.readByTarget();
        f.scheduler.runUntilIdle();
        ASSERT_EQ(f.methods(), std::vector<TextInputMethod>{c.method});
        EXPECT_EQ(f.field->text, c.fieldAfter);
        EXPECT_EQ(f.results[0].info.value(QStringLiteral("bundleId")), QStringLiteral("org.example.editor"));
        EXPECT_EQ(f.pasteboard.written.size(), c.method == TextInputMethod::Clipboard || c.leftOnClipboard ? 1 : 0);
        EXPECT_EQ(f.pasteboard.contents == userClipboard(), !c.leftOnClipboard);
        EXPECT_EQ(f.keys.posted.isEmpty(), c.method != TextInputMethod::Clipboard);
        // Only a length was needed: the field's text never crossed over.
        EXPECT_EQ(f.field->textReads, 0);
        EXPECT_EQ(f.bridge.lastBudget, seconds(1.5));
    }
}

TEST(TextInputMgr, WithoutSyntheticKeysAccessibilityStillTypesElseTheTextStaysOnTheClipboardWithOneNotice)
{
    using enum TextInputMethod;
    InsertionRig rig;
    rig.trust.trusted = false;
    rig.type(QStringLiteral("one"));
    rig.scheduler.runUntilIdle();
    EXPECT_EQ(rig.field->text, QStringLiteral("aoneb"));

    rig.bridge.applications.clear();
    rig.type(QStringLiteral("two"));
    rig.type(QStringLiteral("three"));
    rig.scheduler.runUntilIdle();
    EXPECT_EQ(rig.methods(), (std::vector<TextInputMethod>{Accessibility, Unknown, Unknown}));
    EXPECT_EQ(rig.pasteboard.readByTarget(), QStringLiteral("three"));
    EXPECT_TRUE(rig.keys.posted.isEmpty());
    EXPECT_EQ(rig.notices, std::vector<TextInputNotice>{TextInputNotice::CannotPaste});

    rig.trust.trusted = true;
    rig.workspace.frontApp.reset();
    rig.type(QStringLiteral("four"));
    rig.pasteboard.readByTarget();
    rig.scheduler.runUntilIdle();
    EXPECT_EQ(rig.methods(), (std::vector<TextInputMethod>{Accessibility, Unknown, Unknown, Clipboard}));
    EXPECT_TRUE(rig.results.back().info.isEmpty());
    EXPECT_EQ(rig.field->writes, 1);
}

TEST(TextInputMgr, InsertionsRunOneAtATimeSoTheSecondSavesTheUsersClipboard)
{
    InsertionRig rig;
    rig.bridge.applications.clear();
    rig.type(QStringLiteral("first"));
    rig.type(QStringLiteral("second"));
    // The target is slow: nobody reads until the fallback restored the clipboard.
    rig.scheduler.runUntilIdle();
    ASSERT_EQ(rig.results.size(), 2u);
    EXPECT_EQ(rig.pasteboard.written, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    EXPECT_EQ(rig.pasteboard.contents, userClipboard());
    // Both chords were pressed and released, the second after the first restore.
    ASSERT_EQ(rig.keys.posted.size(), 8);
    EXPECT_GE(rig.keys.posted[4].atMs, 500);
}

TEST(TextInputMgr, AccessibilityWriteUnderWayPastTheBudgetIsAwaitedThenUnknownButNeverPasted)
{
    struct Case {
        const char* name;
        std::optional<Duration> writeTakes; // none: the target answers only after the fallback pasted
        TextInputMethod method;
    };
    const std::vector<Case> cases = {
        {"answers late", seconds(2.0), TextInputMethod::Accessibility},
        {"never answers in time", seconds(20.0), TextInputMethod::Unknown},
        {"busy past the budget before the write: the late worker writes nothing", std::nullopt, TextInputMethod::Clipboard},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InsertionRig rig;
        rig.deferBackground = true;
        rig.type(QStringLiteral("slow"));
        if (c.writeTakes) {
            // The budget runs out while the target is busy with the write itself.
            rig.field->onWrite = [&rig, &c] { rig.scheduler.advanceBy(*c.writeTakes); };
        } else {
            rig.scheduler.advanceBy(seconds(1.5));
            rig.pasteboard.readByTarget();
            rig.scheduler.runUntilIdle();
        }
        while (!rig.background.empty()) {
            auto work = std::move(rig.background.front());
            rig.background.pop_front();
            work();
        }
        rig.scheduler.runUntilIdle();
        EXPECT_EQ(rig.methods(), std::vector<TextInputMethod>{c.method});
        EXPECT_EQ(rig.pasteboard.written.size(), c.writeTakes ? 0 : 1);
        EXPECT_EQ(rig.field->writes, c.writeTakes ? 1 : 0);
    }
}

// Counts the calls that bring the bridge up, and the thread they came from.
struct WarmUpBridge final : AccessibilityBridge {
    bool isAvailable() override
    {
        ++calls;
        thread = QThread::currentThread();
        return true;
    }
    std::shared_ptr<AccessibleElement> applicationElement(qint32, Duration, Duration) override { return nullptr; }
    FocusedElementResult focusedElement(AccessibleElement&) override { return {}; }

    std::atomic<int> calls{0};
    std::atomic<QThread*> thread{nullptr};
};

TEST(TextInputStack, BringsTheBridgeUpOffTheGuiThreadBeforeAnyInsertion)
{
    InsertionRig rig;
    auto bridge = std::make_unique<WarmUpBridge>();
    WarmUpBridge& seen = *bridge;
    TextInputStack stack(rig.workspace, rig.trust, std::move(bridge), rig.pasteboard, rig.keys, rig.scheduler,
                         rig.log.logger(), {});
    stack.runOnAccessibilityThread([] {});
    EXPECT_EQ(seen.calls.load(), 1);
    EXPECT_NE(seen.thread.load(), nullptr);
    EXPECT_NE(seen.thread.load(), QThread::currentThread());
}

} // namespace
} // namespace velnor::test
