#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/Workspace.h"

namespace velnor {

class FakeWorkspace final : public Workspace {
public:
    bool isAvailable() const override { return true; }
    std::optional<FrontAppInfo> frontmostApplication() const override { return frontApp; }

    std::optional<FrontAppInfo> frontApp = FrontAppInfo{QStringLiteral("org.example.editor"),
                                                        QStringLiteral("Editor"), 4242};
};

class FakeAccessibilityTrust final : public AccessibilityTrust {
public:
    bool isProcessTrusted() const override { return trusted; }
    bool trusted = true;
};

} // namespace velnor
