#pragma once

#include <QString>

namespace velnor {

// A short message to the user that never takes the keyboard focus (a tray
// balloon, a desktop notification), so it cannot catch text meant for the
// focused field. Each key is shown at most once per run.
class UserNotice {
public:
    UserNotice() = default;
    virtual ~UserNotice() = default;
    UserNotice(const UserNotice&) = delete;
    UserNotice& operator=(const UserNotice&) = delete;

    virtual void notifyOnce(const QString& key, const QString& title, const QString& message) = 0;
};

} // namespace velnor
