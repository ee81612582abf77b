#pragma once

#include "backend/JsonCodec.h"

#include <QStringList>

#include <cstdint>

namespace velnor {

// The login call's "data".
struct LoginResponse {
    QString token;
    std::optional<QString> phone;
    std::optional<QString> userId;
};

struct VIP2 {
    std::optional<QString> startTime;
    std::optional<QString> endTime;
    std::optional<QString> status;
};

struct Invite {
    std::optional<QString> code;                // the user's own invite code
    std::optional<std::uint64_t> totalInvites; // JSON "total_invites"
};

// The account record of "/auth/mev2". Dates stay text.
struct User {
    std::optional<QString> id;
    std::optional<QString> firstName;
    std::optional<QString> lastName;
    std::optional<QString> nickname;
    std::optional<QString> bio;
    std::optional<QString> avatar;
    std::optional<QString> phone;
    std::optional<QString> email;
    std::optional<QString> createdAt;
    std::optional<VIP2> vip2;
    std::optional<QString> lastLogin;
    std::optional<QStringList> urls;
    std::optional<std::uint64_t> generatewordsTotal; // JSON "generate_words_total"
    std::optional<Invite> invite;
};

// The older account record: User without the subscription.
struct MeRespones {
    std::optional<QString> id;
    std::optional<QString> firstName;
    std::optional<QString> lastName;
    std::optional<QString> nickname;
    std::optional<QString> bio;
    std::optional<QString> avatar;
    std::optional<QString> phone;
    std::optional<QString> email;
    std::optional<QString> createdAt;
    std::optional<QString> lastLogin;
    std::optional<QStringList> urls;
    std::optional<std::uint64_t> generatewordsTotal;
    std::optional<Invite> invite;
};

template <>
struct JsonCodec<LoginResponse> {
    static QString typeName() { return QStringLiteral("LoginResponse"); }
    static Result<LoginResponse, DecodingError> decode(const QJsonValue& json, const QString& path);
    static QString printed(const LoginResponse& value); // the token is never printed
    static std::optional<LoginResponse> fromPlain(const QVariant&) { return std::nullopt; }
};

template <>
struct JsonCodec<User> {
    static QString typeName() { return QStringLiteral("User"); }
    static Result<User, DecodingError> decode(const QJsonValue& json, const QString& path);
    static QString printed(const User& value);
    static std::optional<User> fromPlain(const QVariant&) { return std::nullopt; }
};

} // namespace velnor
