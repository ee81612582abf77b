#pragma once

#include <memory>

namespace velnor {

// Lets callbacks hold their owner weakly: capture `guard()` and return early
// once `expired()`. Owner and callbacks live on the same thread.
class Lifetime final {
public:
    using Guard = std::weak_ptr<const char>;

    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    Guard guard() const { return m_token; }

private:
    std::shared_ptr<const char> m_token = std::make_shared<const char>('\0');
};

} // namespace velnor
