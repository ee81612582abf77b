#pragma once

#include "core/QtScheduler.h"
#include "platform/linux/atspi/AtspiHelperBridge.h"
#include "platform/linux/x11/EwmhWorkspace.h"
#include "platform/linux/x11/QtClipboardPasteboard.h"
#include "platform/linux/x11/X11AccessibilityTrust.h"
#include "platform/linux/x11/XTestKeySynthesizer.h"
#include "support/LogCapture.h"
#include "support/desktop/FieldApp.h"
#include "textinput/TextInputStack.h"

#include <QProcessEnvironment>

namespace velnor::test {

// A real target application on the test desktop (FieldApp), started or not.
// Asked to quit at its end, as a user closes it: it hands what it owns on
// (its clipboard to a clipboard manager) on its way out.
struct TargetApp final : FieldApp {
    using FieldApp::FieldApp;
    ~TargetApp() override { quit(); }
    bool started() const { return isReady(); }
};

// The production insertion stack on the test display.
class DesktopInsertionRig final {
public:
    // Without `accessibility` the helper cannot start, as on a system
    // without AT-SPI: every insertion goes through the clipboard.
    explicit DesktopInsertionRig(bool accessibility = true);

    // Waits until the window manager made the process frontmost and, when
    // `accessible`, until the accessibility bus knows it.
    bool waitUntilFrontmost(qint64 processId, bool accessible);
    InsertionResult insert(const QString& text);

    QtScheduler scheduler;
    LogCapture log;
    x11::XTestKeySynthesizer keys;
    x11::EwmhWorkspace workspace;
    x11::X11AccessibilityTrust trust{keys};
    x11::QtClipboardPasteboard pasteboard;
    TextInputStack stack;
    TextInputMgr& manager = stack.textInputMgr();
};

// The environment of a target application: accessible or not.
QProcessEnvironment targetEnvironment(bool accessible);
QString helperPath(const QString& name);

} // namespace velnor::test
