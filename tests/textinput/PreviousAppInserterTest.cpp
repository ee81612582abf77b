#include "core/ManualScheduler.h"
#include "platform/fake/FakeWorkspace.h"
#include "support/LogCapture.h"
#include "testing/FakeTextInput.h"
#include "textinput/PreviousAppInserter.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

constexpr qint32 kOwnPid = 777;

struct PreviousAppInserterTest : ::testing::Test {
    PreviousAppInserterTest() { workspace.frontApp = FrontAppInfo{QStringLiteral("velnor"), QStringLiteral("Velnor"), kOwnPid}; }

    void focusReturnsToEditor() { workspace.frontApp = FrontAppInfo{QStringLiteral("gedit"), QStringLiteral("Editor"), 4242}; }

    FakeWorkspace workspace;
    FakeTextInput textInput{workspace};
    ManualScheduler scheduler;
    test::LogCapture log;
    int stepAsides = 0;
    int nothingTypedReports = 0;
    PreviousAppInserter inserter{{workspace, textInput, scheduler, log.logger(), kOwnPid, [this] { ++stepAsides; },
                                  [this] { ++nothingTypedReports; }}};
};

TEST_F(PreviousAppInserterTest, TypesOnlyTheNewestTextOnceFocusLeavesOurWindowAndNothingWhenItNeverDoes)
{
    inserter.insert(QStringLiteral("不该进自己窗口"));
    scheduler.runUntilIdle();
    EXPECT_TRUE(textInput.typed.isEmpty()) << "never into our own window, however long it waits";
    EXPECT_EQ(nothingTypedReports, 1);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("窗口隐藏后焦点未回到其他应用，未输入任何文字")));

    inserter.insert(QStringLiteral("first"));
    scheduler.advanceBy(std::chrono::milliseconds(100));
    inserter.insert(QStringLiteral("打错窗口的那句话")); // replaces the one still waiting
    EXPECT_EQ(stepAsides, 3);
    // Focus returns: the text dropped earlier stays dropped.
    focusReturnsToEditor();
    scheduler.runUntilIdle();
    EXPECT_EQ(textInput.typed, QStringList{QStringLiteral("打错窗口的那句话")});

    // With another application in front nothing steps aside.
    inserter.insert(QStringLiteral("again"));
    scheduler.runDue();
    EXPECT_EQ(stepAsides, 3);
    EXPECT_EQ(textInput.typed.last(), QStringLiteral("again"));
}

} // namespace
} // namespace velnor
