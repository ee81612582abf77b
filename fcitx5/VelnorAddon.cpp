#include "VelnorAddon.h"

#include <dbus_public.h>
#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/dbus/bus.h>
#include <fcitx-utils/dbus/objectvtable.h>
#include <fcitx-utils/log.h>
#include <fcitx/addonfactory.h>
#include <fcitx/event.h>
#include <fcitx/inputcontext.h>
#include <fcitx/inputcontextmanager.h>
#include <fcitx/inputpanel.h>
#include <fcitx/text.h>
#include <fcitx/userinterface.h>

#ifdef VELNOR_FCITX5_WAYLAND
#include <wayland_public.h>
#include <wayland-client.h>
#endif

namespace velnor::fcitx5addon {

namespace {
constexpr char ServiceName[] = "org.velnor.Fcitx5";
constexpr char ObjectPath[] = "/org/velnor/Fcitx5";
constexpr char InterfaceName[] = "org.velnor.Fcitx5";

ChordTracker::State chordState(const fcitx::KeyStates& states)
{
    using fcitx::KeyState;
    return {states.test(KeyState::Shift), states.test(KeyState::Ctrl), states.test(KeyState::Alt),
            states.test(KeyState::Super) || states.test(KeyState::Super2), states.test(KeyState::CapsLock)};
}

bool isPrivateField(const fcitx::InputContext& ic)
{
    return ic.capabilityFlags().testAny(fcitx::CapabilityFlag::PasswordOrSensitive);
}
} // namespace

// The bus face of the addon. Methods answer the caller; signals go to the
// app that set the chord only (key state is nobody else's business).
class VelnorBusObject final : public fcitx::dbus::ObjectVTable<VelnorBusObject> {
public:
    explicit VelnorBusObject(VelnorAddon& addon) : m_addon(addon) {}

    void setHotkey(std::uint32_t chord) { m_addon.setHotkey(chord, currentMessage()->sender()); }
    bool commitString(const std::string& text) { return fromClient() && m_addon.commitString(text); }
    bool setPreedit(const std::string& text) { return fromClient() && m_addon.setPreedit(text); }
    void clearPreedit()
    {
        if (fromClient())
            m_addon.clearPreedit();
    }
    bool forwardKey(std::uint32_t keysym, std::uint32_t states)
    {
        return fromClient() && m_addon.forwardKey(keysym, states);
    }
    std::tuple<bool, std::string, std::uint64_t> focusedContext() { return m_addon.focusedContext(); }

private:
    // Only the app that set the chord writes into fields: any other program
    // on the session bus is refused.
    bool fromClient()
    {
        if (m_addon.isClient(currentMessage()->sender()))
            return true;
        FCITX_WARN() << "Velnor: refused a call from " << currentMessage()->sender() << ", not the app";
        return false;
    }

    VelnorAddon& m_addon;

