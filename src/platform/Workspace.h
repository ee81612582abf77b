#pragma once

#include "platform/FrontAppInfo.h"

namespace velnor {

// The desktop's view of running applications.
class Workspace {
public:
    Workspace() = default;
    virtual ~Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    virtual bool isAvailable() const = 0;
    virtual std::optional<FrontAppInfo> frontmostApplication() const = 0;
};

} // namespace velnor
