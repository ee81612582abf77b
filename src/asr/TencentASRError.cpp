#include "asr/TencentASRError.h"

namespace velnor {

QString TencentASRError::description() const
{
    switch (m_kind) {
    case Kind::ConfigurationError:
        return QStringLiteral("配置错误: ") + m_message;
    case Kind::ConnectionError:
        return QStringLiteral("连接错误: ") + m_message;
    case Kind::AuthenticationError:
        return QStringLiteral("认证错误: ") + m_message;
    case Kind::AudioFormatError:
        return QStringLiteral("音频格式错误: ") + m_message;
    case Kind::NetworkError:
        return QStringLiteral("网络错误: ") + m_message;
    case Kind::ServerError:
        return QStringLiteral("服务器错误(") + QString::number(m_code) + QStringLiteral("): ") + m_message;
    case Kind::ParseError:
        return QStringLiteral("解析错误: ") + m_message;
    case Kind::UnknownError:
        return QStringLiteral("未知错误: ") + m_message;
    case Kind::TimeoutError:
        return QStringLiteral("连接超时");
    }
    return {};
}

} // namespace velnor
