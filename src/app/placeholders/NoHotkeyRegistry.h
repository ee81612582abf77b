#pragma once

#include "app/HotkeyRegistry.h"
#include "log/Logger.h"

namespace velnor {

// Used while no global key source is part of the build: says so once.
class NoHotkeyRegistry final : public HotkeyRegistry {
public:
    explicit NoHotkeyRegistry(Logger& log)
        : m_log(log)
    {
    }

    void registerHotkey(DictationHotkey, Handler, Handler) override
    {
        m_log.warning(QStringLiteral("No global hotkey source in this build: dictation cannot be started by key"));
    }
    void unregisterAll() override {}

private:
    Logger& m_log;
};

} // namespace velnor
