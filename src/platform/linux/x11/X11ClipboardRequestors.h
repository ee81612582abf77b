#pragma once

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <functional>

namespace velnor::x11 {

// Who is reading the selection this process owns: Qt answers selection
// requests without saying who asked, so the request is noted as it passes.
// Lets a clipboard manager's copy (read from the owner of CLIPBOARD_MANAGER)
// be told apart from the paste of the application the text is meant for.
//
// It also lets a paste through that Qt would refuse as too old: Qt turns
// away a request dated before it took the selection, and Fcitx5's GTK module
// hands an entry every Ctrl+V after the first with the time of the first
// press of V. Such a request is dated "now" before Qt sees it; a request in
// date keeps its time, which the requestor matches the answer by (Xt does).
class X11ClipboardRequestors final : public QAbstractNativeEventFilter {
public:
    X11ClipboardRequestors();
    ~X11ClipboardRequestors() override;
    X11ClipboardRequestors(const X11ClipboardRequestors&) = delete;
    X11ClipboardRequestors& operator=(const X11ClipboardRequestors&) = delete;

    // Whether the request being answered now comes from the clipboard manager.
    bool currentIsClipboardManager() const;

    // While this holds, requests dated before the last probe are answered
    // too (for the text written for a paste, not for the user's clipboard).
    void setAnswersOldRequests(std::function<bool()> answersOldRequests);
    // Has the server send the time through an empty property change on the
    // root window, which Qt watches too: Qt's next claim is dated at least
    // that, and once the change is back, so is the line for old requests.
    void probeServerTime();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_atom_t m_managerSelection = XCB_NONE;
    xcb_window_t m_requestor = XCB_NONE;
    xcb_atom_t m_probeProperty = XCB_NONE;
    xcb_window_t m_root = XCB_NONE;
    xcb_timestamp_t m_probedTime = XCB_CURRENT_TIME;
    std::function<bool()> m_answersOldRequests;
};

} // namespace velnor::x11
