#pragma once

#include "platform/LoginItem.h"

namespace velnor {

class FakeLoginItem final : public LoginItem {
public:
    bool isAvailable() const override { return true; }
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    bool isEnabled() const override { return m_enabled; }

    // When set, the next calls fail with this text.
    std::optional<QString> failure;
    int calls = 0;

private:
    bool m_enabled = false;
};

} // namespace velnor
