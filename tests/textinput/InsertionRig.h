#pragma once

#include "core/ManualScheduler.h"
#include "platform/fake/FakeAccessibilityBridge.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "platform/fake/FakePasteboard.h"
#include "platform/fake/FakeWorkspace.h"
#include "support/LogCapture.h"
#include "textinput/AccessibilityInserter.h"
#include "textinput/AccessibilityWorker.h"
#include "textinput/ClipboardTool.h"
#include "textinput/TextInputMgr.h"

#include <deque>

namespace velnor::test {

inline PasteboardContents userClipboard()
{
    const QByteArray png("\x89PNG\r\n\x1a\n-image-bytes", 20);
    return {{{QStringLiteral("text/plain"), "mine"}, {QStringLiteral("image/png"), png}},
            {{QStringLiteral("text/plain"), "selected"}}};
}

// Everything an insertion touches, on virtual time. Accessibility work runs
// inline unless `deferBackground` holds it back, like a busy target would.
struct InsertionRig {
    InsertionRig()
    {
        app = std::make_shared<FakeAccessibleElement>();
        field = app->addChild();
        field->roleName = QStringLiteral("AXTextField");
        field->hasText = true;
        field->text = QStringLiteral("ab");
        field->caret = 1;
        field->focused = true;
        bridge.applications.insert(4242, app);
        bridge.focused = field;
        pasteboard.contents = userClipboard();
    }

    void type(const QString& text)
    {
        manager.inputTextToFocusedField(text, [this](const InsertionResult& result) { results.push_back(result); });
        scheduler.runDue();
    }

    // Straight to the clipboard tool, bypassing accessibility.
    void paste(const QString& text)
    {
        clipboardTool.inputText(text, workspace.frontApp, [this](bool ok) { pasted.push_back(ok); });
        scheduler.runDue();
    }

    std::vector<TextInputMethod> methods() const
    {
        std::vector<TextInputMethod> all;
        for (const InsertionResult& result : results)
            all.push_back(result.method);
        return all;
    }

    ManualScheduler scheduler;
    LogCapture log;
    FakeWorkspace workspace;
    FakeAccessibilityTrust trust;
    FakeAccessibilityBridge bridge;
    FakePasteboard pasteboard;
    FakeKeySynthesizer keys{[this] { return static_cast<qint64>(scheduler.now().count()); }};
    std::shared_ptr<FakeAccessibleElement> app;
    std::shared_ptr<FakeAccessibleElement> field;
    bool deferBackground = false;
    std::deque<std::function<void()>> background;
    std::vector<TextInputNotice> notices;
    std::vector<InsertionResult> results;
    std::vector<bool> pasted;

    AccessibilityInserter inserter{bridge, log.logger()};
    AccessibilityWorker worker{inserter,
                               [this](std::function<void()> work) {
                                   if (deferBackground)
                                       background.push_back(std::move(work));
                                   else
                                       work();
                               },
                               [this](std::function<void()> work) { scheduler.post(std::move(work)); },
                               scheduler, log.logger(), seconds(1.5), seconds(12.0)};
    ClipboardTool clipboardTool{pasteboard, keys, scheduler, log.logger()};
    TextInputMgr manager{workspace,   trust, worker, clipboardTool, pasteboard, log.logger(),
                         [this](TextInputNotice notice) { notices.push_back(notice); }};
};

} // namespace velnor::test
