#pragma once

#include <QString>

#include <optional>

namespace velnor {

// Starting the application when the user logs in.
class LoginItem {
public:
    LoginItem() = default;
    virtual ~LoginItem() = default;
    LoginItem(const LoginItem&) = delete;
    LoginItem& operator=(const LoginItem&) = delete;

    virtual bool isAvailable() const = 0;
    // Each returns the error text on failure.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
    virtual bool isEnabled() const = 0;
};

} // namespace velnor
