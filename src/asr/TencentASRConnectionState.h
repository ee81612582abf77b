#pragma once

#include "asr/TencentASRError.h"

#include <optional>

namespace velnor {

// Connection state shared by the WebSocket client, the service and the cached client.
class TencentASRConnectionState final {
public:
    enum class Kind { Error, Disconnected, Connecting, Connected, Authenticating, Ready };

    static TencentASRConnectionState error(TencentASRError e) { return TencentASRConnectionState(Kind::Error, std::move(e)); }
    static TencentASRConnectionState disconnected() { return TencentASRConnectionState(Kind::Disconnected); }
    static TencentASRConnectionState connecting() { return TencentASRConnectionState(Kind::Connecting); }
    static TencentASRConnectionState connected() { return TencentASRConnectionState(Kind::Connected); }
    static TencentASRConnectionState authenticating() { return TencentASRConnectionState(Kind::Authenticating); }
    static TencentASRConnectionState ready() { return TencentASRConnectionState(Kind::Ready); }

    TencentASRConnectionState()
        : TencentASRConnectionState(Kind::Disconnected)
    {
    }

    Kind kind() const { return m_kind; }
    bool is(Kind kind) const { return m_kind == kind; }
    // The error of the Error case.
    const std::optional<TencentASRError>& errorValue() const { return m_error; }

    // Display text: "已断开", "连接中", "已连接", "认证中", "错误: " + description.
    QString statusText() const;

    bool operator==(const TencentASRConnectionState&) const = default;

private:
    explicit TencentASRConnectionState(Kind kind, std::optional<TencentASRError> e = std::nullopt)
        : m_kind(kind)
        , m_error(std::move(e))
    {
    }

    Kind m_kind;
    std::optional<TencentASRError> m_error;
};

} // namespace velnor
