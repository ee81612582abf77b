#pragma once

#include "core/Lifetime.h"
#include "core/Scheduler.h"
#include "platform/FrontAppInfo.h"

#include <QString>

#include <functional>
#include <optional>

namespace velnor {

class KeySynthesizer;
class Logger;
class Pasteboard;
struct PasteboardContents;

struct ClipboardTiming {
    // Longest wait for the clipboard's owner to hand over what it holds.
    Duration saveBudget = seconds(1.0);
    // Longest wait to learn whether the clipboard still holds our text.
    Duration checkBudget = seconds(0.3);
    Duration afterWrite = seconds(0.05);
    Duration keyHold = seconds(0.05);
    Duration afterKeyUp = seconds(0.05);
    // Longest wait for the target to read the text before restoring.
    Duration restoreFallback = seconds(0.5);
    // Longest wait for the user to let go of the hotkey's modifiers.
    Duration modifierReleaseLimit = seconds(1.0);
    Duration modifierPoll = seconds(0.02);
};

// Inserts text by clipboard: saves the user's clipboard, writes the text,
// presses the application's paste chord and puts the user's clipboard back
// once the target has read the text (or after a bounded wait), and only if
// the clipboard still holds our text and was saved whole. Every pause is a
// scheduled step.
class ClipboardTool final {
public:
    using Completion = std::function<void(bool pasted)>;

    ClipboardTool(Pasteboard& pasteboard, KeySynthesizer& keys, Scheduler& scheduler, Logger& log,
                  ClipboardTiming timing = {});

    // The completion runs once the clipboard is restored (or left alone).
    void inputText(const QString& text, const std::optional<FrontAppInfo>& app, Completion completion);

private:
    struct Run;

    void write(std::shared_ptr<Run> run, bool firstAttempt);
    void waitForModifierRelease(std::shared_ptr<Run> run, Duration waited);
    void simulatePaste(std::shared_ptr<Run> run);
    void awaitRead(std::shared_ptr<Run> run);
    void finish(const std::shared_ptr<Run>& run, bool pasted);
    void restoreIfStillOurs(const std::shared_ptr<Run>& run);
    void complete(const std::shared_ptr<Run>& run);

    Pasteboard& m_pasteboard;
    KeySynthesizer& m_keys;
    Scheduler& m_scheduler;
    Logger& m_log;
    const ClipboardTiming m_timing;
    Lifetime m_lifetime;
};

} // namespace velnor
