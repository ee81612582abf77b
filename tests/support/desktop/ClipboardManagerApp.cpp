// A clipboard manager as desktops run one.
//
//   velnor-clipboard-manager
//
// It owns CLIPBOARD_MANAGER and copies every format of what an owner hands
// over as it quits (SAVE_TARGETS), and owns the copy itself. Prints "ready"
// once watching, then "copied <text>" after each copy.
#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTextStream>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// Answers the owner's SAVE_TARGETS once the copy is made.
class SaveTargetsHandler final : public QAbstractNativeEventFilter {
public:
    SaveTargetsHandler(xcb_connection_t* connection, xcb_atom_t manager, std::function<void()> copy)
        : m_connection(connection)
        , m_manager(manager)
        , m_copy(std::move(copy))
    {
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (type != "xcb_generic_event_t" || (event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
            return false;
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
        if (request->selection != m_manager)
            return false;
        m_copy();
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request->time;
        notify.requestor = request->requestor;
        notify.selection = request->selection;
        notify.target = request->target;
        notify.property = request->property;
        xcb_send_event(m_connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(m_connection);
        return true;
    }

private:
    xcb_connection_t* m_connection;
    xcb_atom_t m_manager;
    std::function<void()> m_copy;
};

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QClipboard& clipboard = *QGuiApplication::clipboard();
    QTextStream out(stdout);
    auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return 2;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    // Qt claims the clipboard with the time of the last event it saw, and the
    // server ignores a claim older than the current owner's: an empty append
    // to a root property brings a PropertyNotify with the current time.
    const xcb_atom_t timeProbe = internAtom(connection, "_VELNOR_MANAGER_TIME_PROBE");
    const auto refreshServerTime = [&] {
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, screen->root, timeProbe, XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(connection);
    };
    std::function<void(int)> copyWithRetries;
    copyWithRetries = [&](int triesLeft) {
        const QMimeData* source = clipboard.ownsClipboard() ? nullptr : clipboard.mimeData();
        if (!source || source->formats().isEmpty())
            return;
        auto* copied = new QMimeData;
        for (const QString& format : source->formats())
            copied->setData(format, source->data(format));
        const QString text = copied->text();
        clipboard.setMimeData(copied);
        if (!clipboard.ownsClipboard() && triesLeft > 0) {
            refreshServerTime();
            QTimer::singleShot(20, &app, [&, triesLeft] { copyWithRetries(triesLeft - 1); });
            return;
        }
        out << "copied " << text << '\n';
        out.flush();
    };
    const auto copy = [&] { copyWithRetries(10); };

    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    const xcb_atom_t manager = internAtom(connection, "CLIPBOARD_MANAGER");
    xcb_set_selection_owner(connection, window, manager, XCB_CURRENT_TIME);
    xcb_flush(connection);
    SaveTargetsHandler saveTargets(connection, manager, copy);
    app.installNativeEventFilter(&saveTargets);
    // A round trip: the server has our claim before the test goes on.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    QTimer::singleShot(0, &app, [&] {
        out << "ready\n";
        out.flush();
    });
    return app.exec();
}
