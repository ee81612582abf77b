#include "backend/AuthTypes.h"

namespace velnor {

namespace {

template <typename T>
std::optional<T> nested(JsonReader& reader, const QString& key,
                        std::optional<T> (*decode)(JsonReader&))
{
    const auto value = reader.optionalValue(key);
    if (!value)
        return std::nullopt;
    JsonReader child(*value, reader.childPath(key));
    auto decoded = decode(child);
    if (!child.ok()) {
        reader.fail(*child.error());
        return std::nullopt;
    }
    return decoded;
}

std::optional<VIP2> readVip(JsonReader& reader)
{
    VIP2 vip;
    vip.startTime = reader.optionalString(QStringLiteral("startTime"));
    vip.endTime = reader.optionalString(QStringLiteral("endTime"));
    vip.status = reader.optionalString(QStringLiteral("status"));
    return vip;
}

std::optional<Invite> readInvite(JsonReader& reader)
{
    Invite invite;
    invite.code = reader.optionalString(QStringLiteral("code"));
    invite.totalInvites = reader.optionalUInt64(QStringLiteral("total_invites"));
    return invite;
}

std::optional<QStringList> readStrings(JsonReader& reader, const QString& key)
{
    const auto value = reader.optionalValue(key);
    if (!value)
        return std::nullopt;
    auto list = JsonCodec<QList<QString>>::decode(*value, reader.childPath(key));
    if (!list) {
        reader.fail(list.error());
        return std::nullopt;
    }
    return QStringList(list.value());
}

QString printedStrings(const std::optional<QStringList>& list)
{
    if (!list)
        return QStringLiteral("nil");
    QStringList quoted;
    for (const QString& s : *list)
        quoted.append(QLatin1Char('"') + s + QLatin1Char('"'));
    return QStringLiteral("Optional([") + quoted.join(QStringLiteral(", ")) + QStringLiteral("])");
}

} // namespace


Result<LoginResponse, DecodingError> JsonCodec<LoginResponse>::decode(const QJsonValue& json, const QString& path)
{
    JsonReader reader(json, path);
    LoginResponse response;
    response.token = reader.requiredString(QStringLiteral("token"));
    response.phone = reader.optionalString(QStringLiteral("phone"));
    response.userId = reader.optionalString(QStringLiteral("userId"));
    return finishRecord(reader, std::move(response));
}

QString JsonCodec<LoginResponse>::printed(const LoginResponse& value)
{
    return QStringLiteral("LoginResponse(token: \"<redacted>\", phone: %1, userId: %2)")
        .arg(printedOptional(value.phone), printedOptional(value.userId));
}

Result<User, DecodingError> JsonCodec<User>::decode(const QJsonValue& json, const QString& path)
{
    JsonReader reader(json, path);
    User user;
    user.id = reader.optionalString(QStringLiteral("id"));
    user.firstName = reader.optionalString(QStringLiteral("first_name"));
    user.lastName = reader.optionalString(QStringLiteral("last_name"));
    user.nickname = reader.optionalString(QStringLiteral("nick"));
    user.bio = reader.optionalString(QStringLiteral("bio"));
    user.avatar = reader.optionalString(QStringLiteral("avatar"));
    user.phone = reader.optionalString(QStringLiteral("phone"));
    user.email = reader.optionalString(QStringLiteral("email"));
    user.createdAt = reader.optionalString(QStringLiteral("created_at"));
    user.vip2 = nested<VIP2>(reader, QStringLiteral("vip2"), &readVip);
    user.lastLogin = reader.optionalString(QStringLiteral("last_login"));
    user.urls = readStrings(reader, QStringLiteral("urls"));
    user.generatewordsTotal = reader.optionalUInt64(QStringLiteral("generate_words_total"));
    user.invite = nested<Invite>(reader, QStringLiteral("invite"), &readInvite);
    return finishRecord(reader, std::move(user));
}

QString JsonCodec<User>::printed(const User& u)
{
    const QString vip = u.vip2 ? QStringLiteral("Optional(VIP2(startTime: %1, endTime: %2, status: %3))")
                                     .arg(printedOptional(u.vip2->startTime), printedOptional(u.vip2->endTime),
                                          printedOptional(u.vip2->status))
                               : QStringLiteral("nil");
    const QString invite = u.invite ? QStringLiteral("Optional(Invite(code: %1, totalInvites: %2))")
                                          .arg(printedOptional(u.invite->code), printedOptional(u.invite->totalInvites))
                                    : QStringLiteral("nil");
    return QStringLiteral("User(id: %1, firstName: %2, lastName: %3, nickname: %4, bio: %5, avatar: %6, phone: %7, "
                          "email: %8, createdAt: %9, ")
               .arg(printedOptional(u.id), printedOptional(u.firstName), printedOptional(u.lastName),
                    printedOptional(u.nickname), printedOptional(u.bio), printedOptional(u.avatar),
                    printedOptional(u.phone), printedOptional(u.email), printedOptional(u.createdAt))
        + QStringLiteral("vip2: %1, lastLogin: %2, urls: %3, generatewords_total: %4, invite: %5)")
              .arg(vip, printedOptional(u.lastLogin), printedStrings(u.urls), printedOptional(u.generatewordsTotal),
                   invite);
}

} // namespace velnor
