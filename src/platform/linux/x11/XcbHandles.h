#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace velnor::x11 {

// XCB replies and events are malloc'd and must be free'd by the caller.
struct XcbFree {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
// An owned connection; xcb_connect never returns null, so check
// xcb_connection_has_error() before use.
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

} // namespace velnor::x11
