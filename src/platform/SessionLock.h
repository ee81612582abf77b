#pragma once

namespace velnor {

// Whether the user's session is locked (a screen locker is up). Key input
// still reaches a global listener then, so nothing may start from it.
class SessionLock {
public:
    SessionLock() = default;
    virtual ~SessionLock() = default;
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    // The latest known state; never waits for the system.
    virtual bool isLocked() const = 0;
};

} // namespace velnor
