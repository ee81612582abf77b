#pragma once

#include <atspi/atspi.h>

#include <QString>

#include <memory>

namespace velnor::atspi {

// Every AtspiAccessible, interface and state set handed out is a new reference.
struct GObjectUnref {
    void operator()(void* object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <typename T>
using GRef = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
    void operator()(void* pointer) const { g_free(pointer); }
};
using GString = std::unique_ptr<gchar, GFreeDeleter>;

// Collects a call's GError and frees it.
class ErrorSlot final {
public:
    ErrorSlot() = default;
    ~ErrorSlot()
    {
        if (m_error)
            g_error_free(m_error);
    }
    ErrorSlot(const ErrorSlot&) = delete;
    ErrorSlot& operator=(const ErrorSlot&) = delete;

    GError** out() { return &m_error; }
    bool failed() const { return m_error != nullptr; }

private:
    GError* m_error = nullptr;
};

inline std::unique_ptr<QString> takeString(gchar* text)
{
    const GString owned(text);
    if (!owned)
        return nullptr;
    return std::make_unique<QString>(QString::fromUtf8(owned.get()));
}

} // namespace velnor::atspi
