#pragma once

#include "ChordTracker.h"

#include <fcitx-utils/dbus/servicewatcher.h>
#include <fcitx-utils/handlertable.h>
#include <fcitx-utils/trackableobject.h>
#include <fcitx/addoninstance.h>
#include <fcitx/addonmanager.h>
#include <fcitx/instance.h>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace velnor::fcitx5addon {

class VelnorBusObject;
class WaylandFlusher;

// Velnor's module addon: runs beside whatever input method the user has,
// watches the focused field's keys for the dictation chord before the input
// method and Fcitx5's own hotkeys see them, and lets the app commit text,
// show preedit and forward keys into the focused field over the session bus
// ("org.velnor.Fcitx5" on Fcitx5's own connection).
class VelnorAddon final : public fcitx::AddonInstance {
public:
    explicit VelnorAddon(fcitx::Instance* instance);
    ~VelnorAddon() override;

    // The bus interface.
    void setHotkey(std::uint32_t chord, const std::string& client);
    bool commitString(const std::string& text);
    bool setPreedit(const std::string& text);
    void clearPreedit();
    bool forwardKey(std::uint32_t keysym, std::uint32_t states);
    std::tuple<bool, std::string, std::uint64_t> focusedContext() const;
    // The bus name of the app that set the chord, the only one that may write.
    bool isClient(const std::string& sender) const { return !m_client.empty() && sender == m_client; }

private:
    void onKeyEvent(fcitx::Event& event);
    void onFocusEvent(fcitx::Event& event);
    void reportFocus(fcitx::InputContext* ic);
    // The focused field, unless it asks not to be read (password, sensitive).
    fcitx::InputContext* writableFocusedContext() const;
    fcitx::InputContext* focusedInputContext() const;
    void clearPreeditOf(fcitx::InputContext* ic);
    void forgetClient();
    void flushWayland();

    fcitx::Instance* m_instance;
    FCITX_ADDON_DEPENDENCY_LOADER(dbus, m_instance->addonManager())
    FCITX_ADDON_DEPENDENCY_LOADER(wayland, m_instance->addonManager())
    std::unique_ptr<VelnorBusObject> m_busObject;
    std::unique_ptr<fcitx::dbus::ServiceWatcher> m_clientWatcher;
    std::unique_ptr<fcitx::dbus::ServiceWatcherEntry> m_clientWatch;
    std::unique_ptr<WaylandFlusher> m_wayland;
    std::vector<std::unique_ptr<fcitx::HandlerTableEntry<fcitx::EventHandler>>> m_watchers;

    ChordTracker m_chord;
    // The app that asked for the chord: the only receiver of our signals.
    std::string m_client;
    // Keys of a chord that started a dictation, still held: their releases
    // must not reach Fcitx5's hotkeys either.
    std::set<std::uint32_t> m_swallowedHeld;
    fcitx::TrackableObjectReference<fcitx::InputContext> m_preeditContext;
};

} // namespace velnor::fcitx5addon
