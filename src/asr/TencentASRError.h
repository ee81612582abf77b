#pragma once

#include <QString>

namespace velnor {

// The single error type of the real-time recognition client.
class TencentASRError final {
public:
    enum class Kind {
        ConfigurationError,
        ConnectionError,
        AuthenticationError,
        AudioFormatError,
        NetworkError,
        ServerError,
        ParseError,
        UnknownError,
        TimeoutError,
    };

    static TencentASRError configurationError(QString message) { return {Kind::ConfigurationError, 0, std::move(message)}; }
    static TencentASRError connectionError(QString message) { return {Kind::ConnectionError, 0, std::move(message)}; }
    static TencentASRError authenticationError(QString message) { return {Kind::AuthenticationError, 0, std::move(message)}; }
    static TencentASRError audioFormatError(QString message) { return {Kind::AudioFormatError, 0, std::move(message)}; }
    static TencentASRError networkError(QString message) { return {Kind::NetworkError, 0, std::move(message)}; }
    static TencentASRError serverError(qint64 code, QString message) { return {Kind::ServerError, code, std::move(message)}; }
    static TencentASRError parseError(QString message) { return {Kind::ParseError, 0, std::move(message)}; }
    static TencentASRError unknownError(QString message) { return {Kind::UnknownError, 0, std::move(message)}; }
    static TencentASRError timeoutError() { return {Kind::TimeoutError, 0, {}}; }

    Kind kind() const { return m_kind; }
    // The server's code (ServerError only, else 0).
    qint64 code() const { return m_code; }
    const QString& message() const { return m_message; }

    // The text shown to the user and written to logs.
    QString description() const;

    bool operator==(const TencentASRError&) const = default;

private:
    TencentASRError(Kind kind, qint64 code, QString message)
        : m_kind(kind)
        , m_code(code)
        , m_message(std::move(message))
    {
    }

    Kind m_kind;
    qint64 m_code;
    QString m_message;
};

} // namespace velnor
