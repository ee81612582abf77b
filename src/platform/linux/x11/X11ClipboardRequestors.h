#pragma once

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

namespace velnor::x11 {

// Who is reading the selection this process owns: Qt answers selection
// requests without saying who asked, so the request is noted as it passes.
// Lets a clipboard manager's copy (read from the owner of CLIPBOARD_MANAGER)
// be told apart from the paste of the application the text is meant for.
class X11ClipboardRequestors final : public QAbstractNativeEventFilter {
public:
    X11ClipboardRequestors();
    ~X11ClipboardRequestors() override;
    X11ClipboardRequestors(const X11ClipboardRequestors&) = delete;
    X11ClipboardRequestors& operator=(const X11ClipboardRequestors&) = delete;

    // Whether the request being answered now comes from the clipboard manager.
    bool currentIsClipboardManager() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_atom_t m_managerSelection = XCB_NONE;
    xcb_window_t m_requestor = XCB_NONE;
};

} // namespace velnor::x11
