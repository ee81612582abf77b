#pragma once

#include "core/Lifetime.h"
#include "core/Scheduler.h"

#include <QString>

#include <functional>

namespace velnor {

class Logger;
class TextInput;
class Workspace;

// Types a text again into the application the user works in, never into our
// own window: when that is in front it steps aside, and once the desktop has
// handed the focus to another application the text goes in as a dictation's
// would. When the focus never leaves our window, nothing is typed and the
// user is told so.
class PreviousAppInserter final {
public:
    static constexpr Duration kPollInterval = std::chrono::milliseconds(40);
    // How long the desktop may take to hand the focus to another application.
    static constexpr Duration kFocusLimit = std::chrono::milliseconds(1500);

    struct Dependencies {
        const Workspace& workspace;
        TextInput& textInput;
        Scheduler& scheduler;
        Logger& log;
        qint32 ownProcessId;
        // Hides our window so the focus can return.
        std::function<void()> stepAside;
        // The focus stayed with our window: the text was not typed anywhere.
        std::function<void()> nothingTyped;
    };

    explicit PreviousAppInserter(Dependencies dependencies);

    // A newer request replaces one still waiting for the focus.
    void insert(const QString& text);

private:
    void waitForFocus(Duration waited);
    bool ownWindowIsInFront() const;

    Dependencies m_with;
    QString m_text;
    Cancellable m_poll;
    Lifetime m_lifetime;
};

} // namespace velnor
