#include "platform/linux/x11/XInputQuery.h"

#include <xcb/xinput.h>

namespace velnor::x11 {
namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(qstrlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

XcbReply<xcb_input_xi_get_property_reply_t> queryProperty(xcb_connection_t* connection, int deviceId,
                                                          const char* name, std::uint32_t length)
{
    const xcb_atom_t atom = internAtom(connection, name);
    if (atom == XCB_ATOM_NONE)
        return nullptr;
    const auto cookie = xcb_input_xi_get_property(connection, static_cast<xcb_input_device_id_t>(deviceId), 0, atom,
                                                  XCB_GET_PROPERTY_TYPE_ANY, 0, length);
    XcbReply<xcb_input_xi_get_property_reply_t> reply(xcb_input_xi_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE || reply->num_items == 0)
        return nullptr;
    return reply;
}

} // namespace

std::optional<std::uint8_t> initXInput2(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_input_id);
    if (!extension || !extension->present)
        return std::nullopt;
    const auto cookie = xcb_input_xi_query_version(connection, 2, 2);
    const XcbReply<xcb_input_xi_query_version_reply_t> reply(
        xcb_input_xi_query_version_reply(connection, cookie, nullptr));
    if (!reply || reply->major_version < 2 || (reply->major_version == 2 && reply->minor_version < 2))
        return std::nullopt;
    return extension->major_opcode;
}

QList<XInputKeyboard> querySlaveKeyboards(xcb_connection_t* connection)
{
    const auto cookie = xcb_input_xi_query_device(connection, XCB_INPUT_DEVICE_ALL);
    const XcbReply<xcb_input_xi_query_device_reply_t> reply(
        xcb_input_xi_query_device_reply(connection, cookie, nullptr));
    QList<XInputKeyboard> keyboards;
    if (!reply)
        return keyboards;
    for (auto it = xcb_input_xi_query_device_infos_iterator(reply.get()); it.rem > 0;
         xcb_input_xi_device_info_next(&it)) {
        if (it.data->type != XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD)
            continue;
        keyboards.append({it.data->deviceid,
                          QString::fromUtf8(xcb_input_xi_device_info_name(it.data),
                                            xcb_input_xi_device_info_name_length(it.data))});
    }
    return keyboards;
}

std::optional<ProductIds> queryProductIds(xcb_connection_t* connection, int deviceId)
{
    const auto reply = queryProperty(connection, deviceId, "Device Product ID", 2);
    if (!reply || reply->format != 32 || reply->num_items < 2)
        return std::nullopt;
    const auto* values = static_cast<const std::uint32_t*>(xcb_input_xi_get_property_items(reply.get()));
    return ProductIds{static_cast<int>(values[0]), static_cast<int>(values[1])};
}

std::optional<QString> queryDeviceNode(xcb_connection_t* connection, int deviceId)
{
    const auto reply = queryProperty(connection, deviceId, "Device Node", 64);
    if (!reply || reply->format != 8)
        return std::nullopt;
    const auto* text = static_cast<const char*>(xcb_input_xi_get_property_items(reply.get()));
    return QString::fromUtf8(text, qstrnlen(text, reply->num_items));
}

void selectRootEvents(xcb_connection_t* connection, int deviceId, std::uint32_t mask)
{
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t bits;
    } selection{{static_cast<xcb_input_device_id_t>(deviceId), 1}, mask};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_input_xi_select_events(connection, root, 1, &selection.head);
}

bool isXTestKeyboardName(const QString& name) { return name.endsWith(QLatin1String("XTEST keyboard")); }

} // namespace velnor::x11
