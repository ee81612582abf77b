#include "platform/linux/x11/X11SelectionReader.h"

#include "platform/linux/x11/XcbHandles.h"

#include <QHash>
#include <QMetaObject>

#include <poll.h>

#include <algorithm>
#include <chrono>

namespace velnor::x11 {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Selection protocol targets: answered by the owner itself, not data.
bool isProtocolTarget(const QByteArray& target)
{
    static const QList<QByteArray> protocol = {
        "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION", "INSERT_PROPERTY",
        // Qt's internal image target; the owner offers real image formats too.
        "application/x-qt-image",
    };
    return target.isEmpty() || protocol.contains(target);
}

struct Converted {
    enum class Status { Data, Refused, TimedOut };
    Status status = Status::TimedOut;
    QByteArray data;
    xcb_atom_t type = XCB_NONE;
    std::uint8_t format = 0;
};

// One reading client: its own connection and window, and a deadline every
// wait respects. Lives on the worker thread for one request.
class SelectionSession final {
public:
    SelectionSession(const QByteArray& displayName, SteadyClock::time_point deadline)
        : m_connection(xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), nullptr))
        , m_deadline(deadline)
    {
        if (xcb_connection_has_error(m_connection.get()))
            return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c())).data;
        m_window = xcb_generate_id(c());
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c(), XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &events);
        m_property = atom("_VELNOR_SELECTION");
        m_incr = atom("INCR");
        m_ok = m_property != XCB_NONE && m_incr != XCB_NONE;
    }

    bool ok() const { return m_ok; }

    xcb_atom_t atom(const QByteArray& name)
    {
        const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            c(), xcb_intern_atom(c(), 0, static_cast<std::uint16_t>(name.size()), name.constData()), nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    QByteArray atomName(xcb_atom_t atom)
    {
        const XcbReply<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(c(), xcb_get_atom_name(c(), atom), nullptr));
        if (!reply)
            return {};
        return QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    }

    bool hasOwner(xcb_atom_t selection)
    {
        const XcbReply<xcb_get_selection_owner_reply_t> reply(
            xcb_get_selection_owner_reply(c(), xcb_get_selection_owner(c(), selection), nullptr));
        return reply && reply->owner != XCB_NONE;
    }

    Converted convert(xcb_atom_t selection, xcb_atom_t target)
    {
        xcb_convert_selection(c(), m_window, selection, target, m_property, XCB_CURRENT_TIME);
        xcb_flush(c());
        const XcbReply<xcb_generic_event_t> event(waitFor([&](const xcb_generic_event_t& e) {
            if ((e.response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(e);
            return notify.requestor == m_window && notify.selection == selection && notify.target == target;
        }));
        if (!event)
            return {};
        if (reinterpret_cast<const xcb_selection_notify_event_t*>(event.get())->property == XCB_NONE)
            return {Converted::Status::Refused, {}, XCB_NONE, 0};
        Converted converted = takeProperty();
        if (converted.status == Converted::Status::Data && converted.type == m_incr)
            return receiveIncrementally();
        return converted;
    }

private:
    xcb_connection_t* c() const { return m_connection.get(); }

    // Reads and deletes the property; deleting it is also what asks an
    // INCR owner for the next chunk.
    Converted takeProperty()
    {
        const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c(), xcb_get_property(c(), 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff), nullptr));
        if (!reply)
            return {Converted::Status::Refused, {}, XCB_NONE, 0};
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
        return {Converted::Status::Data, QByteArray(bytes, xcb_get_property_value_length(reply.get())), reply->type,
                reply->format};
    }

    Converted receiveIncrementally()
    {
        Converted whole{Converted::Status::Data, {}, XCB_NONE, 0};
        for (;;) {
            const XcbReply<xcb_generic_event_t> event(waitFor([&](const xcb_generic_event_t& e) {
                if ((e.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(e);
                return notify.window == m_window && notify.atom == m_property
                       && notify.state == XCB_PROPERTY_NEW_VALUE;
            }));
            if (!event)
                return {};
            const Converted chunk = takeProperty();
            if (chunk.status != Converted::Status::Data)
                return chunk;
            if (chunk.data.isEmpty())
                return whole;
            whole.data += chunk.data;
            whole.type = chunk.type;
            whole.format = chunk.format;
        }
    }

    // The first event `matches` accepts, or none once the deadline passed.
    template <typename Matches>
    xcb_generic_event_t* waitFor(Matches matches)
    {
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c())) {
                if (matches(*event))
                    return event;
                std::free(event);
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - SteadyClock::now());
            if (xcb_connection_has_error(c()) || left.count() <= 0)
                return nullptr;
            pollfd descriptor{xcb_get_file_descriptor(c()), POLLIN, 0};
            ::poll(&descriptor, 1, static_cast<int>(left.count()));
        }
    }

    XcbConnection m_connection;
    const SteadyClock::time_point m_deadline;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_property = XCB_NONE;
    xcb_atom_t m_incr = XCB_NONE;
    bool m_ok = false;
};

