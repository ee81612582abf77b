#include "InsertionRig.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

enum class After { UsersBack, Theirs, Dictated };

struct RestoreCase {
    const char* name;
    int readAtMs;         // -1: the target never reads
    std::function<void(InsertionRig&)> at120ms; // what else happens meanwhile
    After after;          // what the clipboard holds in the end
    int restoredByMs;     // the user's clipboard is back by then…
    int notBeforeMs;      // …and not before
};

TEST(ClipboardTool, RestoresOnlyAfterTheTargetReadOrTheFallbackAndOnlyOverOurOwnText)
{
    const auto nothing = [](InsertionRig&) {};
    const std::vector<RestoreCase> cases = {
        {"fast reader", 60, nothing, After::UsersBack, 150, 149},
        {"slow reader (restored on the next turn, not inside its read)", 400, nothing, After::UsersBack, 401, 400},
        {"never reads", -1, nothing, After::UsersBack, 650, 549},
        {"only a clipboard manager reads, before the paste", 10, nothing, After::UsersBack, 650, 549},
        {"someone else took the clipboard", 400, [](InsertionRig& f) { f.pasteboard.takeOver(QStringLiteral("theirs")); },
         After::Theirs, -1, -1},
        // The target then reads the manager's copy, which we never see.
        {"a clipboard manager owns a copy of our text", 400, [](InsertionRig& f) { f.pasteboard.reownByManager(); },
         After::UsersBack, 650, 549},
        // Putting back part of it would lose the rest for good.
        {"the user's clipboard could not be saved whole", 400, nothing, After::Dictated, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InsertionRig f;
        f.pasteboard.contents.clipboardComplete = c.after != After::Dictated;
        f.paste(QStringLiteral("dictated"));
        EXPECT_EQ(f.pasteboard.saveBudgets, QList<Duration>{seconds(1.0)});
        EXPECT_EQ(f.pasteboard.contents.clipboard.first().data, QByteArray("dictated"));
        int restoredAt = -1;
        for (int ms = 1; ms <= 1000; ++ms) {
            f.scheduler.advanceBy(Duration(1));
            if (ms == 120)
                c.at120ms(f);
            if (ms == c.readAtMs)
                f.pasteboard.readByTarget();
            if (restoredAt < 0 && f.pasteboard.restores > 0)
                restoredAt = ms;
        }
        ASSERT_EQ(f.pasted, std::vector<bool>{true});
        // The clipboard may still be answering the reader: changing it then
        // frees the data being sent.
        EXPECT_EQ(f.pasteboard.changesDuringRead, 0);
        if (c.after == After::Theirs) {
            EXPECT_EQ(f.pasteboard.restores, 0);
            EXPECT_EQ(f.pasteboard.contents.clipboard.first().data, QByteArray("theirs"));
            continue;
        }
        if (c.after == After::Dictated) {
            EXPECT_EQ(f.pasteboard.contents.clipboard.first().data, QByteArray("dictated"));
            EXPECT_TRUE(f.log.mentions(QStringLiteral("原剪贴板内容未能完整读取")));
            continue;
        }
        EXPECT_EQ(f.pasteboard.contents, userClipboard());
        EXPECT_LE(restoredAt, c.restoredByMs);
        EXPECT_GT(restoredAt, c.notBeforeMs);
    }
}

TEST(ClipboardTool, WritesNothingUntilTheUsersClipboardIsSaved)
{
    InsertionRig rig;
    rig.pasteboard.holdSaves = true; // an owner slow to answer
    rig.paste(QStringLiteral("x"));
    rig.scheduler.advanceBy(seconds(0.5));
    EXPECT_TRUE(rig.pasteboard.written.isEmpty());
    EXPECT_TRUE(rig.keys.posted.isEmpty());
    ASSERT_EQ(rig.pasteboard.heldSaves.size(), 1);
    rig.pasteboard.heldSaves.takeFirst()(userClipboard());
    rig.scheduler.runUntilIdle();
    EXPECT_EQ(rig.pasteboard.written, QStringList{QStringLiteral("x")});
    EXPECT_EQ(rig.pasted, std::vector<bool>{true});
    EXPECT_EQ(rig.pasteboard.contents, userClipboard());
}

TEST(ClipboardTool, PressesTheChordAfterTheModifiersAreUpAndReleasesEveryKey)
{
    InsertionRig rig;
    rig.pasteboard.chord = {{VirtualKey::LeftControl, VirtualKey::LeftShift}, VirtualKey::V};
    rig.keys.modifierHeldQueries = 5; // the user lets go of the hotkey 100 ms after the write
    rig.paste(QStringLiteral("x"));
    // Only xterm's chord pastes the primary selection; elsewhere taking it
    // would unselect what the paste must replace.
    EXPECT_EQ(rig.pasteboard.contents.selection, userClipboard().selection);
    rig.pasteboard.readByTarget();
    rig.scheduler.runUntilIdle();
    const QList<std::pair<SyntheticKeyEvent, qint64>> expected = {
        {{VirtualKey::LeftControl, true}, 150},  {{VirtualKey::LeftShift, true}, 150},
        // The key's release is not left to a timer: a stall would autorepeat it.
        {{VirtualKey::V, true}, 150},            {{VirtualKey::V, false}, 150},
        {{VirtualKey::LeftShift, false}, 200},   {{VirtualKey::LeftControl, false}, 200},
    };
    // The chord as the target sees it: each event with its time.
    QList<std::pair<SyntheticKeyEvent, qint64>> chord;
    for (const auto& posted : rig.keys.posted)
        chord.append({posted.event, posted.atMs});
    EXPECT_EQ(chord, expected);

    // A modifier that never comes up delays the paste by the bound only.
    InsertionRig held;
    held.keys.modifierHeldQueries = -1;
    held.paste(QStringLiteral("x"));
    held.scheduler.runUntilIdle();
    ASSERT_EQ(held.keys.posted.size(), 4);
    EXPECT_EQ(held.keys.posted[0].atMs, 1050);
    EXPECT_EQ(held.pasted, std::vector<bool>{true});
}

TEST(ClipboardTool, FailuresPressNothingAndPutTheClipboardBack)
{
    struct Case {
        const char* name;
        std::function<void(InsertionRig&)> arrange;
    };
    const std::vector<Case> cases = {
        {"clipboard refuses the text", [](InsertionRig& f) { f.pasteboard.refuseWrites = true; }},
        {"paste key cannot be made", [](InsertionRig& f) { f.keys.uncreatableKeys.insert(VirtualKey::V); }},
        {"no event source", [](InsertionRig& f) { f.keys.failSourceCreations = 1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InsertionRig f;
        c.arrange(f);
        f.paste(QStringLiteral("x"));
        f.scheduler.runUntilIdle();
        EXPECT_EQ(f.pasted, std::vector<bool>{false});
        EXPECT_TRUE(f.keys.posted.isEmpty());
        EXPECT_EQ(f.pasteboard.contents, userClipboard());
    }

    // Refused once (another program took the clipboard a moment ago): the
    // second try gets through.
    InsertionRig busy;
    busy.pasteboard.refusedWritesLeft = 1;
    busy.paste(QStringLiteral("x"));
    busy.scheduler.runUntilIdle();
    EXPECT_EQ(busy.pasted, std::vector<bool>{true});
    EXPECT_EQ(busy.pasteboard.written, QStringList{QStringLiteral("x")});

    InsertionRig empty;
    empty.pasteboard.contents = {};
    empty.paste(QStringLiteral("x"));
    empty.scheduler.runUntilIdle();
    EXPECT_EQ(empty.pasteboard.contents, PasteboardContents{});
}

} // namespace
} // namespace velnor::test
