#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/KeySynthesizer.h"

namespace velnor::x11 {

// On X11 nothing grants or refuses trust: the process is "trusted" when its
// synthetic keys reach applications, i.e. the display offers XTest. Whether
// the accessibility bus answers is the accessibility bridge's own question.
class X11AccessibilityTrust final : public AccessibilityTrust {
public:
    explicit X11AccessibilityTrust(const KeySynthesizer& keys)
        : m_keys(keys)
    {
    }

    bool isProcessTrusted() const override { return m_keys.isAvailable(); }

private:
    const KeySynthesizer& m_keys;
};

} // namespace velnor::x11
