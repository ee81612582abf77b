#include "platform/fake/FakeLoginItem.h"

namespace velnor {

std::optional<QString> FakeLoginItem::registerItem()
{
    ++calls;
    if (failure)
        return failure;
    m_enabled = true;
    return std::nullopt;
}

std::optional<QString> FakeLoginItem::unregisterItem()
{
    ++calls;
    if (failure)
        return failure;
    m_enabled = false;
    return std::nullopt;
}

} // namespace velnor