SelectionSnapshot readSelection(SelectionSession& session, const QByteArray& name)
{
    SelectionSnapshot snapshot;
    const xcb_atom_t selection = session.atom(name);
    if (selection == XCB_NONE || !session.hasOwner(selection))
        return snapshot;
    const Converted targets = session.convert(selection, session.atom("TARGETS"));
    if (targets.status != Converted::Status::Data || targets.format != 32) {
        // An owner that cannot even list its formats has not been saved.
        snapshot.complete = false;
        return snapshot;
    }
    QList<QByteArray> targetNames;
    QHash<QByteArray, xcb_atom_t> atoms;
    const auto* list = reinterpret_cast<const xcb_atom_t*>(targets.data.constData());
    for (qsizetype i = 0; i < targets.data.size() / qsizetype(sizeof(xcb_atom_t)); ++i) {
        const QByteArray targetName = session.atomName(list[i]);
        targetNames.append(targetName);
        atoms.insert(targetName, list[i]);
    }
    for (const auto& [target, format] : savedFormatsOf(targetNames)) {
        const Converted data = session.convert(selection, atoms.value(target));
        if (data.status == Converted::Status::TimedOut) {
            snapshot.complete = false;
            return snapshot;
        }
        // A format the owner refuses, or one that names server resources
        // (a PIXMAP id) rather than holding data, cannot be put back by anyone.
        if (data.status == Converted::Status::Data && data.format == 8)
            snapshot.formats.append({format, data.data});
    }
    return snapshot;
}

} // namespace

QList<std::pair<QByteArray, QString>> savedFormatsOf(const QList<QByteArray>& targets)
{
    static const QList<QByteArray> legacyText = {"STRING", "TEXT", "COMPOUND_TEXT", "UTF8_STRING"};
    QList<std::pair<QByteArray, QString>> saved;
    if (targets.contains("UTF8_STRING"))
        saved.append({"UTF8_STRING", QStringLiteral("text/plain")});
    for (const QByteArray& target : targets) {
        if (isProtocolTarget(target) || legacyText.contains(target))
            continue;
        if (target == "text/plain" && targets.contains("UTF8_STRING"))
            continue;
        if (std::none_of(saved.cbegin(), saved.cend(), [&](const auto& entry) { return entry.first == target; }))
            saved.append({target, QString::fromLatin1(target)});
    }
    return saved;
}

X11SelectionReader::X11SelectionReader(QByteArray displayName)
    : m_displayName(std::move(displayName))
    , m_context(std::make_unique<QObject>())
    , m_worker(QStringLiteral("com.velnor.clipboard.read"))
{
}

X11SelectionReader::~X11SelectionReader() = default;

void X11SelectionReader::readAll(const QList<QByteArray>& selections, Duration budget,
                                 std::function<void(QList<SelectionSnapshot>)> done)
{
    const auto deadline = SteadyClock::now() + budget;
    m_worker.async([this, selections, deadline, done = std::move(done)] {
        QList<SelectionSnapshot> snapshots;
        SelectionSession session(m_displayName, deadline);
        for (const QByteArray& selection : selections) {
            if (session.ok())
                snapshots.append(readSelection(session, selection));
            else
                snapshots.append({{}, false});
        }
        deliver([done, snapshots] { done(snapshots); });
    });
}

void X11SelectionReader::readText(const QByteArray& selection, Duration budget,
                                  std::function<void(std::optional<QByteArray>)> done)
{
    const auto deadline = SteadyClock::now() + budget;
    m_worker.async([this, selection, deadline, done = std::move(done)] {
        std::optional<QByteArray> text;
        SelectionSession session(m_displayName, deadline);
        if (session.ok()) {
            const xcb_atom_t name = session.atom(selection);
            const Converted converted = session.convert(name, session.atom("UTF8_STRING"));
            if (converted.status == Converted::Status::Data && converted.format == 8)
                text = converted.data;
        }
        deliver([done, text] { done(text); });
    });
}

void X11SelectionReader::deliver(std::function<void()> result)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(result), Qt::QueuedConnection);
}

} // namespace velnor::x11
