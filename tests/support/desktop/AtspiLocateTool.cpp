// Finds a control of a running application on screen through the
// accessibility bus, so that desktop tests can click our own windows where a
// user would, whatever their layout.
//
//   velnor-atspi-locate PID NAME
//
// Prints "X Y", the screen centre of the topmost showing control (something
// with an action: a button, a link) named NAME in the application of process
// PID. Exit status 0 when found, 1 when no such control is showing, 2 on
// misuse or without a bus. A process
// of its own: libatspi wants GLib's default main context to itself, which a
// Qt test's event loop also iterates.
#include "platform/linux/atspi/AtspiHandles.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

using velnor::atspi::ErrorSlot;
using velnor::atspi::GRef;
using velnor::atspi::GString;

// A subtree deeper than this is not a window's widget tree but a cycle.
constexpr int kMaxDepth = 64;

struct Candidate {
    int top = 0;
    int centreX = 0;
    int centreY = 0;
};

std::string nameOf(AtspiAccessible* element)
{
    ErrorSlot error;
    const GString name(atspi_accessible_get_name(element, error.out()));
    return name ? std::string(name.get()) : std::string();
}

bool isShowing(AtspiAccessible* element)
{
    const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(element));
    return states && atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING);
}

bool hasAction(AtspiAccessible* element)
{
    const GRef<AtspiAction> action(atspi_accessible_get_action_iface(element));
    if (!action)
        return false;
    ErrorSlot error;
    return atspi_action_get_n_actions(action.get(), error.out()) > 0;
}

std::optional<Candidate> placeOf(AtspiAccessible* element)
{
    const GRef<AtspiComponent> component(atspi_accessible_get_component_iface(element));
    if (!component)
        return std::nullopt;
    ErrorSlot error;
    AtspiRect* extents = atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error.out());
    if (!extents)
        return std::nullopt;
    const Candidate place{extents->y, extents->x + extents->width / 2, extents->y + extents->height / 2};
    const bool onScreen = extents->width > 0 && extents->height > 0;
    g_free(extents);
    return onScreen ? std::optional<Candidate>(place) : std::nullopt;
}

// Keeps the topmost showing control named `wanted` below `element`; hidden
// subtrees (other screens, hidden windows, rows on their way out) are skipped whole.
void collect(AtspiAccessible* element, int depth, std::optional<Candidate>& topmost, const std::string& wanted)
{
    if (depth > kMaxDepth)
        return;
    if (depth > 0 && !isShowing(element))
        return;
    if (hasAction(element) && nameOf(element) == wanted) {
        if (const auto place = placeOf(element); place && (!topmost || place->top < topmost->top))
            topmost = place;
    }
    ErrorSlot error;
    const int count = atspi_accessible_get_child_count(element, error.out());
    for (int i = 0; i < count; ++i) {
        ErrorSlot childError;
        const GRef<AtspiAccessible> child(atspi_accessible_get_child_at_index(element, i, childError.out()));
        if (child)
            collect(child.get(), depth + 1, topmost, wanted);
    }
}

GRef<AtspiAccessible> applicationOf(long processId)
{
    const GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop)
        return nullptr;
    ErrorSlot error;
    const int count = atspi_accessible_get_child_count(desktop.get(), error.out());
    for (int i = 0; i < count; ++i) {
        ErrorSlot childError;
        GRef<AtspiAccessible> application(atspi_accessible_get_child_at_index(desktop.get(), i, childError.out()));
        ErrorSlot pidError;
        if (application && atspi_accessible_get_process_id(application.get(), pidError.out()) == processId)
            return application;
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: velnor-atspi-locate PID NAME\n");
        return 2;
    }
    const long processId = std::strtol(argv[1], nullptr, 10);
    const std::string wanted = argv[2];
    if (atspi_init() < 0) {
        std::fprintf(stderr, "velnor-atspi-locate: no accessibility bus\n");
        return 2;
    }
    // An application not (yet) on the bus shows no control.
    std::optional<Candidate> topmost;
    if (const GRef<AtspiAccessible> application = applicationOf(processId))
        collect(application.get(), 0, topmost, wanted);
    if (!topmost) {
        std::fprintf(stderr, "velnor-atspi-locate: no showing control named \"%s\"\n", wanted.c_str());
        return 1;
    }
    std::printf("%d %d\n", topmost->centreX, topmost->centreY);
    return 0;
}
