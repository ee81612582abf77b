#pragma once

#include "core/Scheduler.h"
#include "textinput/AccessibilityInserter.h"
#include "textinput/AccessibilityThread.h"
#include "textinput/AccessibilityWorker.h"
#include "textinput/ClipboardTool.h"
#include "textinput/TextInputMgr.h"

#include <memory>

namespace velnor {

class AccessibilityBridge;
class AccessibilityTrust;
class KeySynthesizer;
class Logger;
class Pasteboard;
class Scheduler;
class Workspace;

// Everything behind TextInputMgr, assembled in the one order that is safe:
// the accessibility bridge is used and destroyed on its worker thread only.
class TextInputStack final {
public:
    struct Options {
        // Per call into the target application.
        Duration messagingTimeout = seconds(5.0);
        // How long an insertion waits for accessibility before the clipboard
        // (and how long the helper walks the target's tree).
        Duration accessibilityBudget = seconds(1.5);
        std::function<void(TextInputNotice)> notice;
        // How long a write under way may take before its result counts as
        // unknown (a helper call waits up to twice the messaging timeout).
        Duration writeLimit = seconds(12.0);
    };

    TextInputStack(const Workspace& workspace, const AccessibilityTrust& trust,
                   std::unique_ptr<AccessibilityBridge> bridge, Pasteboard& pasteboard, KeySynthesizer& keys,
                   Scheduler& scheduler, Logger& log, Options options);
    ~TextInputStack();

    TextInputMgr& textInputMgr() { return m_manager; }
    ClipboardTool& clipboardTool() { return m_clipboardTool; }
    // Runs work on the accessibility thread and waits for it.
    void runOnAccessibilityThread(std::function<void()> work) { m_thread.runAndWait(std::move(work)); }
    AccessibilityBridge& bridge() { return *m_bridge; }

private:
    std::unique_ptr<AccessibilityBridge> m_bridge;
    AccessibilityInserter m_inserter;
    // After the bridge and inserter: queued work drains before they go.
    AccessibilityThread m_thread;
    AccessibilityWorker m_worker;
    ClipboardTool m_clipboardTool;
    TextInputMgr m_manager;
};

} // namespace velnor