    FCITX_OBJECT_VTABLE_METHOD(setHotkey, "SetHotkey", "u", "");
    FCITX_OBJECT_VTABLE_METHOD(commitString, "CommitString", "s", "b");
    FCITX_OBJECT_VTABLE_METHOD(setPreedit, "SetPreedit", "s", "b");
    FCITX_OBJECT_VTABLE_METHOD(clearPreedit, "ClearPreedit", "", "");
    FCITX_OBJECT_VTABLE_METHOD(forwardKey, "ForwardKey", "uu", "b");
    FCITX_OBJECT_VTABLE_METHOD(focusedContext, "FocusedContext", "", "bst");

public:
    FCITX_OBJECT_VTABLE_SIGNAL(modifiersChanged, "ModifiersChanged", "u")
    FCITX_OBJECT_VTABLE_SIGNAL(focusChanged, "FocusChanged", "bst")
};

// On Wayland (input-method-v2) a commit or preedit made outside Wayland's own
// event handling waits in Fcitx5 until the next Wayland event: after each
// bus call the connections are flushed.
class WaylandFlusher {
public:
#ifdef VELNOR_FCITX5_WAYLAND
    explicit WaylandFlusher(fcitx::AddonInstance* wayland)
    {
        if (!wayland)
            return;
        m_created = wayland->call<fcitx::IWaylandModule::addConnectionCreatedCallback>(
            [this](const std::string&, wl_display* display, fcitx::FocusGroup*) { m_displays.insert(display); });
        m_closed = wayland->call<fcitx::IWaylandModule::addConnectionClosedCallback>(
            [this](const std::string&, wl_display* display) { m_displays.erase(display); });
    }
    void flush()
    {
        for (wl_display* display : m_displays)
            wl_display_flush(display);
    }

private:
    std::set<wl_display*> m_displays;
    std::unique_ptr<fcitx::HandlerTableEntry<fcitx::WaylandConnectionCreated>> m_created;
    std::unique_ptr<fcitx::HandlerTableEntry<fcitx::WaylandConnectionClosed>> m_closed;
#else
    explicit WaylandFlusher(fcitx::AddonInstance*) {}
    void flush() {}
#endif
};

VelnorAddon::VelnorAddon(fcitx::Instance* instance)
    : m_instance(instance)
    , m_busObject(std::make_unique<VelnorBusObject>(*this))
{
    fcitx::dbus::Bus* bus = dbus() ? dbus()->call<fcitx::IDBusModule::bus>() : nullptr;
    if (bus) {
        bus->addObjectVTable(ObjectPath, InterfaceName, *m_busObject);
        if (!bus->requestName(ServiceName, fcitx::Flags<fcitx::dbus::RequestNameFlag>{}))
            FCITX_WARN() << "Velnor: the bus name " << ServiceName << " is taken";
        m_clientWatcher = std::make_unique<fcitx::dbus::ServiceWatcher>(*bus);
    } else {
        FCITX_ERROR() << "Velnor: Fcitx5's D-Bus module is missing; the app cannot reach this addon";
    }
    m_wayland = std::make_unique<WaylandFlusher>(wayland());

    // Before the input method and Fcitx5's hotkeys (which run later).
    m_watchers.emplace_back(m_instance->watchEvent(fcitx::EventType::InputContextKeyEvent,
                                                   fcitx::EventWatcherPhase::PreInputMethod,
                                                   [this](fcitx::Event& event) { onKeyEvent(event); }));
    for (const auto type : {fcitx::EventType::InputContextFocusIn, fcitx::EventType::InputContextFocusOut,
                            fcitx::EventType::InputContextCapabilityChanged}) {
        m_watchers.emplace_back(m_instance->watchEvent(type, fcitx::EventWatcherPhase::Default,
                                                       [this](fcitx::Event& event) { onFocusEvent(event); }));
    }
}

VelnorAddon::~VelnorAddon()
{
    if (auto* ic = m_preeditContext.get())
        clearPreeditOf(ic);
}

void VelnorAddon::setHotkey(std::uint32_t chord, const std::string& client)
{
    m_chord.setChord(chord);
    if (client == m_client)
        return;
    m_client = client;
    m_swallowedHeld.clear();
    if (m_clientWatcher && !client.empty()) {
        // An app that quit must not keep Fcitx5's hotkeys from working.
        m_clientWatch = m_clientWatcher->watchService(
            client, [this](const std::string&, const std::string&, const std::string& newOwner) {
                if (newOwner.empty())
                    forgetClient();
            });
    }
}

void VelnorAddon::forgetClient()
{
    m_client.clear();
    m_chord.setChord(0);
    m_swallowedHeld.clear();
    if (auto* ic = m_preeditContext.get())
        clearPreeditOf(ic);
    flushWayland();
}

void VelnorAddon::onKeyEvent(fcitx::Event& event)
{
    auto& keyEvent = static_cast<fcitx::KeyEvent&>(event);
    if (m_client.empty())
        return;
    const fcitx::Key raw = keyEvent.rawKey();
    const auto keycode = static_cast<std::uint32_t>(raw.code());
    const bool release = keyEvent.isRelease();
    const ChordTracker::Change change = m_chord.handleKey(keycode, release, chordState(raw.states()));
    if (change.modifierEvent)
        m_busObject->modifiersChangedTo(m_client, change.mask);

    bool swallow = false;
    if (change.chordDown) {
        m_swallowedHeld = m_chord.heldKeys();
        swallow = true;
    } else if (release && m_swallowedHeld.erase(keycode) != 0) {
        swallow = true;
    }
    if (!swallow)
        return;
    // Fcitx5's own hotkeys (Ctrl+Shift switches input methods) never see the
    // chord; the application still gets the key.
    keyEvent.filterAndAccept();
    keyEvent.inputContext()->forwardKey(raw, release, keyEvent.time());
}

void VelnorAddon::onFocusEvent(fcitx::Event& event)
{
    auto& icEvent = static_cast<fcitx::InputContextEvent&>(event);
    fcitx::InputContext* ic = icEvent.inputContext();
    if (event.type() == fcitx::EventType::InputContextFocusOut) {
        if (ic == m_preeditContext.get())
            clearPreeditOf(ic);
        reportFocus(focusedInputContext());
        return;
    }
    if (event.type() == fcitx::EventType::InputContextCapabilityChanged && ic == m_preeditContext.get()
        && isPrivateField(*ic))
        clearPreeditOf(ic);
    if (ic->hasFocus())
        reportFocus(ic);
}

void VelnorAddon::reportFocus(fcitx::InputContext* ic)
{
    if (m_client.empty())
        return;
    if (ic && ic->hasFocus())
        m_busObject->focusChangedTo(m_client, true, ic->program(), ic->capabilityFlags().toInteger());
    else
        m_busObject->focusChangedTo(m_client, false, std::string(), std::uint64_t{0});
}

fcitx::InputContext* VelnorAddon::focusedInputContext() const
{
    fcitx::InputContext* ic = m_instance->inputContextManager().lastFocusedInputContext();
    return ic && ic->hasFocus() ? ic : nullptr;
}

fcitx::InputContext* VelnorAddon::writableFocusedContext() const
{
    fcitx::InputContext* ic = focusedInputContext();
    return ic && !isPrivateField(*ic) ? ic : nullptr;
}

std::tuple<bool, std::string, std::uint64_t> VelnorAddon::focusedContext() const
{
    const fcitx::InputContext* ic = focusedInputContext();
    if (!ic)
        return {false, std::string(), 0};
    return {true, ic->program(), ic->capabilityFlags().toInteger()};
}

bool VelnorAddon::commitString(const std::string& text)
{
    fcitx::InputContext* ic = writableFocusedContext();
    if (!ic)
        return false;
    if (auto* withPreedit = m_preeditContext.get())
        clearPreeditOf(withPreedit);
    ic->commitString(text);
    flushWayland();
    return true;
}

bool VelnorAddon::setPreedit(const std::string& text)
{
    fcitx::InputContext* ic = writableFocusedContext();
    if (!ic)
        return false;
    if (auto* previous = m_preeditContext.get(); previous && previous != ic)
        clearPreeditOf(previous);
    fcitx::Text preedit(text, fcitx::TextFormatFlag::Underline);
    preedit.setCursor(static_cast<int>(text.size()));
    if (ic->capabilityFlags().test(fcitx::CapabilityFlag::Preedit)) {
        ic->inputPanel().setClientPreedit(preedit);
        ic->updatePreedit();
    } else {
        // The client draws no preedit: Fcitx5's panel shows it by the caret.
        ic->inputPanel().setPreedit(preedit);
        ic->updateUserInterface(fcitx::UserInterfaceComponent::InputPanel);
    }
    m_preeditContext = ic->watch();
    flushWayland();
    return true;
}

void VelnorAddon::clearPreedit()
{
    if (auto* ic = m_preeditContext.get())
        clearPreeditOf(ic);
    flushWayland();
}

void VelnorAddon::clearPreeditOf(fcitx::InputContext* ic)
{
    ic->inputPanel().setClientPreedit(fcitx::Text());
    ic->inputPanel().setPreedit(fcitx::Text());
    ic->updatePreedit();
    ic->updateUserInterface(fcitx::UserInterfaceComponent::InputPanel);
    m_preeditContext.unwatch();
}

bool VelnorAddon::forwardKey(std::uint32_t keysym, std::uint32_t states)
{
    fcitx::InputContext* ic = focusedInputContext();
    if (!ic)
        return false;
    const fcitx::Key key(static_cast<fcitx::KeySym>(keysym), fcitx::KeyStates(states));
    ic->forwardKey(key, false);
    ic->forwardKey(key, true);
    flushWayland();
    return true;
}

void VelnorAddon::flushWayland()
{
    if (m_wayland)
        m_wayland->flush();
}

class VelnorAddonFactory final : public fcitx::AddonFactory {
public:
    fcitx::AddonInstance* create(fcitx::AddonManager* manager) override { return new VelnorAddon(manager->instance()); }
};

} // namespace velnor::fcitx5addon

FCITX_ADDON_FACTORY(velnor::fcitx5addon::VelnorAddonFactory)
