#include "platform/linux/atspi/AtspiAccessibilityBridge.h"

#include "platform/linux/atspi/AtspiElement.h"

namespace velnor::atspi {

struct AtspiAccessibilityBridge::KnownApplication {
    qint32 processId = 0;
    GRef<AtspiAccessible> accessible;
    ToolkitTextUnits units;
};

namespace {

QString toolkitOf(AtspiAccessible* application)
{
    ErrorSlot error;
    auto name = takeString(atspi_accessible_get_toolkit_name(application, error.out()));
    return name && !error.failed() ? *name : QString();
}

GRef<AtspiAccessible> newReference(AtspiAccessible* accessible)
{
    return GRef<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
}

// Whether one of the application's windows is the active one (the focused
// window, as the toolkit learnt it from the window system).
bool hasActiveWindow(AtspiAccessible* application)
{
    ErrorSlot countError;
    const int count = atspi_accessible_get_child_count(application, countError.out());
    for (int i = 0; !countError.failed() && i < count; ++i) {
        ErrorSlot error;
        const GRef<AtspiAccessible> window(atspi_accessible_get_child_at_index(application, i, error.out()));
        if (error.failed() || !window)
            continue;
        const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(window.get()));
        if (states && atspi_state_set_contains(states.get(), ATSPI_STATE_ACTIVE))
            return true;
    }
    return false;
}

} // namespace

AtspiAccessibilityBridge::AtspiAccessibilityBridge() = default;

AtspiAccessibilityBridge::~AtspiAccessibilityBridge()
{
    m_lastApplication.reset();
    if (m_initialised)
        atspi_exit();
}

bool AtspiAccessibilityBridge::ensureInitialised()
{
    if (m_initialised || m_failed)
        return m_initialised;
    // A failed start is not retried: every later insertion would pay for it.
    if (atspi_init() > 1) {
        m_failed = true;
        return false;
    }
    m_initialised = true;
    return true;
}

void AtspiAccessibilityBridge::drainEvents()
{
    // Applications that started or went away since the last insertion.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

bool AtspiAccessibilityBridge::isAvailable()
{
    if (!ensureInitialised())
        return false;
    const GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    return desktop != nullptr;
}

std::shared_ptr<AccessibleElement> AtspiAccessibilityBridge::applicationElement(qint32 processId,
                                                                              Duration messagingTimeout,
                                                                              Duration searchBudget)
{
    if (processId < 0 || !ensureInitialised())
        return nullptr;
    const WalkDeadline deadline = std::chrono::steady_clock::now() + searchBudget;
    atspi_set_timeout(static_cast<gint>(messagingTimeout.count()), static_cast<gint>(messagingTimeout.count()));
    drainEvents();
    if (auto known = processId > 0 ? knownApplication(processId, deadline) : nullptr)
        return known;
    const GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop)
        return nullptr;
    ErrorSlot countError;
    const int count = atspi_accessible_get_child_count(desktop.get(), countError.out());
    for (int i = 0; !countError.failed() && i < count; ++i) {
        ErrorSlot error;
        GRef<AtspiAccessible> application(atspi_accessible_get_child_at_index(desktop.get(), i, error.out()));
        if (error.failed() || !application)
            continue;
        ErrorSlot pidError;
        const guint pid = atspi_accessible_get_process_id(application.get(), pidError.out());
        if (pidError.failed())
            continue;
        // No process id (a Wayland front window gives none): the
        // application whose window is active.
        if (processId > 0 ? static_cast<qint32>(pid) != processId : !hasActiveWindow(application.get()))
            continue;
        // Start every insertion from what the application says now. (Turning
        // the cache off instead deadlocks: libatspi then answers an event it
        // is dispatching with a blocking call into the same dispatch.)
        atspi_accessible_clear_cache(application.get());
        const ToolkitTextUnits units = ToolkitTextUnits::forToolkit(toolkitOf(application.get()));
        m_lastApplication = std::make_unique<KnownApplication>(
            KnownApplication{static_cast<qint32>(pid), newReference(application.get()), units});
        return std::make_shared<AtspiElement>(std::move(application), units, deadline);
    }
    return nullptr;
}

std::shared_ptr<AccessibleElement> AtspiAccessibilityBridge::knownApplication(qint32 processId,
                                                                            WalkDeadline deadline)
{
    if (!m_lastApplication || m_lastApplication->processId != processId)
        return nullptr;
    // Asked of the bus, not the cache: an application that ended (or a new
    // one that got its process id) no longer answers under the old name.
    AtspiAccessible* application = m_lastApplication->accessible.get();
    ErrorSlot error;
    const guint pid = atspi_accessible_get_process_id(application, error.out());
    if (error.failed() || static_cast<qint32>(pid) != processId) {
        m_lastApplication.reset();
        return nullptr;
    }
    atspi_accessible_clear_cache(application);
    return std::make_shared<AtspiElement>(newReference(application), m_lastApplication->units, deadline);
}

FocusedElementResult AtspiAccessibilityBridge::focusedElement(AccessibleElement& application)
{
    auto* root = dynamic_cast<AtspiElement*>(&application);
    if (!root)
        return {nullptr, AccessibilityError::InvalidElement};
    const GRef<AtspiCollection> collection(atspi_accessible_get_collection_iface(root->accessible()));
    if (!collection)
        return {nullptr, AccessibilityError::NotImplemented};

    const GRef<AtspiStateSet> focused(atspi_state_set_new(nullptr));
    atspi_state_set_add(focused.get(), ATSPI_STATE_FOCUSED);
    const GRef<AtspiMatchRule> rule(atspi_match_rule_new(focused.get(), ATSPI_Collection_MATCH_ALL, nullptr,
                                                         ATSPI_Collection_MATCH_NONE, nullptr,
                                                         ATSPI_Collection_MATCH_NONE, nullptr,
                                                         ATSPI_Collection_MATCH_NONE, FALSE));
    ErrorSlot error;
    GArray* matches = atspi_collection_get_matches(collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL,
                                                   1, TRUE, error.out());
    if (error.failed() || !matches)
        return {nullptr, AccessibilityError::CannotComplete};
    GRef<AtspiAccessible> element;
    if (matches->len > 0)
        element.reset(g_array_index(matches, AtspiAccessible*, 0));
    for (guint i = 1; i < matches->len; ++i)
        g_object_unref(g_array_index(matches, AtspiAccessible*, i));
    g_array_free(matches, TRUE);
    if (!element)
        return {nullptr, AccessibilityError::Failure};
    return {std::make_shared<AtspiElement>(std::move(element), root->units(), root->walkDeadline()),
            AccessibilityError::None};
}

} // namespace velnor::atspi
