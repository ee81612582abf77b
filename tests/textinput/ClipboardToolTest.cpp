#include "InsertionRig.h"

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

struct ClipboardRig : InsertionRig {
    void paste(const QString& text)
    {
        clipboardTool.inputText(text, workspace.frontApp, [this](bool ok) { pasted.push_back(ok); });
        scheduler.runDue();
    }

    // The chord as the target sees it: each event with its time.
    QList<std::pair<SyntheticKeyEvent, qint64>> chord() const
    {
        QList<std::pair<SyntheticKeyEvent, qint64>> events;
        for (const auto& p : keys.posted)
            events.append({p.event, p.atMs});
        return events;
    }

    std::vector<bool> pasted;
};


struct RestoreCase {
    const char* name;
    int readAtMs;         // -1: the target never reads
    bool someoneElseTook; // another program writes the clipboard at 120 ms
    int restoredByMs;     // the user's clipboard is back by then…
    int notBeforeMs;      // …and not before
};

TEST(ClipboardTool, RestoresOnlyAfterTheTargetReadOrTheFallbackAndOnlyOurOwnText)
{
    const std::vector<RestoreCase> cases = {
        {"fast reader", 60, false, 150, 149},
        {"slow reader", 400, false, 400, 399},
        {"never reads", -1, false, 650, 549},
        {"only a clipboard manager reads, before the paste", 10, false, 650, 549},
        {"someone else took the clipboard", 400, true, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClipboardRig f;
        f.paste(QStringLiteral("dictated"));
        EXPECT_EQ(f.pasteboard.save().clipboard.first().data, QByteArray("dictated"));
        int restoredAt = -1;
        for (int ms = 1; ms <= 1000; ++ms) {
            f.scheduler.advanceBy(Duration(1));
            if (ms == 120 && c.someoneElseTook)
                f.pasteboard.takeOver(QStringLiteral("theirs"));
            if (ms == c.readAtMs)
                f.pasteboard.readByTarget();
            if (restoredAt < 0 && f.pasteboard.restores > 0)
                restoredAt = ms;
        }
        ASSERT_EQ(f.pasted, std::vector<bool>{true});
        if (c.restoredByMs < 0) {
            EXPECT_EQ(f.pasteboard.restores, 0);
            EXPECT_EQ(f.pasteboard.contents.clipboard.first().data, QByteArray("theirs"));
            continue;
        }
        EXPECT_EQ(f.pasteboard.contents, userClipboard());
        EXPECT_LE(restoredAt, c.restoredByMs);
        EXPECT_GT(restoredAt, c.notBeforeMs);
    }
}

TEST(ClipboardTool, PressesTheChordAfterTheModifiersAreUpAndReleasesEveryKey)
{
    ClipboardRig rig;
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
        {{VirtualKey::V, true}, 150},            {{VirtualKey::V, false}, 200},
        {{VirtualKey::LeftShift, false}, 200},   {{VirtualKey::LeftControl, false}, 200},
    };
    EXPECT_EQ(rig.chord(), expected);

    // A modifier that never comes up delays the paste by the bound only.
    ClipboardRig held;
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
        std::function<void(ClipboardRig&)> arrange;
    };
    const std::vector<Case> cases = {
        {"clipboard refuses the text", [](ClipboardRig& f) { f.pasteboard.refuseWrites = true; }},
        {"paste key cannot be made", [](ClipboardRig& f) { f.keys.uncreatableKeys.insert(VirtualKey::V); }},
        {"no event source", [](ClipboardRig& f) { f.keys.failSourceCreations = 1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClipboardRig f;
        c.arrange(f);
        f.paste(QStringLiteral("x"));
        f.scheduler.runUntilIdle();
        EXPECT_EQ(f.pasted, std::vector<bool>{false});
        EXPECT_TRUE(f.keys.posted.isEmpty());
        EXPECT_EQ(f.pasteboard.contents, userClipboard());
    }

    // Refused once (another program took the clipboard a moment ago): the
    // second try gets through.
    ClipboardRig busy;
    busy.pasteboard.refusedWritesLeft = 1;
    busy.paste(QStringLiteral("x"));
    busy.scheduler.runUntilIdle();
    EXPECT_EQ(busy.pasted, std::vector<bool>{true});
    EXPECT_EQ(busy.pasteboard.written, QStringList{QStringLiteral("x")});

    ClipboardRig empty;
    empty.pasteboard.contents = {};
    empty.paste(QStringLiteral("x"));
    empty.scheduler.runUntilIdle();
    EXPECT_EQ(empty.pasteboard.contents, PasteboardContents{});
}

} // namespace
} // namespace velnor::test
