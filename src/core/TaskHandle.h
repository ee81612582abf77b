#pragma once

#include <memory>

namespace velnor {

// A started asynchronous operation that its caller may abandon. After
// cancel() the operation's completion is not called.
class TaskHandle {
public:
    TaskHandle() = default;
    virtual ~TaskHandle() = default;
    TaskHandle(const TaskHandle&) = delete;
    TaskHandle& operator=(const TaskHandle&) = delete;

    virtual void cancel() = 0;
};

using TaskHandlePtr = std::shared_ptr<TaskHandle>;

} // namespace velnor
