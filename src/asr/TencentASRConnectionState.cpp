#include "asr/TencentASRConnectionState.h"

namespace velnor {

QString TencentASRConnectionState::statusText() const
{
    switch (m_kind) {
    case Kind::Disconnected:
        return QStringLiteral("已断开");
    case Kind::Connecting:
        return QStringLiteral("连接中");
    case Kind::Connected:
    case Kind::Ready:
        return QStringLiteral("已连接");
    case Kind::Authenticating:
        return QStringLiteral("认证中");
    case Kind::Error:
        return QStringLiteral("错误: ") + (m_error ? m_error->description() : QString());
    }
    return {};
}

} // namespace velnor
