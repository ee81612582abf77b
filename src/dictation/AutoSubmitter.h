#pragma once

#include "core/Lifetime.h"

#include <QString>

#include <functional>
#include <memory>

namespace velnor {

class AccessibilityTrust;
class KeyEventSource;
class KeySynthesizer;
class Logger;
class Scheduler;
class SettingsStore;
class Workspace;

// Presses Enter, Ctrl+Enter or Shift+Enter for the user after a dictation
// that ended in "over over". The pauses between key events run as scheduled
// steps, so the event loop keeps running; each operation reports its result
// through a completion once its last step ran.
class AutoSubmitter final {
public:
    using Completion = std::function<void(bool posted)>;

    // `inputMethodKeys` (may be null) press keys through the input method,
    // into the field the input method committed to.
    AutoSubmitter(const SettingsStore& settings, Scheduler& scheduler, Logger& log, KeySynthesizer& keys,
                  const AccessibilityTrust& trust, const Workspace& workspace,
                  KeySynthesizer* inputMethodKeys = nullptr);

    // Reads the configured key type, checks the trust, presses with retries.
    // `throughInputMethod`: the text went in by the input method, so the key
    // follows it there (no synthetic display keys, no trust needed) while
    // the input method can take it.
    void simulateEnterKey(Completion completion, bool throughInputMethod = false);
    void simulateKeyPressWithRetry(const QString& keyType, int maxRetries, Completion completion);
    // One attempt; includes the 0.2 s pause after an attempt that made its event source.
    void simulateKeyPress(const QString& keyType, Completion completion);

    void simulateEnter(const std::shared_ptr<KeyEventSource>& source, Completion completion);
    void simulateCtrlEnter(const std::shared_ptr<KeyEventSource>& source, Completion completion);
    void simulateShiftEnter(const std::shared_ptr<KeyEventSource>& source, Completion completion);

private:
    // The keys of one operation and whether they need the trust.
    struct Route {
        KeySynthesizer* keys;
        bool needsTrust;
    };
    Route displayRoute() const { return {&m_keys, true}; }
    void pressWithRetry(Route route, const QString& keyType, int maxRetries, Completion completion);
    void attempt(Route route, const QString& keyType, int attemptNumber, int maxRetries, Completion completion);
    void pressOnce(Route route, const QString& keyType, Completion completion);
    void simulateModifierEnter(const std::shared_ptr<KeyEventSource>& source, int modifierKey,
                               const QString& comboName, Completion completion);
    QString frontAppDescription() const;

    const SettingsStore& m_settings;
    Scheduler& m_scheduler;
    Logger& m_log;
    KeySynthesizer& m_keys;
    const AccessibilityTrust& m_trust;
    const Workspace& m_workspace;
    KeySynthesizer* m_inputMethodKeys;
    Lifetime m_lifetime;
};

} // namespace velnor
