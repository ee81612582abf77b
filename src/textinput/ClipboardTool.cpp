#include "textinput/ClipboardTool.h"

#include "log/Logger.h"
#include "platform/KeySynthesizer.h"
#include "platform/Pasteboard.h"

#include <memory>

namespace velnor {

struct ClipboardTool::Run {
    PasteboardContents saved;
    std::optional<FrontAppInfo> app;
    PasteChord chord;
    QString text;
    Completion completion;
    bool chordPosted = false;
    bool read = false;
    bool pasted = false;
    bool finished = false;
    Cancellable fallback;
};

ClipboardTool::ClipboardTool(Pasteboard& pasteboard, KeySynthesizer& keys, Scheduler& scheduler, Logger& log,
                             ClipboardTiming timing)
    : m_pasteboard(pasteboard)
    , m_keys(keys)
    , m_scheduler(scheduler)
    , m_log(log)
    , m_timing(timing)
{
}

void ClipboardTool::inputText(const QString& text, const std::optional<FrontAppInfo>& app, Completion completion)
{
    auto run = std::make_shared<Run>();
    run->app = app;
    run->completion = std::move(completion);
    run->chord = m_pasteboard.pasteChordFor(app);
    run->text = text;
    m_pasteboard.save(m_timing.saveBudget, [this, guard = m_lifetime.guard(), run](PasteboardContents saved) {
        if (guard.expired())
            return;
        run->saved = std::move(saved);
        write(run, true);
    });
}

void ClipboardTool::write(std::shared_ptr<Run> run, bool firstAttempt)
{
    const auto guard = m_lifetime.guard();
    const std::weak_ptr<Run> weakRun = run;
    const bool written = m_pasteboard.writeText(run->text, run->chord.pastesSelection, [this, guard, weakRun] {
        const auto current = weakRun.lock();
        // A read before the paste chord is a clipboard manager's, not the target's.
        if (guard.expired() || !current || current->read || !current->chordPosted)
            return;
        current->read = true;
        // Restore as soon as the target has its copy, but never before the
        // paste chord is finished (it may still be reading).
        if (current->pasted)
            finish(current, true);
    });
    if (!written && firstAttempt) {
        // A clipboard taken by another program a moment ago can refuse us
        // until the event loop has seen that; one more try after a pause.
        m_scheduler.after(m_timing.afterWrite, [this, guard, run] {
            if (!guard.expired())
                write(run, false);
        });
        return;
    }
    if (!written) {
        m_log.info(QStringLiteral("无法设置新文本到剪贴板"));
        m_pasteboard.restore(run->saved);
        run->finished = true;
        complete(run);
        return;
    }
    m_scheduler.after(m_timing.afterWrite, [this, guard, run] {
        if (!guard.expired())
            waitForModifierRelease(run, Duration::zero());
    });
}

void ClipboardTool::waitForModifierRelease(std::shared_ptr<Run> run, Duration waited)
{
    // The hotkey's modifiers may still be down: Ctrl+V with Shift held is a
    // different command in many applications.
    if (m_keys.isModifierHeld()) {
        if (waited < m_timing.modifierReleaseLimit) {
            m_scheduler.after(m_timing.modifierPoll, [this, guard = m_lifetime.guard(), run, waited] {
                if (!guard.expired())
                    waitForModifierRelease(run, waited + m_timing.modifierPoll);
            });
            return;
        }
        m_log.warning(QStringLiteral("修饰键仍被按住，仍然模拟粘贴"));
    }
    simulatePaste(std::move(run));
}

void ClipboardTool::simulatePaste(std::shared_ptr<Run> run)
{
    const PasteChord& chord = run->chord;
    const auto source = m_keys.createEventSource();
    QList<SyntheticKeyEvent> modifierDowns;
    QList<SyntheticKeyEvent> modifierUps;
    std::optional<SyntheticKeyEvent> keyDown;
    std::optional<SyntheticKeyEvent> keyUp;
    bool allCreated = source != nullptr;
    for (qsizetype i = 0; allCreated && i < chord.modifiers.size(); ++i) {
        const auto down = source->createKeyboardEvent(chord.modifiers[i], true);
        const auto up = source->createKeyboardEvent(chord.modifiers[i], false);
        allCreated = down && up;
        if (allCreated) {
            modifierDowns.append(*down);
            modifierUps.prepend(*up);
        }
    }
    if (allCreated) {
        keyDown = source->createKeyboardEvent(chord.key, true);
        keyUp = source->createKeyboardEvent(chord.key, false);
        allCreated = keyDown && keyUp;
    }
    if (!allCreated) {
        // Nothing was pressed, so nothing is left to release.
        m_log.error(QStringLiteral("模拟粘贴操作失败"));
        finish(run, false);
        return;
    }
    run->chordPosted = true;
    for (const auto& event : modifierDowns)
        source->post(event);
    // The key goes down and up in one go: were its release a scheduled step,
    // a stalled event loop would hold it past the autorepeat delay and paste
    // several times. Only the modifiers are held, and their repeats do nothing.
    source->post(*keyDown);
    source->post(*keyUp);
    // The releases go out even if this tool is gone by then: a key must never stay down.
    m_scheduler.after(m_timing.keyHold, [this, guard = m_lifetime.guard(), source, modifierUps, run] {
        for (const auto& event : modifierUps)
            source->post(event);
        if (guard.expired())
            return;
        m_scheduler.after(m_timing.afterKeyUp, [this, guard, run] {
            if (!guard.expired())
                awaitRead(run);
        });
    });
}

void ClipboardTool::awaitRead(std::shared_ptr<Run> run)
{
    run->pasted = true;
    if (run->read) {
        finish(run, true);
        return;
    }
    // A slow target may read long after the key-up; a target that never
    // reads (no text field after all) must not keep the user's clipboard away.
    const Duration remaining = m_timing.restoreFallback - m_timing.afterKeyUp;
    run->fallback = m_scheduler.after(std::max(remaining, Duration::zero()), [this, guard = m_lifetime.guard(), run] {
        if (!guard.expired())
            finish(run, true);
    });
}

void ClipboardTool::finish(const std::shared_ptr<Run>& run, bool pasted)
{
    if (run->finished)
        return;
    run->finished = true;
    run->fallback.cancel();
    run->pasted = pasted;
    // Never from inside the read callback: the clipboard may still be
    // answering the target with the very data a restore (or the next
    // insertion's write) would replace.
    m_scheduler.post([this, guard = m_lifetime.guard(), run] {
        if (!guard.expired())
            restoreIfStillOurs(run);
    });
}

void ClipboardTool::restoreIfStillOurs(const std::shared_ptr<Run>& run)
{
    // Compared by content: a clipboard manager that copied our text owns
    // the clipboard now, but it is still ours to put back.
    m_pasteboard.checkHoldsWrittenText(m_timing.checkBudget, [this, guard = m_lifetime.guard(), run](bool holds) {
        if (guard.expired())
            return;
        if (!holds) {
            m_log.info(QStringLiteral("剪贴板已被其他程序更改，不再恢复"));
        } else {
            if (!run->saved.clipboardComplete)
                m_log.warning(QStringLiteral("原剪贴板内容未能完整读取，保留听写文本，不再恢复"));
            m_pasteboard.restore(run->saved);
        }
        complete(run);
    });
}

void ClipboardTool::complete(const std::shared_ptr<Run>& run)
{
    if (!run->completion)
        return;
    if (run->pasted)
        m_log.info(QStringLiteral("使用剪贴板方式成功输入文本"));
    const Completion completion = std::exchange(run->completion, {});
    completion(run->pasted);
}

} // namespace velnor
