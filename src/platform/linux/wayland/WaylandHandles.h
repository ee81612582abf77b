#pragma once

#include <memory>

#include <unistd.h>

namespace velnor::wayland {

// Owns a Wayland protocol object; `Destroy` is the generated destroy (or
// destructor request) function of its interface.
template <typename T, void (*Destroy)(T*)>
struct ProxyDelete {
    void operator()(T* proxy) const
    {
        if (proxy)
            Destroy(proxy);
    }
};
template <typename T, void (*Destroy)(T*)>
using Owned = std::unique_ptr<T, ProxyDelete<T, Destroy>>;

// Closes a file descriptor (a keymap or pixel buffer handed to the compositor).
struct FileDescriptor {
    explicit FileDescriptor(int value) : fd(value) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    const int fd;
};

} // namespace velnor::wayland
